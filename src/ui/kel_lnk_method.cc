#include "ui/kel_lnk_method.h"

#include <algorithm>

#include "base/kel_text.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_custom_node.h"
#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_dm_cmd_replicate.h"
#include "host/dm/kel_dm_clipboard.h"
#include "host/dm/kel_dm_security.h"
#include "host/kel_psn_trace.h"
#include "operations/kel_lnk_synchronise.h"
#include "ui/kel_lnk_boxes.h"
#include "ui/kel_lnk_window_view.h"

namespace {

int Data(void* data) { return data == nullptr ? 0 : *static_cast<const int*>(data); }

bool OneOf(int value, std::initializer_list<int> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

// The link types behind the paste and type items.
KelListValKelUnicodeString PastableLinktypes() {
  KelListValKelUnicodeString types;
  for (const KelUnicodeString& type : KelLnkTools::GetLinktypes()) {
    if (!KelLnkTools::IsTOVRALinktype(type)) types.push_back(type);
  }
  return types;
}

// The end of a replication command (CBReplicate with data 1).
void EndReplicate(KelCommand* sender) {
  if (sender == nullptr) {
    MML_TRACE("KelLnkMethod::CBReplicate");
    mmlFunctionTrace.Write("Error : null replicate command");
    return;
  }
  sender->RequestDelayedDestruction();
}

}  // namespace

KelLnkMethod::KelLnkMethod(KelLnkWindowView* window, Method method, KelDlgObject* menu, KelLnkCustomNode* display)
    : window_(window), method_(method), menu_(menu), display_(display), node_(display->GetLnkNode()) {
  if (node_ == nullptr) return;
  if (node_->GetNodetype() == 0) {
    auto* object = static_cast<KelLnkObject*>(node_);
    const KelUnicodeString table = RightTrimBlanks(object->GetInstance().GetTable());
    kind_ = table == "PART_LIST" ? 0 : table == "TOVRA_MODEL" ? 1 : 2;
    objectCondition_ = object->GetCondition(0);
    broken_ = object->Exists() == 0;
    null_ = broken_ && object->IsNull();
    BuildObjectEntry();
  } else {
    auto* link = static_cast<KelLnkLink*>(node_);
    linkCondition_ = link->GetCondition(0);
    broken_ = linkCondition_ == KelLnkLink::BROKEN;
    null_ = linkCondition_ == KelLnkLink::UNKNOWN;
    BuildLinkEntry();
  }
}

KelLnkMethod::~KelLnkMethod() { Detach(); }

void KelLnkMethod::Detach() {
  for (KelDlgObject* item : items_) RemoveAllCallbacksOf(item);
}

KelDlgObject* KelLnkMethod::AddSubMenu(const char* id, const char* titleKey, const char* titleDefault,
                                       const char* helpKey, const char* helpDefault) {
  auto* sub = new KelDlgSubMenu(menu_, id, 0);
  sub->SetTitle(window_->GetResource(titleKey, titleDefault));
  if (helpKey != nullptr) sub->SetHelp(window_->GetResource(helpKey, helpDefault));
  items_.push_back(sub);
  return sub;
}

KelDlgObject* KelLnkMethod::AddItem(KelDlgObject* parent, const char* id, const KelUnicodeString& title,
                                    const KelUnicodeString& help, Callback callback, int data) {
  auto* item = new KelDlgPushItem(parent, id, 0);
  item->SetTitle(title);
  item->SetHelp(help);
  data_.push_back(std::make_unique<int>(data));
  items_.push_back(item);
  AddAnalyseNotificationCB(
      item, KelNotification::Activate,
      [this, callback](KelCommand* sender, KelNotification n, void* d) { (this->*callback)(sender, n, d); },
      data_.back().get(), this);
  return item;
}

KelDlgObject* KelLnkMethod::AddItem(KelDlgObject* parent, const char* id, const char* titleKey,
                                    const char* titleDefault, const char* helpKey, const char* helpDefault,
                                    Callback callback, int data) {
  return AddItem(parent, id, window_->GetResource(titleKey, titleDefault), window_->GetResource(helpKey, helpDefault),
                 callback, data);
}

void KelLnkMethod::BuildObjectEntry() {
  MML_TRACE("KelLnkMethod::KelLnkMethod");
  using M = KelLnkMethod;
  auto* object = static_cast<KelLnkObject*>(node_);
  const bool impactsOn = window_->GetOrder() == 1;
  switch (method_) {
    case ExpandCollapse: {
      KelIGraphNode* drawn = display_->GetDrawnNode();
      const bool expanded = drawn != nullptr && drawn->IsExpanded();
      AddItem(menu_, expanded ? "ItemCollapse" : "ItemExpand",
              expanded ? "Method.Collapse.Title" : "Method.Expand.Title", expanded ? "Collapse" : "Expand",
              expanded ? "Method.Collapse.Help" : "Method.Expand.Help",
              expanded ? "Collapse the node" : "Expand the node", &M::CBExpandCollapse, expanded ? 0 : 1)
          ->SetSensitivity(!Flagged());
      break;
    }
    case ForceExpand:
      AddItem(menu_, "ItemForceExpand", "Method.ForceExpand.Title", "Force expand", "Method.ForceExpand.Help",
              "Collapse expanded twin and expand the node", &M::CBForceExpand, 0)
          ->SetSensitivity(!Flagged());
      break;
    case Open: {
      KelDlgObject* sub = AddSubMenu("MenuOpenObject", "Method.OpenObject.Title", "Open");
      KelDlgObject* selected =
          AddItem(sub, "ItemOpenObjectSelected", "Method.OpenObject.Selected.Title", "All selected",
                  "Method.OpenObject.Selected.Help", "Open the selected objects in a viewer", &M::CBOpenObject, 0);
      selected->SetSensitivity(window_->GetNavigatorController()->GetHSO().GetCount() > 0);
      KelDlgObject* self =
          kind_ == 0 ? AddItem(sub, "ItemOpenObjectThis", "Method.OpenObject.Current.Title", "This object",
                               "Method.OpenObject.This.Help", "Open the object in a viewer", &M::CBOpenObject, 1)
                     : AddItem(sub, "ItemOpenObjectThis", "Method.OpenObject.This.Title", "This version",
                               "Method.OpenObject.This.Help", "Open the object in a viewer", &M::CBOpenObject, 1);
      KelDlgObject* latest = nullptr;
      if (kind_ != 0) {
        latest = AddItem(sub, "ItemOpenObjectLatest", "Method.OpenObject.Latest.Title", "Latest version",
                         "Method.OpenObject.Latest.Help", "Open the latest version of the object in a viewer",
                         &M::CBOpenObject, 2);
      }
      if (!broken_) {
        if (latest != nullptr && object->IsLatest()) latest->SetSensitivity(false);
      } else {
        self->SetSensitivity(false);
        if (latest != nullptr) latest->SetSensitivity(false);
      }
      if (Flagged()) sub->SetSensitivity(false);
      break;
    }
    case SynchroniseObject: {
      KelDlgObject* sub = AddSubMenu("MenuSynchroniseObject", "Method.SynchroniseObject.Title", "Synchronise");
      KelDlgObject* level = AddItem(sub, "ItemSynchroniseObjectThis", "Method.SynchroniseObjectThis.Title",
                                    "This level", "Method.SynchroniseObjectThis.Help",
                                    "Synchronise the object at this level", &M::CBSynchroniseObject, 0);
      KelDlgObject* full =
          impactsOn ? AddItem(sub, "ItemSynchroniseObjectFull", "Method.SynchroniseObjectGetOrder.Title", "Get order",
                              "Method.SynchroniseObjectGetOrder.Help",
                              "Get the synchronisation order of the impacted parts", &M::CBSynchroniseObject, 1)
                    : AddItem(sub, "ItemSynchroniseObjectFull", "Method.SynchroniseObjectFull.Title", "Full",
                              "Method.SynchroniseObjectFull.Help", "Synchronise the object fully",
                              &M::CBSynchroniseObject, 1);
      KelDlgObject* reverse =
          AddItem(sub, "ItemSynchroniseObjectFullReverse", "Method.SynchroniseObjectFullReverse.Title",
                  "Full, show reverse", "Method.SynchroniseObjectFullReverse.Help",
                  "Synchronise the object fully, and show reverse links", &M::CBSynchroniseObject, 2);
      if (!impactsOn) {
        if (objectCondition_ != KelLnkObject::BADDATE) {
          level->SetSensitivity(false);
          reverse->SetSensitivity(false);
        }
      } else if (KelLnkTools::IsImpactsOnSupported()) {
        mmlFunctionTrace.Write("ImpactedOn->Synchronize enabled by declarative");
        level->SetSensitivity(false);
        reverse->SetSensitivity(false);
        full->SetSensitivity(
            (objectCondition_ == KelLnkObject::BADDATE || object->GetImpactOnCondition() == KelLnkObject::BADDATE) &&
            !object->GetChildren().empty());
      } else {
        sub->SetSensitivity(false);
      }
      if (Flagged()) sub->SetSensitivity(false);
      break;
    }
    case Copy:
      AddItem(menu_, "ItemCopy", "Method.Copy.Title", "Copy", "Method.Copy.Help", "Copy the object", &M::CBCopy, 0)
          ->SetSensitivity(!Flagged());
      break;
    case Paste: {
      KelDlgObject* sub = AddSubMenu("MenuPaste", "Method.Paste.Title", "Paste");
      linktypes_ = PastableLinktypes();
      const KelUnicodeString help = window_->GetResource("Method.Paste.Help", "Paste links onto the object with type");
      for (size_t k = 0; k < linktypes_.size(); ++k) {
        const KelUnicodeString name = KelLnkTools::LinktypeToLinkname(linktypes_[k]);
        AddItem(sub, "ItemPaste", name, help + " " + name, &M::CBPaste, static_cast<int>(k));
      }
      sub->SetSensitivity(KelDMClipboard::Get().GetNbObject() > 0 && !Flagged());
      break;
    }
    case CreateAction:
      AddItem(menu_, "ItemCreateAction", "Method.CreateAction.Title", "Create action", "Method.CreateAction.Help",
              "Create an action on the object", &M::CBCreateAction, 0)
          ->SetSensitivity(!Flagged() && objectCondition_ != KelLnkObject::GOOD);
      break;
    case MML: {
      KelDlgObject* sub = AddSubMenu("MenuMML", "Method.MML.Title", "Multi-model links");
      AddItem(sub, "ItemMMLTo", "Method.MML.To.Title", "Impacts on", "Method.MML.To.Help", "Open a new MML viewer",
              &M::CBMML, 1);
      AddItem(sub, "ItemMMLFrom", "Method.MML.From.Title", "Impacted by", "Method.MML.From.Help",
              "Open a new MML viewer", &M::CBMML, 0);
      sub->SetSensitivity(!null_);
      break;
    }
    case InformationObject:
      AddItem(menu_, "ItemInformationObject", "Method.InformationObject.Title", "Information",
              "Method.InformationObject.Help", "Display information about the object", &M::CBInformationObject, 0);
      break;
    case CheckOut:
      AddItem(menu_, "ItemCheckOut", "Method.CheckOut.Title", "Check Out...", "Method.CheckOut.Help",
              "Check out this object", &M::CBCheckOut, 0)
          ->SetSensitivity(!Flagged());
      break;
    case CheckIn:
      AddItem(menu_, "ItemCheckIn", "Method.CheckIn.Title", "Check In", "Method.CheckIn.Help", "Check in this object",
              &M::CBCheckIn, 0)
          ->SetSensitivity(!Flagged());
      break;
    case IdentifyV4:
      AddItem(menu_, "ItemIdentifyV4", "Method.Identify.Title", "Identify", "Method.Identify.Help",
              "Identify child models from Tovra V4", &M::CBIdentifyV4, 0)
          ->SetSensitivity(!Flagged());
      break;
    case Replication: {
      KelDlgObject* sub = AddSubMenu("MenuReplicate", "Method.Replicate.Title", "Replication");
      AddItem(sub, "ItemReplicateAsynchronous", "Method.Replicate.Asynchronous.Title", "Add to Queue",
              "Method.Replicate.Asynchronous.Help", "Add selected object to replication queue.", &M::CBReplicate, 0);
      AddItem(sub, "ItemReplicateSynchronous", "Method.Replicate.Synchronous.Title", "Replicate",
              "Method.Replicate.Synchronous.Help", "Replicate selected object.", &M::CBReplicate, 0);
      sub->SetSensitivity(!Flagged());
      break;
    }
    default:
      break;
  }
}

void KelLnkMethod::BuildLinkEntry() {
  using M = KelLnkMethod;
  auto* link = static_cast<KelLnkLink*>(node_);
  const bool impactedBy = window_->GetOrder() == 0;
  const KelUnicodeString type = link->GetLinktype();
  const bool tovra = KelLnkTools::IsTOVRALinktype(type) != 0;
  const int techno = link->GetTechno();
  const bool upGood = linkCondition_ == KelLnkLink::UP_GOOD;
  const bool stale = OneOf(linkCondition_, {KelLnkLink::BADDATE, KelLnkLink::UP_GOOD, KelLnkLink::UP_BADDATE});
  switch (method_) {
    case SynchroniseLink:
      AddItem(menu_, "ItemSynchroniseLink", "Method.SynchroniseLink.Title", "Synchronise",
              "Method.SynchroniseLink.Help", "Synchronise the link", &M::CBSynchroniseLink, 0)
          ->SetSensitivity(impactedBy && stale && !Flagged());
      break;
    case SetSynchronised:
      AddItem(menu_, "ItemSetSynchronisedLink", "Method.SetSynchronisedLink.Title", "Set synchronised",
              "Method.SetSynchronisedLink.Help", "Set the link as synchronised", &M::CBSetSynchronisedLink, 0)
          ->SetSensitivity(impactedBy && stale && !tovra && !Flagged());
      break;
    case Upissue: {
      // The far object: the child in "impacts on", the parent in "impacted by".
      KelLnkObject* far = impactedBy ? link->GetParent() : link->GetChild();
      AddItem(menu_, "ItemUpissue", "Method.Upissue.Title", "Upissue", "Method.Upissue.Help", "Upissue the link",
              &M::CBUpissue, 0)
          ->SetSensitivity(upGood && techno != 0 && techno != 2 && far != nullptr && far->IsLatest() && !Flagged());
      break;
    }
    case Accept:
      AddItem(menu_, "ItemAccept", "Method.Accept.Title", "Accept", "Method.Accept.Help", "Accept the link",
              &M::CBAccept, 0)
          ->SetSensitivity(!Flagged() && upGood && techno != 0 && techno != 2);
      break;
    case Linktype: {
      KelDlgObject* sub =
          AddSubMenu("MenuLinktype", "Method.Linktype.Title", "Type", "Method.Linktype.Help", "Change the linktype to");
      linktypes_ = PastableLinktypes();
      for (size_t k = 0; k < linktypes_.size(); ++k) {
        const KelUnicodeString name = KelLnkTools::LinktypeToLinkname(linktypes_[k]);
        AddItem(sub, "ItemLinktype", name, sub->GetHelp() + " " + name, &M::CBLinktype, static_cast<int>(k))
            ->SetSensitivity(linktypes_[k] != type);
      }
      if (tovra) sub->SetSensitivity(false);
      break;
    }
    case Delete:
      AddItem(menu_, "ItemDelete", "Method.Delete.Title", "Delete", "Method.Delete.Help", "Delete the link",
              &M::CBDelete, 0)
          ->SetSensitivity(!null_ && !tovra);
      break;
    case InformationLink:
      AddItem(menu_, "ItemInformationLink", "Method.InformationLink.Title", "Information",
              "Method.InformationLink.Help", "Display information about the link", &KelLnkMethod::CBInformationLink, 0);
      break;
    default:
      break;
  }
}

// ---- Callbacks ----

void KelLnkMethod::CBExpandCollapse(KelCommand*, KelNotification, void* data) {
  window_->HideGraph();
  static_cast<KelLnkObject*>(node_)->ExpandCollapse(Data(data), display_, 0);
  KelLnkObject::Clean();
  window_->ShowGraph();
}

void KelLnkMethod::CBForceExpand(KelCommand*, KelNotification, void*) {
  window_->HideGraph();
  KelLnkObject::Clean();
  static_cast<KelLnkObject*>(node_)->ForceExpand(display_);
  window_->ShowGraph();
}

// The operations below may refresh the window, which releases the nodes it
// no longer draws: each holds the node for the length of the call.

void KelLnkMethod::CBOpenObject(KelCommand*, KelNotification, void* data) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  const int what = Data(data);
  if (what == 0) return window_->Open();
  static_cast<KelLnkObject*>(node_)->Open(what == 2 ? 1 : 0);
}

