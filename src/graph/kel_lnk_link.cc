#include "graph/kel_lnk_link.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <string_view>

#include "base/kel_text_pool.h"
#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_texts.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_lnk_resources.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_api.h"

KelLnkModalDialogForSync* KelLnkLink::spModalDialogForSync = nullptr;
KelLnkGraphWindow* KelLnkLink::spMainWindowForSync = nullptr;
int KelLnkLink::_ierxco = 0;

namespace {

const char* TechnoName(int techno) {
  switch (techno) {
    case 0:
      return "MML_LINK_UNKNOWN";
    case 1:
      return "MML_LINK_EXT";
    case 2:
      return "MML_LINK_ENTITY";
    case 3:
      return "MML_LINK_BOTH";
    case 4:
      return "MML_LINK_KELV5";
    default:
      return nullptr;
  }
}

KelUnicodeString DisplayName(const KelLnkObject* object) {
  return object ? object->Instance().GetNameInstance(3, 1, " ", "$BOM_NAVIG") : kMmlUnknownName;
}

// A uuid list's hash, from every uuid in order.
struct UuidsHash {
  size_t operator()(const KelListValKelUnicodeString& uuids) const {
    size_t h = uuids.size();
    for (const KelUnicodeString& uuid : uuids) h = h * 1000003u ^ std::hash<std::string_view>()(uuid);
    return h;
  }
};

// The one copy of a link row's uuid list: a graph draws every row many times
// over. Never freed, so the address stays valid for the life of the process.
const KelListValKelUnicodeString* PooledUuids(const KelListValKelUnicodeString& uuids) {
  static const KelListValKelUnicodeString empty;
  if (uuids.empty()) return &empty;
  return KelValuePool<KelListValKelUnicodeString, UuidsHash>::Pooled(uuids);
}

// A handle on `parent` that keeps it alive when handles hold it, and merely
// names it otherwise (an empty handle that still points at it).
std::shared_ptr<KelLnkObject> HoldParent(KelLnkObject* parent) {
  if (parent == nullptr) return nullptr;
  return {parent->weak_from_this().lock(), parent};
}

}  // namespace

KelLnkLink::KelLnkLink(KelLnkGraphWindow* window, const KelDMInstance& instance, KelLnkObject* parent,
                       KelPooledString linktype, KelPooledString date, KelPooledString status, int upToDate, int techno,
                       const KelListValKelUnicodeString& uuids, KelBaseUnknown_var child)
    : upToDate_(upToDate),
      techno_(techno),
      window_(window),
      parent_(HoldParent(parent)),
      linktype_(linktype),
      date_(date),
      status_(status),
      child_(std::move(child)),
      uuids_(PooledUuids(uuids)) {
  MML_TRACE("KelLnkLink::KelLnkLink");
  SetInstance(instance);
  expandable_ = kExpandOnce;
  if (KelLnkObject* object = GetChild()) object->SetParent(this);
}

KelLnkLink::KelLnkLink(const KelLnkLink& other)
    : KelLnkNode(other),
      impactsOn_(other.impactsOn_),
      impactsOnKnown_(other.impactsOnKnown_),
      conditionKnown_(other.conditionKnown_),
      condition_(other.condition_),
      upToDate_(other.upToDate_),
      techno_(other.techno_),
      window_(other.window_),
      parent_(other.parent_),
      linktype_(other.linktype_),
      date_(other.date_),
      status_(other.status_),
      child_(other.child_),
      uuids_(other.uuids_) {
  instance_ = other.instance_;
  SetZumoInstance(other.GetZumoInstance());
  SetPSNNode(other.GetPSNNode());
  expandable_ = other.expandable_;
}

KelLnkLink& KelLnkLink::operator=(const KelLnkLink& other) {
  if (this == &other) return *this;
  KelLnkNode::operator=(other);
  instance_ = other.instance_;
  SetZumoInstance(other.GetZumoInstance());
  SetPSNNode(other.GetPSNNode());
  expandable_ = other.expandable_;
  KelLnkObject* oldChild = GetChild();
  if (oldChild && oldChild->GetParentLink() == this) oldChild->SetParent(nullptr);
  window_ = other.window_;
  parent_ = other.parent_;
  linktype_ = other.linktype_;
  date_ = other.date_;
  status_ = other.status_;
  child_ = other.child_;
  upToDate_ = other.upToDate_;
  techno_ = other.techno_;
  impactsOn_ = other.impactsOn_;
  impactsOnKnown_ = other.impactsOnKnown_;
  conditionKnown_ = other.conditionKnown_;
  condition_ = other.condition_;
  uuids_ = other.uuids_;
  return *this;
}

KelLnkLink::~KelLnkLink() {
  // The child may outlive the link (another handle holds it): it must not
  // keep pointing at a link that is gone.
  KelLnkObject* object = GetChild();
  if (object && object->GetParentLink() == this) object->SetParent(nullptr);
}

