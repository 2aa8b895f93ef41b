// KelNavigInstance: one node drawn by the navigator.
//
// An instance decorates one model node (its reference), owns the instances
// drawn below it in drawing order, the arc that leads to it from its father
// (whose extension, if any, the controller keeps) and its display-node
// extension, built inside the instance when its type allows. It is also the
// node's controller (open, close) and the drawn graph node that the model
// nodes colour: the graph node's incoming arc comes from the father instance,
// its outgoing arcs lead to the children in drawing order, and it is expanded
// while the instance shows its children.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/kel_text_pool.h"
#include "host/graph/kel_i_graph_node.h"
#include "host/navigator/kel_i_navig_model_node.h"
#include "host/navigator/kel_i_navig_node_ctrl.h"
#include "host/navigator/kel_navig_extension.h"

class KelNavigController;
class KelNavigInstance;

// The drawn node of an instance, which is one of its bases: the instance is
// found from the node's own address. Its texts are asked of the model node
// when they are read, unless they were set on the node itself; its colour
// class is pooled (a handful of names over the whole graph).
class KelNavigGraphNode : public KelIGraphNode {
 public:
  static constexpr int kDecorationCount = 4;

  void SetText(const KelListValKelUnicodeString& lines) override;
  KelListValKelUnicodeString GetText() const override;
  void SetColor(int color) override { color_ = color; }
  int GetColor() const override { return color_; }
  void SetColorClass(const KelUnicodeString& colorClass) override { colorClass_ = colorClass; }
  KelUnicodeString GetColorClass() const override { return colorClass_.str(); }
  // Decorations outside 0..kDecorationCount-1 are ignored (and read visible).
  void SetDecorationVisibility(int decoration, bool visible) override;
  bool GetDecorationVisibility(int decoration) const override;
  void SetFirstSubElementColor(int color) override { subColor_ = color; }
  int GetFirstSubElementColor() const override { return subColor_; }
  // The expanded state follows the instance: open it with its controller.
  bool IsExpanded() const override;
  // Opens the instance by 1 level, or closes it.
  void SetExpanded(bool expanded) override;
  bool IsPSNViewerNode() const override;
  std::vector<KelIGraphLink*> GetInArcs() const override;
  std::vector<KelIGraphLink*> GetOutArcs() const override;

  KelNavigInstance* GetOwner() const;

 private:
  friend class KelNavigInstance;
  KelNavigGraphNode() = default;

  KelPooledString colorClass_;
  int color_ = -1;  // -1 until set
  int subColor_ = -1;
  std::array<bool, kDecorationCount> decorations_{true, true, true, true};
  // Whether texts were set on the node: the controller keeps them (few nodes
  // have any), else they are asked of the model node.
  bool hasText_ = false;
};

// A drawn arc, from a father instance to one of its children. It is a base
// of the child, and finds both ends through it.
class KelNavigGraphArc : public KelGraphArcStyle {
 public:
  // The father's graph node (null for a top instance, and once the father
  // dropped the child) and the child's.
  KelIGraphNode* GetFrom() const override;
  KelIGraphNode* GetTo() const override;

 private:
  friend class KelNavigInstance;
  KelNavigGraphArc() = default;
};

// The instances drawn below one instance, owned, in drawing order. A single
// child (every link node of the link graph has exactly one) is held in the
// list itself; more in one array sized once.
class KelNavigChildren {
 public:
  KelNavigChildren() = default;
  ~KelNavigChildren() { Clear(); }
  KelNavigChildren(const KelNavigChildren&) = delete;
  KelNavigChildren& operator=(const KelNavigChildren&) = delete;

  // Releases the present children and takes the `count` instances that
  // `make(i)` builds, i from 0 (each an owning pointer), in that order.
  template <typename Make>
  void Build(std::size_t count, Make&& make) {
    Clear();
    if (count == 1) {
      one_ = make(0);
    } else if (count > 1) {
      auto** children = new KelNavigInstance*[count];
      for (std::size_t i = 0; i < count; ++i) children[i] = make(i);
      many_ = children;
    }
    size_ = static_cast<std::uint32_t>(count);
  }
  // Hands the children over and leaves the list empty.
  std::vector<std::unique_ptr<KelNavigInstance>> Release();
  // Releases the children, first to last.
  void Clear();

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  KelNavigInstance* const* begin() const { return size_ == 1 ? &one_ : many_; }
  KelNavigInstance* const* end() const { return begin() + size_; }
  KelNavigInstance* operator[](std::size_t i) const { return begin()[i]; }

 private:
  union {
    KelNavigInstance* one_;              // size_ 1
    KelNavigInstance** many_ = nullptr;  // size_ above 1, else null
  };
  std::uint32_t size_ = 0;
};

