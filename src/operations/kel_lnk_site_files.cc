#include "operations/kel_lnk_site_files.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

struct LockState {
  int fd = -1;     // the lock file
  int dirFd = -1;  // the directory of the files, locked as well
  int holders = 0;
};

// Whether `path` still names the file open on `fd` (not removed, not
// replaced by another file).
bool StillNames(int fd, const std::string& path) {
  struct stat open, named;
  if (fstat(fd, &open) != 0 || lstat(path.c_str(), &named) != 0) return false;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

int FlockNow(int fd) {
  int rc;
  do {
    rc = flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  return rc;
}

LockState& TheLock() {
  static LockState state;
  return state;
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Opens the lock file without following a symbolic link, creating it when
// missing. An existing file is opened without O_CREAT so that a lock file
// made by another user in a sticky directory can still be used.
int OpenLockFile(const std::string& path) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = open(path.c_str(), O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::string KelLnkSiteFiles::Directory() {
  const char* dir = std::getenv("MML_TMPDIR");
  if (dir && *dir) {
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/') d.pop_back();
    return d;
  }
  return "/tmp";
}

std::string KelLnkSiteFiles::Path(const std::string& name) {
  std::string dir = Directory();
  return dir == "/" ? "/" + name : dir + "/" + name;
}

std::string KelLnkSiteFiles::LockPath() { return Path("MML.lock"); }

int KelLnkSiteFiles::Lock(std::string* error) {
  LockState& state = TheLock();
  if (state.holders > 0) {
    ++state.holders;
    return 0;
  }
  std::string path = LockPath();
  auto busy = [&]() {
    if (error)
      *error = "Another synchronisation or migration is running on this machine (lock " + path +
               " is held): wait for it to end";
    return 1;
  };
  // The directory is locked first: removing the lock file cannot defeat a
  // lock held on the directory itself.
  const std::string dir = Directory();
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) {
    if (error) *error = "Cannot open the directory " + dir + ": " + std::strerror(errno);
    return 1;
  }
  if (FlockNow(dirFd) != 0) {
    int e = errno;
    close(dirFd);
    if (e == EWOULDBLOCK) return busy();
    if (error) *error = "Cannot lock the directory " + dir + ": " + std::strerror(e);
    return 1;
  }
  int fd = OpenLockFile(path);
  if (fd < 0) {
    if (error) *error = "Cannot open the lock file " + path + ": " + std::strerror(errno);
    close(dirFd);
    return 1;
  }
  if (FlockNow(fd) != 0) {
    int e = errno;
    close(fd);
    close(dirFd);
    if (e == EWOULDBLOCK) return busy();
    if (error) *error = "Cannot lock " + path + ": " + std::strerror(e);
    return 1;
  }
  if (!StillNames(fd, path)) {
    close(fd);
    close(dirFd);
    if (error) *error = "The lock file " + path + " was replaced while it was being taken: try again";
    return 1;
  }
  state.fd = fd;
  state.dirFd = dirFd;
  state.holders = 1;
  return 0;
}

bool KelLnkSiteFiles::LockIntact(std::string* error) {
  LockState& state = TheLock();
  if (state.holders == 0) {
    if (error) *error = "The lock of the site files is not held";
    return false;
  }
  const std::string path = LockPath();
  if (StillNames(state.fd, path)) return true;
  if (error)
    *error = "The lock file " + path + " was removed or replaced while this run held it: stopped before the script";
  return false;
}

void KelLnkSiteFiles::Unlock() {
  LockState& state = TheLock();
  if (state.holders == 0) return;
  if (--state.holders > 0) return;
  flock(state.fd, LOCK_UN);
  close(state.fd);
  state.fd = -1;
  flock(state.dirFd, LOCK_UN);
  close(state.dirFd);
  state.dirFd = -1;
}

void KelLnkSiteFiles::KeepCopy(const std::string& from, const std::string& to) {
  std::string error;
  if (!Copy(from, to, &error)) std::cerr << "Warning: the copy " << to << " was not kept: " << error << std::endl;
}

bool KelLnkSiteFiles::IsLocked() { return TheLock().holders > 0; }

bool KelLnkSiteFiles::Copy(const std::string& from, const std::string& to, std::string* error) {
  int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) {
    if (error) *error = "Cannot read " + from + ": " + std::strerror(errno);
    return false;
  }
  // Copied a buffer at a time: a large impact file is never held whole.
  KelLnkSiteFileWriter writer;
  bool written = writer.Open(to);
  std::string chunk;
  char buffer[65536];
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error) *error = "Cannot read " + from + ": " + std::strerror(errno);
      close(in);
      return false;
    }
    if (n == 0) break;
    chunk.assign(buffer, static_cast<size_t>(n));
    written = written && writer.Write(chunk);
  }
  close(in);
  if (!written || !writer.Close()) {
    if (error) *error = "Cannot write " + to + ": " + std::strerror(writer.LastErrno());
    return false;
  }
  return true;
}

