// KelLnkLink: one multi-model link of a graph, the edge between the object
// that holds the link (its parent) and the object it leads to in the drawn
// tree (its child). It carries the link's type, date, status, technology and
// UUIDs as the link database read them, works out and caches the link's
// condition, and gives its graph node the colour class of that condition.
//
// Link conditions: 0 GOOD, 1 GOODOLD, 2 BADDATE, 3 BROKEN, 4 UNKNOWN,
// 5 UP_GOOD, 6 UP_BADDATE. Technologies: 0 unknown, 1 model to model ("$EXT"),
// 2 entity to entity, 3 both, 4 V5.
#pragma once

#include <cstdint>

#include "base/kel_text_pool.h"
#include "base/kel_types.h"
#include "graph/kel_lnk_node.h"
#include "host/kel_dm_instance.h"

class KelLnkObject;
class KelLnkGraphWindow;
class KelLnkModalDialogForSync;

class KelLnkLink : public KelLnkNode {
 public:
  enum Condition : int { GOOD = 0, GOODOLD = 1, BADDATE = 2, BROKEN = 3, UNKNOWN = 4, UP_GOOD = 5, UP_BADDATE = 6 };

  // Stores the fields, clears the caches and registers itself as the parent
  // link of the child object. `instance` is the link row (environment and
  // table of the row, coid and compid recorded with it); `child` holds the
  // object the link leads to; `parent` is not owned, but kept alive as long
  // as the link when a handle holds it.
  KelLnkLink(KelLnkGraphWindow* window, const KelDMInstance& instance, KelLnkObject* parent, KelPooledString linktype,
             KelPooledString date, KelPooledString status, int upToDate, int techno,
             const KelListValKelUnicodeString& uuids, KelBaseUnknown_var child);
  // Copy and assignment copy every member, the cached condition included.
  KelLnkLink(const KelLnkLink& other);
  KelLnkLink& operator=(const KelLnkLink& other);
  // Unregisters itself from the child object if it is still its parent link.
  ~KelLnkLink() override;

  KelLnkObject* GetParent() const { return parent_.get(); }
  // The object behind the child node.
  KelLnkObject* GetChild() const;
  KelBaseUnknown_var GetChildNode() const { return child_; }
  // A one-element list holding the child node.
  KelListValKelBaseUnknown_var GetChildren() override;
  KelListValKelBaseUnknown_var GetLnkChildren(int reverse);
  int GetNodetype() const override { return 1; }
  KelLnkGraphWindow* GetMainWindow() const override { return window_; }

  KelUnicodeString GetLinktype() const;
  KelUnicodeString GetDate() const;
  KelUnicodeString GetStatus() const;
  KelListValKelUnicodeString GetUuid() const { return *uuids_; }
  // Up-to-date verdict of the link database (used for product link types).
  int GetUpToDate() const { return upToDate_; }
  // The technology code, returned unchanged even outside 0..4.
  int GetTechno() const;

  // The condition, computed once for the life of the link. With `reverse`
  // non-zero the window's order is inverted.
  int GetCondition(int reverse);

  // Texts and drawing.
  KelListValKelUnicodeString GetIdentificators() override;
  void CustomGraphNode(KelIGraphNode_var node) override;
  void UpdateTextElem(KelIGraphNode_var node) override;
  // The text of the link information box.
  KelUnicodeString InformationText();
  // Shows it; without a dialog toolkit it goes to the standard output.
  void Information();
  int FindNodeInBranch(KelLnkNode& node, int& counter) override;

  // Clears the link's own part of a recursive uncache: walks on into the
  // child object with the path of instances from the start object.
  void UncacheWithoutLoop(KelListValKelDMInstance& path);

  // ---- Maintenance (kel_lnk_link_maintenance.cc) ----
  // Each shows the busy cursor, changes the link's row of "$EXT" (or the
  // object behind the link) in one transaction and returns 0, or rolls back,
  // shows the host's display text of the failure in one error box and returns
  // the kel_ier code; the members then stay as they were. The row is the one
  // the link instance holds ("$COID", "$COMPID_FATHER") to the referenced
  // object ("$COMPID_REF": the child in order 0, the parent in order 1).

  // "$TYPE" becomes the label of `newType` (the row of the current type is
  // changed); on success the link takes the new type. No refresh.
  int SetLinktype(const KelUnicodeString& newType);
  // "KELMML_STATUS" becomes `newStatus`; on success the link takes it. No refresh.
  int SetStatus(const KelUnicodeString& newStatus);
  // SetStatus("TOK"), then the window refresh.
  int Accept();
  // SetLinktype(newType), then the window refresh.
  int Linktype(const KelUnicodeString& newType);
  // Points the row at the latest revision of the referenced object, with its
  // latest date as "C_MML_TS" and the status "UPD"; commit, window refresh.
  int Upissue();
  // When the link is BADDATE, UP_GOOD or UP_BADDATE: the referencing object's
  // "C_LASTMOD" becomes the referenced object's date. Otherwise nothing is
  // written. The window refreshes in every case.
  int SetSynchronised();
  // Deletes the link row (KelDMInstance::DeleteChild); commit, window refresh.
  int Delete();
  // The object the link references (child in order 0, parent in order 1) and
  // the object that holds the link.
  KelLnkObject* GetReferenced() const;
  KelLnkObject* GetReferencing() const;

  static KelUnicodeString IntToString(int value);
  // The condition name ("GOOD", ...) and the colour class of the link node
  // ("good", ...) of a condition code; empty outside 0..6.
  static KelUnicodeString ConditionName(int condition);
  static KelUnicodeString ConditionClass(int condition);

  // Class-wide members of a single link's synchronisation.
  static KelLnkModalDialogForSync* spModalDialogForSync;
  static KelLnkGraphWindow* spMainWindowForSync;
  static int _ierxco;

 private:
  // First, so that they fill the end of the model node's fields.
  int8_t impactsOn_ = 0;
  bool impactsOnKnown_ = false;
  bool conditionKnown_ = false;
  int8_t condition_ = GOOD;
  int upToDate_ = 0;
  int techno_ = 0;
  KelLnkGraphWindow* window_ = nullptr;
  // The parent. The handle keeps it alive while the link lives when the
  // parent is held by handles (interactive objects); for a parent made
  // without one it owns nothing and only points at it.
  std::shared_ptr<KelLnkObject> parent_;
  // Pooled: a graph draws every link row many times over, and the rows
  // repeat their types, dates and statuses.
  KelPooledString linktype_;
  KelPooledString date_;
  KelPooledString status_;
  KelBaseUnknown_var child_;
  // Pooled, as the texts above.
  const KelListValKelUnicodeString* uuids_;
};

// Builds a link and returns its handle (see KelLnkObjectBindInterface).
KelBaseUnknown_var KelLnkLinkBindInterface(KelLnkGraphWindow* window, const KelDMInstance& instance,
                                           KelLnkObject* parent, KelPooledString linktype, KelPooledString date,
                                           KelPooledString status, int upToDate, int techno,
                                           const KelListValKelUnicodeString& uuids, KelBaseUnknown_var child,
                                           const char* interfaceName);
