#include "host/qt/kel_qt_graph_view.h"

#include <graphviz/gvc.h>

#include <QFontMetricsF>
#include <QGraphicsItem>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

constexpr double kPointsPerInch = 72.0;

Qt::PenStyle PenStyleOf(int lineStyle) {
  switch (lineStyle) {
    case 1:
      return Qt::DashLine;
    case 2:
      return Qt::DotLine;
    case 3:
      return Qt::DashDotLine;
    default:
      return Qt::SolidLine;
  }
}

QColor ColorOf(unsigned rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

QString TextOf(const KelIGraphNode* node) {
  QStringList lines;
  const std::string& mark = KelGraphViewer::StyleOfClass(node->GetColorClass()).mark;
  for (const KelUnicodeString& line : node->GetText()) lines << QString::fromStdString(line);
  if (lines.isEmpty()) lines << QString();
  if (!mark.empty()) lines[0] = QString::fromStdString(mark) + " " + lines[0];
  return lines.join('\n');
}

// Graphviz's context, made once: loading the plugins costs more than a layout.
GVC_t* Graphviz() {
  static GVC_t* context = gvContext();
  return context;
}

void SetAttribute(void* object, Agsym_t* symbol, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  agxset(object, symbol, text);
}

void Arc(KelGraphLayout& layout, size_t child, const KelGraphLayout::Box& from, const KelGraphLayout::Box& to,
         bool square, bool indented) {
  std::vector<QPointF>& arc = layout.arcs[child];
  if (indented) {
    const QPointF start(from.x + 12, from.y + from.height);
    const QPointF end(to.x, to.y + to.height / 2);
    if (square) {
      arc = {start, QPointF(start.x(), end.y()), end};
    } else {
      arc = {start, end};
    }
    return;
  }
  const QPointF start(from.x + from.width / 2, from.y + from.height);
  const QPointF end(to.x + to.width / 2, to.y);
  if (square) {
    const double middle = (start.y() + end.y()) / 2;
    arc = {start, QPointF(start.x(), middle), QPointF(end.x(), middle), end};
  } else {
    arc = {start, end};
  }
}

}  // namespace

KelGraphLayout LayoutCentred(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                             bool packed, bool squareArcs) {
  return nodes.size() <= kGraphvizLimit ? LayoutLayered(nodes, sizes, packed, squareArcs)
                                        : LayoutTree(nodes, sizes, packed, squareArcs);
}

KelGraphLayout LayoutLayered(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                             bool packed, bool squareArcs) {
  KelGraphLayout layout;
  layout.boxes.resize(nodes.size());
  layout.arcs.resize(nodes.size());
  if (nodes.empty()) return layout;
  Agraph_t* graph = agopen(const_cast<char*>("mml"), Agdirected, nullptr);
  agattr(graph, AGRAPH, const_cast<char*>("ordering"), const_cast<char*>("out"));
  agattr(graph, AGRAPH, const_cast<char*>("splines"), const_cast<char*>("false"));
  agattr(graph, AGRAPH, const_cast<char*>("nodesep"), const_cast<char*>(packed ? "0.08" : "0.3"));
  agattr(graph, AGRAPH, const_cast<char*>("ranksep"), const_cast<char*>(packed ? "0.25" : "0.5"));
  // A tree has no crossings to remove: keep the crossing and ranking passes short.
  agattr(graph, AGRAPH, const_cast<char*>("mclimit"), const_cast<char*>("0.1"));
  agattr(graph, AGRAPH, const_cast<char*>("nslimit"), const_cast<char*>("2"));
  agattr(graph, AGRAPH, const_cast<char*>("nslimit1"), const_cast<char*>("2"));
  agattr(graph, AGRAPH, const_cast<char*>("searchsize"), const_cast<char*>("5"));
  agattr(graph, AGNODE, const_cast<char*>("shape"), const_cast<char*>("box"));
  agattr(graph, AGNODE, const_cast<char*>("fixedsize"), const_cast<char*>("true"));
  agattr(graph, AGNODE, const_cast<char*>("label"), const_cast<char*>(""));
  Agsym_t* width = agattr(graph, AGNODE, const_cast<char*>("width"), const_cast<char*>("1"));
  Agsym_t* height = agattr(graph, AGNODE, const_cast<char*>("height"), const_cast<char*>("0.5"));
  std::vector<Agnode_t*> gvNodes(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    const std::string name = std::to_string(i);
    gvNodes[i] = agnode(graph, const_cast<char*>(name.c_str()), 1);
    SetAttribute(gvNodes[i], width, sizes[i].width() / kPointsPerInch);
    SetAttribute(gvNodes[i], height, sizes[i].height() / kPointsPerInch);
    if (nodes[i].parent >= 0) agedge(graph, gvNodes[nodes[i].parent], gvNodes[i], nullptr, 1);
  }
  gvLayout(Graphviz(), graph, "dot");
  const double top = GD_bb(graph).UR.y;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const pointf centre = ND_coord(gvNodes[i]);
    layout.boxes[i] = {centre.x - sizes[i].width() / 2, top - centre.y - sizes[i].height() / 2, sizes[i].width(),
                       sizes[i].height()};
  }
  gvFreeLayout(Graphviz(), graph);
  agclose(graph);
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].parent >= 0) Arc(layout, i, layout.boxes[nodes[i].parent], layout.boxes[i], squareArcs, false);
  }
  return layout;
}

