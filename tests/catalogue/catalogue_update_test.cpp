// The catalogue update against a vendor server on 127.0.0.1 that publishes,
// misbehaves or is gone.
#include "catalogue/catalogue_update.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "catalogue_fixture.h"
#include "platform/file.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace cataloguetest {
namespace {

using enum CatalogueUpdateResult;
using testsupport::Fault;

constexpr char kUpdatePath[] = "/update/datams.dll";

class CatalogueUpdateTest : public ::testing::Test {
 protected:
  void Publish(const std::string& plain) { server_.Serve(kUpdatePath, Scrambled(plain)); }
  // Runs the update, expecting `result` and, unless that is kReplaced, the
  // catalogue file as it was.
  void ExpectUpdate(CatalogueUpdateResult result) {
    EXPECT_EQ(UpdateCatalogue(source_), result);
    EXPECT_TRUE(result == kReplaced || ReadCatalogue(source_.cataloguePath) == local_) << "the catalogue changed";
  }

  testsupport::TempDir folder_;
  testsupport::TestHttpServer server_;
  std::string local_ = OneTrackCatalogue("2");
  CatalogueUpdateSource source_{.cacheFolder = folder_.Folder() + "/cache/",
                                .updateUrl = server_.Url(kUpdatePath),
                                .localVersion = 2,
                                .cataloguePath = folder_.Write("datams.dll", Scrambled(local_))};
};

TEST_F(CatalogueUpdateTest, NewerCompleteCatalogueReplacesTheFileAsPublishedButNotTheRunningDocument) {
  local_ = "<djs><l name=\"Old\"/></djs><end/>";  // no version: 0
  source_.cataloguePath = folder_.Write("datams.dll", Scrambled(local_));
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(source_.cataloguePath, true));
  source_.localVersion = running.GetVersion();
  const std::string published = OneTrackCatalogue("1") + "<!-- " + std::string(5000, 'x') + " -->\n";  // many pieces
  Publish(published);
  EXPECT_EQ(CatalogueUpdateThread(nullptr), 0) << "no window: nothing to do";
  EXPECT_EQ(CatalogueUpdateThread(&source_), 0);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), published);
  EXPECT_EQ(ReadCatalogue(folder_.Path("cache/data_cache.dll")), published);  // left in place
  ASSERT_EQ(server_.RequestCount(), 1u);
  const testsupport::RecordedRequest request = server_.Requests()[0];
  EXPECT_EQ(request.path, kUpdatePath);
  EXPECT_FALSE(request.Header("Cache-Control").empty() && request.Header("Pragma").empty());
  // The running document is the one loaded at start; the new one is read next time.
  EXPECT_EQ(running.GetCategoryNames(), std::vector<std::string>{"Old"});
  EXPECT_EQ(running.GetVersion(), 0);
}

TEST_F(CatalogueUpdateTest, OnlyANewerCompleteDownloadIsInstalled) {
  folder_.Write("cache", "a file where the cache folder belongs");
  Publish(OneTrackCatalogue("3"));
  ExpectUpdate(kNoDownloadTarget);
  EXPECT_EQ(server_.RequestCount(), 0u);
  ASSERT_TRUE(platform::RemoveFile(folder_.Path("cache")));
  const std::string newer = Scrambled(OneTrackCatalogue("9"));
  const std::tuple<std::string, Fault, size_t, CatalogueUpdateResult> answers[] = {
      // Published bytes, how the server misbehaves, and the update's result.
      {Scrambled(OneTrackCatalogue("2")), Fault::kNone, 0, kNotNewer},
      {Scrambled(OneTrackCatalogue("-7")), Fault::kNone, 0, kNotNewer},
      {Scrambled("<djs><l name=\"Mix\"/></djs><version>99</version>"), Fault::kNone, 0, kNotComplete},
      {OneTrackCatalogue("99"), Fault::kNone, 0, kNotComplete},  // not scrambled
      {Scrambled(OneTrackCatalogue("99999999999999999999")), Fault::kNone, 0, kNotComplete},  // never clamped
      // Cut inside "<end/>": what arrived still reads as a catalogue with an end.
      {newer, Fault::kShortBody, newer.size() - 3, kDownloadFailed},
      {newer, Fault::kResetAfter, newer.size() - 3, kDownloadFailed},
      {newer, Fault::kStatus, 404, kDownloadFailed},
      {newer, Fault::kStatus, 500, kDownloadFailed},
  };
  for (const auto& [bytes, fault, amount, result] : answers) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(fault) << " " << amount);
    server_.Serve(kUpdatePath, bytes);
    server_.Inject(kUpdatePath, fault, amount, 1);
    ExpectUpdate(result);
  }
  auto gone = std::make_unique<testsupport::TestHttpServer>();
  source_.updateUrl = gone->Url(kUpdatePath);
  gone.reset();
  ExpectUpdate(kDownloadFailed);
  source_.updateUrl = server_.Url(kUpdatePath);
  ExpectUpdate(kReplaced);  // the same file, whole
}

