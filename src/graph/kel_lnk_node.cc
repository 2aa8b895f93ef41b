// KelLnkNode: the product handles kept aside, by node.
#include "graph/kel_lnk_node.h"

#include <unordered_map>

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
