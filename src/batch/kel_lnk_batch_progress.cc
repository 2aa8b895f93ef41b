#include "batch/kel_lnk_batch_progress.h"

#include <unistd.h>

namespace {

KelLnkBatchProgress* sActive = nullptr;

// The line is rewritten at most this often.
constexpr std::chrono::milliseconds kInterval(250);

}  // namespace

KelLnkBatchProgress::KelLnkBatchProgress(int roots) : KelLnkBatchProgress(roots, stderr, isatty(STDERR_FILENO) == 1) {}

KelLnkBatchProgress::KelLnkBatchProgress(int roots, std::FILE* out, bool show)
    : roots_(roots), out_(out), show_(show), last_(std::chrono::steady_clock::now()), previous_(sActive) {
  sActive = this;
}

KelLnkBatchProgress::~KelLnkBatchProgress() {
  sActive = previous_;
  if (!show_) return;
  Show(true);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void KelLnkBatchProgress::RootDone() {
  ++done_;
  Show(false);
}

void KelLnkBatchProgress::ObjectReached() {
  if (!sActive) return;
  ++sActive->objects_;
  // Looking at the clock for every object would cost more than the count.
  if ((sActive->objects_ & 255) == 0) sActive->Show(false);
}

void KelLnkBatchProgress::Show(bool force) {
  if (!show_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_ < kInterval) return;
  last_ = now;
  std::fprintf(out_, "\rmml: roots done %d/%d, objects reached %lld", done_, roots_, static_cast<long long>(objects_));
  std::fflush(out_);
}
