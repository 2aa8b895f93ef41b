#include "host/navigator/kel_navig_instance.h"

#include <algorithm>
#include <new>

#include "host/graph/kel_mem_graph.h"
#include "host/navigator/kel_navig_controller.h"

// ---- Drawn node ----

void KelNavigGraphNode::SetDecorationVisibility(int decoration, bool visible) {
  if (decoration < 0 || decoration >= kDecorationCount) return;
  decorations_[decoration] = visible;
}

bool KelNavigGraphNode::GetDecorationVisibility(int decoration) const {
  if (decoration < 0 || decoration >= kDecorationCount) return true;
  return decorations_[decoration];
}

KelNavigInstance* KelNavigGraphNode::GetOwner() const {
  return static_cast<KelNavigInstance*>(const_cast<KelNavigGraphNode*>(this));
}

void KelNavigGraphNode::SetText(const KelListValKelUnicodeString& lines) {
  GetOwner()->GetNavigController()->texts_[GetOwner()] = lines;
  hasText_ = true;
}

KelListValKelUnicodeString KelNavigGraphNode::GetText() const {
  const KelNavigInstance* owner = GetOwner();
  if (hasText_) return owner->GetNavigController()->texts_.at(owner);
  if (!owner->reference_) return {};
  // The model node writes its text on a scratch node, as it would on this one.
  KelMemGraphNode scratch;
  owner->reference_->UpdateTextElem(&scratch);
  return scratch.GetText();
}

bool KelNavigGraphNode::IsExpanded() const { return GetOwner()->IsExpanded(); }

void KelNavigGraphNode::SetExpanded(bool expanded) {
  KelNavigInstance* owner = GetOwner();
  if (expanded == owner->IsExpanded()) return;
  if (expanded) {
    owner->Expand(1);
  } else {
    owner->Collapse();
  }
}

bool KelNavigGraphNode::IsPSNViewerNode() const { return false; }

std::vector<KelIGraphLink*> KelNavigGraphNode::GetInArcs() const {
  KelNavigInstance* owner = GetOwner();
  if (!owner->hasInArc_) return {};
  return {static_cast<KelNavigGraphArc*>(owner)};
}

std::vector<KelIGraphLink*> KelNavigGraphNode::GetOutArcs() const {
  const KelNavigChildren& children = GetOwner()->children_;
  std::vector<KelIGraphLink*> arcs;
  arcs.reserve(children.size());
  for (KelNavigInstance* child : children) arcs.push_back(static_cast<KelNavigGraphArc*>(child));
  return arcs;
}

// ---- Drawn arc ----

KelIGraphNode* KelNavigGraphArc::GetFrom() const {
  KelNavigInstance* father = static_cast<const KelNavigInstance*>(this)->GetFather();
  return father != nullptr ? father->GetGraphNode() : nullptr;
}

KelIGraphNode* KelNavigGraphArc::GetTo() const {
  return const_cast<KelNavigInstance*>(static_cast<const KelNavigInstance*>(this))->GetGraphNode();
}

// ---- Children ----

std::vector<std::unique_ptr<KelNavigInstance>> KelNavigChildren::Release() {
  std::vector<std::unique_ptr<KelNavigInstance>> children;
  children.reserve(size_);
  for (KelNavigInstance* child : *this) children.emplace_back(child);
  if (size_ > 1) delete[] many_;
  many_ = nullptr;
  size_ = 0;
  return children;
}

void KelNavigChildren::Clear() {
  for (KelNavigInstance* child : *this) delete child;
  if (size_ > 1) delete[] many_;
  many_ = nullptr;
  size_ = 0;
}

// ---- Instance ----

KelNavigInstance::KelNavigInstance(KelNavigController* controller, KelNavigInstance* father,
                                   KelINavigModelNode_var reference)
    : hasInArc_(father != nullptr), upIsController_(father == nullptr), reference_(std::move(reference)) {
  if (father == nullptr) {
    controller_ = controller;
  } else {
    father_ = father;
    level_ = father->level_ + 1;
  }
  bool inPlace = false;
  KelNodeExtension* extension =
      KelNavigExtensionRegistry::CreateNode(controller->GetNodeType(), extensionSpace_, &inPlace);
  if (extension != nullptr) {
    hasExtension_ = true;
    extensionInPlace_ = inPlace;
    if (!inPlace) extensionAllocated_ = extension;
    extension->attached_ = this;
  }
  if (father != nullptr) {
    if (std::unique_ptr<KelLinkExtension> arc = KelNavigExtensionRegistry::CreateLink(controller->GetArcType())) {
      arc->arc_ = static_cast<KelNavigGraphArc*>(this);
      controller->arcExtensions_[this] = std::move(arc);
      hasArcExtension_ = true;
    }
  }
}