KelGraphLayout LayoutTree(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                          bool packed, bool squareArcs) {
  KelGraphLayout layout;
  const size_t n = nodes.size();
  layout.boxes.resize(n);
  layout.arcs.resize(n);
  if (n == 0) return layout;
  const double gap = packed ? 6 : 22;
  const double rankGap = packed ? 18 : 36;
  // Children per node, in drawing order (nodes come father first).
  std::vector<std::vector<int>> children(n);
  int depth = 0;
  for (size_t i = 1; i < n; ++i) {
    if (nodes[i].parent >= 0) children[nodes[i].parent].push_back(static_cast<int>(i));
    depth = std::max(depth, nodes[i].level);
  }
  // Width of every subtree and of its children side by side, children
  // before fathers (reverse drawing order).
  std::vector<double> span(n), row(n);
  for (size_t k = n; k-- > 0;) {
    double sum = 0;
    for (int c : children[k]) sum += span[c];
    if (!children[k].empty()) sum += gap * (children[k].size() - 1);
    row[k] = sum;
    span[k] = std::max(sizes[k].width(), sum);
  }
  // Rank tops: each level as high as its highest node.
  std::vector<double> rankHeight(depth + 1, 0);
  for (size_t i = 0; i < n; ++i) rankHeight[nodes[i].level] = std::max(rankHeight[nodes[i].level], sizes[i].height());
  std::vector<double> rankTop(depth + 1, 0);
  for (int r = 1; r <= depth; ++r) rankTop[r] = rankTop[r - 1] + rankHeight[r - 1] + rankGap;
  // Each subtree takes its span from the left edge its father gives it; the
  // father sits centred over its children.
  std::vector<double> left(n, 0);
  for (size_t i = 0; i < n; ++i) {
    double x = left[i] + (span[i] - row[i]) / 2;
    for (int c : children[i]) {
      left[c] = x;
      x += span[c] + gap;
    }
    const double centre = left[i] + span[i] / 2;
    layout.boxes[i] = {centre - sizes[i].width() / 2, rankTop[nodes[i].level], sizes[i].width(), sizes[i].height()};
  }
  for (size_t i = 0; i < n; ++i) {
    if (nodes[i].parent >= 0) Arc(layout, i, layout.boxes[nodes[i].parent], layout.boxes[i], squareArcs, false);
  }
  return layout;
}

KelGraphLayout LayoutIndented(const std::vector<KelGraphViewer::DrawnNode>& nodes, const std::vector<QSizeF>& sizes,
                              bool packed, bool squareArcs) {
  KelGraphLayout layout;
  layout.boxes.resize(nodes.size());
  layout.arcs.resize(nodes.size());
  const double indent = packed ? 24 : 40;
  const double gap = packed ? 4 : 12;
  double y = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    layout.boxes[i] = {nodes[i].level * indent, y, sizes[i].width(), sizes[i].height()};
    y += sizes[i].height() + gap;
    if (nodes[i].parent >= 0) Arc(layout, i, layout.boxes[nodes[i].parent], layout.boxes[i], squareArcs, true);
  }
  return layout;
}

