// KelNavigController: the navigator that draws a tree of model nodes.
//
// It starts from one model node (the top instance of its container), asks
// every model node for its children (KelINavigModelNode::GetNavigChildren) and draws each
// of them as a KelNavigInstance, decorated by the display-node extension of
// the controller's node type and joined to its father by an arc decorated by
// the extension of the arc type. The drawing is a plain tree: an object
// reached along two paths is drawn twice.
//
//   KelLnkCustomNode::RegisterNodeTypes();
//   KelNavigController navigator(root, "MML_node", "MML_arc");
//   navigator.SetDepth(2);
//   navigator.GetContainer()->Refresh();   // draws the root and 2 levels
//
// Nothing here depends on how the tree is shown: a window draws the graph
// nodes, `mml graph` prints them.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/navigator/kel_i_navig_model_node.h"
#include "host/navigator/kel_navig_instance.h"

class KelNavigController;

// An ordered set of drawn instances: the highlighted set (the selection,
// KelHSO) or the preselected set (KelPSO).
class KelNavigSet {
 public:
  // Appends the instance unless it is already in the set.
  void AddElement(KelNavigInstance* instance);
  void RemoveElement(KelNavigInstance* instance);
  void Empty();
  bool IsMember(const KelNavigInstance* instance) const { return members_.count(instance) != 0; }
  int GetCount() const { return static_cast<int>(order_.size()); }
  // The members in the order they were added.
  const std::vector<KelNavigInstance*>& GetList() const { return order_; }

 private:
  std::vector<KelNavigInstance*> order_;
  std::unordered_set<const KelNavigInstance*> members_;
};

class KelHSO : public KelNavigSet {};
class KelPSO : public KelNavigSet {};

// The container of the drawn tree: its top instances and its refresh.
class KelNavigContainer {
 public:
  explicit KelNavigContainer(KelNavigController* controller) : controller_(controller) {}

  // The top instances (one: the root).
  const std::vector<KelNavigInstance*>& GetInstancesList() const;
  // Draws a top instance never drawn yet down to the controller's depth,
  // then redraws every drawn instance (texts, then colours) in drawing order.
  void Refresh();
  KelNavigController* GetController() const { return controller_; }

 private:
  KelNavigController* controller_;
};

class KelNavigController {
 public:
  // A navigator on `root`; nothing is drawn before the container's first
  // refresh. Node and arc types name the extensions (KelNavigExtensionRegistry).
  KelNavigController(KelINavigModelNode_var root, std::string nodeType = "MML_node", std::string arcType = "MML_arc");
  ~KelNavigController();
  KelNavigController(const KelNavigController&) = delete;
  KelNavigController& operator=(const KelNavigController&) = delete;

  // Navigator levels opened when the root is first drawn and when a node
  // without display node is toggled open (at least 1).
  void SetDepth(int depth);
  int GetDepth() const { return depth_; }
  // Whether the open/close activators are shown beside the nodes.
  void SetActivatorsVisibility(bool visible) { activatorsVisible_ = visible; }
  bool GetActivatorsVisibility() const { return activatorsVisible_; }

  const std::vector<KelNavigInstance*>& GetInstancesList() const { return tops_; }
  KelNavigContainer* GetContainer() { return &container_; }
  KelNavigInstance* GetRootInstance() const { return root_.get(); }
  KelHSO& GetHSO() { return hso_; }
  KelPSO& GetPSO() { return pso_; }
  const std::string& GetNodeType() const { return nodeType_; }
  const std::string& GetArcType() const { return arcType_; }

  // ---- User actions, passed on to the display node ----

  // The user toggles the node (ProcessAfterExpand).
  void UserExpand(KelNavigInstance* instance);
  // The user selects the node, alone or added to the selection.
  void UserSelect(KelNavigInstance* instance, bool extend);
  // The user asks for the node's methods (ProcessAfterMethod).
  void UserMethod(KelNavigInstance* instance);

  // Number of instances drawn (the top instances included).
  int GetDrawnCount();
  // Instances no longer drawn are kept until ReleaseDropped, because display
  // nodes may still be named by their users (a window's twin registry).
  // Call it once nothing names them any more.
  void ReleaseDropped();
  int GetDroppedCount() const { return static_cast<int>(dropped_.size()); }

 private:
  friend class KelNavigInstance;
  friend class KelNavigContainer;
  friend class KelNavigGraphNode;

  // Takes instances that are no longer drawn.
  void Drop(std::unique_ptr<KelNavigInstance> instance);

  std::string nodeType_;
  std::string arcType_;
  // The arc extensions by the instance the arc reaches; kept here, as few
  // arc types have one, and released before the instances.
  std::unordered_map<const KelNavigInstance*, std::unique_ptr<KelLinkExtension>> arcExtensions_;
  // The texts set on drawn nodes, by instance (most nodes ask theirs of the
  // model node).
  std::unordered_map<const KelNavigInstance*, KelListValKelUnicodeString> texts_;
  int depth_ = 2;
  bool activatorsVisible_ = true;
  std::unique_ptr<KelNavigInstance> root_;
  bool rootDrawn_ = false;
  std::vector<KelNavigInstance*> tops_;
  KelNavigContainer container_{this};
  KelHSO hso_;
  KelPSO pso_;
  std::vector<std::unique_ptr<KelNavigInstance>> dropped_;
};
