#include "host/dlg/kel_setting_repository.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

std::map<std::string, std::unique_ptr<KelSettingRepository>>& Repositories() {
  static std::map<std::string, std::unique_ptr<KelSettingRepository>> repositories;
  return repositories;
}

std::string Trim(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string KelSettingRepository::Directory() {
  if (const char* dir = std::getenv("MML_CONFIG_DIR"); dir != nullptr && *dir != '\0') return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
    return std::string(xdg) + "/mml";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "/tmp") + "/.config/mml";
}

KelSettingRepository& KelSettingRepository::GetRepository(const std::string& name) {
  auto& all = Repositories();
  auto it = all.find(name);
  if (it == all.end()) {
    auto repo = std::unique_ptr<KelSettingRepository>(new KelSettingRepository(Directory() + "/" + name + ".settings"));
    it = all.emplace(name, std::move(repo)).first;
  }
  return *it->second;
}

void KelSettingRepository::ForgetAll() { Repositories().clear(); }

KelSettingRepository::KelSettingRepository(std::string file) : file_(std::move(file)) {
  std::ifstream in(file_);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq));
    const std::string text = Trim(line.substr(eq + 1));
    if (key.empty() || text.empty()) continue;
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) continue;
    values_[key] = static_cast<int>(value);
  }
}

bool KelSettingRepository::ReadSetting(const std::string& key, int& value) const {
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  value = it->second;
  return true;
}

bool KelSettingRepository::WriteSetting(const std::string& key, int value) {
  values_[key] = value;
  return Save();
}

bool KelSettingRepository::Save() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path target(file_);
  fs::create_directories(target.parent_path(), ec);
  const fs::path temp = target.string() + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    for (const auto& [key, value] : values_) out << key << " = " << value << "\n";
    out.flush();
    if (!out) {
      fs::remove(temp, ec);
      return false;
    }
  }
  fs::rename(temp, target, ec);
  if (ec) fs::remove(temp, ec);
  return !ec;
}
