// An in-memory graph of KelIGraphNode and KelIGraphLink: it remembers what
// the model nodes write, and joins nodes with arcs. Used where no viewer is
// drawn (batch work) and by the tests.
//
//   KelMemGraph graph;
//   KelMemGraphNode* a = graph.AddNode();
//   KelMemGraphNode* l = graph.AddNode();
//   graph.Connect(a, l);          // arc a -> l
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "host/graph/kel_i_graph_node.h"

class KelMemGraphLink;

class KelMemGraphNode : public KelIGraphNode {
 public:
  static constexpr int kDecorationCount = 4;

  void SetText(const KelListValKelUnicodeString& lines) override { text_ = lines; }
  KelListValKelUnicodeString GetText() const override { return text_; }
  void SetColor(int color) override { color_ = color; }
  int GetColor() const override { return color_; }
  void SetColorClass(const KelUnicodeString& colorClass) override { colorClass_ = colorClass; }
  KelUnicodeString GetColorClass() const override { return colorClass_; }
  // Decorations outside 0..kDecorationCount-1 are ignored (and read visible).
  void SetDecorationVisibility(int decoration, bool visible) override;
  bool GetDecorationVisibility(int decoration) const override;
  void SetFirstSubElementColor(int color) override { subColor_ = color; }
  int GetFirstSubElementColor() const override { return subColor_; }
  bool IsExpanded() const override { return expanded_; }
  void SetExpanded(bool expanded) override { expanded_ = expanded; }
  bool IsPSNViewerNode() const override { return psnViewer_; }
  void SetPSNViewerNode(bool psn) { psnViewer_ = psn; }
  std::vector<KelIGraphLink*> GetInArcs() const override { return in_; }
  std::vector<KelIGraphLink*> GetOutArcs() const override { return out_; }

 private:
  friend class KelMemGraph;
  KelListValKelUnicodeString text_;
  int color_ = -1;  // -1 until set
  KelUnicodeString colorClass_;
  std::array<bool, kDecorationCount> decorations_{true, true, true, true};
  int subColor_ = -1;
  bool expanded_ = false;
  bool psnViewer_ = false;
  std::vector<KelIGraphLink*> in_;
  std::vector<KelIGraphLink*> out_;
};

class KelMemGraphLink : public KelGraphArc {
 public:
  using KelGraphArc::KelGraphArc;
};

// Owns its nodes and arcs.
class KelMemGraph {
 public:
  KelMemGraphNode* AddNode();
  // A new arc from `from` to `to`, appended to from's out-arcs and to's in-arcs.
  KelMemGraphLink* Connect(KelMemGraphNode* from, KelMemGraphNode* to);
  size_t NodeCount() const { return nodes_.size(); }

 private:
  std::vector<std::unique_ptr<KelMemGraphNode>> nodes_;
  std::vector<std::unique_ptr<KelMemGraphLink>> links_;
};
