// The fixed-name files shared with site scripts: where they live, how they
// are written without following planted links, and the lock that keeps a
// second run from overwriting the first one's files.
#include "operations/kel_lnk_site_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/process/kel_xco_process.h"
#include "support/test_database.h"

namespace {

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool IsSymlink(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// Runs the test with MML_TMPDIR pointing at a fresh directory.
class SiteFilesTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("MML_TMPDIR", dir_.Path().c_str(), 1); }
  void TearDown() override {
    while (KelLnkSiteFiles::IsLocked()) KelLnkSiteFiles::Unlock();
    unsetenv("MML_TMPDIR");
  }
  TempDir dir_;
};

TEST_F(SiteFilesTest, FilesLiveInTmpUnlessMovedByTheVariable) {
  EXPECT_EQ(KelLnkSiteFiles::Path("MMLMigr"), dir_.Path() + "/MMLMigr");
  setenv("MML_TMPDIR", (dir_.Path() + "//").c_str(), 1);
  EXPECT_EQ(KelLnkSiteFiles::Path("MMLMigr_err"), dir_.Path() + "/MMLMigr_err");
  setenv("MML_TMPDIR", "", 1);
  EXPECT_EQ(KelLnkSiteFiles::Path("MMLMigr"), "/tmp/MMLMigr");
  unsetenv("MML_TMPDIR");
  EXPECT_EQ(KelLnkSiteFiles::Directory(), "/tmp");
  EXPECT_EQ(KelLnkSiteFiles::LockPath(), "/tmp/MML.lock");
}

TEST_F(SiteFilesTest, APlantedLinkIsReplacedNotFollowed) {
  std::string victim = dir_.File("victim");
  WriteFileText(victim, "precious\n");
  std::string name = dir_.File("MMLMigr");
  ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);

  KelLnkSiteFileWriter writer;
  ASSERT_TRUE(writer.Open(name));
  ASSERT_TRUE(writer.Write("1\nE1\n"));
  ASSERT_TRUE(writer.Close());

  EXPECT_EQ(ReadFileText(victim), "precious\n");
  EXPECT_FALSE(IsSymlink(name));
  EXPECT_EQ(ReadFileText(name), "1\nE1\n");
  EXPECT_EQ(Entries(dir_.Path()), std::vector<std::string>({"MMLMigr", "victim"}));

  // Copies are made the same way: a link planted at the copy's name is
  // replaced too, and the copy holds the same bytes.
  std::string copy = dir_.File("CopyofMigr");
  ASSERT_EQ(symlink(victim.c_str(), copy.c_str()), 0);
  std::string error;
  ASSERT_TRUE(KelLnkSiteFiles::Copy(name, copy, &error)) << error;
  EXPECT_EQ(ReadFileText(copy), "1\nE1\n");
  EXPECT_EQ(ReadFileText(victim), "precious\n");

  // Removing a planted link removes the link, never its target.
  ASSERT_EQ(symlink(victim.c_str(), dir_.File("MMLMigr_ModelNames").c_str()), 0);
  EXPECT_TRUE(KelLnkSiteFiles::Remove(dir_.File("MMLMigr_ModelNames")));
  EXPECT_TRUE(KelLnkSiteFiles::Remove(dir_.File("MMLMigr_ModelNames")));  // already gone: fine
  EXPECT_EQ(ReadFileText(victim), "precious\n");
}

TEST_F(SiteFilesTest, AnUnfinishedWriteLeavesThePreviousFileWhole) {
  std::string name = dir_.File("MMLMigr");
  WriteFileText(name, "old\n");
  {
    KelLnkSiteFileWriter writer;
    ASSERT_TRUE(writer.Open(name));
    ASSERT_TRUE(writer.Write("half"));
    // Destroyed without Close.
  }
  EXPECT_EQ(ReadFileText(name), "old\n");
  EXPECT_EQ(Entries(dir_.Path()), std::vector<std::string>({"MMLMigr"}));

  // A directory that does not exist cannot be written, and says so.
  KelLnkSiteFileWriter writer;
  EXPECT_FALSE(writer.Open(dir_.File("missing/MMLMigr")));
  EXPECT_NE(writer.LastErrno(), 0);
  EXPECT_FALSE(writer.Write("x"));
  EXPECT_FALSE(writer.Close());

  std::string error;
  EXPECT_FALSE(KelLnkSiteFiles::Copy(dir_.File("absent"), dir_.File("copy"), &error));
  EXPECT_NE(error.find("absent"), std::string::npos);
}

TEST_F(SiteFilesTest, ASecondHolderIsRefusedUntilTheFirstEnds) {
  std::string error;
  ASSERT_EQ(KelLnkSiteFiles::Lock(&error), 0) << error;
  // Nested use within one process counts holders.
  ASSERT_EQ(KelLnkSiteFiles::Lock(&error), 0);

  // Another process (any other open of the file) cannot take it.
  int other = open(KelLnkSiteFiles::LockPath().c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
  KelLnkSiteFiles::Unlock();
  EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);  // one holder left
  KelLnkSiteFiles::Unlock();
  EXPECT_FALSE(KelLnkSiteFiles::IsLocked());
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

  // Now we are the second: refused at once with a clear message.
  EXPECT_EQ(KelLnkSiteFiles::Lock(&error), 1);
  EXPECT_NE(error.find("Another synchronisation or migration is running"), std::string::npos) << error;
  EXPECT_FALSE(KelLnkSiteFiles::IsLocked());
  close(other);
  EXPECT_EQ(KelLnkSiteFiles::Lock(&error), 0);
  KelLnkSiteFiles::Unlock();
}

TEST_F(SiteFilesTest, TheLockIsNotFollowedThroughALinkNorKeptByScripts) {
  std::string victim = dir_.File("victim");
  ASSERT_EQ(symlink(victim.c_str(), KelLnkSiteFiles::LockPath().c_str()), 0);
  std::string error;
  EXPECT_EQ(KelLnkSiteFiles::Lock(&error), 1);
  EXPECT_FALSE(error.empty());
  struct stat st;
  EXPECT_NE(lstat(victim.c_str(), &st), 0);  // nothing created through the link
  unlink(KelLnkSiteFiles::LockPath().c_str());

  // A script started while the lock is held does not keep it after we let go.
  ASSERT_EQ(KelLnkSiteFiles::Lock(&error), 0) << error;
  int status = -1;
  ASSERT_EQ(xcoopr("END_OF_LOCK_TEST", nullptr, &status), 0);
  xcoexe("$LOCAL", "/bin/sh", {"/bin/sh", "-c", "sleep 1"}, -1, -1, "        ", "END_OF_LOCK_TEST", &status);
  ASSERT_EQ(status, 0);
  KelLnkSiteFiles::Unlock();
  int other = open(KelLnkSiteFiles::LockPath().c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  EXPECT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  close(other);
  ASSERT_EQ(xconext(), 0);
}

}  // namespace
