// The libFuzzer entry of one target, chosen at build time by MML_FUZZ_TARGET.
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static MmlFuzzTarget run = [] {
    for (const MmlFuzzTargetEntry& t : MmlFuzzTargets())
      if (std::strcmp(t.name, MML_FUZZ_TARGET) == 0) return t.run;
    std::abort();
  }();
  return run(data, size);
}