void KelLnkMethod::CBSynchroniseObject(KelCommand*, KelNotification, void* data) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  auto& object = *static_cast<KelLnkObject*>(node_);
  switch (Data(data)) {
    case 0:
      KelLnkSynchronise::Synchronise(object, 1);
      break;
    case 1:
      if (window_->GetOrder() == 1) {
        KelLnkSynchronise::GetOrder(object);
      } else {
        KelLnkSynchronise::FullSynchronise(object, 0);
      }
      break;
    default:
      KelLnkSynchronise::FullSynchronise(object, 1);
      break;
  }
}

void KelLnkMethod::CBSynchroniseLink(KelCommand*, KelNotification, void*) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  KelLnkSynchronise::SynchroniseLink(*static_cast<KelLnkLink*>(node_));
}

void KelLnkMethod::CBSetSynchronisedLink(KelCommand*, KelNotification, void*) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  static_cast<KelLnkLink*>(node_)->SetSynchronised();
}

void KelLnkMethod::CBUpissue(KelCommand*, KelNotification, void*) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  static_cast<KelLnkLink*>(node_)->Upissue();
}

void KelLnkMethod::CBAccept(KelCommand*, KelNotification, void*) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  static_cast<KelLnkLink*>(node_)->Accept();
}

void KelLnkMethod::CBLinktype(KelCommand*, KelNotification, void* data) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  const int k = Data(data);
  if (k >= 0 && k < static_cast<int>(linktypes_.size())) static_cast<KelLnkLink*>(node_)->Linktype(linktypes_[k]);
}

