#include "host/graph/kel_mem_graph.h"

std::vector<KelIGraphNode*> KelIGraphNode::GetParents() const {
  std::vector<KelIGraphNode*> parents;
  for (KelIGraphLink* arc : GetInArcs()) parents.push_back(arc->GetFrom());
  return parents;
}

std::vector<KelIGraphNode*> KelIGraphNode::GetChildren() const {
  std::vector<KelIGraphNode*> children;
  for (KelIGraphLink* arc : GetOutArcs()) children.push_back(arc->GetTo());
  return children;
}

void KelMemGraphNode::SetDecorationVisibility(int decoration, bool visible) {
  if (decoration < 0 || decoration >= kDecorationCount) return;
  decorations_[decoration] = visible;
}

bool KelMemGraphNode::GetDecorationVisibility(int decoration) const {
  if (decoration < 0 || decoration >= kDecorationCount) return true;
  return decorations_[decoration];
}

KelMemGraphNode* KelMemGraph::AddNode() {
  nodes_.push_back(std::make_unique<KelMemGraphNode>());
  return nodes_.back().get();
}

KelMemGraphLink* KelMemGraph::Connect(KelMemGraphNode* from, KelMemGraphNode* to) {
  links_.push_back(std::make_unique<KelMemGraphLink>(from, to));
  KelMemGraphLink* arc = links_.back().get();
  from->out_.push_back(arc);
  to->in_.push_back(arc);
  return arc;
}
