// KelINavigNodeCtrl: the navigator's handle on one drawn node, through which
// the node is opened and closed.
//
// Levels are counted in navigator levels: in a graph of objects and links
// every link is itself a node, so opening one level of objects below an
// object takes 2 navigator levels.
#pragma once

class KelNavigInstance;
class KelNodeExtension;

class KelINavigNodeCtrl {
 public:
  virtual ~KelINavigNodeCtrl() = default;

  // Rebuilds the nodes below this one, `levels` navigator levels deep, from
  // the model nodes' children. The nodes previously drawn below it are
  // dropped first. Nodes at the last level are drawn closed. Returns the
  // number of nodes drawn below; `levels` of 0 or less does nothing.
  virtual int Expand(int levels) = 0;
  // Drops the nodes below this one and draws it closed.
  virtual void Collapse() = 0;
  // Whether the node shows its children.
  virtual bool IsExpanded() const = 0;

  // The drawn node itself.
  virtual KelNavigInstance* GetInstance() = 0;
  // The display node that decorates it (null when its node type has none).
  virtual KelNodeExtension* GetImplementation() const = 0;
};

using KelINavigNodeCtrl_var = KelINavigNodeCtrl*;