KelBaseUnknown_var KelLnkLinkBindInterface(KelLnkGraphWindow* window, const KelDMInstance& instance,
                                           KelLnkObject* parent, KelPooledString linktype, KelPooledString date,
                                           KelPooledString status, int upToDate, int techno,
                                           const KelListValKelUnicodeString& uuids, KelBaseUnknown_var child,
                                           const char* interfaceName) {
  MML_TRACE("KelLnkLinkBindInterface");
  (void)interfaceName;
  return std::make_shared<KelLnkLink>(window, instance, parent, linktype, date, status, upToDate, techno, uuids,
                                      std::move(child));
}

KelLnkObject* KelLnkLink::GetChild() const {
  if (!child_ || child_->GetNodetype() != 0) return nullptr;
  return static_cast<KelLnkObject*>(child_.get());
}

KelListValKelBaseUnknown_var KelLnkLink::GetChildren() {
  MML_TRACE("KelLnkLink::GetChildren");
  KelListValKelBaseUnknown_var children;
  if (child_) children.push_back(child_);
  return children;
}

KelListValKelBaseUnknown_var KelLnkLink::GetLnkChildren(int) { return GetChildren(); }

KelUnicodeString KelLnkLink::GetLinktype() const {
  MML_TRACE("KelLnkLink::GetLinktype");
  mmlFunctionTrace.Write("_Linktype = " + linktype_.str());
  return linktype_.str();
}

KelUnicodeString KelLnkLink::GetDate() const {
  MML_TRACE("KelLnkLink::GetDate");
  mmlFunctionTrace.Write("_Date = " + date_.str());
  return date_.str();
}

KelUnicodeString KelLnkLink::GetStatus() const {
  MML_TRACE("KelLnkLink::GetStatus");
  mmlFunctionTrace.Write("_Status = " + status_.str());
  return status_.str();
}

int KelLnkLink::GetTechno() const {
  MML_TRACE("KelLnkLink::GetTechno");
  const char* name = TechnoName(techno_);
  mmlFunctionTrace.Write(name ? KelUnicodeString(" () = ") + name : KelUnicodeString(" () = !! ERROR !!"));
  return techno_;
}

KelUnicodeString KelLnkLink::IntToString(int value) { return ::IntToString(value); }

KelUnicodeString KelLnkLink::ConditionName(int condition) {
  switch (condition) {
    case GOOD:
      return "GOOD";
    case GOODOLD:
      return "GOODOLD";
    case BADDATE:
      return "BADDATE";
    case BROKEN:
      return "BROKEN";
    case UNKNOWN:
      return "UNKNOWN";
    case UP_GOOD:
      return "UP_GOOD";
    case UP_BADDATE:
      return "UP_BADDATE";
    default:
      return "";
  }
}

KelUnicodeString KelLnkLink::ConditionClass(int condition) {
  switch (condition) {
    case GOOD:
      return kMmlCondGood;
    case GOODOLD:
      return kMmlCondGoodOld;
    case BADDATE:
      return kMmlCondBadDate;
    case BROKEN:
      return kMmlCondBroken;
    case UNKNOWN:
      return kMmlCondUnknown;
    case UP_GOOD:
      return kMmlCondUpGood;
    case UP_BADDATE:
      return kMmlCondUpBadDate;
    default:
      return "";
  }
}

int KelLnkLink::GetCondition(int reverse) {
  MML_TRACE("KelLnkLink::GetCondition");
  if (!impactsOnKnown_) {
    impactsOn_ = KelLnkTools::IsImpactsOnSupported();
    impactsOnKnown_ = true;
  }
  if (conditionKnown_) return condition_;

  int order = window_ ? window_->GetOrder() : 0;
  if (reverse) order = order ? 0 : 1;
  KelLnkObject* child = GetChild();
  KelLnkObject* referenced = order == 0 ? child : parent_.get();
  KelLnkObject* referencing = order == 0 ? parent_.get() : child;

  int condition;
  if (referenced == nullptr || referencing == nullptr || !referenced->Exists() || !referencing->Exists()) {
    const bool null = (referenced && referenced->IsNull()) || (referencing && referencing->IsNull());
    condition = null ? UNKNOWN : BROKEN;
  } else {
    bool inStep;
    if (!KelLnkTools::IsTOVRALinktype(linktype_.str())) {
      inStep = referencing->GetDate() >= referenced->GetDate();
    } else {
      inStep = upToDate_ != 0;
    }
    const bool latest = referenced->IsLatest() != 0;
    if (!inStep) {
      condition = latest ? BADDATE : UP_BADDATE;
    } else if (latest) {
      condition = GOOD;
    } else {
      condition = status_.str() == "TOK" ? GOODOLD : UP_GOOD;
    }
  }
  mmlFunctionTrace.Write("Condition : " + ConditionName(condition));
  condition_ = condition;
  conditionKnown_ = true;
  return condition;
}

