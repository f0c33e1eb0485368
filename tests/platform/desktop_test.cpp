// Reports, the program folder and handing addresses to the desktop.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/report.h"
#include "platform/shell.h"
#include "platform/sync.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

// Runs with PATH set to `path`, restoring it afterwards.
class ScopedPath {
 public:
  explicit ScopedPath(const std::string& path) : saved_(getenv("PATH") ? getenv("PATH") : "") {
    setenv("PATH", path.c_str(), 1);
  }
  ~ScopedPath() { setenv("PATH", saved_.c_str(), 1); }

 private:
  std::string saved_;
};

TEST(ReportTest, WritesOneTipLineToStandardError) {
  testing::internal::CaptureStderr();
  platform::Report("InitStream___HttpQueryInfo Error");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "TIP: InitStream___HttpQueryInfo Error\n");
}

TEST(ProgramFolderTest, IsTheFolderOfTheRunningExecutable) {
  std::string folder = platform::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(platform::PathExists(folder + "platform_tests"));
}

TEST(OpenInBrowserTest, HandsTheAddressOverUntouchedByTheShell) {
  TempDir dir;
  std::string opener = dir.Write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                                             "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
  ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
  const std::string url = "http://127.0.0.1:8391/?a=1&b=\"q\";touch injected $(touch injected2)";
  {
    ScopedPath path(dir.Folder() + ":/usr/bin:/bin");
    EXPECT_TRUE(platform::OpenInBrowser(url));
  }
  std::string opened;
  for (int waited = 0; waited < 10000 && !platform::ReadWholeFile(dir.Path("opened"), &opened); waited += 10) {
    platform::SleepMs(10);
  }
  EXPECT_EQ(opened, url);
  EXPECT_FALSE(platform::PathExists("injected"));
  EXPECT_FALSE(platform::PathExists("injected2"));
}

TEST(OpenInBrowserTest, MissingOpenerIsAFailure) {
  TempDir dir;
  ASSERT_EQ(symlink("/bin/sh", dir.Path("sh").c_str()), 0);
  ScopedPath path(dir.Folder());
  EXPECT_FALSE(platform::OpenInBrowser("http://127.0.0.1/"));
}

}  // namespace
