// KelLnkObject: one object of the link graph, a database object (a model, a
// part, a document, an instance) seen through the links that leave it.
//
// One exists for every object node a graph window draws; the batch programs
// make their own without any window. The object computes its child links
// (through the link database), its condition from those links, its
// information text, the description of a cycle it closes and the colour of
// its node.
//
// Object conditions: 0 GOOD, 1 BADDATE, 2 BROKEN, 3 UNKNOWN. A link counts as
// sound when its condition (KelLnkLink) is GOOD, GOODOLD or UP_GOOD.
//
// Direction: 0 "impacted by" (from an object to the objects it points to),
// 1 "impacts on" (from an object to the objects that point to it). An object
// takes its window's direction; without a window 0, except that GetChildren
// follows the class-wide batch order.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "base/kel_types.h"
#include "graph/kel_lnk_node.h"
#include "host/kel_dm_instance.h"
#include "host/kel_qor_error.h"
#include "host/viewer/kel_viewer_tool_bag.h"

class KelLnkLink;
class KelLnkGraphWindow;
class KelLnkModalDialogForSync;
class KelZumoInstance;
class KelPSNNode;
class KelPSNGraph;
struct KelPSNError;
class KelLnkCustomNode;

class KelLnkObject;
using KelListPtrKelLnkObject = std::vector<KelLnkObject*>;

class KelLnkObject : public KelLnkNode {
 public:
  enum Condition : int { GOOD = 0, BADDATE = 1, BROKEN = 2, UNKNOWN = 3 };

  // One unit of a synchronisation or migration plan; a plan is a vector of
  // units, children before the objects they are reached from.
  struct SynchroniseUnit {
    std::unique_ptr<KelLnkObject> object;  // a copy of the object (copy constructor)
    KelUnicodeString linkType;             // the type of `links`; unused in a leaf unit
    // The links of that type that leave the object; empty in a leaf unit.
    // The handles keep the links alive as long as the plan.
    KelListValKelBaseUnknown_var links;
    KelUnicodeString reason;  // "LEAVE" for a leaf unit, "NODE" for a unit with links
  };

  // A link to an object of a plan that does not come from the object the
  // plan was made for.
  struct ReverseLink {
    std::unique_ptr<KelLnkObject> object;
    std::unique_ptr<KelDMInstance> instance;
  };

  // ---- Construction ----

  // Interactive object of `window`. Keeps its own copy of `zumo` (whose
  // representation becomes the instance's table and compid unless the table
  // is "PART_LIST"); `psn` is not owned. Expand state 5 (solved) when
  // `solved` is non-zero, else 1.
  KelLnkObject(KelLnkGraphWindow* window, const KelDMInstance& instance, KelZumoInstance* zumo, KelPSNNode* psn,
               const int& solved);
  // Batch object: no window, no parent, no product instance or node, state 1.
  explicit KelLnkObject(const KelDMInstance& instance);
  // Copies every field, with its own copy of the product instance; window and
  // parent link are shared.
  KelLnkObject(const KelLnkObject& other);
  // Copies the same fields; the product instance is released and replaced by
  // a copy of the other's (so that each object owns exactly one).
  KelLnkObject& operator=(const KelLnkObject& other);
  ~KelLnkObject() override;

  // Same database instance, same product-structure node pointer, and either
  // both product instances null or both present and equal.
  bool operator==(const KelLnkObject* other) const;
  bool operator==(const KelLnkObject& other) const { return *this == &other; }

  // ---- Identity ----

  int GetNodetype() const override { return 0; }
  KelLnkGraphWindow* GetMainWindow() const override { return window_; }
  // The link through which the object was reached in the drawn tree (not
  // owned); null for the root and for batch objects.
  void SetParent(KelLnkLink* link) { parentLink_ = link; }
  KelLnkLink* GetParentLink() const { return parentLink_; }
  // Depth in the drawn tree (root 0); -1 until the child links are first computed.
  int GetLevel() const { return level_; }
  // The technology of the parent link, -1 without one.
  int GetParentTechno() const;

  // ---- Database facts (object data manager, answers cached there) ----

