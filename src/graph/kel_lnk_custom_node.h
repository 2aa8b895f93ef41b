// KelLnkCustomNode: the display node of the link graph. One exists for every
// node the navigator draws (node type "MML_node"); it decorates the
// navigator's instance and forwards drawing to the model node
// (KelLnkObject or KelLnkLink) found through the instance's reference.
//
// It also keeps the twin rules. A twin is another display node that shows
// the same object. The window's twin registry (KelLnkGraphWindow::FillLists)
// groups the display nodes of one object under the entry of the oldest one;
// from it the node's expand state is worked out:
//   1  no twin;
//   2  a twin is the node itself or one of its drawn ancestors (a loop);
//   3  twins elsewhere, none of them expanded (or this copy is the expanded one);
//   4  a twin is expanded elsewhere;
//   5  solved: never changed here.
//
// The arcs (type "MML_arc") have no display extension: a display node gives
// the arc that reaches it its drawing attribute when it is drawn.
#pragma once

#include <functional>

#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_node.h"
#include "host/navigator/kel_navig_extension.h"

class KelNavigInstance;

class KelLnkCustomNode : public KelNodeExtension {
 public:
  // Node type names of the display nodes and arcs.
  static constexpr const char* kNodeType = "MML_node";
  static constexpr const char* kArcType = "MML_arc";
  // Makes the navigator create a KelLnkCustomNode for every "MML_node".
  static void RegisterNodeTypes();

  KelLnkCustomNode() = default;

  // Both store the instance and resolve the model node. The first node of a
  // window whose container holds exactly its instance becomes the window's
  // root display node and its controller the root controller. UpdateElem
  // then has the model node write the colours of the instance's graph node
  // and gives the arc that reaches it the drawing attribute 20 unless link
  // technologies are computed; the texts are not written, the graph node
  // asks for them when read.
  void UpdateTextElem(KelNavigInstance* instance) override;
  void UpdateElem(KelNavigInstance* instance) override;
  // The user toggles the node: an object node expands or collapses
  // (KelLnkObject::ExpandCollapse); a link node does nothing.
  void ProcessAfterExpand() override;
  // The user asks for the node's methods: the contextual menu builder, when
  // one is installed, fills the menu.
  void ProcessAfterMethod() override;
  using MethodMenuBuilder = std::function<void(KelLnkCustomNode& node)>;
  static void SetMethodMenuBuilder(MethodMenuBuilder builder);

  // Recomputes the expand state of the node (see the class comment); the
  // twins' states follow. `collapsed` names the node just collapsed, if any.
  void SetExpandable(const KelLnkCustomNode* collapsed) const;
  // The model node's state, 0 without a model node.
  ConditionIsExpandable GetExpandable() const;
  // Sets the model node's state and redraws it; nothing without a model node.
  void UpdateAsTwin(int state) const;

  // The other display nodes of the same object, registering this one.
  void FindThisInGraph(KelListPtrKelLnkCustomNode* twins) const;
  // Every object display node drawn from the root display node, each once,
  // in drawing order.
  void FoundAllInGraph(KelListPtrKelLnkCustomNode* all);
  // Appends `from` when it shows an object and, when it is expanded, the
  // nodes below it.
  void GetAllGraph(KelLnkCustomNode* from, KelListPtrKelLnkCustomNode* all);
  // The registry lookup behind FindThisInGraph: registers `root` first in an
  // empty registry, then `node`; `twins` receives the display nodes
  // registered before under the same object (the oldest entry wins).
  void NewFindList(const KelLnkCustomNode* node, KelLnkCustomNode* root, KelListPtrKelLnkCustomNode* twins) const;

  KelLnkNode* GetLnkNode() const { return Node(); }
  KelNavigInstance* GetNavigInstance() const { return Attached(); }
  // The graph node drawn for this display node (null before the first update).
  KelIGraphNode* GetDrawnNode() const;
  // The display node above (the object above a link, the link above an
  // object) through the first incoming arc; null at the top.
  KelLnkCustomNode* GetFatherNode() const;
  // The display nodes below, in drawing order.
  KelListPtrKelLnkCustomNode GetChildNodes() const;
  // The display node drawn for `node`, null when there is none.
  static KelLnkCustomNode* FromGraphNode(const KelIGraphNode* node);

 private:
  void Resolve(KelNavigInstance* instance);
  // The model node of the instance; null until the node was first drawn.
  KelLnkNode* Node() const;
  KelLnkGraphWindow* Window() const;

  // Set once the node was drawn: its instance and model node are then known.
  // Small enough to be built inside the navigator's instance.
  bool resolved_ = false;
};
