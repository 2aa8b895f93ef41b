// KelLnkNode: the model node of the graph. Every object (KelLnkObject) and
// every link (KelLnkLink) drawn in a graph window is one. It carries what the
// navigator and the display nodes need of any node: the database instance,
// the optional product-structure handles and the expand state, and it
// declares the operations through which the navigator builds the tree and the
// display nodes draw it.
//
// Model nodes are shared through KelBaseUnknown_var handles: a link holds the
// object it leads to and the object it leaves (when that object is itself held
// by a handle), lists of child links hold their links, and a node lives as
// long as one handle on it does.
#pragma once

#include <memory>
#include <vector>

#include "base/kel_types.h"
#include "host/graph/kel_i_graph_node.h"
#include "host/kel_dm_instance.h"
#include "host/navigator/kel_i_navig_model_node.h"

class KelLnkGraphWindow;
class KelZumoInstance;
class KelPSNNode;
class KelLnkNode;

// A shared handle on a model node, and a list of them.
using KelBaseUnknown_var = std::shared_ptr<KelLnkNode>;
using KelListValKelBaseUnknown_var = std::vector<KelBaseUnknown_var>;

// The one copy of `instance` shared by the model nodes: never freed, so the
// address stays valid for the life of the process.
const KelDMInstance* KelLnkPooledInstance(const KelDMInstance& instance);
// The pooled empty instance, the instance of a node until it is given one.
const KelDMInstance* KelLnkEmptyInstance();

// The expand state of a node.
enum ConditionIsExpandable : int {
  kExpandNotComputed = 0,                // not computed
  kExpandOnce = 1,                       // the object is drawn once only
  kExpandSameAsFather = 2,               // a twin is the node itself or one of its drawn ancestors
  kExpandSameInOtherBranch = 3,          // twins in other branches, none of them expanded
  kExpandSameExpandedInOtherBranch = 4,  // a twin is expanded in another branch
  kExpandSolved = 5,                     // fixed: the display node never recomputes it
};

class KelLnkNode : public KelINavigModelNode, public std::enable_shared_from_this<KelLnkNode> {
 public:
  // An empty instance, no handles, state 0; the derived constructors set them.
  KelLnkNode() = default;
  // Forgets the handles kept aside (without releasing them).
  ~KelLnkNode() override;

  // A copy of the database instance.
  KelDMInstance GetInstance() const { return *instance_; }
  const KelDMInstance& Instance() const { return *instance_; }

  // The product instance (null unless the graph comes from the
  // product-structure navigator; owned by the derived class) and the
  // product-structure node (not owned). Kept aside, by node: most graphs
  // have none, and a whole-depth graph holds a node per drawn line.
  KelZumoInstance* GetZumoInstance() const;
  KelPSNNode* GetPSNNode() const;
  // Replace a handle; the old one is not released here.
  void SetZumoInstance(KelZumoInstance* zumo);
  void SetPSNNode(KelPSNNode* node);

  // ---- Operations of every model node ----

  // The texts the navigator shows for the node.
  virtual KelListValKelUnicodeString GetIdentificators() = 0;
  // The nodes below this one in the drawn tree.
  virtual KelListValKelBaseUnknown_var GetChildren() = 0;
  // The same nodes, as the navigator holds them.
  // Objects (not links) with the same instance. A node without an instance
  // names no database object and repeats nothing.
  bool ShowsSameObjectAs(const KelINavigModelNode& other) const final;
  std::vector<KelINavigModelNode_var> GetNavigChildren() final {
    KelListValKelBaseUnknown_var children = GetChildren();
    return {children.begin(), children.end()};
  }
  // 0 for an object, 1 for a link.
  virtual int GetNodetype() const = 0;
  // Colours and decorations of the node's graph node.
  void CustomGraphNode(KelIGraphNode_var node) override = 0;
  // The text of the node's graph node.
  void UpdateTextElem(KelIGraphNode_var node) override = 0;
  // The window that shows the node; null without one.
  virtual KelLnkGraphWindow* GetMainWindow() const = 0;
  // The expand state.
  virtual ConditionIsExpandable IsExpandable() const { return expandable_; }
  virtual void SetExpandable(ConditionIsExpandable state) { expandable_ = state; }
  // Searches an object equal to `node` in the branch below this node, at
  // most `counter` object levels deep; the counter is decreased on the way.
  // Returns 1 when found, else 0.
  virtual int FindNodeInBranch(KelLnkNode& node, int& counter) = 0;

  // Model nodes are created only by their derived classes.
  static KelLnkNode* CreateItself() { return nullptr; }

 protected:
  // The base copy leaves the node's own fields at their defaults; the derived
  // copy operations copy instance, handles and state.
  KelLnkNode(const KelLnkNode& other) : KelINavigModelNode(), std::enable_shared_from_this<KelLnkNode>(other) {}
  KelLnkNode& operator=(const KelLnkNode& other) {
    if (this != &other) std::enable_shared_from_this<KelLnkNode>::operator=(other);
    return *this;
  }

  void SetInstance(const KelDMInstance& instance) { instance_ = KelLnkPooledInstance(instance); }

  // Pooled: an object drawn under many parents, and a link row drawn many
  // times over, keep one copy of their instance.
  const KelDMInstance* instance_ = KelLnkEmptyInstance();
  // One byte each, so that the derived fields fill the rest of the word.
  ConditionIsExpandable expandable_ : 8 = kExpandNotComputed;
  // Whether handles are kept aside for this node.
  bool hasHandles_ : 1 = false;

 private:
  // Keeps both handles aside, or forgets them when both are null.
  void SetHandles(KelZumoInstance* zumo, KelPSNNode* node);
};