  int Exists() const;
  int IsLatest() const;
  KelUnicodeString GetName() const;
  KelUnicodeString GetDate() const;
  KelUnicodeString GetLatestDate() const;
  // No database: true when coid and compid are both the zero identifier, or
  // both the null identifier "3030303030303030" (the placeholder that stands
  // for the unknown owner of an entity).
  bool IsNull() const;

  // ---- Child links ----

  // All child links (KelLnkLink handles, owned by the caller), in the
  // window's direction inverted when `reverse` is non-zero. The parent of
  // every link is this object, its child the object at the other end.
  KelListValKelBaseUnknown_var GetLnkChildren(int reverse);
  // The drawn child links: empty in expand states 2, 4 and 5.
  KelListValKelBaseUnknown_var GetChildren() override;
  // Invalidates the one-entry cache of child links (run after every expand
  // or collapse).
  static void Clean();

  // ---- Conditions ----

  // The object condition, cached; see the class comment for the codes.
  int GetCondition(int reverse);
  // The impacted-on condition: BADDATE as soon as one link in the window's
  // direction is not sound (UNKNOWN included), BROKEN for a missing object.
  int GetImpactOnCondition();
  // Clears both condition caches; with `recursive` non-zero, also those of
  // every object below, stopping at loops.
  void Uncache(const int recursive);
  // The walk behind Uncache(1): `path` is the path from the start object.
  void UncacheWithoutLoop(KelListValKelDMInstance& path);
  static int IsRefreshAllowed() { return RefreshAfterSync(); }

  // ---- Texts and drawing ----

  // The node text: the identification strings, then the lock lines when the
  // window shows locks, each cut to the window's text width unless it is -1.
  KelListValKelUnicodeString GetIdentificators() override;
  // The information text shown in the object's information box.
  KelUnicodeString InformationText();
  // Shows the information text; without a dialog toolkit it goes to the
  // standard output.
  void Information();
  // Empty unless the expand state is 2; otherwise one line per object of the
  // cycle, from this object upwards and back to it.
  KelListValKelUnicodeString GetCycleInformation() const;
  void UpdateTextElem(KelIGraphNode_var node) override;
  void CustomGraphNode(KelIGraphNode_var node) override;
  int FindNodeInBranch(KelLnkNode& node, int& counter) override;

  // ---- Expansion and structure (kel_lnk_object_expand.cc) ----

  // Expands (1) or collapses (0) the display node `node` that shows this
  // object; with `depth` 0 or less the twins elsewhere learn the expansion.
  void ExpandCollapse(const int expand, const class KelLnkCustomNode* node, const int depth);
  // Opens the levels below `node` (navigator levels; -1: the window's depth).
  void JustExpandIt(const class KelLnkCustomNode* node, const int depth);
  // Expands a node whose twin is expanded elsewhere (expand state 4 only).
  void ForceExpand(const class KelLnkCustomNode* node);
  // Finds or creates the product-structure node of the object; 0 on success.
  static int SetNode(class KelZumoInstance*& zumo, class KelPSNGraph* graph, class KelPSNNode*& node,
                     struct KelPSNError* error);
  // Fills the data manager's structure list from this object; 1 when
  // `level` is greater than `depth`, else 0.
  int LoadStructure(const int level, const int depth);
  void LoadStructureBelow(const int level, const int depth);
  // The stale children in synchronisation order, and one text per object.
  KelListPtrKelLnkObject GetOrdererNodeList();
  KelListValKelUnicodeString GetOrdererNodeNameList();

  // ---- Copy, paste and actions (kel_lnk_object_paste.cc) ----
  // Puts this object alone on the data-management clipboard (domain "QOR").
  void Copy();
  // Creates, for every clipboard object, a link of `linktype` between it and
  // this object (direction 0: from this object to it; 1: from it to this
  // object), stamped "C_MML_TS" = the child's "C_LASTMOD" and
  // "KELMML_STATUS" = "UPD", all in one transaction. Only models and
  // documents are pasted: any other clipboard object rolls back every link
  // and shows the clipboard message. Refreshes the window on success.
  // Returns 0, kel_ier::kClipboardEmpty (nothing pasted, nothing shown),
  // kel_ier::kInstanceNotFound for the clipboard error, or a database code.
  int Paste(const KelUnicodeString& linktype);
  // Creates a "check multi-model links" action on the object (its part first
  // when the object has exactly one "PART_LIST" row with its coid) and opens
  // the action dialog "MML" on it.
  void CreateAction();