void KelLnkMethod::CBDelete(KelCommand*, KelNotification, void*) {
  const KelBaseUnknown_var hold = node_->weak_from_this().lock();
  static_cast<KelLnkLink*>(node_)->Delete();
}

void KelLnkMethod::CBCopy(KelCommand*, KelNotification, void*) { static_cast<KelLnkObject*>(node_)->Copy(); }

void KelLnkMethod::CBPaste(KelCommand*, KelNotification, void* data) {
  const int k = Data(data);
  if (k >= 0 && k < static_cast<int>(linktypes_.size())) static_cast<KelLnkObject*>(node_)->Paste(linktypes_[k]);
}

void KelLnkMethod::CBCreateAction(KelCommand*, KelNotification, void*) {
  static_cast<KelLnkObject*>(node_)->CreateAction();
}

void KelLnkMethod::CBMML(KelCommand*, KelNotification, void* data) {
  const KelDMInstance instance = node_->GetInstance();
  new KelLnkWindowView(window_->GetZUMOPanel(), &instance, Data(data), nullptr, nullptr, nullptr);
}

void KelLnkMethod::CBInformationObject(KelCommand*, KelNotification, void*) {
  new KelLnkInformationBox(window_, static_cast<KelLnkObject*>(node_)->InformationText());
}

