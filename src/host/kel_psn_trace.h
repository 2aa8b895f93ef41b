// The host trace facilities.
//
// KelPSNTrace frames one operation: every operation of the module opens one
// at entry, named after itself, and it closes when the operation returns.
//
//   int KelLnkTools::Initialise() {
//     KelPSNTrace trace("KelLnkTools::Initialise", 17, 0);   // or MML_TRACE("...")
//     ...
//     if (trace.LevelIsActive()) trace.Write("read " + std::to_string(n) + " types");
//   }
//
// Levels: a trace of level L is active when the environment variable
// MML_TRACE_LEVEL holds a number N >= L. Unset, empty or not a number: no
// trace is active. The variable is read once, at the first trace; tests change
// the level with SetActiveLevel. Active traces write to standard output:
//
//   <indent>> KelLnkTools::Initialise          at entry
//   <indent+3>KelLnkTools::Initialise <message> for each Write
//   <indent>< KelLnkTools::Initialise          at exit
//
// where <indent> is one blank per trace open around this one (active or not).
// docs/traces.md describes the switches for administrators.
//
// KelTrace is the host's switchable output channel used by ZorTrace: it is
// active when its environment variable is set, and writes to standard error
// ("STDERR") or standard output ("STDOUT").
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

class KelPSNTrace {
 public:
  // `name` is the operation's qualified name ("KelLnkLink::SetLinktype"); the
  // text is copied only for a std::string argument. `level` is the trace
  // level (17 for function-entry traces), `flag` the host's second integer
  // (0, or 1 in display node constructors and destructors), kept as given.
  KelPSNTrace(const char* name, int level, int flag);
  KelPSNTrace(const std::string& name, int level, int flag);
  ~KelPSNTrace();
  KelPSNTrace(const KelPSNTrace&) = delete;
  KelPSNTrace& operator=(const KelPSNTrace&) = delete;

  // True when this trace's level is active.
  bool LevelIsActive() const { return active_; }
  // True when traces of `level` are active.
  static bool LevelIsActive(int level);

  // Writes one line: the indentation text of Indentation() + 3, the operation
  // name, one blank and `message`, then flushes. Nothing when not active.
  void Write(std::string_view message);

  // The line stream, for callers that compose a line themselves; end the line
  // and call Out() to flush it. Writes nothing when the trace is not active.
  std::ostream& Stream();
  void Out();

  // Number of traces open around this one when it was opened.
  int Indentation() const { return depth_; }
  // `n` blanks.
  static std::string IndentationText(int n) { return std::string(n > 0 ? n : 0, ' '); }

  std::string_view Name() const { return name_; }
  int Level() const { return level_; }
  int Flag() const { return flag_; }

  // ---- Switches (tests and the programs' set-up) ----
  // The active level: traces with level <= `level` are active; -1 none.
  static void SetActiveLevel(int level);
  static int ActiveLevel();
  // Reads MML_TRACE_LEVEL again.
  static void ReloadLevelFromEnvironment();
  // Where active traces write (standard output when null).
  static void SetOutput(std::ostream* out);

 private:
  void Open();

  std::string owned_;
  std::string_view name_;
  int level_;
  int flag_;
  int depth_ = 0;
  bool active_ = false;
};

// Opens the function-entry trace of the current operation in one line:
//   MML_TRACE("KelLnkObject::GetCondition");
#define MML_TRACE(name) KelPSNTrace mmlFunctionTrace((name), 17, 0)

// The host's switchable output channel.
class KelTrace {
 public:
  // `variable`: the environment variable that switches the channel on when it
  // is set (to anything, even empty). `text` and `mode` are the host's
  // options, kept as given. `output`: "STDERR" (default) or "STDOUT".
  // `bufferSize`: size of the line buffer; text is flushed at every newline.
  KelTrace(const char* variable, const char* text, int mode, const char* output, int bufferSize);
  KelTrace(const KelTrace&) = delete;
  KelTrace& operator=(const KelTrace&) = delete;

  bool IsActive() const { return active_; }
  const std::string& Variable() const { return variable_; }
  const std::string& OutputName() const { return output_; }
  int BufferSize() const { return bufferSize_; }

  // Writes `text` as it is when active; flushes when it ends with a newline.
  void Write(std::string_view text);
  void Flush();

  // Tests: send the text to `out` (the configured standard stream when null)
  // and switch the channel on or off.
  void SetStream(std::ostream* out) { override_ = out; }
  void SetActive(bool active) { active_ = active; }

 private:
  std::ostream& Out() const;

  std::string variable_;
  std::string text_;
  int mode_;
  std::string output_;
  int bufferSize_;
  bool active_;
  std::ostream* override_ = nullptr;
};
