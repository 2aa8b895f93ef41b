#include "foundation/zor_trace.h"

#include <string_view>
#include <unordered_map>

int ZefaTraceLink = 0;
int ZefaTraceObject = 0;

namespace {

// The trace's part of the module state.
struct TraceState {
  KelTrace channel{"ZORTRACE", "", 0, "STDERR", 1024};
  int active = channel.IsActive() ? 1 : 0;
  int indent = 0;  // call depth
  // Class names in the order of first appearance, their counters (a deque:
  // addresses never move) and the position of each name.
  std::vector<std::string> classes;
  std::deque<int> counts;
  std::unordered_map<std::string, int> index;
};

TraceState& St() {
  static TraceState state;
  return state;
}

}  // namespace

int ZorTrace::Active() { return St().active; }
int ZorTrace::Indent() { return St().indent; }
const std::vector<std::string>& ZorTrace::Classes() { return St().classes; }
int ZorTrace::ClassCount() { return static_cast<int>(St().classes.size()); }
void ZorTrace::SetIndentForTesting(int indent) { St().indent = indent; }

// ---- ZorFunctionTrace ----

ZorFunctionTrace::ZorFunctionTrace(KelTrace* trace, int* depth, const char* className, const char* methodName,
                                   int oneLine)
    : trace_(trace), depth_(depth) {
  std::string indent(static_cast<size_t>(*depth > 0 ? 2 * *depth : 0), ' ');
  std::string qualified =
      std::string(className != nullptr ? className : "") + "::" + (methodName != nullptr ? methodName : "");
  if (oneLine != 0) {
    entry_ = indent + "- " + qualified;
    exit_ = " -";
  } else {
    entry_ = indent + "> " + qualified;
    exit_ = indent + "< " + qualified;
  }
  if (trace_->IsActive()) {
    trace_->Write(oneLine != 0 ? entry_ : entry_ + "\n");
  }
  ++*depth_;
}

ZorFunctionTrace::~ZorFunctionTrace() {
  if (trace_->IsActive()) trace_->Write(exit_ + "\n");
  --*depth_;
}

// ---- ZorTrace ----

ZorTrace::~ZorTrace() = default;

int* ZorTrace::Counter(const char* className) {
  TraceState& st = St();
  std::string name(className != nullptr ? className : "");
  auto it = st.index.find(name);
  if (it != st.index.end()) return &st.counts[static_cast<size_t>(it->second)];
  st.index.emplace(name, static_cast<int>(st.classes.size()));
  st.classes.push_back(std::move(name));
  st.counts.push_back(0);
  return &st.counts.back();
}

int* ZorTrace::Construct(const char* className, const void* /*object*/) {
  int* counter = Counter(className);
  ++*counter;
  return counter;
}

int* ZorTrace::Destruct(const char* className, const void* /*object*/) {
  int* counter = Counter(className);
  --*counter;
  return counter;
}

void ZorTrace::Objects() {
  TraceState& st = St();
  if (!st.channel.IsActive()) return;
  std::string text = "Objects:\n";
  for (size_t i = 0; i < st.classes.size(); ++i)
    text += "  " + st.classes[i] + ": " + std::to_string(st.counts[i]) + "\n";
  st.channel.Write(text);
}

void ZorTrace::Output(const char* text, int raw) {
  TraceState& st = St();
  if (!st.channel.IsActive()) return;
  std::string_view body(text != nullptr ? text : "");
  if (raw != 0) {
    st.channel.Write(body);
    st.channel.Flush();
    return;
  }
  std::string line(static_cast<size_t>(st.indent > 0 ? 2 * st.indent : 0), ' ');
  line.append(body);
  line += '\n';
  st.channel.Write(line);
}

void ZorTrace::FunctionTrace(const char* className, const char* methodName, int oneLine) {
  if (function_ != nullptr) return;
  function_ = std::make_unique<ZorFunctionTrace>(&St().channel, &St().indent, className, methodName, oneLine);
}

void ZorTrace::SetOutputForTesting(std::ostream* out, bool active) {
  St().channel.SetStream(out);
  St().channel.SetActive(active);
  St().active = active ? 1 : 0;
}

void ZorTrace::ResetState() {
  TraceState& st = St();
  st.index.clear();
  st.classes.clear();
  st.counts.clear();
  st.indent = 0;
}