bool KelLnkSiteFiles::Remove(const std::string& path) { return unlink(path.c_str()) == 0 || errno == ENOENT; }

bool KelLnkSiteFiles::ClearForScript(const std::string& path, std::string* error) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  int e = errno;
  struct stat info;
  if (error) {
    // unlink says EISDIR on Linux, EPERM elsewhere: name the real cause.
    if (lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
      *error = "Cannot remove the old file " + path + ": it is a directory, the script could not write it";
    else
      *error = "Cannot remove the old file " + path + ": " + std::strerror(e);
  }
  return false;
}

KelLnkSiteFileWriter::~KelLnkSiteFileWriter() { Abandon(); }

void KelLnkSiteFileWriter::Abandon() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
  if (!tempPath_.empty()) {
    unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

bool KelLnkSiteFileWriter::Open(const std::string& path) {
  Abandon();
  path_ = path;
  writeFailed_ = false;
  errno_ = 0;
  static unsigned counter = 0;
  std::string dir = DirectoryOf(path);
  std::string base = BaseNameOf(path);
  if (base.empty()) {
    errno_ = EISDIR;
    return false;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = dir + "/." + base + "." + std::to_string(getpid()) + "." + std::to_string(++counter);
    // Mode 0666 less the umask, as a file made with fopen would have.
    int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) {
      fd_ = fd;
      tempPath_ = candidate;
      return true;
    }
    if (errno != EEXIST) break;
  }
  errno_ = errno;
  return false;
}

bool KelLnkSiteFileWriter::Write(const std::string& text) {
  if (fd_ < 0) {
    errno_ = EBADF;
    writeFailed_ = true;
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      errno_ = n < 0 ? errno : EIO;
      writeFailed_ = true;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool KelLnkSiteFileWriter::Close() {
  if (fd_ < 0) {
    if (errno_ == 0) errno_ = EBADF;
    Abandon();
    return false;
  }
  bool ok = !writeFailed_;
  if (ok && fsync(fd_) != 0) {
    errno_ = errno;
    ok = false;
  }
  if (close(fd_) != 0 && ok) {
    errno_ = errno;
    ok = false;
  }
  fd_ = -1;
  if (ok && rename(tempPath_.c_str(), path_.c_str()) != 0) {
    errno_ = errno;
    ok = false;
  }
  if (ok) {
    tempPath_.clear();
    return true;
  }
  Abandon();
  return false;
}

bool KelLnkSiteFiles::ParseReturnCode(const std::string& line, int* code) {
  *code = 0;
  std::string text = line;
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.pop_back();
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) return false;
  const char* begin = text.c_str() + start;
  char* end = nullptr;
  errno = 0;
  long value = std::strtol(begin, &end, 10);
  if (end == begin || *end != '\0' || errno == ERANGE || value < -2147483647L || value > 2147483647L) return false;
  *code = static_cast<int>(value);
  return true;
}
