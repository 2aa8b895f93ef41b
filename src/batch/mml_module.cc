#include "batch/mml_module.h"

#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

void MmlModule::Reset() {
  KelLnkObject::Clean();
  KelLnkObject::ResetState();
  KelLnkDataManager::Uncache();
  KelLnkHybridManager::ResetState();
  KelLnkTools::ResetState();
}

void MmlModule::ClearCaches() {
  KelLnkDataManager::Uncache();
  KelLnkHybridManager::Uncache();
}