// One drawn node: its frame in its class's colour and line style, its text
// with the class's mark; a thicker frame and a tint when highlighted.
class KelQtNodeItem : public QGraphicsItem {
 public:
  KelQtNodeItem(KelIGraphNode* node, const QSizeF& size, const QString& text, bool decorations)
      : node_(node),
        style_(&KelGraphViewer::StyleOfClass(node->GetColorClass())),
        size_(size),
        text_(text),
        frame_(decorations && node->GetDecorationVisibility(0)),
        band_(decorations && node->GetDecorationVisibility(1)) {}
  QRectF boundingRect() const override { return QRectF(QPointF(-2, -2), size_ + QSizeF(4, 4)); }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
    const QColor colour = ColorOf(style_->rgb);
    QColor fill = highlighted_ ? QColor(255, 240, 130) : QColor(Qt::white);
    if (band_ && !highlighted_) {
      fill = QColor((255 * 4 + colour.red()) / 5, (255 * 4 + colour.green()) / 5, (255 * 4 + colour.blue()) / 5);
    }
    painter->setBrush(fill);
    QPen pen(colour, highlighted_ ? 3.5 : 2.0, PenStyleOf(style_->lineStyle));
    if (!frame_ && !highlighted_) pen.setStyle(Qt::NoPen);
    painter->setPen(pen);
    painter->drawRoundedRect(QRectF(QPointF(0, 0), size_), 4, 4);
    painter->setPen(Qt::black);
    painter->drawText(QRectF(QPointF(4, 2), size_ - QSizeF(8, 4)), Qt::AlignCenter, text_);
  }
  // The node drawn; null once the graph changed and the item awaits its new layout.
  KelIGraphNode* Node() const { return node_; }
  void Forget() { node_ = nullptr; }
  void SetHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    update();
  }

 private:
  KelIGraphNode* node_;
  const KelGraphViewer::ClassStyle* style_;
  QSizeF size_;
  QString text_;
  bool frame_;
  bool band_;
  bool highlighted_ = false;
};

KelQtGraphView::KelQtGraphView(KelGraphViewer* viewer, QWidget* parent) : QGraphicsView(parent), viewer_(viewer) {
  setScene(new QGraphicsScene(this));
  setObjectName(QString::fromStdString(viewer->GetIdentifier()));
  setDragMode(QGraphicsView::ScrollHandDrag);
  setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
  setRenderHint(QPainter::Antialiasing);
  setBackgroundBrush(Qt::white);
  setViewportUpdateMode(QGraphicsView::FullViewportUpdate);  // the legend stays in its corner
  scene()->setItemIndexMethod(QGraphicsScene::NoIndex);
  Sync();
}

QSize KelQtGraphView::sizeHint() const {
  return viewer_ ? QSize(viewer_->GetWidth(), viewer_->GetHeight()) : QGraphicsView::sizeHint();
}

void KelQtGraphView::Sync() {
  if (viewer_ == nullptr) return;
  const bool relayout = viewer_->GetRedrawCount() != laidOutRedraws_ || viewer_->HasSquareArcs() != square_ ||
                        viewer_->IsPacked() != packed_ || viewer_->IsIndented() != indented_ ||
                        viewer_->GetDecorationVisibility() != decorations_;
  if (relayout) {
    // The nodes drawn may be gone: nothing reaches them until the new layout.
    for (KelQtNodeItem* item : items_) item->Forget();
    if (!layoutPending_) {
      layoutPending_ = true;
      QMetaObject::invokeMethod(
          this, [this] { LayoutNow(); }, Qt::QueuedConnection);
    }
  } else {
    for (KelQtNodeItem* item : items_) {
      if (item->Node() != nullptr) item->SetHighlighted(viewer_->IsHighlighted(item->Node()));
    }
  }
  if (viewer_->GetReframeCount() != reframes_) {
    reframes_ = viewer_->GetReframeCount();
    Reframe();
  }
}

void KelQtGraphView::LayoutNow() {
  layoutPending_ = false;
  if (viewer_ == nullptr) return;
  laidOutRedraws_ = viewer_->GetRedrawCount();
  square_ = viewer_->HasSquareArcs();
  packed_ = viewer_->IsPacked();
  indented_ = viewer_->IsIndented();
  decorations_ = viewer_->GetDecorationVisibility();

  scene()->clear();
  items_.clear();
  const std::vector<KelGraphViewer::DrawnNode> nodes = viewer_->CollectNodes();
  const QFontMetricsF metrics(font());
  std::vector<QSizeF> sizes(nodes.size());
  std::vector<QString> texts(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    texts[i] = TextOf(nodes[i].node);
    const QRectF bounds = metrics.boundingRect(QRectF(0, 0, 1e6, 1e6), Qt::AlignLeft, texts[i]);
    sizes[i] = QSizeF(std::max(40.0, bounds.width() + 12), std::max(22.0, bounds.height() + 8));
  }
  const KelGraphLayout layout =
      indented_ ? LayoutIndented(nodes, sizes, packed_, square_) : LayoutCentred(nodes, sizes, packed_, square_);
  items_.reserve(nodes.size());
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].parent >= 0 && layout.arcs[i].size() >= 2) {
      QPainterPath path(layout.arcs[i][0]);
      for (size_t k = 1; k < layout.arcs[i].size(); ++k) path.lineTo(layout.arcs[i][k]);
      const KelGraphViewer::ClassStyle& style = KelGraphViewer::StyleOfClass(nodes[i].node->GetColorClass());
      auto* arc = scene()->addPath(path, QPen(ColorOf(style.rgb), 1.5, PenStyleOf(style.lineStyle)));
      arc->setZValue(-1);
    }
    auto* item = new KelQtNodeItem(nodes[i].node, sizes[i], texts[i], decorations_);
    item->setPos(layout.boxes[i].x, layout.boxes[i].y);
    item->SetHighlighted(viewer_->IsHighlighted(nodes[i].node));
    scene()->addItem(item);
    items_.push_back(item);
  }
  scene()->setSceneRect(GraphRect());
}

