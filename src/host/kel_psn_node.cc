#include "host/kel_psn_node.h"

#include "host/db/kel_dm_ier_message.h"

const KelQorNode* KelPSNNode::GetQorNode(int index) const {
  if (index != 0 || !hasQorNode_) return nullptr;
  return &qorNode_;
}

bool operator==(const KelPSNNode& a, const KelPSNNode& b) {
  return a.id_ == b.id_ && a.hasQorNode_ == b.hasQorNode_ && (!a.hasQorNode_ || a.qorNode_ == b.qorNode_);
}

int KelPSNSdai::Convert(const KelQorNode* node, KelDMInstance& instance) {
  if (!node) return kel_ier::kInstanceNotFound;
  instance = node->GetInstance();
  return kel_ier::kOk;
}
