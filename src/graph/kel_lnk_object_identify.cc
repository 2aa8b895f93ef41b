// Identify: the child models of an object picked in a running Tovra V4
// application, highlighted in the graph.
#include <cctype>
#include <iostream>
#include <memory>

#include "base/kel_text.h"
#include "graph/kel_lnk_graph_window.h"
#include "graph/kel_lnk_object.h"
#include "host/dlg/kel_command.h"
#include "host/kel_psn_trace.h"
#include "host/v4/kel_psn_com.h"
#include "linkdb/kel_lnk_hybrid_manager.h"

namespace {
// A UUID as the link database writes it: hexadecimal digits in upper case,
// without dashes.
KelUnicodeString Normalised(const KelUnicodeString& uuid) {
  KelUnicodeString out;
  for (char c : uuid) {
    if (c != '-') out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return out;
}
}  // namespace

int KelLnkObject::Identify(KelIGraphNode_var node) {
  MML_TRACE("KelLnkObject::Identify");
  KelApplication::Get().SetBusyCursor(true);
  const bool trace = mmlFunctionTrace.LevelIsActive();
  if (window_ != nullptr && window_->GetOrder() == 1 && node != nullptr && !node->IsExpanded()) {
    window_->ShowMessage(
        window_->GetResource("Object.Identify.Message",
                             "The Node is not expanded : the expand is recommended\nto highlight the child models."));
  }
  const KelDMInstance& instance = GetInstance();
  KelV4Error error;
  KelPSNCom::SelectElement(instance, error);
  int jele = 0;
  KelUnicodeString uuid;
  if (error.code == 0) {
    int evtW = 0, evtG = 0;
    const int time = KelV4WaitMs();
    xcoloop(time, evtW, evtG);
    if (trace) mmlFunctionTrace.Write(" 1er XCOLOOP : time=" + std::to_string(time));
    if (evtG == 1) {
      xcoloop(time, evtW, evtG);
      if (trace) mmlFunctionTrace.Write(" 2eme XCOLOOP : time=" + std::to_string(time));
    }
    KelPSNRcvMsg::SelectedElement(jele, uuid, error);
    if (trace) {
      mmlFunctionTrace.Write("  UUID = " + uuid);
      mmlFunctionTrace.Write("  Jele = " + std::to_string(jele));
      mmlFunctionTrace.Write("  Ier  = " + std::to_string(error.code));
    }
  }
  if (error.code != 0) {
    KelPSNCom::Disconnect();
    if (window_ != nullptr) window_->ShowError(error.text);
    return error.code;
  }
  const KelLnkHybridManager::Entity self(instance.GetEnvironment(), RightTrimBlanks(instance.GetTable()),
                                         instance.Coid(), instance.Compid());
  int count = 0;
  KelLnkHybridManager::Link** links = nullptr;
  KelLnkHybridManager::Entity** parents = nullptr;
  KelLnkHybridManager::GetParents(self, count, &links, &parents, window_);
  const std::unique_ptr<KelLnkHybridManager::Link*[]> ownedLinks(links);
  const std::unique_ptr<KelLnkHybridManager::Entity*[]> ownedParents(parents);
  KelListValKelDMInstance found;
  for (int k = 0; k < count; ++k) {
    const KelLnkHybridManager::Entity& parent = *parents[k];
    for (const KelUnicodeString& pointed : parent.Uuids()) {
      if (Normalised(pointed) != Normalised(uuid)) continue;
      found.emplace_back(instance.GetConnectionName(), parent.caenv(), parent.kelab(), parent.coid, parent.compid);
      break;
    }
  }
  if (window_ != nullptr) {
    const int shown = window_->HighlightObjects(found, true);
    window_->ShowStatus(found.empty() ? "Identify: no model of this graph points to " + uuid
                                      : "Identify: " + std::to_string(shown) + " model(s) point to " + uuid);
  }
  return 0;
}
