// KelLnkGraphWindow: what the graph objects, links and display nodes ask of
// the window that shows them. The graph window (ui/kel_lnk_main_window.h)
// implements it; windowless objects (batch, tests) have none and use the
// defaults each caller documents.
//
// Direction (order): 0 "impacted by", 1 "impacts on".
#pragma once

#include <vector>

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"
#include "linkdb/kel_lnk_query_context.h"

class KelLnkCustomNode;
class KelZumoInstance;
class KelINavigNodeCtrl;

using KelListPtrKelLnkCustomNode = std::vector<KelLnkCustomNode*>;
using KelINavigNodeCtrl_var = KelINavigNodeCtrl*;

class KelLnkGraphWindow : public KelLnkQueryContext {
 public:
  // Which links of an object are followed (persistent setting "Filter").
  enum Filter : int { FilterAll = 0, FilterRestricted = 1, FilterRestrictedWithLate = 2 };

  // ---- Settings the graph reads ----

  virtual int GetOrder() const = 0;
  virtual Filter GetFilter() const = 0;
  // Navigator levels to open: 2, 4, 6 or 256.
  virtual int GetExpandDepth() const = 0;
  // Characters kept of each node text; -1 keeps the whole text.
  virtual int GetTextWidth() const = 0;
  virtual int GetShowLocks() const = 0;

  // ---- Resources ----

  // The text of `key` in the window's resource catalogue, else `defaultText`.
  virtual KelUnicodeString GetResource(const KelString& key, const KelUnicodeString& defaultText) = 0;

  // ---- Display nodes ----

  virtual KelINavigNodeCtrl_var GetRootController() const = 0;
  virtual void SetRootController(KelINavigNodeCtrl_var controller) = 0;
  virtual KelLnkCustomNode* GetRootCustomNode() const = 0;
  virtual void SetRootCustomNode(KelLnkCustomNode* node) = 0;

  // Twin registry: entries numbered from 0 in registration order. Entry k
  // holds the object's instance (reference list), its product instance or
  // null (instance list, not owned), the display nodes registered for it
  // (list of nodes) and the display node that created it (node list).
  virtual void FillLists(KelLnkCustomNode* node, const KelDMInstance& instance, KelZumoInstance* zumo) = 0;
  virtual void AddNodeInList(int k, KelLnkCustomNode* node) = 0;
  virtual int GetListSize() const = 0;
  virtual const KelDMInstance& GetReferenceList(int k) const = 0;
  virtual KelZumoInstance* GetInstanceList(int k) const = 0;
  virtual KelListPtrKelLnkCustomNode& GetListOfNodes(int k) = 0;
  virtual KelLnkCustomNode* GetNodeList(int k) const = 0;
  virtual void EmptyLists() = 0;

  // ---- What the object operations ask of the window ----
  // Defaults for a window that shows nothing (tests, windowless use).
  // Rebuilds the graph; `full` also empties the caches first.
  virtual void Refresh(int full) { (void)full; }
  // Shows `text` in the window's error box.
  virtual void ShowError(const KelUnicodeString& text) { (void)text; }
  // Writes `text` in the window's status bar.
  virtual void ShowStatus(const KelUnicodeString& text) { (void)text; }
  // Shows `text` in the window's modal message box.
  virtual void ShowMessage(const KelUnicodeString& text) { (void)text; }
  // Adds to the highlighted set (emptied first when `emptyFirst`) every drawn
  // object whose instance is in `instances`; returns how many were added.
  virtual int HighlightObjects(const KelListValKelDMInstance& instances, bool emptyFirst) {
    (void)instances;
    (void)emptyFirst;
    return 0;
  }
};