  // ---- Tovra V4 (kel_lnk_object_identify.cc) ----
  // Sends the object to the running V4 application, waits for the element
  // the user picks there, and highlights (alone) the drawn parents whose
  // pointed UUIDs hold the element's UUID; the status bar says how many. An
  // exchange error is shown in the window's error box. Returns 0 or the
  // error's code.
  int Identify(KelIGraphNode_var node);

  // ---- Viewers (kel_lnk_object_open.cc) ----
  // Opens the object (`latest` 0) or its latest revision (1) in the viewer of
  // its table; without one, the window shows "Object.NoViewer.Message".
  void Open(const int latest);
  // What a viewer is given to open this object: its product instance when
  // it has a product-structure node that the window's product structure
  // still holds and is placed below the top part (an instance), else the
  // object alone (a reference).
  KelViewerToolBag::Item ViewerItem() const;
  // Starts `viewer` on `items`; the window (when not null) shows a failure
  // in its error box and the outcome in its status bar. Returns 0 or the
  // viewer's code.
  static int OpenInViewer(KelLnkGraphWindow* window, KelViewerToolBag& viewer,
                          const std::vector<KelViewerToolBag::Item>& items);
  // Shows the no-viewer message in the window's error box.
  static void ShowNoViewer(KelLnkGraphWindow* window);

  // ---- Class-wide state (one private instance in kel_lnk_object.cc) ----

  // The "synchronisation in progress" window while a synchronisation runs.
  static KelLnkModalDialogForSync* ModalDialogForSync();
  static void SetModalDialogForSync(KelLnkModalDialogForSync* dialog);
  // The window to refresh when a synchronisation ends.
  static KelLnkGraphWindow* MainWindowForSync();
  static void SetMainWindowForSync(KelLnkGraphWindow* window);
  // Whether the window may refresh after a synchronisation (starts 1).
  static int RefreshAfterSync();
  static void SetRefreshAfterSync(int refresh);
  // Return code of the last launch of a synchronisation or migration script.
  static int ScriptStatus();
  static void SetScriptStatus(int status);
  // Error of the last batch operation (batch/kel_lnk_object_batch.h), read
  // and written in place.
  static KelQorError& BatchError();
  // Direction of windowless objects in GetChildren: 0 "impacted by", else "impacts on".
  static int BatchOrder();
  static void SetBatchOrder(int order);
  // Debug switches, taken from MML_DEBUG_EXPAND and MML_DEBUG_CUSTOM when the
  // module loads.
  static int DbgExpand();
  static int DbgCustom();
  static void SetDbgExpandForTesting(int on);
  // Back to the state a fresh process finds (debug switches from the
  // environment again); the object cache is emptied by Clean.
  static void ResetState();

 private:
  KelListValKelBaseUnknown_var ComputeLinks(int direction, bool drawn);
  KelListValKelUnicodeString CycleLine() const;

  // First, so that they fill the end of the model node's fields.
  bool conditionCached_ = false;
  bool impactOnConditionCached_ = false;
  int8_t condition_ = GOOD;
  int8_t impactOnCondition_ = GOOD;
  int level_ = -1;
  KelLnkGraphWindow* window_ = nullptr;
  KelLnkLink* parentLink_ = nullptr;
  // Distinguishes objects for the cache of child links, whose links name
  // their parent object: a number, never reused, unlike an address.
  unsigned long serial_ = 0;
};

// Creates an interactive object and returns its handle. The interface name
// is that of the navigator's request; every interface of a model node is
// reached through the one handle.
KelBaseUnknown_var KelLnkObjectBindInterface(KelLnkGraphWindow* window, const KelDMInstance& instance,
                                             KelZumoInstance* zumo, KelPSNNode* psn, const int& solved,
                                             const char* interfaceName);

// "[KelLnkObject: Address : <address> ID ----> <identificator> ... ]"
std::ostream& operator<<(std::ostream& out, KelLnkObject& object);
