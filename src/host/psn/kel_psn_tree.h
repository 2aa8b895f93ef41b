// KelPSNTree: a product structure read from the tables PSN_INSTANCE and
// PSN_REP (kel_psn_schema.h), as the product-structure navigator shows it.
//
// The tree hangs from the product's top part. Below a part come its
// representations (PSN_REP, one node each), then the parts it uses
// (PSN_INSTANCE, one node per instance, in C_RANK order), and so on down.
// Nodes are numbered from 1 in that (depth-first) order. Each node knows its
// father, its product (the top part) and, for a part used inside another,
// its instance identifier; the path of a node is the list of instance
// identifiers from the top part down to it, the path of a representation
// that of its part.
//
// The tree answers the questions of a product-structure graph
// (KelPSNGraph): the node of a path, the validity of a node, the search of a
// node by its object. It also keeps what the navigator shows: which nodes
// are opened, which are selected (the node manager), which one is centred.
//
// Reload() reads the tables again. A node that is still there keeps its
// address; a node that is gone stays allocated (pointers held elsewhere stay
// safe) but is no longer valid. A part used inside itself, directly or
// further down, is refused when the tree is built.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/kel_id.h"
#include "host/kel_psn_node.h"
#include "host/kel_zumo_instance.h"

class KelViewerToolBag;

// The selected set of a product-structure graph.
class KelPSNNodeMngr {
 public:
  void AddSelected(KelPSNNode* node);
  void RemoveSelected(KelPSNNode* node);
  void ClearSelected() { selected_.clear(); }
  bool IsSelected(const KelPSNNode* node) const;
  // In the order of selection.
  const std::vector<KelPSNNode*>& GetSelected() const { return selected_; }

 private:
  std::vector<KelPSNNode*> selected_;
};

class KelPSNTree : public KelPSNGraph {
 public:
  // What the tree knows of one node.
  struct Entry {
    KelPSNNode* node = nullptr;
    KelDMInstance object;  // the part (PART_LIST) or the representation
    bool representation = false;
    KelId oid;                // instance identifier; zero for the top part and representations
    std::vector<KelId> path;  // instance identifiers from the top part down
    KelUnicodeString name;    // instance name (C_NAME), empty for the top part
    int level = 0;            // 0 for the top part
    std::vector<KelPSNNode*> children;
    bool opened = false;
  };

  // More nodes than this make the product refused.
  static constexpr int kMaxNodes = 100000;

  // Reads the product whose top part is `top` (a PART_LIST row). The top
  // part is opened. Null, with a one-line reason in *error, when the tables
  // cannot be read, the top part does not exist, a part is used inside
  // itself, or the product is too large.
  static std::shared_ptr<KelPSNTree> Load(const KelDMInstance& top, std::string* error);

  // Reads the tables again (see the class comment). Opened and selected
  // nodes that remain keep their state. 0, or a kel_ier code with the reason
  // in *error (the tree is then unchanged).
  int Reload(std::string* error);

  // ---- KelPSNGraph ----
  KelPSNNode* GetRootNode() override { return root_; }
  // The part node reached from `root` (the top part when null) by `path`;
  // mode "ref" or "inst" alike. Null with `error` set when there is none.
  KelPSNNode* GetNode(const KelRawColldouble& path, KelPSNError& error, const KelUnicodeString& mode,
                      KelPSNNode* root) override;
  // `status` 0 when a valid node of the tree carries `node`, 1 otherwise.
  int IsValid(int& status, KelRawColldouble& validity, int option, const KelQorNode* node, void* reserved) override;
  KelSdaiModel* GetSdaiModel() override { return nullptr; }
  KelPSNNode* FindTree(const KelDMInstance& instance, KelPSNNode* from, bool openedOnly) override;
  bool IsValidNode(const KelPSNNode* node) const override;

  // ---- Nodes ----
  const KelDMInstance& GetTop() const { return top_; }
  // What the tree knows of a valid node; null for any other.
  const Entry* Find(const KelPSNNode* node) const;
  // The valid nodes, depth first.
  std::vector<KelPSNNode*> AllNodes() const;
  // The nodes drawn: the top part and every node whose ancestors are opened.
  std::vector<KelPSNNode*> VisibleNodes() const;
  int Size() const { return static_cast<int>(order_.size()); }
  // Whether the node and all its ancestors are opened.
  bool IsOpenedInGraph(const KelPSNNode* node) const;
  void Open(KelPSNNode* node, bool opened);
  // Opens every node.
  void OpenAll();

  // The product instance of a node: the top part and its path; a
  // representation also names itself (SetRep). Checked against the database
  // (FullyDefine). 0, or a kel_ier code when the node is not valid or the
  // instance cannot be fully defined.
  int GetZumoInstance(const KelPSNNode* node, KelZumoInstance& zumo) const override;
  // A readable text of a node: "<number> <name> <object>".
  KelUnicodeString GetText(const KelPSNNode* node) const;

  // The viewer the navigator opens its nodes with (kel_psn_viewer.cc): the
  // first one the profile registers for TOVRA_MODEL, whose options the graph
  // window's option panel sets; null when there is none.
  KelViewerToolBag* GetCurrentTool() const;

  // ---- Selection and centring ----
  KelPSNNodeMngr& GetNodeMngr() { return selection_; }
  // Makes `nodes` the selection and tells the listeners.
  void Select(const std::vector<KelPSNNode*>& nodes);
  // Asks the navigator to show `node`: its ancestors are opened.
  void Centre(KelPSNNode* node);
  KelPSNNode* GetCentred() const { return centred_; }
  // Listeners of the selection and of the centring; the id removes one.
  int Subscribe(std::function<void()> listener);
  void Unsubscribe(int id);
  // Tells the listeners that something changed (after a user selection).
  void Notify();

 private:
  explicit KelPSNTree(const KelDMInstance& top) : top_(top) {}
  struct Built;
  int Build(Built* built, std::string* error) const;

  KelDMInstance top_;
  KelPSNNode* root_ = nullptr;
  std::vector<std::unique_ptr<KelPSNNode>> nodes_;      // every node ever made, valid or not
  std::map<const KelPSNNode*, Entry> entries_;          // the valid nodes
  std::map<const KelPSNNode*, KelUnicodeString> keys_;  // each valid node's chain from the top
  std::vector<KelPSNNode*> order_;                      // the valid nodes, depth first
  int nextId_ = 1;
  KelPSNNodeMngr selection_;
  KelPSNNode* centred_ = nullptr;
  std::map<int, std::function<void()>> listeners_;
  int nextListener_ = 1;
};