void KelLnkMethod::CBInformationLink(KelCommand*, KelNotification, void*) {
  new KelLnkInformationBox(window_, static_cast<KelLnkLink*>(node_)->InformationText());
}

void KelLnkMethod::CBCheckIn(KelCommand*, KelNotification, void*) { window_->CheckIn(node_->GetInstance()); }

void KelLnkMethod::CBCheckOut(KelCommand*, KelNotification, void*) { window_->CheckOut(node_->GetInstance()); }

void KelLnkMethod::CBIdentifyV4(KelCommand*, KelNotification, void*) {
  static_cast<KelLnkObject*>(node_)->Identify(display_->GetDrawnNode());
}

void KelLnkMethod::CBReplicate(KelCommand* sender, KelNotification, void* data) {
  MML_TRACE("KelLnkMethod::CBReplicate");
  if (Data(data) == 1) return EndReplicate(sender);
  auto* item = static_cast<KelDlgObject*>(sender);
  const bool known = item != nullptr && (item->GetIdentifier() == "ItemReplicateAsynchronous" ||
                                         item->GetIdentifier() == "ItemReplicateSynchronous");
  if (!known || node_ == nullptr) {
    mmlFunctionTrace.Write("Error : unknown command [" + (item ? item->GetIdentifier() : KelUnicodeString()) + "]");
    return;
  }
  const int mode = item->GetIdentifier() == "ItemReplicateSynchronous" ? 1 : 0;
  auto* command = new KelDMCmdReplicate(window_, {node_->GetInstance()}, mode);
  // The command outlives the menu: its end is handled without this method.
  for (KelNotification n : {KelNotification::OK, KelNotification::Cancel, KelNotification::Error}) {
    AddAnalyseNotificationCB(
        command, n, [](KelCommand* from, KelNotification, void*) { EndReplicate(from); }, nullptr, command);
  }
}

