// The fuzz targets: one function per parser of outside input. The same
// functions serve libFuzzer (fuzz_main.cc, built with clang when MML_FUZZ is
// on) and the replay test of the ordinary suite, which runs every input kept
// under tests/fuzz/corpus/<target>/ and tests/fuzz/crashes/<target>/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using MmlFuzzTarget = int (*)(const uint8_t* data, size_t size);

struct MmlFuzzTargetEntry {
  const char* name;
  MmlFuzzTarget run;
};

// Every target, by name: batch_input, profile, host_sql, db_script,
// error_file, resources, v4_answer, viewer_options.
const std::vector<MmlFuzzTargetEntry>& MmlFuzzTargets();
