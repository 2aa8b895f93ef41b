#include "host/navigator/kel_navig_instance.h"

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

void KelNavigGraphNode::SetText(const KelListValKelUnicodeString& lines) {
  owner_->controller_->texts_[owner_] = lines;
  hasText_ = true;
}

KelListValKelUnicodeString KelNavigGraphNode::GetText() const {
  if (hasText_) return owner_->controller_->texts_.at(owner_);
  if (!owner_->reference_) return {};
  // The model node writes its text on a scratch node, as it would on this one.
  KelMemGraphNode scratch;
  owner_->reference_->UpdateTextElem(&scratch);
  return scratch.GetText();
}

bool KelNavigGraphNode::IsExpanded() const { return owner_->IsExpanded(); }

void KelNavigGraphNode::SetExpanded(bool expanded) {
  if (expanded == owner_->IsExpanded()) return;
  if (expanded) {
    owner_->Expand(1);
  } else {
    owner_->Collapse();
  }
}

bool KelNavigGraphNode::IsPSNViewerNode() const { return false; }

std::vector<KelIGraphLink*> KelNavigGraphNode::GetInArcs() const {
  if (!owner_->hasInArc_) return {};
  return {&owner_->inArc_};
}

std::vector<KelIGraphLink*> KelNavigGraphNode::GetOutArcs() const {
  std::vector<KelIGraphLink*> arcs;
  arcs.reserve(owner_->children_.size());
  for (const auto& child : owner_->children_) arcs.push_back(&child->inArc_);
  return arcs;
}

// ---- Drawn arc ----

KelIGraphNode* KelNavigGraphArc::GetFrom() const {
  return owner_->father_ != nullptr ? &owner_->father_->graphNode_ : nullptr;
}

KelIGraphNode* KelNavigGraphArc::GetTo() const { return &owner_->graphNode_; }

// ---- Instance ----

KelNavigInstance::KelNavigInstance(KelNavigController* controller, KelNavigInstance* father,
                                   KelINavigModelNode_var reference)
    : controller_(controller), father_(father), reference_(std::move(reference)), hasInArc_(father != nullptr) {
  level_ = father == nullptr ? 0 : father->level_ + 1;
  bool inPlace = false;
  extension_ = KelNavigExtensionRegistry::CreateNode(controller->GetNodeType(), extensionSpace_, &inPlace);
  extensionInPlace_ = inPlace;
  if (extension_) extension_->attached_ = this;
  if (father != nullptr) {
    if (std::unique_ptr<KelLinkExtension> arc = KelNavigExtensionRegistry::CreateLink(controller->GetArcType())) {
      arc->arc_ = &inArc_;
      controller->arcExtensions_[this] = std::move(arc);
      hasArcExtension_ = true;
    }
  }
}

KelNavigInstance::~KelNavigInstance() {
  // Children first, so that no display node outlives the node above it.
  children_.clear();
  if (hasArcExtension_) controller_->arcExtensions_.erase(this);
  if (graphNode_.hasText_) controller_->texts_.erase(this);
  if (extensionInPlace_) {
    extension_->~KelNodeExtension();
  } else {
    delete extension_;
  }
}

KelLinkExtension* KelNavigInstance::GetArcExtension(int i) const {
  const KelNavigInstance* child = children_.at(i).get();
  if (!child->hasArcExtension_) return nullptr;
  return controller_->arcExtensions_.at(child).get();
}

std::vector<KelNavigInstance*> KelNavigInstance::GetChildren() const {
  std::vector<KelNavigInstance*> children;
  children.reserve(children_.size());
  for (const auto& child : children_) children.push_back(child.get());
  return children;
}

KelNavigInstance* KelNavigInstance::FromGraphNode(const KelIGraphNode* node) {
  auto* drawn = dynamic_cast<const KelNavigGraphNode*>(node);
  return drawn == nullptr ? nullptr : drawn->GetOwner();
}

void KelNavigInstance::DropChildren() {
  std::vector<std::unique_ptr<KelNavigInstance>> children;
  children.swap(children_);
  for (std::unique_ptr<KelNavigInstance>& child : children) {
    child->hasInArc_ = false;
    controller_->Drop(std::move(child));
  }
}

int KelNavigInstance::Expand(int levels) {
  if (levels <= 0) return 0;
  return Build(levels);
}

int KelNavigInstance::Build(int levels) {
  DropChildren();
  expanded_ = true;
  if (!reference_) return 0;
  std::vector<KelINavigModelNode_var> below = reference_->GetNavigChildren();
  children_.reserve(below.size());
  int drawn = 0;
  for (KelINavigModelNode_var& node : below) {
    if (!node) continue;
    children_.push_back(std::make_unique<KelNavigInstance>(controller_, this, std::move(node)));
  }
  // Draw the new level first, then open the levels below it.
  for (size_t i = 0; i < children_.size(); ++i) {
    KelNavigInstance* child = children_[i].get();
    if (KelLinkExtension* arc = GetArcExtension(static_cast<int>(i))) arc->UpdateElem(child);
    child->UpdateSelf();
    ++drawn;
  }
  if (levels > 1) {
    for (size_t i = 0; i < children_.size(); ++i) {
      // An object already on the path from the root is drawn (its display
      // node marks the loop) but not opened again below itself: a loop in
      // the links would otherwise be unrolled level after level.
      if (children_[i]->RepeatsAnAncestor()) continue;
      drawn += children_[i]->Build(levels - 1);
    }
  }
  return drawn;
}

bool KelNavigInstance::RepeatsAnAncestor() const {
  if (!reference_) return false;
  for (const KelNavigInstance* above = father_; above != nullptr; above = above->father_) {
    if (above->reference_ && reference_->ShowsSameObjectAs(*above->reference_)) return true;
  }
  return false;
}

void KelNavigInstance::Collapse() {
  DropChildren();
  expanded_ = false;
}

void KelNavigInstance::UpdateSelf() {
  if (extension_) {
    extension_->UpdateTextElem(this);
    extension_->UpdateElem(this);
  } else if (reference_) {
    reference_->UpdateTextElem(&graphNode_);
    reference_->CustomGraphNode(&graphNode_);
  }
}
