#include "host/v4/kel_psn_com.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "host/db/kel_dm_ier_message.h"

namespace {

struct Pending {
  int fd = -1;
  std::string received;
  bool closed = false;  // the peer closed its side
};

Pending& State() {
  static Pending pending;
  return pending;
}

void Fail(KelV4Error& error, int code, const std::string& detail = "") {
  error.code = code;
  error.text = KelDMIerMessage(code).GetDisplayMessage(1) + (detail.empty() ? "" : ": " + detail);
}

// Reads what is there without blocking; true when a whole line is in.
bool ReadAvailable() {
  Pending& p = State();
  char buffer[512];
  while (p.fd >= 0 && p.received.find('\n') == std::string::npos && !p.closed) {
    ssize_t n = recv(p.fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n > 0) {
      p.received.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      p.closed = true;
    } else {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) p.closed = true;
      break;
    }
    if (p.received.size() > 4096) p.closed = true;  // no answer is that long
  }
  return p.received.find('\n') != std::string::npos;
}

}  // namespace

std::string KelPSNCom::SocketPath() {
  if (const char* path = std::getenv("MML_V4_SOCKET"); path != nullptr && *path != '\0') return path;
  const char* dir = std::getenv("MML_TMPDIR");
  return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/mml-v4.sock";
}

void KelPSNCom::Disconnect() {
  Pending& p = State();
  if (p.fd >= 0) close(p.fd);
  p = Pending();
}

void KelPSNCom::SelectElement(const KelDMInstance& instance, KelV4Error& error) {
  error = KelV4Error();
  Disconnect();
  const std::string path = SocketPath();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return Fail(error, kel_ier::kV4NoPeer, "socket path too long");
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Fail(error, kel_ier::kV4NoPeer, std::strerror(errno));
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int why = errno;
    close(fd);
    return Fail(error, kel_ier::kV4NoPeer, path + ": " + std::strerror(why));
  }
  const std::string request = "SELECT " + instance.GetEnvironment() + " " + instance.GetTable() + " " +
                              instance.GetXCoid() + " " + instance.GetXCompid() + "\n";
  size_t sent = 0;
  while (sent < request.size()) {
    ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int why = errno;
      close(fd);
      return Fail(error, kel_ier::kV4NoPeer, std::strerror(why));
    }
    sent += static_cast<size_t>(n);
  }
  State().fd = fd;
}

int KelV4WaitMs() {
  const char* text = std::getenv("MML_V4_TIMEOUT_MS");
  const int ms = text != nullptr ? std::atoi(text) : 0;
  return ms > 0 ? ms : 5000;
}

void xcoloop(int timeMs, int& evtW, int& evtG) {
  evtW = evtG = 0;
  Pending& p = State();
  if (p.fd < 0) return;
  if (ReadAvailable() || p.closed) {
    evtW = 1;
    return;
  }
  pollfd watched{p.fd, POLLIN, 0};
  int ready = -1;
  do {
    ready = poll(&watched, 1, timeMs);
  } while (ready < 0 && errno == EINTR);
  if (ready > 0 && (ReadAvailable() || p.closed)) {
    evtW = 1;
  } else {
    evtG = 1;
  }
}

void KelPSNRcvMsg::SelectedElement(int& jele, KelUnicodeString& uuid, KelV4Error& error) {
  error = KelV4Error();
  Pending& p = State();
  if (p.fd < 0) return Fail(error, kel_ier::kV4NoPeer);
  const bool complete = ReadAvailable();
  const std::string received = p.received;
  const bool closed = p.closed;
  KelPSNCom::Disconnect();
  if (!complete) return Fail(error, closed ? kel_ier::kV4BadAnswer : kel_ier::kV4Timeout);
  std::istringstream line(received.substr(0, received.find('\n')));
  long ier = 0;
  long element = 0;
  std::string id, extra;
  if (!(line >> ier >> element >> id) || (line >> extra)) return Fail(error, kel_ier::kV4BadAnswer, received);
  if (ier != 0) {
    error.code = static_cast<int>(ier);
    error.text = "Tovra V4: return code " + std::to_string(ier);
    return;
  }
  jele = static_cast<int>(element);
  uuid = id;
}
