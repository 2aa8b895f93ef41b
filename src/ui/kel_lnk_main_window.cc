#include "ui/kel_lnk_main_window.h"

#include <algorithm>
#include <map>

#include "base/mml_constants.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_object.h"
#include "host/kel_dm_tovra.h"
#include "host/kel_lnk_resources.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "linkdb/kel_lnk_data_manager.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

namespace {

// The settings repository "KelLnkSetting", kept for the process.
std::map<KelUnicodeString, int>& Settings() {
  static std::map<KelUnicodeString, int> settings;
  return settings;
}

int DepthOf(KelLnkMainWindow::Expand expand) {
  switch (expand) {
    case KelLnkMainWindow::One:
      return 2;
    case KelLnkMainWindow::Two:
      return 4;
    case KelLnkMainWindow::Three:
      return 6;
    case KelLnkMainWindow::All:
      return 256;
  }
  return 2;
}

template <typename E>
E InRange(int value, int low, int high, E fallback) {
  return (value >= low && value <= high) ? static_cast<E>(value) : fallback;
}

}  // namespace

int KelLnkMainWindow::ReadSetting(const KelUnicodeString& name, int defaultValue) {
  auto it = Settings().find(name);
  return it == Settings().end() ? defaultValue : it->second;
}

void KelLnkMainWindow::WriteSetting(const KelUnicodeString& name, int value) { Settings()[name] = value; }

void KelLnkMainWindow::ResetSettings() { Settings().clear(); }

KelLnkMainWindow::KelLnkMainWindow(KelDMDlgZUMOResult* panel, const KelDMInstance* root, int order,
                                   KelZumoInstance* zumo, KelPSNNode* psnNode, const KelListPtrKelPSNNode* psnNodes)
    : panel_(panel), order_(order) {
  MML_TRACE("KelLnkMainWindow::KelLnkMainWindow");
  if (!zumo && !psnNode && !psnNodes) {
    graphSource_ = 0;
  } else if (zumo && psnNode && psnNodes) {
    graphSource_ = 1;
  } else {
    graphSource_ = -1;
  }
  if (graphSource_ == -1 || root == nullptr) {
    graphSource_ = -1;
    mmlFunctionTrace.Write(" Erreur MML graph : sortie directe");
    return;
  }

  instances_.push_back(*root);
  if (psnNodes) psnNodes_.assign(psnNodes->rbegin(), psnNodes->rend());
  if (graphSource_ == 1) {
    // The graph the node belongs to, and the root's environment connected.
    psnGraph_ = psnNode->GetGraph();
    psnRootNode_ = psnNode;
    KelDMTovra::GetConnection(root->GetEnvironment());
  }

  KelLnkTools::Initialise();
  KelLnkHybridManager::CacheDeclarations();
  if (KelLnkTools::IsForceRecache() || KelLnkTools::IsEnvCheck()) {
    mmlFunctionTrace.Write("Forced KelLnkHybridManager::Uncache enabled by declaration");
    KelLnkDataManager::Uncache();
    KelLnkHybridManager::Uncache();
  }
  KelLnkObject::Clean();

  // Persistent settings.
  expand_ = InRange<Expand>(ReadSetting("Expand", One), One, All, One);
  repLink_ = InRange<RepLnk>(ReadSetting("Link", SquareLinks), StraightLinks, SquareLinks, SquareLinks);
  graphZip_ = InRange<GraphZip>(ReadSetting("Zip", Unpacked), Packed, Unpacked, Unpacked);
  graphType_ = InRange<GraphType>(ReadSetting("Type", Centered), Centered, Indented, Centered);
  filter_ =
      InRange<Filter>(ReadSetting("Filter", FilterRestricted), FilterAll, FilterRestrictedWithLate, FilterRestricted);
  showLocks_ = ReadSetting("ShowLock", 0) != 0 ? 1 : 0;

  root_ = KelLnkObjectBindInterface(this, *root, zumo, psnNode, 0, "KelINavigateObject");

  SetExpand(expand_);
  SetRepLink(repLink_);
  SetGraphZip(graphZip_);
  SetGraphType(graphType_);
  SetSelectType(SelectUndefined);
  SetFilter(filter_);

  auto* rootObject = static_cast<KelLnkObject*>(root_.get());
  title_ = rootObject->GetName();
  title_.push_back(' ');
  title_ += order_ == 1 ? GetResource("MainWindow.To.Text", "impacts on")
                        : GetResource("MainWindow.From.Text", "impacted by");
  if (graphSource_ == 1) title_ += GetResource("MainWindow.PSN.Text", " (with PSN filter)");
}

KelLnkMainWindow::~KelLnkMainWindow() {
  MML_TRACE("KelLnkMainWindow::~KelLnkMainWindow");
  EmptyLists();
  instances_.clear();
  resourceCache_.clear();
  // Objects still in the cache of child links name this window: forget them.
  KelLnkObject::Clean();
  root_.reset();
}

void KelLnkMainWindow::SetFilter(Filter filter) {
  filter_ = filter;
  WriteSetting("Filter", filter);
}

void KelLnkMainWindow::SetExpand(Expand expand) {
  expand_ = expand;
  expandDepth_ = DepthOf(expand);
  WriteSetting("Expand", expand);
}

void KelLnkMainWindow::SetRepLink(RepLnk repLink) {
  repLink_ = repLink;
  WriteSetting("Link", repLink);
}

void KelLnkMainWindow::SetGraphZip(GraphZip zip) {
  graphZip_ = zip;
  WriteSetting("Zip", zip);
}

void KelLnkMainWindow::SetGraphType(GraphType type) {
  graphType_ = type;
  WriteSetting("Type", type);
}

void KelLnkMainWindow::SetShowLocks(int show) {
  showLocks_ = show ? 1 : 0;
  WriteSetting("ShowLock", showLocks_);
}

void KelLnkMainWindow::FillLists(KelLnkCustomNode* node, const KelDMInstance& instance, KelZumoInstance* zumo) {
  references_.push_back(instance);
  zumos_.push_back(zumo);
  nodeLists_.push_back(KelListPtrKelLnkCustomNode{node});
  creators_.push_back(node);
}

void KelLnkMainWindow::AddNodeInList(int k, KelLnkCustomNode* node) { nodeLists_.at(k).push_back(node); }

void KelLnkMainWindow::EmptyLists() {
  references_.clear();
  zumos_.clear();
  nodeLists_.clear();
  creators_.clear();
}

bool KelLnkMainWindow::AddToInstanceList(const KelDMInstance& instance) {
  if (std::find(instances_.begin(), instances_.end(), instance) != instances_.end()) return false;
  instances_.push_back(instance);
  return true;
}

KelUnicodeString KelLnkMainWindow::GetResource(const KelString& key, const KelUnicodeString& defaultText) {
  auto it = resourceCache_.find(key);
  if (it != resourceCache_.end()) return it->second;
  KelUnicodeString text;
  if (!KelLnkResourceCatalogue::GetResourceValueFromKey(key, text)) text = defaultText;
  resourceCache_.emplace(key, text);
  return text;
}

KelUnicodeString KelLnkMainWindow::GetResourceFilename(int index) {
  return index == 0 ? KelUnicodeString("KelLnkResource") : KelUnicodeString();
}
