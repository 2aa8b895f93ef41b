// KelINavigModelNode: what the navigator asks of the model node it draws.
// The graph's model nodes (KelLnkNode) implement it; the navigator holds the
// nodes through shared handles and never knows their type.
#pragma once

#include <memory>
#include <vector>

#include "host/graph/kel_i_graph_node.h"

class KelINavigModelNode;

using KelINavigModelNode_var = std::shared_ptr<KelINavigModelNode>;

class KelINavigModelNode {
 public:
  virtual ~KelINavigModelNode() = default;

  // The nodes drawn below this one, in drawing order.
  virtual std::vector<KelINavigModelNode_var> GetNavigChildren() = 0;
  // Colours and decorations of the node's graph node.
  virtual void CustomGraphNode(KelIGraphNode_var node) = 0;
  // The text of the node's graph node.
  virtual void UpdateTextElem(KelIGraphNode_var node) = 0;
  // Whether this node shows the same object as `other`: the navigator never
  // opens such a node again below itself (a loop in the links).
  virtual bool ShowsSameObjectAs(const KelINavigModelNode& other) const = 0;
};
