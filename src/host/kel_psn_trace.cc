#include "host/kel_psn_trace.h"

#include <cerrno>
#include <cstdlib>
#include <iostream>

namespace {

constexpr int kNoLevel = -1;
constexpr int kUnread = -2;

int gActiveLevel = kUnread;
int gOpenTraces = 0;
std::ostream* gOutput = nullptr;

// A stream that discards everything: the line stream of an inactive trace.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::ostream& NullStream() {
  static NullBuffer buffer;
  static std::ostream stream(&buffer);
  return stream;
}

int LevelFromEnvironment() {
  const char* text = std::getenv("MML_TRACE_LEVEL");
  if (text == nullptr || *text == '\0') return kNoLevel;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(text, &end, 10);
  while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
  if (errno != 0 || end == text || *end != '\0' || value < 0) return kNoLevel;
  return value > 1000000 ? 1000000 : static_cast<int>(value);
}

int CurrentLevel() {
  if (gActiveLevel == kUnread) gActiveLevel = LevelFromEnvironment();
  return gActiveLevel;
}

std::ostream& TraceOutput() { return gOutput != nullptr ? *gOutput : std::cout; }

}  // namespace

KelPSNTrace::KelPSNTrace(const char* name, int level, int flag)
    : name_(name != nullptr ? name : ""), level_(level), flag_(flag) {
  Open();
}

KelPSNTrace::KelPSNTrace(const std::string& name, int level, int flag)
    : owned_(name), name_(owned_), level_(level), flag_(flag) {
  Open();
}

void KelPSNTrace::Open() {
  depth_ = gOpenTraces++;
  active_ = LevelIsActive(level_);
  if (active_) {
    std::ostream& out = TraceOutput();
    out << IndentationText(depth_) << "> " << name_ << '\n';
    out.flush();
  }
}

KelPSNTrace::~KelPSNTrace() {
  --gOpenTraces;
  if (active_) {
    std::ostream& out = TraceOutput();
    out << IndentationText(depth_) << "< " << name_ << '\n';
    out.flush();
  }
}

bool KelPSNTrace::LevelIsActive(int level) {
  int active = CurrentLevel();
  return active >= 0 && level <= active;
}

void KelPSNTrace::Write(std::string_view message) {
  if (!active_) return;
  std::ostream& out = TraceOutput();
  out << IndentationText(depth_ + 3) << name_ << ' ' << message << '\n';
  out.flush();
}

std::ostream& KelPSNTrace::Stream() { return active_ ? TraceOutput() : NullStream(); }

void KelPSNTrace::Out() {
  if (active_) TraceOutput().flush();
}

void KelPSNTrace::SetActiveLevel(int level) { gActiveLevel = level < 0 ? kNoLevel : level; }

int KelPSNTrace::ActiveLevel() { return CurrentLevel(); }

void KelPSNTrace::ReloadLevelFromEnvironment() { gActiveLevel = LevelFromEnvironment(); }

void KelPSNTrace::SetOutput(std::ostream* out) { gOutput = out; }

// ---- KelTrace ----

KelTrace::KelTrace(const char* variable, const char* text, int mode, const char* output, int bufferSize)
    : variable_(variable != nullptr ? variable : ""),
      text_(text != nullptr ? text : ""),
      mode_(mode),
      output_(output != nullptr ? output : "STDERR"),
      bufferSize_(bufferSize),
      active_(!variable_.empty() && std::getenv(variable_.c_str()) != nullptr) {}

std::ostream& KelTrace::Out() const {
  if (override_ != nullptr) return *override_;
  return output_ == "STDOUT" ? std::cout : std::cerr;
}

void KelTrace::Write(std::string_view text) {
  if (!active_) return;
  std::ostream& out = Out();
  out << text;
  if (!text.empty() && text.back() == '\n') out.flush();
}

void KelTrace::Flush() {
  if (active_) Out().flush();
}
