#include "host/process/kel_xco_process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/db/kel_dm_ier_message.h"

extern char** environ;

namespace {

struct RunningCommand {
  pid_t pid;
  int pidfd;  // -1 when the platform has no process descriptors
  KelUnicodeString eventName;
};

struct ProcessState {
  std::map<KelUnicodeString, KelXcoCallback> events;
  std::vector<RunningCommand> running;  // in start order
  int epollFd = -1;
  bool epollTried = false;
};

volatile sig_atomic_t gStopSignal = 0;

std::string& LastStartError() {
  static std::string text;
  return text;
}

ProcessState& State() {
  static ProcessState state;
  return state;
}

int EpollFd() {
  ProcessState& s = State();
  if (!s.epollTried) {
    s.epollTried = true;
    s.epollFd = epoll_create1(EPOLL_CLOEXEC);
  }
  return s.epollFd;
}

int OpenProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    // pidfd_open descriptors are close-on-exec already.
    return static_cast<int>(fd);
  }
#else
  (void)pid;
#endif
  return -1;
}

int ExitCodeOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

// Finds the first command (in start order) that has ended, reaps it and
// removes it from the running list. Returns false when none has ended.
bool TakeEnded(KelXcoEvent* out) {
  ProcessState& s = State();
  for (size_t i = 0; i < s.running.size(); ++i) {
    RunningCommand& cmd = s.running[i];
    int waitStatus = 0;
    pid_t r = waitpid(cmd.pid, &waitStatus, WNOHANG);
    if (r == 0) continue;
    if (r < 0 && errno == EINTR) {
      --i;
      continue;
    }
    out->name = cmd.eventName;
    out->pid = cmd.pid;
    // r < 0: somebody else reaped the child (ECHILD); its status is lost.
    out->exitCode = r > 0 ? ExitCodeOf(waitStatus) : -1;
    if (cmd.pidfd >= 0) close(cmd.pidfd);  // also leaves the epoll set
    s.running.erase(s.running.begin() + static_cast<std::ptrdiff_t>(i));
    return true;
  }
  return false;
}

const KelXcoEvent* gCurrentEvent = nullptr;

void Deliver(const KelXcoEvent& event) {
  ProcessState& s = State();
  auto it = s.events.find(event.name);
  if (it == s.events.end() || !it->second) return;
  const KelXcoEvent* outer = gCurrentEvent;
  gCurrentEvent = &event;
  it->second();
  gCurrentEvent = outer;
}

constexpr int kStopCheckMs = 200;

// Blocks until a running command may have ended, for at most `timeoutMs`
// (-1: no limit).
void WaitForActivity(int timeoutMs) {
  ProcessState& s = State();
  bool allWatched = s.epollFd >= 0;
  for (const RunningCommand& cmd : s.running)
    if (cmd.pidfd < 0) allWatched = false;
  if (allWatched) {
    epoll_event ready[8];
    // A stop request that comes just before the wait is seen within this time.
    if (timeoutMs < 0 || timeoutMs > kStopCheckMs) timeoutMs = kStopCheckMs;
    int n = epoll_wait(s.epollFd, ready, 8, timeoutMs);
    (void)n;  // EINTR or readiness: the caller looks again either way
    return;
  }
  // No descriptor to wait on: look again after a short pause.
  int pauseMs = 10;
  if (timeoutMs >= 0 && timeoutMs < pauseMs) pauseMs = timeoutMs;
  timespec ts{0, static_cast<long>(pauseMs) * 1000000L};
  nanosleep(&ts, nullptr);
}

}  // namespace

int xcoopr(const KelUnicodeString& name, KelXcoCallback callback, int* status) {
  int result = name.empty() ? kel_ier::kProcessNoEvent : 0;
  if (result == 0) State().events[name] = callback;
  if (status) *status = result;
  return result;
}

