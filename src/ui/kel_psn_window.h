// KelPSNWindow: the product-structure navigator. It shows the tree of a
// product (KelPSNTree) from its top part, one node per part instance and per
// representation, numbered; the user opens and closes nodes, selects them
// (the tree's node manager), and opens a graph window from the selected
// node in either direction, restricted to the product structure.
//
// Document "PSNWindow" with the menu bar "Menu":
//   "MenuPSNNode"  "ItemPSNOpen" (open or close the selected nodes),
//                  "ItemPSNOpenAll", "ItemPSNCentre", "ItemPSNRefresh"
//                  (read the product structure again), "ItemPSNClose";
//   "MenuPSNLinks" "ItemPSNLinksFrom" (impacted by), "ItemPSNLinksTo"
//                  (impacts on): "Multi-model links" of the selected node;
// the graph viewer "PSNGraph" in the frame "PSNFrame", and the status bar
// "PSNStatus".
//
// The tree is shared with the graph windows opened from it, so their nodes
// stay valid after this window closes; those windows are told at once
// (KelLnkWindowView::PSNWindowRemoved) and refuse to mirror selections.
#pragma once

#include <map>
#include <memory>

#include "host/dlg/kel_dlg_objects.h"
#include "host/dlg/kel_graph_viewer.h"
#include "host/graph/kel_mem_graph.h"
#include "host/psn/kel_psn_tree.h"

class KelDMDlgZUMOResult;
class KelLnkMainWindow;

class KelPSNWindow : public KelDlgDocument {
 public:
  KelPSNWindow(KelDMDlgZUMOResult* panel, std::shared_ptr<KelPSNTree> tree);
  ~KelPSNWindow() override;

  KelPSNTree& GetTree() const { return *tree_; }
  KelGraphViewer* GetViewer() const { return viewer_; }
  // The viewer node drawing `node`, null when it is not drawn.
  KelIGraphNode* GraphNodeOf(const KelPSNNode* node) const;

  // Draws the nodes the tree shows.
  void Redraw();
  // Opens a graph window on the first selected node, with the product
  // instance of that node and the drawn nodes as node list; order 0
  // "impacted by", 1 "impacts on". Null, with the reason in the status bar,
  // when no node is selected or its product instance cannot be defined.
  KelLnkMainWindow* OpenLinks(int order);

  void CBOpen(KelCommand* sender, KelNotification notification, void* data);
  void CBOpenAll(KelCommand* sender, KelNotification notification, void* data);
  void CBCentre(KelCommand* sender, KelNotification notification, void* data);
  void CBRefresh(KelCommand* sender, KelNotification notification, void* data);
  void CBLinks(KelCommand* sender, KelNotification notification, void* data);
  void CBClose(KelCommand* sender, KelNotification notification, void* data);

 private:
  void OnViewerEvent(KelNotification notification);
  void Item(KelDlgObject* menu, const char* id, const char* title,
            void (KelPSNWindow::*callback)(KelCommand*, KelNotification, void*), intptr_t data);
  void Gone();

  KelDMDlgZUMOResult* panel_;
  std::shared_ptr<KelPSNTree> tree_;
  KelGraphViewer* viewer_ = nullptr;
  KelDlgStatusBar* status_ = nullptr;
  std::unique_ptr<KelMemGraph> graph_;
  std::map<const KelPSNNode*, KelMemGraphNode*> drawn_;
  std::map<const KelIGraphNode*, KelPSNNode*> nodeOf_;
  int listener_ = 0;
  bool gone_ = false;
};
