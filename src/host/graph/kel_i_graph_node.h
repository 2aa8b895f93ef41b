// The graph viewer's handles on one drawn node and one drawn arc.
//
// The model nodes (KelLnkObject, KelLnkLink) write their text and colours
// through these interfaces; the navigator and the drawn graph implement them.
// KelMemGraphNode and KelMemGraphLink (kel_mem_graph.h) keep everything in
// memory, for windowless use and for tests.
//
// In the drawn graph a link is itself a node: an arc runs from an object node
// to a link node, and another from that link node to the next object node.
#pragma once

#include <vector>

#include "base/kel_types.h"

class KelIGraphLink;

class KelIGraphNode {
 public:
  virtual ~KelIGraphNode() = default;

  // The text lines shown in the node.
  virtual void SetText(const KelListValKelUnicodeString& lines) = 0;
  virtual KelListValKelUnicodeString GetText() const = 0;

  // The colour number of the node (an index of the viewer's palette).
  virtual void SetColor(int color) = 0;
  virtual int GetColor() const = 0;

  // The condition class of the node ("good", "baddate", "mmlstop",
  // "mmlunknown", their "R" and "I" variants for objects, "goodold",
  // "up_good", "up_baddate" for links). The style sheet of the viewer maps a
  // class to its drawing.
  virtual void SetColorClass(const KelUnicodeString& colorClass) = 0;
  virtual KelUnicodeString GetColorClass() const = 0;

  // Decorations of the node, numbered from 0: 0 the frame, 1 the background
  // band. Visible unless switched off.
  virtual void SetDecorationVisibility(int decoration, bool visible) = 0;
  virtual bool GetDecorationVisibility(int decoration) const = 0;

  // Colour number of the node's first sub-element (the band that carries the
  // technology colour of the link that leads to an object).
  virtual void SetFirstSubElementColor(int color) = 0;
  virtual int GetFirstSubElementColor() const = 0;

  // Whether the node shows its children (toggled by the user).
  virtual bool IsExpanded() const = 0;
  virtual void SetExpanded(bool expanded) = 0;

  // Whether the node is drawn in a graph opened from the product-structure
  // navigator (the viewer's query that decides between the plain colour
  // classes and the root and intermediate ones).
  virtual bool IsPSNViewerNode() const = 0;

  // Arcs into and out of the node, in drawing order. The arcs belong to the
  // graph; the pointers stay valid while the graph holds them.
  virtual std::vector<KelIGraphLink*> GetInArcs() const = 0;
  virtual std::vector<KelIGraphLink*> GetOutArcs() const = 0;

  // The nodes above and below, through the arcs, in arc order.
  std::vector<KelIGraphNode*> GetParents() const;
  std::vector<KelIGraphNode*> GetChildren() const;
};

// The handle the model nodes receive. It does not own the node.
using KelIGraphNode_var = KelIGraphNode*;

class KelIGraphLink {
 public:
  virtual ~KelIGraphLink() = default;

  // The node the arc leaves and the node it reaches.
  virtual KelIGraphNode* GetFrom() const = 0;
  virtual KelIGraphNode* GetTo() const = 0;

  // The colour number of the arc.
  virtual void SetColor(int color) = 0;
  virtual int GetColor() const = 0;

  // The arc's drawing attribute (line style); 0 until set. The display arc
  // gives it 20 when link technologies are not computed.
  virtual void SetAttribute(int value) = 0;
  virtual int GetAttribute() const = 0;
};

using KelIGraphLink_var = KelIGraphLink*;

// An arc's colour and attribute, held plainly; how it finds its two ends is
// the subclass's.
class KelGraphArcStyle : public KelIGraphLink {
 public:
  void SetColor(int color) override { color_ = color; }
  int GetColor() const override { return color_; }
  void SetAttribute(int value) override { attribute_ = value; }
  int GetAttribute() const override { return attribute_; }

 private:
  int color_ = -1;
  int attribute_ = 0;
};

// An arc that holds its two ends: what the in-memory graph draws.
class KelGraphArc : public KelGraphArcStyle {
 public:
  KelGraphArc(KelIGraphNode* from, KelIGraphNode* to) : from_(from), to_(to) {}
  KelIGraphNode* GetFrom() const override { return from_; }
  KelIGraphNode* GetTo() const override { return to_; }

 private:
  KelIGraphNode* from_;
  KelIGraphNode* to_;
};
