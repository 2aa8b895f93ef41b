// Host process services: start a command as a child process and learn of its
// end through a named completion event.
//
//   int status = 0;
//   xcoopr("END_OF_BATCH", OnEnd, &status);            // register the event
//   xcoexe("$LOCAL", "/site/migrate.sh", {"/site/migrate.sh"}, -1, -1,
//          "        ", "END_OF_BATCH", &status);        // start the command
//   xconext();                                          // wait, then OnEnd()
//
// Commands run as real child processes, without a shell: `command` is the
// program path and `arguments` its argument vector (argv[0] first). The child
// inherits the environment and the standard output and error; its standard
// input reads /dev/null.
//
// Events are delivered on the caller's thread, inside xconext() or
// KelXcoPollEvents(), never from a signal handler: no signal disposition is
// changed (a program that wants its commands stopped with it installs its own
// handlers and calls KelXcoRequestStop, see below). An event loop can watch KelXcoEventFd() and call
// KelXcoPollEvents() when it becomes readable.
//
// Status values are 0 or a kel_ier code (host/kel_dm_ier_message.h).
#pragma once

#include <string>

#include "base/kel_types.h"

// Callback of a completion event. It receives nothing: the module reads what
// the command left behind (its error file) itself.
using KelXcoCallback = void (*)();

// One delivered completion event.
struct KelXcoEvent {
  KelUnicodeString name;  // the completion event named at xcoexe
  int pid = -1;           // process id of the command that ended
  int exitCode = -1;      // exit status, or 128 + signal number when killed
};

// Registers the completion event `name` with `callback` (may be null: the
// event is then only reported by xconext). Registering a name again replaces
// its callback. *status becomes 0, or kel_ier::kProcessNoEvent for an empty
// name. Returns *status.
int xcoopr(const KelUnicodeString& name, KelXcoCallback callback, int* status);

// Starts `command` with `arguments` on `host` and raises the event
// `eventName` when it ends. Only the host "$LOCAL" runs commands; another
// gives kel_ier::kProcessUnknownHost. An event that was never registered with
// xcoopr gives kel_ier::kProcessNoEvent, a command that cannot be started
// kel_ier::kProcessStartFailed; nothing runs in these cases. `queue`, `priority`
// and `label` are the host's scheduling options and are accepted as given. An
// empty `arguments` means the argument vector {command}. Returns *status.
int xcoexe(const KelUnicodeString& host, const KelUnicodeString& command, const KelListValKelUnicodeString& arguments,
           int queue, int priority, const KelUnicodeString& label, const KelUnicodeString& eventName, int* status);

// Waits for the next completion event, calls its callback (when registered
// with one) and returns 0, filling *event when given. When several commands
// have ended, their events come in the order the commands were started. With `timeoutMs` >= 0, waits at most that
// long. Returns kel_ier::kProcessNoEvent, without waiting, when no command is
// running and no event is pending, and also when the time ran out.
int xconext(KelXcoEvent* event = nullptr, int timeoutMs = -1);

// Delivers, without blocking, every completion event whose command has ended
// (callbacks called in order). Returns the number delivered.
int KelXcoPollEvents();

// A descriptor that becomes readable when a command started by xcoexe has
// ended and its event waits for KelXcoPollEvents(); -1 when the platform
// offers none (then poll KelXcoPollEvents() periodically).
int KelXcoEventFd();

// Inside a callback called by xconext or KelXcoPollEvents: the event being
// delivered (its command's exit code included); null elsewhere.
const KelXcoEvent* KelXcoCurrentEvent();

// Number of commands started and not yet delivered as events.
int KelXcoRunningCount();

// Why the last xcoexe gave kel_ier::kProcessStartFailed: the command's path
// and the system's reason ("" after a start that succeeded).
const std::string& KelXcoLastStartError();

// Stop requests. Each command runs in a process group of its own, so that
// the program decides what happens to it when the program itself is told to
// stop. KelXcoRequestStop may be called from a signal handler (it only
// stores `signo`); from then on xconext returns kel_ier::kProcessInterrupted
// instead of waiting. KelXcoStopRequested gives the signal number, 0 when no
// stop was requested.
void KelXcoRequestStop(int signo);
int KelXcoStopRequested();
void KelXcoClearStopRequest();
// Sends SIGTERM to the process group of every running command, waits up to
// `graceMs` for them to end, then kills what is left, and reaps them all
// (their events are dropped). Returns the number of commands stopped.
int KelXcoStopAll(int graceMs);
