#include "host/dlg/kel_graph_viewer.h"

#include <unordered_set>

namespace {

// Okabe and Ito's palette: told apart by readers with any common form of
// colour blindness; the line style and the mark tell the same again.
const std::vector<std::pair<std::string, KelGraphViewer::ClassStyle>>& Styles() {
  static const std::vector<std::pair<std::string, KelGraphViewer::ClassStyle>> styles = {
      {"good", {"good", 0x009E73, 0, ""}},
      {"baddate", {"bad date", 0xE69F00, 1, "~"}},
      {"mmlstop", {"broken", 0xD55E00, 2, "!"}},
      {"mmlunknown", {"unknown", 0x7F7F7F, 3, "?"}},
      {"goodold", {"good, older version", 0x56B4E9, 0, "="}},
      {"up_good", {"good, up to date", 0x0072B2, 0, "+"}},
      {"up_baddate", {"bad date, up to date", 0xCC79A7, 1, "+~"}},
  };
  return styles;
}

const KelGraphViewer::ClassStyle kNeutral{"none", 0x404040, 0, ""};

}  // namespace

const KelGraphViewer::ClassStyle& KelGraphViewer::StyleOfClass(const std::string& colorClass) {
  for (const auto& [name, style] : Styles()) {
    if (colorClass == name) return style;
  }
  // Root and intermediate variants of the object classes.
  if (!colorClass.empty() && (colorClass.back() == 'R' || colorClass.back() == 'I')) {
    const std::string base = colorClass.substr(0, colorClass.size() - 1);
    for (const auto& [name, style] : Styles()) {
      if (base == name) return style;
    }
  }
  return kNeutral;
}

const std::vector<std::pair<std::string, KelGraphViewer::ClassStyle>>& KelGraphViewer::Legend() { return Styles(); }

KelGraphViewer::KelGraphViewer(KelDlgObject* parent, const std::string& identifier, unsigned long style)
    : KelDlgObject(parent, identifier, style, Kind::GraphViewer) {}

void KelGraphViewer::SetRoot(KelIGraphNode* root) {
  root_ = root;
  Redraw();
}

std::vector<KelGraphViewer::DrawnNode> KelGraphViewer::CollectNodes() const {
  std::vector<DrawnNode> nodes;
  if (root_ == nullptr) return nodes;
  std::unordered_set<const KelIGraphNode*> seen;
  // Depth first, children in arc order: the stack holds them reversed.
  std::vector<DrawnNode> stack{{root_, -1, 0}};
  while (!stack.empty()) {
    DrawnNode current = stack.back();
    stack.pop_back();
    if (!seen.insert(current.node).second) continue;
    const int index = static_cast<int>(nodes.size());
    nodes.push_back(current);
    const std::vector<KelIGraphLink*> arcs = current.node->GetOutArcs();
    for (auto it = arcs.rbegin(); it != arcs.rend(); ++it) {
      KelIGraphNode* child = (*it)->GetTo();
      if (child != nullptr && seen.count(child) == 0) stack.push_back({child, index, current.level + 1});
    }
  }
  return nodes;
}

void KelGraphViewer::setWithSquareArc() {
  squareArcs_ = true;
  Changed();
}
void KelGraphViewer::setWithoutSquareArc() {
  squareArcs_ = false;
  Changed();
}
void KelGraphViewer::setPacked() {
  packed_ = true;
  Changed();
}
void KelGraphViewer::setUnPacked() {
  packed_ = false;
  Changed();
}
void KelGraphViewer::setHorizontalCentered() {
  indented_ = false;
  Changed();
}
void KelGraphViewer::setHorizontalIndented() {
  indented_ = true;
  Changed();
}
void KelGraphViewer::setDecorationVisibility(bool visible) {
  decorations_ = visible;
  Changed();
}
void KelGraphViewer::reframe() {
  ++reframes_;
  Changed();
}
void KelGraphViewer::Redraw() {
  ++redraws_;
  Changed();
}

void KelGraphViewer::UserSelect(KelIGraphNode* node, bool extend) {
  eventNode_ = node;
  Notify(extend ? KelNotification::ExtSelect : KelNotification::Select);
}

void KelGraphViewer::UserMethod(KelIGraphNode* node) {
  eventNode_ = node;
  Notify(KelNotification::Method);
}

void KelGraphViewer::UserExpand(KelIGraphNode* node) {
  eventNode_ = node;
  Notify(KelNotification::Expand);
}