KelNavigInstance::~KelNavigInstance() {
  // Children first, so that no display node outlives the node above it.
  children_.Clear();
  if (hasArcExtension_ || hasText_) {
    KelNavigController* controller = GetNavigController();
    if (hasArcExtension_) controller->arcExtensions_.erase(this);
    if (hasText_) controller->texts_.erase(this);
  }
  if (!hasExtension_) return;
  if (extensionInPlace_) {
    GetImplementation()->~KelNodeExtension();
  } else {
    delete extensionAllocated_;
  }
}

KelNavigController* KelNavigInstance::GetNavigController() const {
  const KelNavigInstance* top = this;
  while (!top->upIsController_) top = top->father_;
  return top->controller_;
}

KelNodeExtension* KelNavigInstance::GetImplementation() const {
  if (!hasExtension_) return nullptr;
  if (!extensionInPlace_) return extensionAllocated_;
  // Built at the start of the room (KelNavigExtensionRegistry::CreateNode).
  return std::launder(reinterpret_cast<KelNodeExtension*>(const_cast<std::byte*>(extensionSpace_)));
}

KelNavigInstance* KelNavigInstance::GetChild(int i) const {
  if (i < 0 || static_cast<std::size_t>(i) >= children_.size()) return nullptr;
  return children_[static_cast<std::size_t>(i)];
}

KelLinkExtension* KelNavigInstance::InArcExtension() const {
  if (!hasArcExtension_) return nullptr;
  return GetNavigController()->arcExtensions_.at(this).get();
}

KelLinkExtension* KelNavigInstance::GetArcExtension(int i) const {
  const KelNavigInstance* child = GetChild(i);
  return child != nullptr ? child->InArcExtension() : nullptr;
}

KelNavigInstance* KelNavigInstance::FromGraphNode(const KelIGraphNode* node) {
  auto* drawn = dynamic_cast<const KelNavigGraphNode*>(node);
  return drawn == nullptr ? nullptr : drawn->GetOwner();
}

void KelNavigInstance::DropChildren(KelNavigController* controller) {
  if (children_.empty()) return;
  for (std::unique_ptr<KelNavigInstance>& child : children_.Release()) {
    child->hasInArc_ = false;
    // No longer below this instance: it keeps the controller itself.
    child->controller_ = controller;
    child->upIsController_ = true;
    controller->Drop(std::move(child));
  }
}

int KelNavigInstance::Expand(int levels) {
  if (levels <= 0) return 0;
  return Build(levels, GetNavigController());
}

int KelNavigInstance::Build(int levels, KelNavigController* controller) {
  DropChildren(controller);
  expanded_ = true;
  if (!reference_) return 0;
  std::vector<KelINavigModelNode_var> below = reference_->GetNavigChildren();
  below.erase(std::remove(below.begin(), below.end(), nullptr), below.end());
  children_.Build(below.size(), [&](std::size_t i) {
    return std::make_unique<KelNavigInstance>(controller, this, std::move(below[i])).release();
  });
  below.clear();
  int drawn = 0;
  // Draw the new level first, then open the levels below it.
  for (KelNavigInstance* child : children_) {
    if (KelLinkExtension* arc = child->InArcExtension()) arc->UpdateElem(child);
    child->UpdateSelf();
    ++drawn;
  }
  if (levels > 1) {
    for (KelNavigInstance* child : children_) {
      // An object already on the path from the root is drawn (its display
      // node marks the loop) but not opened again below itself: a loop in
      // the links would otherwise be unrolled level after level.
      if (child->RepeatsAnAncestor()) continue;
      drawn += child->Build(levels - 1, controller);
    }
  }
  return drawn;
}

bool KelNavigInstance::RepeatsAnAncestor() const {
  if (!reference_) return false;
  for (const KelNavigInstance* above = GetFather(); above != nullptr; above = above->GetFather()) {
    if (above->reference_ && reference_->ShowsSameObjectAs(*above->reference_)) return true;
  }
  return false;
}

void KelNavigInstance::Collapse() {
  DropChildren(GetNavigController());
  expanded_ = false;
}

void KelNavigInstance::UpdateSelf() {
  if (KelNodeExtension* extension = GetImplementation()) {
    extension->UpdateTextElem(this);
    extension->UpdateElem(this);
  } else if (reference_) {
    reference_->UpdateTextElem(GetGraphNode());
    reference_->CustomGraphNode(GetGraphNode());
  }
}
