// KelLnkMethod: one entry of the contextual menu of a drawn node (right
// click). The window composes the menu (KelLnkComposeMethods) each time it
// opens: for an object node, in menu order, expand or collapse (or force
// expand), open, synchronise (models), copy, paste, create action, check out
// and in (when locks are shown), new windows (outside product structures),
// information, identify (entity mode, models, not on the root of an
// "impacted by" graph nor on leaves of an "impacts on" graph) and replication
// (when the access rules grant "QOR Replication InsertQueue"); parts get no
// synchronise, copy, paste, action or new-window entries. For a link node:
// synchronise, set synchronised, upissue, accept, type and delete (not for
// Tovra V5 link types), then information.
//
// Each method creates its items (identifiers "Item...", submenus "Menu..."),
// titled and helped from the window's resources with English defaults, sets
// their sensitivity from the node's condition and flags, and runs the chosen
// operation. A method's destructor detaches the callbacks of its items.
#pragma once

#include <memory>
#include <vector>

#include "base/kel_types.h"
#include "host/dlg/kel_dlg_objects.h"
#include "host/kel_dm_instance.h"

class KelLnkWindowView;
class KelLnkCustomNode;
class KelLnkNode;

class KelLnkMethod : public KelCommand {
 public:
  enum Method : int {
    ExpandCollapse = 0,
    Open = 1,
    SynchroniseObject = 3,
    Copy = 4,
    Paste = 5,
    CreateAction = 6,
    MML = 7,
    InformationObject = 8,
    SynchroniseLink = 9,
    SetSynchronised = 10,
    Upissue = 11,
    Accept = 12,
    Linktype = 13,
    Delete = 14,
    InformationLink = 15,
    CheckOut = 16,
    CheckIn = 17,
    ForceExpand = 18,
    IdentifyV4 = 19,
    Replication = 20,
  };

  // Creates the items of `method` for `display` in `menu`.
  KelLnkMethod(KelLnkWindowView* window, Method method, KelDlgObject* menu, KelLnkCustomNode* display);
  ~KelLnkMethod() override;

  Method GetMethod() const { return method_; }
  // Detaches the callbacks of the items (the graph the method acts on is
  // being rebuilt): its items do nothing from then on.
  void Detach();
  const std::vector<KelDlgObject*>& GetItems() const { return items_; }

  // Callbacks: `data` points to the item's integer.
  void CBExpandCollapse(KelCommand* sender, KelNotification notification, void* data);
  void CBForceExpand(KelCommand* sender, KelNotification notification, void* data);
  // Data 0 opens the highlighted objects, 1 this object, 2 its latest version.
  void CBOpenObject(KelCommand* sender, KelNotification notification, void* data);
  // Data 0 "This level", 1 "Full" (in an "impacts on" window "Get order"),
  // 2 "Full, show reverse".
  void CBSynchroniseObject(KelCommand* sender, KelNotification notification, void* data);
  void CBSynchroniseLink(KelCommand* sender, KelNotification notification, void* data);
  void CBSetSynchronisedLink(KelCommand* sender, KelNotification notification, void* data);
  void CBUpissue(KelCommand* sender, KelNotification notification, void* data);
  void CBAccept(KelCommand* sender, KelNotification notification, void* data);
  // Data: the index of the new type in the method's list of link types.
  void CBLinktype(KelCommand* sender, KelNotification notification, void* data);
  void CBDelete(KelCommand* sender, KelNotification notification, void* data);
  void CBCopy(KelCommand* sender, KelNotification notification, void* data);
  void CBPaste(KelCommand* sender, KelNotification notification, void* data);
  void CBCreateAction(KelCommand* sender, KelNotification notification, void* data);
  void CBMML(KelCommand* sender, KelNotification notification, void* data);
  void CBInformationObject(KelCommand* sender, KelNotification notification, void* data);
  void CBInformationLink(KelCommand* sender, KelNotification notification, void* data);
  void CBCheckIn(KelCommand* sender, KelNotification notification, void* data);
  void CBCheckOut(KelCommand* sender, KelNotification notification, void* data);
  void CBIdentifyV4(KelCommand* sender, KelNotification notification, void* data);
  // Data 0: from an item, creates the replication command; data 1: from the
  // command's end (OK, Cancel, Error), destroys it.
  void CBReplicate(KelCommand* sender, KelNotification notification, void* data);

 private:
  using Callback = void (KelLnkMethod::*)(KelCommand*, KelNotification, void*);
  KelDlgObject* AddSubMenu(const char* id, const char* titleKey, const char* titleDefault,
                           const char* helpKey = nullptr, const char* helpDefault = nullptr);
  KelDlgObject* AddItem(KelDlgObject* parent, const char* id, const KelUnicodeString& title,
                        const KelUnicodeString& help, Callback callback, int data);
  KelDlgObject* AddItem(KelDlgObject* parent, const char* id, const char* titleKey, const char* titleDefault,
                        const char* helpKey, const char* helpDefault, Callback callback, int data);
  void BuildObjectEntry();
  void BuildLinkEntry();
  bool Flagged() const { return broken_ || null_; }

  KelLnkWindowView* window_;
  Method method_;
  KelDlgObject* menu_;
  KelLnkCustomNode* display_;
  KelLnkNode* node_;
  int kind_ = 2;             // 0 part, 1 model, 2 other table
  int objectCondition_ = 0;  // of an object
  int linkCondition_ = 0;    // of a link
  bool broken_ = false;
  bool null_ = false;
  std::vector<KelDlgObject*> items_;
  KelListValKelUnicodeString linktypes_;
  std::vector<std::unique_ptr<int>> data_;  // each item's integer, at a fixed address
};

// Fills `menu` with the entries of `display` in menu order (see the file
// comment). The caller owns the methods and deletes them before the menu.
std::vector<std::unique_ptr<KelLnkMethod>> KelLnkComposeMethods(KelLnkWindowView* window, KelDlgObject* menu,
                                                                KelLnkCustomNode* display);