// The instance is its drawn node and the arc from its father (private bases,
// reached through GetGraphNode and the node's arcs), so that neither keeps a
// pointer back to it; a whole-depth graph holds one per drawn line.
class KelNavigInstance : public KelINavigNodeCtrl, private KelNavigGraphArc, private KelNavigGraphNode {
 public:
  // Made by the navigator only. `father` is null for a top instance.
  KelNavigInstance(KelNavigController* controller, KelNavigInstance* father, KelINavigModelNode_var reference);
  ~KelNavigInstance() override;
  KelNavigInstance(const KelNavigInstance&) = delete;
  KelNavigInstance& operator=(const KelNavigInstance&) = delete;

  // The model node drawn.
  KelINavigModelNode_var GetReference() const { return reference_; }
  KelINavigModelNode* GetReferenceNode() const { return reference_.get(); }
  // Kept by the top instance (and by an instance no longer drawn): found
  // through the instances above.
  KelNavigController* GetNavigController() const;
  // The instance above (null for a top instance, and once the father dropped
  // this instance) and the instances below, in drawing order.
  KelNavigInstance* GetFather() const { return upIsController_ ? nullptr : father_; }
  int GetChildCount() const { return static_cast<int>(children_.size()); }
  // Null outside 0..GetChildCount()-1.
  KelNavigInstance* GetChild(int i) const;
  std::vector<KelNavigInstance*> GetChildren() const { return {children_.begin(), children_.end()}; }
  // Navigator level: 0 for a top instance.
  int GetLevel() const { return level_; }
  // False once the instance was dropped (its father closed or rebuilt).
  bool IsDrawn() const { return drawn_; }
  KelIGraphNode* GetGraphNode() { return static_cast<KelNavigGraphNode*>(this); }
  // The extension of the arc to the i-th child; null without one.
  KelLinkExtension* GetArcExtension(int i) const;
  // The instance whose graph node is `node`; null for a node the navigator
  // did not draw.
  static KelNavigInstance* FromGraphNode(const KelIGraphNode* node);

  // ---- KelINavigNodeCtrl ----
  int Expand(int levels) override;
  void Collapse() override;
  // Also the drawn node's expanded state.
  bool IsExpanded() const override { return expanded_; }
  KelNavigInstance* GetInstance() override { return this; }
  KelNodeExtension* GetImplementation() const override;

  // Redraws this instance (texts, then colours) and the arcs below it.
  void UpdateSelf();
  // Calls `visit` on this instance and every instance drawn below, in
  // drawing order (father before children).
  template <typename Visit>
  void Walk(Visit&& visit) {
    std::vector<KelNavigInstance*> stack{this};
    while (!stack.empty()) {
      KelNavigInstance* inst = stack.back();
      stack.pop_back();
      visit(inst);
      for (std::size_t i = inst->children_.size(); i > 0; --i) stack.push_back(inst->children_[i - 1]);
    }
  }

 private:
  friend class KelNavigController;
  friend class KelNavigContainer;
  friend class KelNavigGraphNode;
  friend class KelNavigGraphArc;

  // Hands the children to the controller, which keeps them until it is
  // safe to release them (display nodes may still be named elsewhere).
  // `controller` is this instance's, handed down so that it is looked up once.
  void DropChildren(KelNavigController* controller);
  // Draws the children and opens them `levels` - 1 levels further, except
  // those that repeat an object above them.
  int Build(int levels, KelNavigController* controller);
  // Whether this node shows an object that a node above it shows too.
  bool RepeatsAnAncestor() const;
  // The extension of the arc that reaches this instance; null without one.
  KelLinkExtension* InArcExtension() const;

  bool expanded_ : 1 = false;
  bool drawn_ : 1 = true;
  // Whether the arc from the father still leads here (not once the father
  // dropped this instance).
  bool hasInArc_ : 1 = false;
  // Whether up_ holds the controller (a top instance, or one dropped) rather
  // than the father.
  bool upIsController_ : 1 = false;
  bool hasExtension_ : 1 = false;
  bool extensionInPlace_ : 1 = false;  // see extension_
  // Whether the controller keeps an extension of the arc from the father.
  bool hasArcExtension_ : 1 = false;
  // level_ fills the list's tail.
  [[no_unique_address]] KelNavigChildren children_;
  int level_ = 0;
  union {
    KelNavigInstance* father_;
    KelNavigController* controller_;
  };
  KelINavigModelNode_var reference_;
  // The display node, when hasExtension_: built here when extensionInPlace_,
  // else allocated and owned.
  union {
    KelNodeExtension* extensionAllocated_;
    alignas(void*) std::byte extensionSpace_[KelNavigExtensionRegistry::kInPlaceNodeBytes];
  };
};
