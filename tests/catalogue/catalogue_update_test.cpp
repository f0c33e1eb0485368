// The catalogue update against a vendor server on 127.0.0.1 that publishes,
// misbehaves or is gone.
#include "catalogue/catalogue_update.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
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

// Saves of durations and replacements by the update, at once: the file is
// always one whole catalogue, and the last replacement is never undone.
class CatalogueUpdateThreadsTest : public CatalogueUpdateTest {};

TEST_F(CatalogueUpdateThreadsTest, SavesRacingUpdatesLeaveOneWholeLoadableFile) {
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(source_.cataloguePath, true));
  source_.localVersion = 0;
  Publish(OneTrackCatalogue("3"));
  std::atomic<bool> done{false};
  std::atomic<int> broken{0};
  std::thread reader([&] {
    while (!done) {
      CCatalogueDoc seen;
      std::string problem;
      if (!seen.LoadFile(source_.cataloguePath, true) || seen.ParseError(&problem) || !seen.HasEndMarker()) ++broken;
    }
  });
  std::thread updater([&] {
    for (int round = 0; round < 15; ++round) EXPECT_EQ(UpdateCatalogue(source_), kReplaced);
  });
  for (int round = 0; round < 60; ++round)
    EXPECT_NE(running.SetTrackTime("Mix", "Only", round), TrackTimeResult::kNoSuchTrack);
  updater.join();
  done = true;
  reader.join();
  EXPECT_EQ(broken.load(), 0);

  CCatalogueDoc final;
  ASSERT_TRUE(final.LoadFile(source_.cataloguePath, true));
  EXPECT_EQ(final.GetVersion(), 3);  // the update is never written over by an old document
  EXPECT_TRUE(final.HasEndMarker());
}

}  // namespace
}  // namespace cataloguetest
