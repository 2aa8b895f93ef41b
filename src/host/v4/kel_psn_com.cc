#include "host/v4/kel_psn_com.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host/db/host_sql.h"
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

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

// A whole number of the int range, nothing around it.
bool ReadInt(std::string_view text, int& value) {
  const char* end = text.data() + text.size();
  const auto [stop, why] = std::from_chars(text.data(), end, value);
  return why == std::errc() && stop == end;
}

// 32 hexadecimal digits, unbroken or as 8-4-4-4-12.
bool IsUuid(std::string_view text) {
  const bool grouped = text.size() == 36;
  if (!grouped && text.size() != 32) return false;
  for (size_t k = 0; k < text.size(); ++k) {
    const bool dash = grouped && (k == 8 || k == 13 || k == 18 || k == 23);
    if (dash ? text[k] != '-' : !std::isxdigit(static_cast<unsigned char>(text[k]))) return false;
  }
  return true;
}

// `text` with its control characters (and DEL) as '?', to quote in a message.
std::string Printable(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  return text;
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
  ReadAnswer(std::string_view(received).substr(0, received.find('\n')), jele, uuid, error);
}

void KelPSNRcvMsg::ReadAnswer(std::string_view line, int& jele, KelUnicodeString& uuid, KelV4Error& error) {
  error = KelV4Error();
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size() && fields.size() <= 3) {
    while (i < line.size() && IsBlank(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !IsBlank(line[i])) ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  int ier = 0;
  int element = 0;
  if (fields.size() != 3 || !ReadInt(fields[0], ier) || !ReadInt(fields[1], element) ||
      (ier == 0 && !IsUuid(fields[2])))
    return Fail(error, kel_ier::kV4BadAnswer, Printable(AbbreviateForMessage(line, 80)));
  if (ier != 0) {
    error.code = ier;
    error.text = "Tovra V4: return code " + std::to_string(ier);
    return;
  }
  jele = element;
  uuid = std::string(fields[2]);
}