// Another program installs a newer edition while this one installs its own:
// an older edition never takes the place of a newer one, whether the other
// installed before the lock was taken or (not taking the lock) in between.
TEST_F(CatalogueUpdateTest, InstallationNeverPutsAnOlderEditionOverANewerOne) {
  const std::string seventh = OneTrackCatalogue("7");
  ASSERT_TRUE(platform::ReplaceFileContents(source_.cataloguePath, Scrambled(seventh)));
  EXPECT_EQ(InstallCatalogue(Scrambled(OneTrackCatalogue("5")), 2, source_.cataloguePath), kNotNewer);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), seventh);

  const std::string ninth = OneTrackCatalogue("9");
  platform::SetBeforeStampCheckForTesting([&](const std::string& target) {
    ASSERT_TRUE(platform::ReplaceFileContents(target, Scrambled(ninth)));
  });
  EXPECT_EQ(InstallCatalogue(Scrambled(OneTrackCatalogue("8")), 2, source_.cataloguePath), kNotNewer);
  platform::SetBeforeStampCheckForTesting(nullptr);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), ninth);
  EXPECT_EQ(InstallCatalogue(Scrambled(OneTrackCatalogue("10")), 2, source_.cataloguePath), kReplaced);
}

// Saves of durations and replacements by the update, at once in one
// process: the file is always one whole catalogue, and no replacement is
// ever undone.
class CatalogueUpdateThreadsTest : public CatalogueUpdateTest {};

TEST_F(CatalogueUpdateThreadsTest, SavesRacingUpdatesLeaveOneWholeLoadableFile) {
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(source_.cataloguePath, true));
  std::atomic<bool> done{false};
  std::atomic<int> broken{0};
  std::thread reader([&] {
    while (!done) {
      CCatalogueDoc seen;
      std::string problem;
      if (!seen.LoadFile(source_.cataloguePath, true) || seen.ParseError(&problem) || !seen.HasEndMarker()) ++broken;
#ifdef _WIN32
      // Windows replaces no file while it is open: a reader that never lets
      // go would shut every writer out.
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
#endif
    }
  });
  std::thread updater([&] {
    for (int version = 3; version < 18; ++version) {
      Publish(OneTrackCatalogue(std::to_string(version)));
      EXPECT_EQ(UpdateCatalogue(source_), kReplaced);
    }
  });
  for (int round = 0; round < 60; ++round)
    EXPECT_NE(running.SetTrackTime("Mix", "Only", round), TrackTimeResult::kNoSuchTrack);
  updater.join();
  done = true;
  reader.join();
  EXPECT_EQ(broken.load(), 0);

  CCatalogueDoc final;
  ASSERT_TRUE(final.LoadFile(source_.cataloguePath, true));
  EXPECT_EQ(final.GetVersion(), 17);  // the update is never written over by an old document
  EXPECT_TRUE(final.HasEndMarker());
}

#ifndef _WIN32  // the other processes are forked children
// Two processes hammer one catalogue file: a player saving durations (one
// document loaded at start, as the running player holds it) and an update
// installing a newer edition each round. A third, this one, reads the file
// all the while. Every edition carries its number in its addresses, so a
// file put together from two editions shows.
class CatalogueProcessesTest : public ::testing::Test {
 protected:
  static constexpr int kTracks = 8;
  static constexpr int kRounds = 300;

  static std::string Title(int track) { return "T" + std::to_string(track); }

  static std::string Edition(int version) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<djs><l name=\"Mix\">";
    for (int track = 0; track < kTracks; ++track) {
      text += "<s src=\"http://h/" + std::to_string(version) + "/" + Title(track) + ".mp3\">" + Title(track) + "</s>";
    }
    return text + "</l></djs>\n<version>" + std::to_string(version) + "</version>\n<end/>\n";
  }

  // The edition a file reads as, or -1 when it is not one whole edition.
  static int EditionOf(CCatalogueDoc& document) {
    std::string problem, title, src, time;
    if (document.ParseError(&problem) || !document.HasEndMarker()) return -1;
    const int version = document.GetVersion();
    for (int track = 0; track < kTracks; ++track) {
      if (!document.GetTrackAt("Mix", track, &title, &src, &time) || title != Title(track) ||
          src != "http://h/" + std::to_string(version) + "/" + Title(track) + ".mp3") {
        return -1;
      }
    }
    return document.GetTrackAt("Mix", kTracks, &title, &src, &time) ? -1 : version;
  }

  ~CatalogueProcessesTest() override {
    for (pid_t child : children_) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
  }

  // Runs `work` in a child process whose exit status is what `work` returns.
  // A child still running when the test ends is killed.
  pid_t Spawn(const std::function<int()>& work) {
    const pid_t child = fork();
    if (child == 0) _exit(work());
    if (child > 0) children_.push_back(child);
    return child;
  }

  // The exit status of `child` once it has ended (256 for a signal); -1 while it runs.
  int Ended(pid_t child) {
    int raw = 0;
    if (waitpid(child, &raw, WNOHANG) != child) return -1;
    std::erase(children_, child);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 256;
  }

  std::vector<pid_t> children_;
  testsupport::TempDir folder_;
  const std::string path_ = folder_.Write("datams.dll", Scrambled(Edition(1)));
};

