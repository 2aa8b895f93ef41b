// The two boxes of the window's "Check UUID".
//
// KelLnkCheckUuidDialog_Result: the dialog "CheckUuidInfo" listing, in the
// multi-list "ListeUuidModel", one row per multi-contained UUID: the UUID,
// then the identificators of the entities that hold it, in group order. Each
// row carries the instances of its group; activating one selected row
// highlights every drawn node of those instances (alone). "End" and close
// destroy the dialog.
//
// KelLnkCheckUuidDialog_Info: the notify box "CheckUuidInfo": "no
// multi-contained UUID" (noDuplicate 1) or the check's error text (0). OK
// destroys it.
//
// Both belong to the window that opened them, which deletes them when it
// goes.
#pragma once

#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "linkdb/kel_lnk_hybrid_manager.h"
#include "operations/kel_lnk_uuid_check.h"

class KelLnkWindowView;

class KelLnkCheckUuidDialog_Result : public KelDlgDialog {
 public:
  // `entities` are the `count` cached entities the check ran on; they are
  // read here only.
  KelLnkCheckUuidDialog_Result(KelLnkWindowView* window, const KelLnkUuidCheck& check,
                               KelLnkHybridManager::Entity* const* entities, int count, int nodeCount);
  ~KelLnkCheckUuidDialog_Result() override;

  void CBCheckEnd(KelCommand* sender, KelNotification notification, void* data);
  void CBCheckSelect(KelCommand* sender, KelNotification notification, void* data);

  KelDlgMultiList* GetList() const { return list_; }
  // The instances of row r (from 0).
  const KelListValKelDMInstance& GetRowInstances(int r) const { return rows_.at(static_cast<size_t>(r)); }
  // Drawn nodes that were highlighted when the check ran.
  int GetNodeCount() const { return nodeCount_; }

 private:
  KelLnkWindowView* window_;
  KelDlgMultiList* list_;
  std::vector<KelListValKelDMInstance> rows_;
  int nodeCount_;
  int selectId_ = 0;
};

class KelLnkCheckUuidDialog_Info : public KelDlgNotify {
 public:
  KelLnkCheckUuidDialog_Info(KelLnkWindowView* window, int noDuplicate, unsigned long style);
  void CBOK(KelCommand* sender, KelNotification notification, void* data);
};

// The instance of a cached entity (connection "KELCON").
KelDMInstance KelLnkEntityInstance(const KelLnkHybridManager::Entity& entity);
