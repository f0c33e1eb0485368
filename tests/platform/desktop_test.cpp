// The program folder and handing addresses to the desktop.
#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "platform/sync.h"
#include "support/temp_dir.h"

namespace {

using testsupport::TempDir;

TEST(ProgramFolderTest, IsTheFolderOfTheRunningExecutable) {
  std::string folder = platform::ProgramFolder();
  EXPECT_TRUE(folder.ends_with(platform::kPathSeparator));
#ifdef _WIN32
  EXPECT_TRUE(platform::PathExists(folder + "platform_tests.exe"));
#else
  EXPECT_TRUE(platform::PathExists(folder + "platform_tests"));
#endif
}

// The opener on Linux is xdg-open from PATH; on Windows it is the shell's
// own association, which a test cannot stand in for.
#ifndef _WIN32
// OpenInBrowser's result with PATH set to `path`, restored afterwards.
bool OpenInBrowserWithPath(const std::string& url, const std::string& path) {
  const std::string saved = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", path.c_str(), 1);
  const bool opened = platform::OpenInBrowser(url);
  setenv("PATH", saved.c_str(), 1);
  return opened;
}

TEST(OpenInBrowserTest, HandsTheAddressOverUntouchedByTheShellAndFailsWithoutAnOpener) {
  TempDir dir;
  std::string opener = dir.Write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"$(dirname \"$0\")/opened.tmp\"\n"
                                             "mv \"$(dirname \"$0\")/opened.tmp\" \"$(dirname \"$0\")/opened\"\n");
  ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
  const std::string url = "http://127.0.0.1:8391/?a=1&b=\"q\";touch injected $(touch injected2)";
  EXPECT_TRUE(OpenInBrowserWithPath(url, dir.Folder() + ":/usr/bin:/bin"));
  std::string opened;
  for (int waited = 0; waited < 10000 && !platform::ReadWholeFile(dir.Path("opened"), &opened); waited += 10) {
    platform::SleepMs(10);
  }
  EXPECT_EQ(opened, url);
  EXPECT_FALSE(platform::PathExists("injected"));
  EXPECT_FALSE(platform::PathExists("injected2"));

  TempDir withoutOpener;
  ASSERT_EQ(symlink("/bin/sh", withoutOpener.Path("sh").c_str()), 0);
  EXPECT_FALSE(OpenInBrowserWithPath("http://127.0.0.1/", withoutOpener.Folder()));
}
#endif

}  // namespace
