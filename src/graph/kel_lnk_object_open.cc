// Opening a graph object, or the latest revision of it, in the viewer the
// profile registers for its table.
#include "base/kel_text.h"
#include "foundation/kel_lnk_tools.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_object.h"
#include "host/db/kel_dm_ier_message.h"
#include "host/kel_psn_node.h"
#include "host/kel_psn_trace.h"
#include "host/kel_zumo_instance.h"
#include "host/viewer/kel_viewer_tool_bag.h"
#include "linkdb/kel_lnk_data_manager.h"

namespace {
KelUnicodeString Text(KelLnkGraphWindow* window, const char* key, const char* defaultText) {
  return window != nullptr ? window->GetResource(key, defaultText) : KelUnicodeString(defaultText);
}
}  // namespace

void KelLnkObject::ShowNoViewer(KelLnkGraphWindow* window) {
  if (window != nullptr)
    window->ShowError(Text(window, "Object.NoViewer.Message", "No viewer exists for this object."));
}

KelViewerToolBag::Item KelLnkObject::ViewerItem() const {
  KelViewerToolBag::Item item{*instance_, std::nullopt};
  KelPSNGraph* graph = window_ != nullptr ? window_->GetPSNGraph() : nullptr;
  KelZumoInstance* zumo = GetZumoInstance();
  KelPSNNode* psnNode = GetPSNNode();
  if (graph != nullptr && psnNode != nullptr && zumo != nullptr && !zumo->GetPath().empty() &&
      graph->IsValidNode(psnNode))
    item.placed = *zumo;
  return item;
}

int KelLnkObject::OpenInViewer(KelLnkGraphWindow* window, KelViewerToolBag& viewer,
                               const std::vector<KelViewerToolBag::Item>& items) {
  const int rc = viewer.OpenItems(items);
  if (window == nullptr) return rc;
  if (rc != 0) {
    window->ShowError(KelDMIerMessage(rc).GetDisplayMessage(1));
    window->ShowStatus(Text(window, "ZumoMessageOpenKO.Private", "The objects could not be opened."));
  } else {
    window->ShowStatus(Text(window, "ZumoMessageOpenOK.Private", "Objects sent to the viewer."));
  }
  return rc;
}

void KelLnkObject::Open(const int latest) {
  MML_TRACE("KelLnkObject::Open");
  KelLnkTools::Busy();
  const KelUnicodeString table = RightTrimBlanks(instance_->GetTable());
  KelViewerToolBag* viewer = KelViewerToolBag::GetToolBag(table);
  if (viewer == nullptr) return ShowNoViewer(window_);
  // The latest revision is not placed in the product: it opens by itself.
  const KelViewerToolBag::Item target =
      latest != 0
          ? KelViewerToolBag::Item{KelLnkDataManager::GetObjectLatestInstance(instance_->GetEnvironment(), table,
                                                                              instance_->Coid(), instance_->Compid()),
                                   std::nullopt}
          : ViewerItem();
  OpenInViewer(window_, *viewer, {target});
}
