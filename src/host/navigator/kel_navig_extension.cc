#include "host/navigator/kel_navig_extension.h"

#include <map>

#include "host/navigator/kel_navig_controller.h"
#include "host/navigator/kel_navig_instance.h"

namespace {

// A node type's factories: in place when `inPlace` is set and can, else `allocated`.
struct NodeFactoryEntry {
  KelNavigExtensionRegistry::NodeFactory allocated;
  KelNavigExtensionRegistry::InPlaceNodeFactory inPlace = nullptr;
};

std::map<std::string, NodeFactoryEntry>& NodeFactories() {
  static std::map<std::string, NodeFactoryEntry> factories;
  return factories;
}

std::map<std::string, KelNavigExtensionRegistry::LinkFactory>& LinkFactories() {
  static std::map<std::string, KelNavigExtensionRegistry::LinkFactory> factories;
  return factories;
}

}  // namespace

void KelNodeExtension::UpdateElem(KelNavigInstance* instance) {
  attached_ = instance;
  if (instance && instance->GetReference()) instance->GetReference()->CustomGraphNode(instance->GetGraphNode());
}

void KelNodeExtension::UpdateTextElem(KelNavigInstance* instance) {
  attached_ = instance;
  if (instance && instance->GetReference()) instance->GetReference()->UpdateTextElem(instance->GetGraphNode());
}

void KelNodeExtension::Select(bool select) {
  if (attached_ == nullptr) return;
  KelHSO& hso = attached_->GetNavigController()->GetHSO();
  if (select) {
    hso.AddElement(attached_);
  } else {
    hso.RemoveElement(attached_);
  }
}

bool KelNodeExtension::IsSelected() const {
  return attached_ != nullptr && attached_->GetNavigController()->GetHSO().IsMember(attached_);
}

void KelNodeExtension::Update() {
  if (attached_ == nullptr) return;
  KelNavigInstance* instance = attached_;
  UpdateTextElem(instance);
  UpdateElem(instance);
}

void KelNodeExtension::Remove() {
  if (attached_ == nullptr) return;
  attached_->GetNavigController()->GetHSO().RemoveElement(attached_);
  attached_->GetNavigController()->GetPSO().RemoveElement(attached_);
}

KelNavigContainer* KelNodeExtension::GetFatherContainer() const {
  return attached_ == nullptr ? nullptr : attached_->GetNavigController()->GetContainer();
}

KelINavigNodeCtrl* KelNodeExtension::GetController() const { return attached_; }

void KelNodeExtension::ProcessAfterExpand() {
  if (attached_ == nullptr) return;
  if (attached_->IsExpanded()) {
    attached_->Collapse();
  } else {
    attached_->Expand(attached_->GetNavigController()->GetDepth());
  }
}

KelIGraphNode* KelNodeExtension::GetGraphNode() const {
  return attached_ == nullptr ? nullptr : attached_->GetGraphNode();
}

void KelNavigExtensionRegistry::RegisterNodeType(const std::string& type, NodeFactory factory) {
  NodeFactories()[type] = {std::move(factory), nullptr};
}

void KelNavigExtensionRegistry::RegisterInPlace(const std::string& type, InPlaceNodeFactory factory,
                                                NodeFactory allocated) {
  NodeFactories()[type] = {std::move(allocated), factory};
}

void KelNavigExtensionRegistry::RegisterLinkType(const std::string& type, LinkFactory factory) {
  LinkFactories()[type] = std::move(factory);
}

KelNodeExtension* KelNavigExtensionRegistry::CreateNode(const std::string& type, void* space, bool* inPlace) {
  *inPlace = false;
  auto it = NodeFactories().find(type);
  if (it == NodeFactories().end()) return nullptr;
  if (it->second.inPlace != nullptr) {
    if (KelNodeExtension* node = it->second.inPlace(space)) {
      *inPlace = true;
      return node;
    }
  }
  return it->second.allocated ? it->second.allocated().release() : nullptr;
}

std::unique_ptr<KelLinkExtension> KelNavigExtensionRegistry::CreateLink(const std::string& type) {
  auto it = LinkFactories().find(type);
  if (it == LinkFactories().end() || !it->second) return nullptr;
  return it->second();
}
