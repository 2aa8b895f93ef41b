// KelGraphViewer: the toolkit object that shows a graph of KelIGraphNode
// nodes joined by KelIGraphLink arcs (the navigator's drawn tree).
//
// The viewer knows what to draw and how: the root node (the graph is found
// from it through the out-arcs), straight or square arcs, packed or
// unpacked, centred (layered) or indented, and which nodes are highlighted.
// The toolkit binding lays the graph out and paints it; the user's clicks
// come back as notifications on the viewer:
//   Select     a click on a node (the node: GetEventNode());
//   ExtSelect  a Ctrl-click, adding the node to or taking it from the selection;
//   Method     a right click, asking for the node's methods;
//   Expand     a double click, toggling the node open or closed.
//
// Colour classes (KelIGraphNode::GetColorClass) map to one style each, told
// apart by colour (a palette safe for colour-blind readers), by line style
// and by a mark, so no class is known by colour alone: see StyleOfClass.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/graph/kel_i_graph_node.h"

class KelGraphViewer : public KelDlgObject {
 public:
  // How a colour class is drawn.
  struct ClassStyle {
    std::string name;  // the condition shown, for the legend ("good", "broken", ...)
    unsigned rgb;      // 0xRRGGBB of the frame and the arcs into the node
    int lineStyle;     // 0 solid, 1 dashed, 2 dotted, 3 dash-dot
    std::string mark;  // a short sign written before the text ("", "!", "?", ...)
  };
  // The style of a colour class; the variants "<class>R" (root) and
  // "<class>I" (intermediate) share their class's style. Unknown or empty
  // classes get the neutral style.
  static const ClassStyle& StyleOfClass(const std::string& colorClass);
  // The classes of the legend, in legend order: object classes first.
  static const std::vector<std::pair<std::string, ClassStyle>>& Legend();

  // One drawn node and where it hangs.
  struct DrawnNode {
    KelIGraphNode* node;
    int parent;  // index in the list of the node above, -1 for the root
    int level;   // 0 for the root
  };

  KelGraphViewer(KelDlgObject* parent, const std::string& identifier, unsigned long style);

  // The node the graph hangs from (not owned; null shows nothing).
  void SetRoot(KelIGraphNode* root);
  KelIGraphNode* GetRoot() const { return root_; }
  // Every node reached from the root through the out-arcs, each once,
  // father before children, children in arc order.
  std::vector<DrawnNode> CollectNodes() const;

  void setWithSquareArc();
  void setWithoutSquareArc();
  bool HasSquareArcs() const { return squareArcs_; }
  void setPacked();
  void setUnPacked();
  bool IsPacked() const { return packed_; }
  void setHorizontalCentered();
  void setHorizontalIndented();
  bool IsIndented() const { return indented_; }
  void setDecorationVisibility(bool visible);
  bool GetDecorationVisibility() const { return decorations_; }
  // Whether the colour legend is drawn in a corner of the view.
  void SetLegendVisible(bool visible) {
    legend_ = visible;
    Changed();
  }
  bool IsLegendVisible() const { return legend_; }
  // Fits the whole graph in the view.
  void reframe();
  int GetReframeCount() const { return reframes_; }
  // The graph changed: lay it out and paint it again.
  void Redraw();
  int GetRedrawCount() const { return redraws_; }
  // The highlighted set changed: paint again, without a new layout.
  void UpdateHighlight() { Changed(); }

  // Size asked for, in pixels.
  void SetSize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }

  // Which nodes are drawn highlighted (the selection).
  using HighlightQuery = std::function<bool(const KelIGraphNode*)>;
  void SetHighlightQuery(HighlightQuery query) { highlight_ = std::move(query); }
  bool IsHighlighted(const KelIGraphNode* node) const { return highlight_ && highlight_(node); }

  // ---- The user's actions ----
  void UserSelect(KelIGraphNode* node, bool extend);
  void UserMethod(KelIGraphNode* node);
  void UserExpand(KelIGraphNode* node);
  // The node of the last user action.
  KelIGraphNode* GetEventNode() const { return eventNode_; }

 private:
  KelIGraphNode* root_ = nullptr;
  bool squareArcs_ = true;
  bool packed_ = false;
  bool indented_ = false;
  bool decorations_ = true;
  bool legend_ = true;
  int reframes_ = 0;
  int redraws_ = 0;
  int width_ = 500;
  int height_ = 300;
  HighlightQuery highlight_;
  KelIGraphNode* eventNode_ = nullptr;
};
