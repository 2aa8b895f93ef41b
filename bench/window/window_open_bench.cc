// Opening a graph window: layout plus first paint of a drawn product
// structure, offscreen. The graph is built in memory the way the navigator
// draws a product: objects and their links alternate, each object leads to
// up to four others, so the tree is wide near the top and deep enough.
//
// Prints, per size, the median over RUNS runs of the centred (Graphviz)
// layout, the indented layout and the first paint of the window, then the
// growth from the smallest to the largest size beside n log n's.
//   usage: window_open_bench [SIZES...]   (default 2000 10000); RUNS (env, default 3)
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_graph_viewer.h"
#include "host/graph/kel_mem_graph.h"
#include "host/qt/kel_qt_toolkit.h"

namespace {

const char* const kClasses[] = {"good", "good", "good", "baddate", "mmlstop", "mmlunknown", "goodold"};

// A tree of `n` drawn nodes: object, link, object, ...
KelMemGraphNode* BuildProduct(KelMemGraph& graph, int n) {
  KelMemGraphNode* root = graph.AddNode();
  root->SetText({"ROOT-ASSEMBLY", "A"});
  root->SetColorClass("good");
  std::vector<KelMemGraphNode*> open{root};
  size_t next = 0;
  int made = 1;
  unsigned seed = 12345;
  while (made + 2 <= n && next < open.size()) {
    KelMemGraphNode* father = open[next++];
    seed = seed * 1103515245u + 12345u;
    const int children = 1 + static_cast<int>((seed >> 16) % 4);
    for (int c = 0; c < children && made + 2 <= n; ++c) {
      KelMemGraphNode* link = graph.AddNode();
      link->SetText({"SOL"});
      link->SetColorClass(kClasses[(made / 2) % 7]);
      KelMemGraphNode* object = graph.AddNode();
      object->SetText({"PART-" + std::to_string(made), "B"});
      object->SetColorClass(kClasses[(made / 3) % 7]);
      graph.Connect(father, link);
      graph.Connect(link, object);
      open.push_back(object);
      made += 2;
    }
  }
  return root;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {2000, 10000};
  const int runs = std::max(1, std::getenv("RUNS") ? std::atoi(std::getenv("RUNS")) : 3);
  int qtArgc = 1;
  char name[] = "window_open_bench";
  char* qtArgv[] = {name, nullptr};
  KelQtToolkit toolkit(qtArgc, qtArgv);

  std::printf("%8s %8s %12s %12s %12s %12s\n", "nodes", "drawn", "centred_s", "indented_s", "paint_s", "open_s");
  std::vector<double> opens;
  for (int n : sizes) {
    KelMemGraph graph;
    KelMemGraphNode* root = BuildProduct(graph, n);
    std::vector<double> centred, indented, paint, open;
    int drawn = 0;
    for (int r = 0; r < runs; ++r) {
      auto* doc = new KelDlgDocument(nullptr, "Bench", 0);
      auto* viewer = new KelGraphViewer(new KelDlgFrame(doc, "LnkGraphFrame", 0), "Graph", 0);
      doc->SetVisibility(true);
      toolkit.ProcessEvents();
      QWidget* window = toolkit.WidgetOf(doc);
      window->resize(1000, 700);
      const auto t0 = std::chrono::steady_clock::now();
      viewer->SetRoot(root);
      toolkit.LayoutNow(viewer);
      const auto t1 = std::chrono::steady_clock::now();
      viewer->reframe();
      (void)window->grab();  // the first paint
      const auto t2 = std::chrono::steady_clock::now();
      viewer->setHorizontalIndented();
      toolkit.LayoutNow(viewer);
      const auto t3 = std::chrono::steady_clock::now();
      drawn = toolkit.DrawnNodeCount(viewer);
      centred.push_back(Seconds(t1 - t0));
      paint.push_back(Seconds(t2 - t1));
      indented.push_back(Seconds(t3 - t2));
      open.push_back(Seconds(t2 - t0));
      delete doc;
      toolkit.ProcessEvents();
    }
    opens.push_back(Median(open));
    std::printf("%8d %8d %12.3f %12.3f %12.3f %12.3f\n", n, drawn, Median(centred), Median(indented), Median(paint),
                Median(open));
  }
  if (sizes.size() >= 2) {
    const double a = sizes.front(), b = sizes.back();
    const double nlogn = (b * std::log(b)) / (a * std::log(a));
    std::printf("growth %d->%d: open x%.2f (n log n x%.2f, ratio %.2f)\n", sizes.front(), sizes.back(),
                opens.back() / opens.front(), nlogn, (opens.back() / opens.front()) / nlogn);
  }
  return 0;
}
