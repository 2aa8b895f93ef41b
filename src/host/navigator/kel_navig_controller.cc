#include "host/navigator/kel_navig_controller.h"

#include <algorithm>

// ---- Sets ----

void KelNavigSet::AddElement(KelNavigInstance* instance) {
  if (instance == nullptr || !members_.insert(instance).second) return;
  order_.push_back(instance);
}

void KelNavigSet::RemoveElement(KelNavigInstance* instance) {
  if (members_.erase(instance) == 0) return;
  order_.erase(std::find(order_.begin(), order_.end(), instance));
}

void KelNavigSet::Empty() {
  order_.clear();
  members_.clear();
}

// ---- Container ----

const std::vector<KelNavigInstance*>& KelNavigContainer::GetInstancesList() const {
  return controller_->GetInstancesList();
}

void KelNavigContainer::Refresh() {
  KelNavigInstance* root = controller_->root_.get();
  if (root == nullptr) return;
  if (!controller_->rootDrawn_) {
    controller_->rootDrawn_ = true;
    root->UpdateSelf();
    root->Expand(controller_->depth_);
  }
  root->Walk([](KelNavigInstance* instance) {
    instance->UpdateSelf();
    for (KelNavigInstance* child : instance->children_) {
      if (KelLinkExtension* arc = child->InArcExtension()) arc->UpdateElem(child);
    }
  });
}

// ---- Controller ----

KelNavigController::KelNavigController(KelINavigModelNode_var root, std::string nodeType, std::string arcType)
    : nodeType_(std::move(nodeType)), arcType_(std::move(arcType)) {
  if (root) {
    root_ = std::make_unique<KelNavigInstance>(this, nullptr, std::move(root));
    tops_.push_back(root_.get());
  }
}

KelNavigController::~KelNavigController() {
  hso_.Empty();
  pso_.Empty();
  root_.reset();
  ReleaseDropped();
}

void KelNavigController::SetDepth(int depth) { depth_ = std::max(depth, 1); }

void KelNavigController::UserExpand(KelNavigInstance* instance) {
  if (instance == nullptr) return;
  if (KelNodeExtension* extension = instance->GetImplementation()) {
    extension->ProcessAfterExpand();
  } else if (instance->IsExpanded()) {
    instance->Collapse();
  } else {
    instance->Expand(depth_);
  }
}

void KelNavigController::UserSelect(KelNavigInstance* instance, bool extend) {
  if (instance == nullptr) return;
  if (!extend) hso_.Empty();
  hso_.AddElement(instance);
  if (KelNodeExtension* extension = instance->GetImplementation()) {
    if (extend) {
      extension->ProcessAfterExtSelect();
    } else {
      extension->ProcessAfterSelect();
    }
  }
}

void KelNavigController::UserMethod(KelNavigInstance* instance) {
  if (instance == nullptr) return;
  if (KelNodeExtension* extension = instance->GetImplementation()) extension->ProcessAfterMethod();
}

int KelNavigController::GetDrawnCount() {
  if (!root_) return 0;
  int count = 0;
  root_->Walk([&count](KelNavigInstance*) { ++count; });
  return count;
}

void KelNavigController::Drop(std::unique_ptr<KelNavigInstance> instance) {
  // A dropped node is no longer drawn nor selectable.
  const bool selected = hso_.GetCount() > 0 || pso_.GetCount() > 0;
  instance->Walk([this, selected](KelNavigInstance* gone) {
    gone->drawn_ = false;
    if (selected) {
      hso_.RemoveElement(gone);
      pso_.RemoveElement(gone);
    }
  });
  dropped_.push_back(std::move(instance));
}

void KelNavigController::ReleaseDropped() { dropped_.clear(); }
