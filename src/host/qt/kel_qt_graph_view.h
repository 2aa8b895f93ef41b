// The graph viewer's widget: a graphics view of the viewer's nodes and arcs.
// Layered (centred) layouts come from Graphviz's dot; the indented layout
// puts one node per row, shifted right by its level.
#pragma once

#include <QGraphicsView>
#include <string>
#include <vector>

#include "host/dlg/kel_graph_viewer.h"

class KelQtNodeItem;

// Where every node and arc goes; coordinates in pixels, y downwards.
struct KelGraphLayout {
  struct Box {
    double x, y, width, height;  // top-left corner and size
  };
  std::vector<Box> boxes;                  // per drawn node, in CollectNodes order
  std::vector<std::vector<QPointF>> arcs;  // per node but the root: the arc from its parent
};

// The layouts, apart from any widget. The centred layout is Graphviz's dot
// up to kGraphvizLimit nodes; dot's placement grows much faster than the
// graph (about 20 s for 10,000 nodes), so larger trees get the layered tree
// layout, which places each subtree in its own span in linear time.
constexpr size_t kGraphvizLimit = 1000;
KelGraphLayout LayoutLayered(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                             bool packed, bool squareArcs);
KelGraphLayout LayoutTree(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                          bool packed, bool squareArcs);
KelGraphLayout LayoutCentred(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                             bool packed, bool squareArcs);
KelGraphLayout LayoutIndented(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                              bool packed, bool squareArcs);

class KelQtGraphView : public QGraphicsView {
 public:
  KelQtGraphView(KelGraphViewer* viewer, QWidget* parent);

  // The viewer changed: lay out again when what is drawn or how changed,
  // else only repaint the highlight.
  void Sync();
  // Lays out and paints now.
  void LayoutNow();
  int DrawnNodeCount() const { return static_cast<int>(items_.size()); }
  // The centre of `node` in the viewport's coordinates (where a click
  // reaches it); (-1, -1) when it is not drawn.
  QPoint ViewportPositionOf(const KelIGraphNode* node) const;
  // Paints the whole graph into `painter`'s device, fitted to `target`.
  void RenderGraph(QPainter* painter, const QRectF& target);
  QRectF GraphRect() const { return scene()->itemsBoundingRect().adjusted(-10, -10, 10, 10); }
  void Forget() { viewer_ = nullptr; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  QSize sizeHint() const override;

 private:
  KelIGraphNode* NodeAt(const QPoint& pos) const;
  void Reframe();

  KelGraphViewer* viewer_;
  std::vector<KelQtNodeItem*> items_;
  bool layoutPending_ = false;
  int laidOutRedraws_ = -1;
  int reframes_ = 0;
  bool square_ = true, packed_ = false, indented_ = false, decorations_ = true;
};
