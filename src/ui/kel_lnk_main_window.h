// KelLnkMainWindow: the graph window's model. It knows the direction of the
// graph, the link type shown, the link filter, the expand depth, the text
// width of the nodes, whether locks are shown, the product-structure graph
// the window works in, the root object, the twin registry of the display
// nodes and the window's cache of resource texts.
//
// The menus, the graph viewer and the dialogs are built on top of this state;
// the graph objects and the link database only read it.
//
// Direction (order): 0 "impacted by", 1 "impacts on".
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "base/kel_types.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_node.h"
#include "host/kel_dm_instance.h"

class KelPSNNode;
class KelPSNGraph;
class KelDMDlgZUMOResult;
class KelLnkObject;

using KelListPtrKelPSNNode = std::vector<KelPSNNode*>;

class KelLnkMainWindow : public KelLnkGraphWindow {
 public:
  // Persistent display settings (repository "KelLnkSetting").
  enum Expand : int { One = 0, Two = 1, Three = 2, All = 3 };
  enum RepLnk : int { StraightLinks = 0, SquareLinks = 1 };
  enum GraphZip : int { Packed = 0, Unpacked = 1 };
  enum GraphType : int { Centered = 0, Indented = 1 };
  enum SelectType : int { SelectUndefined = 0, SelectRepresentations = 1, SelectParts = 2 };
  // Filter: see KelLnkGraphWindow.

  // A window on `root` in direction `order`. The graph comes from the
  // database alone when `zumo`, `psnNode` and `psnNodes` are all null, from
  // the product-structure navigator when all three are given; any other mix
  // leaves an empty window (GetGraphSource() -1, no root object).
  // Reads the settings, takes the settings snapshot of the link database
  // (emptying its caches when the profile forces it or the environments
  // changed), and builds the root object.
  KelLnkMainWindow(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order, KelZumoInstance* zumo,
                   KelPSNNode* psnNode, const KelListPtrKelPSNNode* psnNodes);
  ~KelLnkMainWindow() override;
  KelLnkMainWindow(const KelLnkMainWindow&) = delete;
  KelLnkMainWindow& operator=(const KelLnkMainWindow&) = delete;

  // ---- What the graph reads ----

  int GetOrder() const override { return order_; }
  // "%" shows every link type.
  const KelUnicodeString& GetLinktype() const override { return linktype_; }
  Filter GetFilter() const override { return filter_; }
  Expand GetExpand() const { return expand_; }
  // Navigator levels to open: One 2, Two 4, Three 6, All 256.
  int GetExpandDepth() const override { return expandDepth_; }
  // Characters kept of each node text; -1 keeps the whole text.
  int GetTextWidth() const override { return textWidth_; }
  int GetShowLocks() const override { return showLocks_; }
  RepLnk GetRepLink() const { return repLink_; }
  GraphZip GetGraphZip() const { return graphZip_; }
  GraphType GetGraphType() const { return graphType_; }
  SelectType GetSelectType() const { return selectType_; }

  // -1 invalid arguments, 0 database instance only, 1 product structure.
  int GetGraphSource() const { return graphSource_; }
  // Whether the window works inside a product structure.
  bool HasPSNContext() const override { return graphSource_ == 1; }
  KelPSNGraph* GetPSNGraph() const override { return psnGraph_; }
  KelPSNNode* GetPSNRootNode() const override { return psnRootNode_; }
  void SetPSNGraph(KelPSNGraph* graph, KelPSNNode* rootNode) {
    psnGraph_ = graph;
    psnRootNode_ = rootNode;
  }
  // The product-structure nodes given at construction, last first.
  const KelListPtrKelPSNNode& GetPSNNodeList() const { return psnNodes_; }
  KelDMDlgZUMOResult* GetZUMOPanel() const { return panel_; }
  // Holds the root instance, and the objects the filter dialog listed.
  const KelListValKelDMInstance& GetInstanceList() const { return instances_; }
  // Appends `instance` unless the list holds it; false when it was there.
  bool AddToInstanceList(const KelDMInstance& instance);
  // The root object (a KelLnkObject), null for an invalid window.
  KelBaseUnknown_var GetRootObject() const { return root_; }
  // The window title: the root object's name and the direction text.
  const KelUnicodeString& GetTitle() const { return title_; }

  // ---- Setters (each persistent one writes its setting) ----

  void SetFilter(Filter filter);
  void SetExpand(Expand expand);
  void SetRepLink(RepLnk repLink);
  void SetGraphZip(GraphZip zip);
  void SetGraphType(GraphType type);
  void SetSelectType(SelectType type) { selectType_ = type; }
  void SetLinktype(const KelUnicodeString& linktype) { linktype_ = linktype; }
  void SetTextWidth(int width) { textWidth_ = width; }
  void SetShowLocks(int show);

