// Progress of a long batch run on standard error: roots done and objects
// reached so far, on one line rewritten in place, at most a few times a
// second. Nothing is written when standard error is not a terminal, so that
// logs and pipes receive only what the run itself reports.
//
//   KelLnkBatchProgress progress(roots);      // while the run lasts
//   ... KelLnkBatchProgress::ObjectReached(); // per object a walk reaches
//   ... progress.RootDone();                  // per root finished
//
// One reporter is active at a time (the latest constructed); the walks report
// to it through the static ObjectReached, which does nothing without one.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

class KelLnkBatchProgress {
 public:
  // Reports on standard error when it is a terminal.
  explicit KelLnkBatchProgress(int roots);
  // Reports on `out` when `show` (tests).
  KelLnkBatchProgress(int roots, std::FILE* out, bool show);
  // Writes the final counts and ends the line (when shown at all).
  ~KelLnkBatchProgress();
  KelLnkBatchProgress(const KelLnkBatchProgress&) = delete;
  KelLnkBatchProgress& operator=(const KelLnkBatchProgress&) = delete;

  void RootDone();
  // Counts one object reached by the active reporter's run.
  static void ObjectReached();

  int64_t Objects() const { return objects_; }

 private:
  // Rewrites the line when `force` or when enough time has passed.
  void Show(bool force);

  int roots_;
  int done_ = 0;
  int64_t objects_ = 0;
  std::FILE* out_;
  bool show_;
  std::chrono::steady_clock::time_point last_;
  KelLnkBatchProgress* previous_;
};
