// The viewer of the product-structure navigator: its current tool, and the
// requests that hand it the navigator's nodes.
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "host/db/kel_dm_ier_message.h"
#include "host/kel_psn_node.h"
#include "host/process/kel_xco_process.h"
#include "host/psn/kel_psn_tree.h"
#include "host/v4/kel_psn_com.h"

namespace {
// The completion event of the navigator's requests, apart from the other
// viewers' so that a wait sees the end of its own request.
constexpr const char* kEndEvent = "END_OF_PSN_VIEWER";

// The navigator's requests whose command has not ended yet. The end of
// each is counted wherever its event is delivered (here, or in the window's
// event loop), so a wait never takes the end of an earlier request for its
// own.
int& Outstanding() {
  static int count = 0;
  return count;
}
void RequestEnded() {
  if (Outstanding() > 0) --Outstanding();
}

int Fail(KelPSNError& error, int code, const std::string& reason) {
  error.code = code;
  error.shortMessage = KelDMIerMessage(code).GetShortMessage();
  error.longMessage = reason;
  return code;
}
}  // namespace

KelViewerToolBag* KelPSNTree::GetCurrentTool() const { return KelViewerToolBag::GetToolBag("TOVRA_MODEL"); }

int KelPSNCom::StartViewer(KelViewerToolBag& viewer, KelPSNError& error) {
  error.Clear();
  if (access(viewer.GetCommand().c_str(), X_OK) != 0)
    return Fail(error, kel_ier::kProcessStartFailed,
                "cannot start " + viewer.GetCommand() + ": " + std::strerror(errno));
  return 0;
}

int KelPSNCom::OpenRep(KelViewerToolBag& viewer, const std::vector<KelViewerToolBag::Item>& items, bool waitForEnd,
                       KelPSNError& error) {
  error.Clear();
  const int rc = viewer.OpenItems(items, kEndEvent, RequestEnded);
  if (rc != 0) {
    const std::string& reason = KelXcoLastStartError();
    return Fail(error, rc, reason.empty() ? KelDMIerMessage(rc).GetDisplayMessage(0) : reason);
  }
  ++Outstanding();
  if (!waitForEnd) return 0;
  // Waits for this request and those before it; other commands' ends that
  // arrive meanwhile are delivered as usual.
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kOpenRepWaitMs);
  while (Outstanding() > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || xconext(nullptr, static_cast<int>(left)) != 0) break;
  }
  if (Outstanding() == 0) return 0;
  return Fail(error, kel_ier::kViewerNoEnd,
              viewer.GetCommand() + " did not end within " + std::to_string(kOpenRepWaitMs / 1000) + " s");
}
