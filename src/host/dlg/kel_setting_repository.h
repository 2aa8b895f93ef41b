// KelSettingRepository: named integer settings that survive a restart, one
// repository per name ("KelLnkSetting").
//
// A repository is the file "<directory>/<name>.settings" of "key = value"
// lines. The directory is $MML_CONFIG_DIR when set (tests point it at a
// temporary directory), else $XDG_CONFIG_HOME/mml, else ~/.config/mml. The
// file is read when the repository is first asked for and rewritten whole
// (a temporary file renamed over it) at every write, so a crash never leaves
// half a file. Lines that are not "key = integer" are ignored.
#pragma once

#include <map>
#include <string>

class KelSettingRepository {
 public:
  // The process's repository `name`, read from its file the first time.
  static KelSettingRepository& GetRepository(const std::string& name);
  // Forgets every repository read: the next GetRepository reads the file
  // again (as a new process would).
  static void ForgetAll();
  // The directory of the repository files.
  static std::string Directory();

  // The value of `key` into `value`; false (value untouched) when unset.
  bool ReadSetting(const std::string& key, int& value) const;
  // Sets `key` and rewrites the file; false when the file cannot be
  // written (the value is kept for the process all the same).
  bool WriteSetting(const std::string& key, int value);
  const std::string& GetFile() const { return file_; }

 private:
  explicit KelSettingRepository(std::string file);
  bool Save() const;

  std::string file_;
  std::map<std::string, int> values_;
};
