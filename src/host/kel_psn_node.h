// Handles of the product-structure navigator (PSN) that the link database
// passes around: a node of a product-structure graph, the product-data node
// behind it, and the graph itself.
//
// The navigator that builds and draws these graphs belongs to the graphical
// host; the link database only keeps pointers to nodes, asks a node for its
// product-data node and its father, and asks a graph for a node by its path
// and for the validity of an instance.
#pragma once

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"

// The error of a product-structure call: a code (0 = no error) and a short and
// a long message.
struct KelPSNError {
  int code = 0;
  KelUnicodeString shortMessage;
  KelUnicodeString longMessage;

  bool IsError() const { return code != 0; }
  void Clear() { *this = KelPSNError(); }
};

// The product-data node behind a PSN node: the database object that the node
// shows (a part, or the representation of a part).
class KelQorNode {
 public:
  KelQorNode() = default;
  explicit KelQorNode(const KelDMInstance& instance) : instance_(instance) {}
  // A node inside the product whose top part is `product`.
  KelQorNode(const KelDMInstance& instance, const KelDMInstance& product) : instance_(instance), product_(product) {}

  const KelDMInstance& GetInstance() const { return instance_; }
  // The top part of the product the node belongs to; empty when unknown.
  const KelDMInstance& GetProduct() const { return product_; }

  friend bool operator==(const KelQorNode& a, const KelQorNode& b) { return a.instance_ == b.instance_; }

 private:
  KelDMInstance instance_;
  KelDMInstance product_;
};

// A node of a product-structure graph. It is a handle: copies compare equal,
// and the father is a pointer that the graph owns.
class KelPSNNode {
 public:
  KelPSNNode() = default;
  // A node numbered `id` (its number in the graph) whose product-data node
  // stands for `instance`; `father` is the node above it, null for a root.
  KelPSNNode(int id, const KelDMInstance& instance, KelPSNNode* father = nullptr)
      : id_(id), hasQorNode_(true), qorNode_(instance), father_(father) {}
  // A node of `graph` inside the product whose top part is `product`.
  KelPSNNode(int id, const KelQorNode& qorNode, KelPSNNode* father, class KelPSNGraph* graph)
      : id_(id), hasQorNode_(true), qorNode_(qorNode), father_(father), graph_(graph) {}
  // A node without product-data node (a node the navigator only draws).
  explicit KelPSNNode(int id, KelPSNNode* father = nullptr) : id_(id), father_(father) {}

  int NodeId() const { return id_; }
  // The product-data node: index 0 is the node's own one. Null when the node
  // has none, or for any other index.
  const KelQorNode* GetQorNode(int index) const;
  // The node above this one in the product structure; null for a root.
  KelPSNNode* GetFather() const { return father_; }
  // The graph holding the node; null for a node made outside a graph.
  class KelPSNGraph* GetGraph() const {
    return graph_;
  }

  // Same number and same product-data node; the father takes no part.
  friend bool operator==(const KelPSNNode& a, const KelPSNNode& b);

 private:
  int id_ = 0;
  bool hasQorNode_ = false;
  KelQorNode qorNode_;
  KelPSNNode* father_ = nullptr;
  class KelPSNGraph* graph_ = nullptr;
};

// Conversion of product-data nodes into database instances.
class KelPSNSdai {
 public:
  // The database instance of `node`. Returns 0, or kel_ier::kInstanceNotFound
  // (instance untouched) when node is null.
  static int Convert(const KelQorNode* node, KelDMInstance& instance);
};

// The data model under a product-structure graph; opaque to the link database,
// which only hands it on to the V5 link service.
class KelSdaiModel;

// A product-structure graph as the link database sees it. The navigator
// implements it.
class KelPSNGraph {
 public:
  virtual ~KelPSNGraph() = default;

  // The root node of the graph; null for an empty graph.
  virtual KelPSNNode* GetRootNode() = 0;
  // The node reached from `root` by the path of instance identifiers `path`
  // (identifiers carried in doubles), in the given mode ("ref": the reference
  // node of the instance). Null, with `error` set, when there is none.
  virtual KelPSNNode* GetNode(const KelRawColldouble& path, KelPSNError& error, const KelUnicodeString& mode,
                              KelPSNNode* root) = 0;
  // The validity of the product-data node `node` in the graph's current
  // configuration: `status` receives the host status (0, 100, 200 valid;
  // 1, 101, 201 not valid; others unknown), `validity` the validity data.
  // Returns 0 when the computation succeeded, else an error code.
  virtual int IsValid(int& status, KelRawColldouble& validity, int option, const KelQorNode* node, void* reserved) = 0;
  // The data model under the graph; may be null.
  virtual KelSdaiModel* GetSdaiModel() = 0;
  // The first node at or below `from` (depth first) that shows `instance`
  // (environment, table, coid and compid compared); with `openedOnly`, only
  // among the nodes drawn opened in the graph. Null when there is none.
  virtual KelPSNNode* FindTree(const KelDMInstance& instance, KelPSNNode* from, bool openedOnly) {
    (void)instance;
    (void)from;
    (void)openedOnly;
    return nullptr;
  }
  // The product instance of `node` (the top part and the path down to it),
  // checked against the database. 0, or an error code.
  virtual int GetZumoInstance(const KelPSNNode* node, class KelZumoInstance& zumo) const {
    (void)node;
    (void)zumo;
    return 1;
  }
  // Whether `node` still belongs to the graph (a node removed by a reload of
  // the product structure stays allocated, but is no longer valid).
  virtual bool IsValidNode(const KelPSNNode* node) const { return node != nullptr; }
};
