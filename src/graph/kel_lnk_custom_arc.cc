#include "graph/kel_lnk_custom_arc.h"

#include "foundation/kel_lnk_tools.h"
#include "host/kel_psn_trace.h"

void KelLnkCustomArc::UpdateElem(KelNavigInstance* to) {
  MML_TRACE("KelLnkCustomArc::UpdateElem");
  (void)to;
  KelIGraphLink* arc = GetGraphLink();
  if (arc == nullptr) return;
  if (!KelLnkTools::IsComputeLinkTechno()) arc->SetAttribute(20);
}
