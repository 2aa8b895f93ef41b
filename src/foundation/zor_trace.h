// The module's own trace: live objects counted per class, and an indented call
// trace, written to standard error when the environment variable "ZORTRACE"
// is set (when the module loads).
//
//   ZorTrace::Construct("KelLnkObject", this);   // in a constructor
//   ZorTrace::Destruct("KelLnkObject", this);    // in the destructor
//   ZorTrace::Objects();                         // "Objects:" and one line per class
//
//   ZorTrace t;
//   t.FunctionTrace("KelLnkObject", "Expand", 0);   // "> KelLnkObject::Expand" now,
//                                                   // "< KelLnkObject::Expand" when t dies
//
// Counters and the call depth change whether the trace is active or not.
#pragma once

#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "host/kel_psn_trace.h"

// One traced call: writes its entry text when built and its exit text when
// destroyed, and keeps the depth counter up to date.
class ZorFunctionTrace {
 public:
  // Entry text: 2 x depth blanks, "> " (one-line form "- "), class "::" method,
  // followed by a newline in the normal form only. Exit text: 2 x depth
  // blanks, "< ", class "::" method and a newline; in the one-line form " -"
  // and a newline. Adds 1 to *depth.
  ZorFunctionTrace(KelTrace* trace, int* depth, const char* className, const char* methodName, int oneLine);
  // Writes the exit text (when active) and subtracts 1 from *depth.
  ~ZorFunctionTrace();
  ZorFunctionTrace(const ZorFunctionTrace&) = delete;
  ZorFunctionTrace& operator=(const ZorFunctionTrace&) = delete;

  const std::string& EntryText() const { return entry_; }
  const std::string& ExitText() const { return exit_; }

 private:
  KelTrace* trace_;
  int* depth_;
  std::string entry_;
  std::string exit_;
};

class ZorTrace {
 public:
  ZorTrace() = default;
  ~ZorTrace();
  ZorTrace(const ZorTrace&) = delete;
  ZorTrace& operator=(const ZorTrace&) = delete;

  // Adds 1 to the counter of `className` (appending the class, counter 0, the
  // first time it is seen) and returns the counter's address, which stays
  // valid for the life of the program. `object` is not used.
  static int* Construct(const char* className, const void* object);
  // The same, subtracting 1 (a class first seen here starts at -1).
  static int* Destruct(const char* className, const void* object);
  // When active: "Objects:" and a newline, then "  <class>: <count>" and a
  // newline for each known class in the order of first appearance.
  static void Objects();
  // When active: `text` unchanged when `raw` is non-zero, else 2 x Indent()
  // blanks, `text` and a newline.
  static void Output(const char* text, int raw);
  static void Output(const std::string& text, int raw) { Output(text.c_str(), raw); }

  // Opens this object's call trace on the first call; later calls do nothing.
  void FunctionTrace(const char* className, const char* methodName, int oneLine);

  // Whether the channel "ZORTRACE" (standard error) was active when the
  // module loaded (or as a test set it).
  static int Active();
  // Current call depth.
  static int Indent();
  // Class names in the order of first appearance (ClassCount() of them).
  static const std::vector<std::string>& Classes();
  static int ClassCount();

  // Tests: send the trace to `out` (standard error when null) and switch it.
  static void SetOutputForTesting(std::ostream* out, bool active);
  // Forgets every class and resets the depth (a fresh process's trace).
  static void ResetState();
  // Tests: set the call depth.
  static void SetIndentForTesting(int indent);

 private:
  static int* Counter(const char* className);

  std::unique_ptr<ZorFunctionTrace> function_;
};

// Exported switches for other modules; nothing here reads them.
extern int ZefaTraceLink;
extern int ZefaTraceObject;
