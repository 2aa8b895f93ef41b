// The fixed-name files that the module shares with the site scripts (command
// files, debug name files, error files and their copies), and the lock that
// lets one synchronisation or migration run at a time on a machine.
//
// The files live in one directory: the value of the environment variable
// MML_TMPDIR when it is set and not empty, else "/tmp". Scripts started by
// the module inherit MML_TMPDIR and find the files there.
//
// Files are written through KelLnkSiteFileWriter: the text goes to a fresh
// temporary file in the same directory, which then replaces the named file.
// A symbolic link planted at the name is replaced, never followed, and a
// reader never sees a half-written file.
#pragma once

#include <string>

class KelLnkSiteFiles {
 public:
  // The directory of the fixed-name files.
  static std::string Directory();
  // Directory() + "/" + name.
  static std::string Path(const std::string& name);
  // The lock file: Path("MML.lock").
  static std::string LockPath();

  // Takes the machine-wide lock of the site files (the directory and the
  // lock file), or, when this process
  // already holds it, counts one more holder. Returns 0, or 1 with a message
  // in *error when another process holds it (nothing waits). Each successful
  // Lock is matched by one Unlock; the lock is released with the last one.
  // The lock is not inherited by the scripts the module starts.
  static int Lock(std::string* error);
  static void Unlock();
  // Whether this process holds the lock.
  static bool IsLocked();
  // The lock is held on the directory as well as on the lock file, so that
  // removing the file cannot let a second run in. Whether the lock file is
  // still the one this process locked (not removed, not replaced): a run
  // checks it before it starts a script. False with a message otherwise.
  static bool LockIntact(std::string* error);

  // Copies `from` to `to` with the writer below; no shell is involved.
  // Returns true on success; *error names the file that failed.
  static bool Copy(const std::string& from, const std::string& to, std::string* error);
  // Keeps a copy of a file the script reads, for the site's diagnosis. The
  // run does not depend on it, so a failure is only a warning on standard
  // error naming the file and the system's reason.
  static void KeepCopy(const std::string& from, const std::string& to);
  // Removes the file (a symbolic link at the name is removed, not its
  // target). A missing file is not an error. Returns true on success.
  static bool Remove(const std::string& path);
  // The return code a script wrote as the first line of its error file
  // (`line`, without its newline): an integer, blanks around it and a
  // carriage return allowed. False (code 0) when the line holds anything
  // else or a number out of the int range.
  static bool ParseReturnCode(const std::string& line, int* code);

  // Removes the file a script is to write afresh (its error file) before the
  // script starts. False, with the reason in *error, when the name cannot be
  // freed (a directory planted there).
  static bool ClearForScript(const std::string& path, std::string* error);
};

// Writes one file by replacing it whole:
//   KelLnkSiteFileWriter w;
//   if (!w.Open(path)) ...;  if (!w.Write(text)) ...;  if (!w.Close()) ...;
// Nothing replaces the named file until Close succeeds; a writer destroyed
// before that removes its temporary file and leaves the named file as it was.
class KelLnkSiteFileWriter {
 public:
  KelLnkSiteFileWriter() = default;
  KelLnkSiteFileWriter(const KelLnkSiteFileWriter&) = delete;
  KelLnkSiteFileWriter& operator=(const KelLnkSiteFileWriter&) = delete;
  ~KelLnkSiteFileWriter();

  // Creates the temporary file next to `path`. False when it cannot.
  bool Open(const std::string& path);
  // Appends `text`. False when not everything could be written (the writer
  // then refuses to Close into place).
  bool Write(const std::string& text);
  // Flushes to disk, closes and moves the temporary file to the path. False
  // when any of that fails or an earlier Write failed; the named file is then
  // left as it was.
  bool Close();

  // The errno of the last failure, 0 when none.
  int LastErrno() const { return errno_; }

 private:
  void Abandon();

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  bool writeFailed_ = false;
  int errno_ = 0;
};