int xcoexe(const KelUnicodeString& host, const KelUnicodeString& command, const KelListValKelUnicodeString& arguments,
           int queue, int priority, const KelUnicodeString& label, const KelUnicodeString& eventName, int* status) {
  (void)queue;
  (void)priority;
  (void)label;
  int result = 0;
  ProcessState& s = State();
  if (host != "$LOCAL") {
    result = kel_ier::kProcessUnknownHost;
  } else if (s.events.find(eventName) == s.events.end()) {
    result = kel_ier::kProcessNoEvent;
  } else if (command.empty()) {
    result = kel_ier::kProcessStartFailed;
    LastStartError() = "cannot start a command without a path";
  } else {
    std::vector<std::string> args = arguments;
    if (args.empty()) args.push_back(command);
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    pid_t pid = -1;
    int rc = posix_spawn(&pid, command.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      result = kel_ier::kProcessStartFailed;
      LastStartError() = "cannot start " + command + ": " + std::strerror(rc);
    } else {
      LastStartError().clear();
      RunningCommand cmd{pid, OpenProcessDescriptor(pid), eventName};
      int ep = EpollFd();
      if (cmd.pidfd >= 0 && ep >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = cmd.pidfd;
        if (epoll_ctl(ep, EPOLL_CTL_ADD, cmd.pidfd, &ev) != 0) {
          close(cmd.pidfd);
          cmd.pidfd = -1;
        }
      } else if (cmd.pidfd >= 0) {
        close(cmd.pidfd);
        cmd.pidfd = -1;
      }
      s.running.push_back(cmd);
    }
  }
  if (status) *status = result;
  return result;
}

int xconext(KelXcoEvent* event, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    KelXcoEvent ended;
    if (TakeEnded(&ended)) {
      if (event) *event = ended;
      Deliver(ended);
      return 0;
    }
    if (State().running.empty()) return kel_ier::kProcessNoEvent;
    if (gStopSignal != 0) return kel_ier::kProcessInterrupted;
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) return kel_ier::kProcessNoEvent;
      wait = static_cast<int>(left);
    }
    WaitForActivity(wait);
  }
}

int KelXcoPollEvents() {
  int delivered = 0;
  KelXcoEvent ended;
  while (TakeEnded(&ended)) {
    Deliver(ended);
    ++delivered;
  }
  return delivered;
}

int KelXcoEventFd() { return EpollFd(); }

const KelXcoEvent* KelXcoCurrentEvent() { return gCurrentEvent; }

int KelXcoRunningCount() { return static_cast<int>(State().running.size()); }

const std::string& KelXcoLastStartError() { return LastStartError(); }

void KelXcoRequestStop(int signo) { gStopSignal = signo; }

int KelXcoStopRequested() { return gStopSignal; }

void KelXcoClearStopRequest() { gStopSignal = 0; }

int KelXcoStopAll(int graceMs) {
  ProcessState& s = State();
  const int stopped = static_cast<int>(s.running.size());
  for (const RunningCommand& cmd : s.running) kill(-cmd.pid, SIGTERM);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(graceMs);
  for (;;) {
    for (size_t i = 0; i < s.running.size();) {
      int waitStatus = 0;
      pid_t r = waitpid(s.running[i].pid, &waitStatus, WNOHANG);
      if (r == 0 || (r < 0 && errno == EINTR)) {
        ++i;
        continue;
      }
      // The script has ended; what it started in its group goes with it.
      kill(-s.running[i].pid, SIGKILL);
      if (s.running[i].pidfd >= 0) close(s.running[i].pidfd);
      s.running.erase(s.running.begin() + static_cast<std::ptrdiff_t>(i));
    }
    if (s.running.empty()) break;
    if (Clock::now() >= deadline) {
      for (const RunningCommand& cmd : s.running) kill(-cmd.pid, SIGKILL);
    }
    timespec ts{0, 20 * 1000000L};
    nanosleep(&ts, nullptr);
  }
  return stopped;
}
