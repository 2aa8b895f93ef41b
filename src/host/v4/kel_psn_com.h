// The exchange with a running Tovra V4 application over a local (Unix)
// socket: the host sends the instance of an object, the V4 application lets
// the user pick an element and answers with a return code, its element number
// ("Jele") and the element's UUID. docs/site-scripts.md gives the socket's
// address and the message format; scripts/site/mml-v4-peer is an example
// peer.
//
//   KelPSNError error;
//   KelPSNCom::SelectElement(instance, error);
//   int evtW = 0, evtG = 0;
//   if (error.code == 0) xcoloop(time, evtW, evtG);
//   if (error.code == 0 && evtG == 1) xcoloop(time, evtW, evtG);
//   int jele = 0; KelUnicodeString uuid;
//   if (error.code == 0) KelPSNRcvMsg::SelectedElement(jele, uuid, error);
//
// No call blocks longer than the time it is given; a peer that never answers
// ends in a time-out error, never in a hang.
#pragma once

#include <string>
#include <string_view>

#include <vector>

#include "base/kel_types.h"
#include "host/kel_dm_instance.h"
#include "host/viewer/kel_viewer_tool_bag.h"

struct KelPSNError;

// An error of the exchange: 0 or a kel_ier code, with its text.
struct KelV4Error {
  int code = 0;
  KelUnicodeString text;
};

class KelPSNCom {
 public:
  // The socket's address: $MML_V4_SOCKET, else "mml-v4.sock" in $MML_TMPDIR
  // (default /tmp).
  static std::string SocketPath();
  // Connects to the V4 application and sends "SELECT <env> <table> <coid>
  // <compid>". No application listening: kel_ier::kV4NoPeer.
  static void SelectElement(const KelDMInstance& instance, KelV4Error& error);
  // Forgets the connection of the last request.
  static void Disconnect();

  // ---- The product-structure navigator's viewer (host/psn/kel_psn_viewer.cc) ----
  // Makes `viewer` ready to take objects. A viewer's command runs once per
  // request here, so this checks that the command can be started. 0, or
  // kel_ier::kProcessStartFailed with the reason in `error`.
  static int StartViewer(KelViewerToolBag& viewer, KelPSNError& error);
  // Hands `items` to `viewer` in one request, with its current option. With
  // `waitForEnd`, returns once the commands of this request and of the
  // earlier ones have ended (at most kOpenRepWaitMs), so that a following
  // request comes after them. 0, or the code with `error` filled
  // (kel_ier::kViewerNoEnd when they did not end in time).
  static int OpenRep(KelViewerToolBag& viewer, const std::vector<KelViewerToolBag::Item>& items, bool waitForEnd,
                     KelPSNError& error);
  static constexpr int kOpenRepWaitMs = 30000;
};

// The host event loop while a V4 answer is awaited: waits at most `timeMs`
// milliseconds. `evtW` becomes 1 when the answer arrived, `evtG` 1 when the
// time ran out without one (the caller may wait once more). Without a pending
// request both stay 0.
void xcoloop(int timeMs, int& evtW, int& evtG);
// The wait of each xcoloop call of the identify: $MML_V4_TIMEOUT_MS, else
// 5000.
int KelV4WaitMs();

class KelPSNRcvMsg {
 public:
  // Reads the answer "<ier> <jele> <uuid>": `jele` and `uuid` filled when
  // ier is 0; otherwise the error carries ier. No answer yet:
  // kel_ier::kV4Timeout; an answer that does not read so: kel_ier::kV4BadAnswer.
  // The connection is closed afterwards.
  static void SelectedElement(int& jele, KelUnicodeString& uuid, KelV4Error& error);

  // The reading of one answer line (without its line end), as SelectedElement
  // does it: three fields separated by blanks, ier and jele whole numbers of
  // the int range, and a uuid of 32 hexadecimal digits, in any case, either
  // unbroken or in the groups 8-4-4-4-12. A non-zero ier is the error, with
  // the text "Tovra V4: return code <ier>"; any other fault is
  // kel_ier::kV4BadAnswer, whose text quotes the line cut short and with its
  // control characters replaced. `jele` and `uuid` are set only on success.
  static void ReadAnswer(std::string_view line, int& jele, KelUnicodeString& uuid, KelV4Error& error);
};
