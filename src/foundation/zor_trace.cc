#include "foundation/zor_trace.h"

#include <string_view>
#include <unordered_map>

int ZefaTraceLink = 0;
int ZefaTraceObject = 0;

KelTrace ZorTrace::gTrace("ZORTRACE", "", 0, "STDERR", 1024);
int ZorTrace::gActive = ZorTrace::gTrace.IsActive() ? 1 : 0;
int ZorTrace::gIndent = 0;
int ZorTrace::gClassCount = 0;
std::vector<std::string> ZorTrace::gppClass;
std::deque<int> ZorTrace::gpObjectCount;

namespace {
// Position of each known class in gppClass.
std::unordered_map<std::string, int>& ClassIndex() {
  static std::unordered_map<std::string, int> index;
  return index;
}
}  // namespace

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
  std::string name(className != nullptr ? className : "");
  auto& index = ClassIndex();
  auto it = index.find(name);
  if (it != index.end()) return &gpObjectCount[static_cast<size_t>(it->second)];
  index.emplace(name, gClassCount);
  gppClass.push_back(std::move(name));
  gpObjectCount.push_back(0);
  ++gClassCount;
  return &gpObjectCount.back();
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
  if (!gTrace.IsActive()) return;
  std::string text = "Objects:\n";
  for (int i = 0; i < gClassCount; ++i) {
    text +=
        "  " + gppClass[static_cast<size_t>(i)] + ": " + std::to_string(gpObjectCount[static_cast<size_t>(i)]) + "\n";
  }
  gTrace.Write(text);
}

void ZorTrace::Output(const char* text, int raw) {
  if (!gTrace.IsActive()) return;
  std::string_view body(text != nullptr ? text : "");
  if (raw != 0) {
    gTrace.Write(body);
    gTrace.Flush();
    return;
  }
  std::string line(static_cast<size_t>(gIndent > 0 ? 2 * gIndent : 0), ' ');
  line.append(body);
  line += '\n';
  gTrace.Write(line);
}

void ZorTrace::FunctionTrace(const char* className, const char* methodName, int oneLine) {
  if (function_ != nullptr) return;
  function_ = std::make_unique<ZorFunctionTrace>(&gTrace, &gIndent, className, methodName, oneLine);
}

void ZorTrace::SetOutputForTesting(std::ostream* out, bool active) {
  gTrace.SetStream(out);
  gTrace.SetActive(active);
  gActive = active ? 1 : 0;
}

void ZorTrace::ResetForTesting() {
  ClassIndex().clear();
  gppClass.clear();
  gpObjectCount.clear();
  gClassCount = 0;
  gIndent = 0;
}