std::vector<std::unique_ptr<KelLnkMethod>> KelLnkComposeMethods(KelLnkWindowView* window, KelDlgObject* menu,
                                                                KelLnkCustomNode* display) {
  MML_TRACE("KelLnkCustomNode::ProcessAfterMethod");
  std::vector<std::unique_ptr<KelLnkMethod>> methods;
  KelLnkNode* node = display->GetLnkNode();
  if (node == nullptr) return methods;
  auto add = [&](KelLnkMethod::Method m) {
    methods.push_back(std::make_unique<KelLnkMethod>(window, m, menu, display));
  };
  using M = KelLnkMethod;
  if (node->GetNodetype() == 1) {
    if (!KelLnkTools::IsTOVRAV5Linktype(static_cast<KelLnkLink*>(node)->GetLinktype())) {
      for (M::Method m : {M::SynchroniseLink, M::SetSynchronised, M::Upissue, M::Accept, M::Linktype, M::Delete})
        add(m);
    }
    add(M::InformationLink);
    return methods;
  }
  auto* object = static_cast<KelLnkObject*>(node);
  const KelUnicodeString table = RightTrimBlanks(object->GetInstance().GetTable());
  const bool part = table == "PART_LIST";
  const int state = node->IsExpandable();
  if (state == kExpandOnce || state == kExpandSameInOtherBranch) add(M::ExpandCollapse);
  if (state == kExpandSameExpandedInOtherBranch) add(M::ForceExpand);
  add(M::Open);
  if (!part) {
    if (table == "TOVRA_MODEL") add(M::SynchroniseObject);
    for (M::Method m : {M::Copy, M::Paste, M::CreateAction}) add(m);
  }
  if (window->GetShowLocks() != 0) {
    new KelDlgSeparatorItem(menu, "Method.Sep1", 0);
    add(M::CheckOut);
    add(M::CheckIn);
    new KelDlgSeparatorItem(menu, "Method.Sep2", 0);
  }
  if (!window->HasPSNContext() && !part) add(M::MML);
  add(M::InformationObject);
  if (KelLnkTools::IsEntityMode() && table == "TOVRA_MODEL") {
    if (window->GetOrder() == 1) {
      if (object->GetChildren().empty()) {
        mmlFunctionTrace.Write(" Impact On Graph : NOT ON LEAVES ");
      } else {
        add(M::IdentifyV4);
      }
    } else if (window->GetRootController() == nullptr || window->GetRootCustomNode() == display) {
      mmlFunctionTrace.Write(" Impacted By Graph : NOT ON ROOT ");
    } else {
      add(M::IdentifyV4);
    }
  }
  const KelDMSecurityManager* security = GetSecurityManager();
  if (security != nullptr && security->GetGrantCount("QOR", "Replication", "InsertQueue") > 0) add(M::Replication);
  return methods;
}
