// KelLnkNode: the product handles kept aside, by node.
#include "graph/kel_lnk_node.h"

#include <typeinfo>
#include <unordered_map>

#include "graph/kel_lnk_link.h"
#include "graph/kel_lnk_object.h"

namespace {

struct Handles {
  KelZumoInstance* zumo = nullptr;
  KelPSNNode* psnNode = nullptr;
};

// Never destroyed: nodes released at exit still look here.
std::unordered_map<const KelLnkNode*, Handles>& HandlesByNode() {
  static auto* handles = new std::unordered_map<const KelLnkNode*, Handles>;
  return *handles;
}

}  // namespace

// The navigator asks this of every drawn ancestor of every node it opens,
// links and objects in turn: both are recognised without a cast search.
bool KelLnkNode::ShowsSameObjectAs(const KelINavigModelNode& other) const {
  if (GetNodetype() != 0 || instance_->IsEmpty()) return false;
  const std::type_info& type = typeid(other);
  if (type == typeid(KelLnkLink)) return false;
  const KelLnkNode* node =
      type == typeid(KelLnkObject) ? static_cast<const KelLnkObject*>(&other) : dynamic_cast<const KelLnkNode*>(&other);
  return node != nullptr && node->GetNodetype() == 0 &&
         (node->instance_ == instance_ || *node->instance_ == *instance_);
}

KelLnkNode::~KelLnkNode() {
  if (hasHandles_) HandlesByNode().erase(this);
}

KelZumoInstance* KelLnkNode::GetZumoInstance() const { return hasHandles_ ? HandlesByNode().at(this).zumo : nullptr; }

KelPSNNode* KelLnkNode::GetPSNNode() const { return hasHandles_ ? HandlesByNode().at(this).psnNode : nullptr; }

void KelLnkNode::SetZumoInstance(KelZumoInstance* zumo) { SetHandles(zumo, GetPSNNode()); }

void KelLnkNode::SetPSNNode(KelPSNNode* node) { SetHandles(GetZumoInstance(), node); }

void KelLnkNode::SetHandles(KelZumoInstance* zumo, KelPSNNode* node) {
  if (zumo == nullptr && node == nullptr) {
    if (hasHandles_) HandlesByNode().erase(this);
    hasHandles_ = false;
    return;
  }
  HandlesByNode()[this] = {zumo, node};
  hasHandles_ = true;
}