void KelQtGraphView::Reframe() {
  if (layoutPending_) LayoutNow();
  resetTransform();
  const QRectF rect = GraphRect();
  fitInView(rect, Qt::KeepAspectRatio);
  // A small graph is enlarged, but not beyond twice its size.
  if (transform().m11() > 2.0) {
    resetTransform();
    scale(2.0, 2.0);
    centerOn(rect.center());
  }
}

void KelQtGraphView::RenderGraph(QPainter* painter, const QRectF& target) {
  if (layoutPending_) LayoutNow();
  scene()->render(painter, target, GraphRect(), Qt::KeepAspectRatio);
}

QPoint KelQtGraphView::ViewportPositionOf(const KelIGraphNode* node) const {
  for (const KelQtNodeItem* item : items_)
    if (item->Node() == node) return mapFromScene(item->mapToScene(item->boundingRect().center()));
  return QPoint(-1, -1);
}

KelIGraphNode* KelQtGraphView::NodeAt(const QPoint& pos) const {
  for (QGraphicsItem* item : items(pos)) {
    if (auto* node = dynamic_cast<KelQtNodeItem*>(item); node != nullptr && node->Node() != nullptr)
      return node->Node();
  }
  return nullptr;
}

void KelQtGraphView::mousePressEvent(QMouseEvent* event) {
  KelIGraphNode* node = NodeAt(event->pos());
  if (viewer_ != nullptr && node != nullptr) {
    if (event->button() == Qt::LeftButton) {
      viewer_->UserSelect(node, (event->modifiers() & Qt::ControlModifier) != 0);
    } else if (event->button() == Qt::RightButton) {
      viewer_->UserMethod(node);
      return;
    }
  }
  QGraphicsView::mousePressEvent(event);  // dragging pans the view
}

void KelQtGraphView::mouseDoubleClickEvent(QMouseEvent* event) {
  KelIGraphNode* node = NodeAt(event->pos());
  if (viewer_ != nullptr && node != nullptr && event->button() == Qt::LeftButton) viewer_->UserExpand(node);
}

void KelQtGraphView::drawForeground(QPainter* painter, const QRectF&) {
  if (viewer_ == nullptr || !viewer_->IsLegendVisible() || items_.empty()) return;
  const auto& legend = KelGraphViewer::Legend();
  painter->save();
  painter->resetTransform();
  const QFontMetrics metrics(font());
  const int line = metrics.height() + 4;
  int width = 0;
  for (const auto& entry : legend) {
    const QString text = QString::fromStdString(entry.second.mark + " " + entry.second.name);
    width = std::max(width, metrics.horizontalAdvance(text));
  }
  const QRect box(6, 6, width + 52, line * static_cast<int>(legend.size()) + 8);
  painter->setPen(QColor(160, 160, 160));
  painter->setBrush(QColor(255, 255, 255, 230));
  painter->drawRect(box);
  int y = box.top() + 4;
  for (const auto& [colorClass, style] : legend) {
    const QColor colour = ColorOf(style.rgb);
    painter->setPen(QPen(colour, 2.0, PenStyleOf(style.lineStyle)));
    painter->setBrush(
        QColor((255 * 4 + colour.red()) / 5, (255 * 4 + colour.green()) / 5, (255 * 4 + colour.blue()) / 5));
    painter->drawRect(QRect(box.left() + 6, y + 2, 34, line - 6));
    painter->setPen(Qt::black);
    painter->drawText(QRect(box.left() + 46, y, width + 4, line), Qt::AlignVCenter | Qt::AlignLeft,
                      QString::fromStdString(style.mark.empty() ? style.name : style.mark + " " + style.name));
    y += line;
  }
  painter->restore();
}

void KelQtGraphView::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  const double factor = std::pow(1.15, steps);
  const double scale = transform().m11() * factor;
  if (scale < 0.02 || scale > 20) return;
  this->scale(factor, factor);
}
