// The program folder, the user's folders, one running copy per user, and
// handing addresses to the desktop.
#include <stdlib.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/file.h"
#include "platform/instance.h"
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
#endif

#ifndef _WIN32  // XDG folders
TEST(UserFoldersTest, FollowTheXdgVariablesOrTheHomeFolderAndCreateWholePaths) {
  TempDir dir;
  const char* names[] = {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"};
  std::vector<std::pair<std::string, const char*>> saved;
  for (const char* name : names) {
    saved.emplace_back(getenv(name) ? getenv(name) : "", name);
    unsetenv(name);
  }
  setenv("HOME", dir.Folder().c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir.Folder() + "/config").c_str(), 1);
  setenv("XDG_CACHE_HOME", "not/absolute", 1);
  EXPECT_EQ(platform::UserFolderPath(platform::UserFolder::kData), dir.Path(".local/share/"));
  EXPECT_EQ(platform::UserFolderPath(platform::UserFolder::kCache), dir.Path(".cache/"));
  EXPECT_EQ(platform::UserFolderPath(platform::UserFolder::kConfig), dir.Path("config/"));
  EXPECT_EQ(platform::UserFolderPath(platform::UserFolder::kRuntime), "") << "no default";
  std::string error;
  EXPECT_TRUE(platform::CreateFolders(dir.Path("a/b/c/"), &error)) << error;
  EXPECT_TRUE(platform::DirectoryExists(dir.Path("a/b/c")));
  EXPECT_TRUE(platform::CreateFolders(dir.Path("a/b"), &error)) << "an existing folder is fine";
  for (const auto& [value, name] : saved) value.empty() ? unsetenv(name) : setenv(name, value.c_str(), 1);
}
#endif

// Claims "player" in `folder`, counting the requests to show itself in `shown`.
std::unique_ptr<platform::SingleInstance> ClaimPlayer(const TempDir& folder, std::atomic<int>* shown,
                                                      platform::SingleInstance::Outcome* outcome) {
  std::string error;
  return platform::SingleInstance::Claim(folder.Folder() + "/", "player", [shown] { ++*shown; }, outcome, &error);
}

TEST(SingleInstanceThreadsTest, ALaterClaimAsksTheHolderToShowItselfAndTheClaimEndsWithItsHolder) {
  using Outcome = platform::SingleInstance::Outcome;
  TempDir folder;
  std::atomic<int> shown{0};
  Outcome outcome;
#ifndef _WIN32
  // What a holder that died left behind: its lock file and its socket file.
  folder.Write("player.lock", "");
  folder.Write("player.socket", "");
#endif
  auto first = ClaimPlayer(folder, &shown, &outcome);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(outcome, Outcome::kFirst);
  for (int later = 1; later <= 2; ++later) {
    EXPECT_EQ(ClaimPlayer(folder, &shown, &outcome), nullptr);
    EXPECT_EQ(outcome, Outcome::kOtherAnswered);
    EXPECT_EQ(shown.load(), later);
  }
  TempDir otherCopy;
  std::atomic<int> otherShown{0};
  EXPECT_NE(ClaimPlayer(otherCopy, &otherShown, &outcome), nullptr) << "a copy with a folder of its own runs too";
  EXPECT_EQ(outcome, Outcome::kFirst);
  first.reset();
  EXPECT_NE(ClaimPlayer(folder, &shown, &outcome), nullptr);
  EXPECT_EQ(outcome, Outcome::kFirst);
  EXPECT_EQ(shown.load(), 2);
#ifndef _WIN32
  std::string error;
  EXPECT_EQ(platform::SingleInstance::Claim(folder.Path("missing/"), "player", [] {}, &outcome, &error), nullptr);
  EXPECT_EQ(outcome, Outcome::kUnavailable);
  EXPECT_EQ(error, folder.Path("missing/player.lock") + ": No such file or directory");
#endif
}

#ifndef _WIN32
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