// A save and an installation wait a few seconds for another program that
// holds the lock, then leave the file as it was; once it lets go they work.
TEST_F(CatalogueProcessesTest, CatalogueLockedByAnotherProgramIsLeftAsItWas) {
  const std::string held = folder_.Path("held");
  const pid_t holder = Spawn([&] {
    auto lock = platform::FileLock::Acquire(path_ + ".lock", std::chrono::seconds(1));
    if (!lock || !platform::ReplaceFileContents(held, "")) return 1;
    pause();
    return 0;
  });
  ASSERT_GT(holder, 0);
  while (!platform::PathExists(held)) usleep(1000);
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(path_, true));
  const auto started = std::chrono::steady_clock::now();
  std::thread save([&] { EXPECT_EQ(running.SetTrackTime("Mix", "T1", 61), TrackTimeResult::kLocked); });
  EXPECT_EQ(InstallCatalogue(Scrambled(Edition(2)), 1, path_), kLocked);
  save.join();
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(ReadCatalogue(path_), Edition(1));

  kill(holder, SIGKILL);  // the lock goes with the process
  while (Ended(holder) < 0) usleep(1000);
  EXPECT_EQ(InstallCatalogue(Scrambled(Edition(2)), 1, path_), kReplaced);
  EXPECT_EQ(running.SetTrackTime("Mix", "T1", 61), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(Edition(2), "T1.mp3\"", "T1.mp3\" time=\"01:01\""));
}

TEST_F(CatalogueProcessesTest, EveryNewerEditionSurvivesAndEverySavedTimeIsInItOrRefused) {
  const std::string installed = folder_.Path("installed");
  const pid_t installer = Spawn([&] {
    int refused = 0;
    for (int version = 2; version <= kRounds + 1 && refused == 0; ++version) {
      if (InstallCatalogue(Scrambled(Edition(version)), version - 1, path_) != kReplaced) refused = version % 250 + 1;
      usleep(500);
    }
    return platform::ReplaceFileContents(installed, "") ? refused : 255;
  });
  // Each round saves a new time; the last round, once every edition is in,
  // saves one for every track. Its exit status counts the saves refused.
  const pid_t saver = Spawn([&] {
    CCatalogueDoc running;
    if (!running.LoadFile(path_, true)) return 255;
    int refused = 0;
    for (int round = 0; round < kRounds; ++round) {
      const TrackTimeResult result = running.SetTrackTime("Mix", Title(round % kTracks), 60 + round);
      if (result != TrackTimeResult::kSaved && result != TrackTimeResult::kLocked) return 254;
      refused += result == TrackTimeResult::kLocked;
      usleep(500);
    }
    while (!platform::PathExists(installed)) usleep(1000);
    for (int track = 0; track < kTracks; ++track) {
      if (running.SetTrackTime("Mix", Title(track), track) != TrackTimeResult::kSaved) return 253;
    }
    return std::min(refused, 200);
  });
  ASSERT_GT(installer, 0);
  ASSERT_GT(saver, 0);

  int newest = 1, reads = 0, installerStatus = -1, saverStatus = -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  while ((installerStatus < 0 || saverStatus < 0) && std::chrono::steady_clock::now() < deadline) {
    CCatalogueDoc seen;
    ASSERT_TRUE(seen.LoadFile(path_, true));
    const int edition = EditionOf(seen);
    ASSERT_GE(edition, newest) << "after " << reads << " reads";
    newest = edition;
    ++reads;
    if (installerStatus < 0) installerStatus = Ended(installer);
    if (saverStatus < 0) saverStatus = Ended(saver);
  }
  ASSERT_EQ(installerStatus, 0) << "1 + the edition refused, modulo 250";
  ASSERT_LT(saverStatus, 200) << "253: a final save refused, 254: a save failed, 255: the catalogue did not load";
  EXPECT_LT(saverStatus, kRounds / 10) << "saves refused for the lock";

  CCatalogueDoc final;
  ASSERT_TRUE(final.LoadFile(path_, true));
  EXPECT_EQ(EditionOf(final), kRounds + 1);
  std::string title, src, time;
  for (int track = 0; track < kTracks; ++track) {
    ASSERT_TRUE(final.GetTrackAt("Mix", track, &title, &src, &time));
    EXPECT_EQ(time, "00:0" + std::to_string(track)) << title;
  }
}

#endif  // the processes are forked
}  // namespace
}  // namespace cataloguetest
