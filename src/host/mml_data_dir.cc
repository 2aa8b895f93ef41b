#include "host/mml_data_dir.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string MmlProgramDirectory() {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || program.empty()) return "";
  return program.parent_path().string();
}

std::string MmlDataDirectory() {
  const char* fromEnvironment = std::getenv("MML_RESOURCES");
  if (fromEnvironment && *fromEnvironment) return fromEnvironment;
  const std::string program = MmlProgramDirectory();
  if (program.empty()) return "";
  std::string installed = (std::filesystem::path(program) / "../share/mml").lexically_normal().string();
  for (const std::string& candidate : {installed, program + "/share/mml"}) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate + "/KelLnkResource", ec)) return candidate;
  }
  return installed;
}