KelListValKelUnicodeString KelLnkLink::GetIdentificators() {
  MML_TRACE("KelLnkLink::GetIdentificators");
  return {KelLnkTools::LinktypeToLinkname(linktype_.str())};
}

void KelLnkLink::UpdateTextElem(KelIGraphNode_var node) {
  MML_TRACE("KelLnkLink::UpdateTextElem");
  if (node) node->SetText(GetIdentificators());
}

void KelLnkLink::CustomGraphNode(KelIGraphNode_var node) {
  MML_TRACE("KelLnkLink::CustomGraphNode");
  if (node == nullptr) return;
  if (KelLnkTools::IsComputeLinkTechno() && (techno_ == 1 || techno_ == 2)) {
    const KelString key = techno_ == 1 ? "Link.No.Colours.Model" : "Link.No.Colours.Entity";
    const int colour = KelLnkColourNumber(KelLnkResourceText(window_, key, "0"));
    node->SetColor(colour);
    std::vector<KelIGraphLink*> arcs = node->GetInArcs();
    if (!arcs.empty()) arcs.front()->SetColor(colour);
  } else {
    node->SetDecorationVisibility(0, false);
    node->SetColor(1);
  }
  node->SetColorClass(ConditionClass(GetCondition(0)));
}

KelUnicodeString KelLnkLink::InformationText() {
  MML_TRACE("KelLnkLink::Information");
  KelUnicodeString text;
  const bool v5Type = KelLnkTools::IsTOVRAV5Linktype(linktype_.str()) != 0;
  if (!v5Type) text += "Date: " + date_.str() + "\n";
  const int order = window_ ? window_->GetOrder() : 0;
  KelLnkObject* child = GetChild();
  KelLnkObject* impacted = order == 0 ? parent_.get() : child;
  KelLnkObject* impacting = order == 0 ? child : parent_.get();
  text += "\n";
  text += "Link type        : " + KelLnkTools::LinktypeToLinkname(linktype_.str()) + "\n";
  text += "Impacted Object  : " + DisplayName(impacted) + "\n";
  if (order == 0 && child && child->IsNull()) {
    text += "Impacting Object : ";
    text += "Unknown object";
    text += "\n\n";
    text += "The Impacted Object should be loaded in Tovra in order to identify element(s) with unknown links.\n";
    text += "The required function (SOLIDE, SKIN ..) has to be loaded.\n";
    return text;
  }
  text += "Impacting Object : " + DisplayName(impacting) + "\n";
  if (v5Type) {
    text += "Tovra V5 link\n";
    return text;
  }
  // The links by which the impacted object points to the impacting one, of
  // this link's type: model-to-model ones, then entity-to-entity ones.
  KelListValKelUnicodeString types;
  KelRawCollint flags;
  if (impacted && impacting) {
    KelLnkAPI::GetLinksBetween(impacted->Instance().GetObjID(), impacting->Instance().GetObjID(), types, flags, 1);
  }
  int models = 0, modelsInStep = 0, entities = 0, entitiesInStep = 0;
  for (size_t k = 0; k < types.size() && k < flags.size(); ++k) {
    if (KelLnkTools::LinklabelToLinktype(types[k]) != linktype_.str()) continue;
    const bool inStep = (flags[k] & 1) != 0;
    if (flags[k] & 2) {
      ++entities;
      if (inStep) ++entitiesInStep;
    } else {
      ++models;
      if (inStep) ++modelsInStep;
    }
  }
  if (models > 0) {
    text += IntToString(models) + " Model To Model link.\n";
    text += modelsInStep == models ? "(Synchronized)\n" : "(Not synchronized)\n";
  }
  if (entities > 0) {
    text += IntToString(entities) + " Entity To Entity link.\n";
    text.push_back('(');
    text += IntToString(entitiesInStep);
    text += " synchronized)\n";
  }
  text += "Environment: " + instance_->GetEnvironment() + "\n";
  text += "Table: " + instance_->GetTable() + "\n";
  text += "COID: " + instance_->GetXCoid() + "\n";
  text += "COMPID: " + instance_->GetXCompid() + "\n";
  text += "Type: " + linktype_.str() + "\n";
  text += "Status: " + status_.str() + "\n";
  return text;
}

void KelLnkLink::Information() {
  const KelUnicodeString text = InformationText();
  std::cout << text << std::flush;
}

int KelLnkLink::FindNodeInBranch(KelLnkNode& node, int& counter) {
  MML_TRACE("KelLnkLink::FindNodeInBranch");
  return child_ ? child_->FindNodeInBranch(node, counter) : 0;
}

void KelLnkLink::UncacheWithoutLoop(KelListValKelDMInstance& path) {
  MML_TRACE("KelLnkLink::UncacheWithoutLoop");
  if (KelLnkObject* object = GetChild()) object->UncacheWithoutLoop(path);
}