  // ---- Display nodes ----

  KelINavigNodeCtrl_var GetRootController() const override { return rootController_; }
  void SetRootController(KelINavigNodeCtrl_var controller) override { rootController_ = controller; }
  KelLnkCustomNode* GetRootCustomNode() const override { return rootCustomNode_; }
  void SetRootCustomNode(KelLnkCustomNode* node) override { rootCustomNode_ = node; }

  // Twin registry: entries numbered from 0 in registration order. Entry k
  // holds the object's instance (reference list), its product instance or
  // null (instance list, not owned), the display nodes registered for it
  // (list of nodes) and the display node that created it (node list).
  void FillLists(KelLnkCustomNode* node, const KelDMInstance& instance, KelZumoInstance* zumo) override;
  void AddNodeInList(int k, KelLnkCustomNode* node) override;
  int GetListSize() const override { return static_cast<int>(references_.size()); }
  const KelDMInstance& GetReferenceList(int k) const override { return references_.at(k); }
  KelZumoInstance* GetInstanceList(int k) const override { return zumos_.at(k); }
  KelListPtrKelLnkCustomNode& GetListOfNodes(int k) override { return nodeLists_.at(k); }
  KelLnkCustomNode* GetNodeList(int k) const override { return creators_.at(k); }
  void EmptyLists() override;

  // ---- Opening in viewers (kel_lnk_main_window_open.cc) ----

  // Opens the highlighted objects, each once. With
  // "KELZUMO.QOR.INTEROP.TOVRAV5_NEW_OPEN_MODE" FALSE: one object by itself
  // (KelLnkObject::Open); several through the product-structure navigator's
  // viewer, after a confirmation when its current option is 1, in passes
  // (one level of Tovra V5 documents per pass with the ordered open, the
  // objects the others depend on first), those without a product-structure
  // node by themselves. Otherwise one object opens by itself (in a
  // product-structure window, in the navigator's viewer), and several
  // together in one call of the viewer every selected table has (parts take
  // no part in the choice; the user picks one when several remain). Objects
  // placed in the product structure open as instances. Without a viewer,
  // the no-viewer message; the status bar tells the outcome.
  void Open();
  // The objects of the highlighted set, in set order (the window on screen
  // has one; the model alone has none).
  virtual std::vector<KelLnkObject*> GetHighlightedObjects() const { return {}; }

  // ---- Resources ----

  // The text of `key` in the resource catalogue, else `defaultText`. The
  // answer is cached for the life of the window: a later change of the
  // catalogue is not seen.
  KelUnicodeString GetResource(const KelString& key, const KelUnicodeString& defaultText) override;
  // Index 0 names the window's catalogue "KelLnkResource"; others are empty.
  static KelUnicodeString GetResourceFilename(int index);

  // ---- Settings repository "KelLnkSetting" ----
  // Integer settings by name ("Expand", "Link", "Zip", "Type", "Filter",
  // "ShowLock"), kept for the process.
  static int ReadSetting(const KelUnicodeString& name, int defaultValue);
  static void WriteSetting(const KelUnicodeString& name, int value);
  // Forgets every written setting (the defaults apply again).
  static void ResetSettings();

 private:
  KelDMDlgZUMOResult* panel_ = nullptr;
  int order_ = 0;
  int graphSource_ = -1;
  KelListPtrKelPSNNode psnNodes_;
  KelListValKelDMInstance instances_;
  KelPSNGraph* psnGraph_ = nullptr;
  KelPSNNode* psnRootNode_ = nullptr;
  int showLocks_ = 0;
  int expandDepth_ = 2;
  Expand expand_ = One;
  RepLnk repLink_ = SquareLinks;
  GraphZip graphZip_ = Unpacked;
  GraphType graphType_ = Centered;
  SelectType selectType_ = SelectUndefined;
  Filter filter_ = FilterRestricted;
  KelUnicodeString linktype_ = "%";
  int textWidth_ = -1;
  std::unordered_map<std::string, KelUnicodeString> resourceCache_;
  KelUnicodeString title_;
  KelINavigNodeCtrl_var rootController_ = nullptr;
  KelLnkCustomNode* rootCustomNode_ = nullptr;
  KelBaseUnknown_var root_;

  KelListValKelDMInstance references_;
  std::vector<KelZumoInstance*> zumos_;
  std::vector<KelListPtrKelLnkCustomNode> nodeLists_;
  KelListPtrKelLnkCustomNode creators_;
};
