// The catalogue update against a vendor server on 127.0.0.1 that publishes,
// misbehaves or is gone.
#include "catalogue/catalogue_update.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "catalogue/catalogue_doc.h"
#include "catalogue_fixture.h"
#include "platform/file.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace {

using cataloguetest::OneTrackCatalogue;
using cataloguetest::ReadCatalogue;
using cataloguetest::Scrambled;
using cataloguetest::WriteCatalogue;

constexpr char kUpdatePath[] = "/update/datams.dll";

class CatalogueUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_.programFolder = folder_.Folder() + "/";
    source_.updateUrl = server_.Url(kUpdatePath);
    source_.cataloguePath = WriteCatalogue(folder_, "datams.dll", local_);
    source_.localVersion = 2;
  }

  void Publish(const std::string& plain) { server_.Serve(kUpdatePath, Scrambled(plain)); }

  bool CatalogueUntouched() { return ReadCatalogue(source_.cataloguePath) == local_; }

  testsupport::TempDir folder_;
  testsupport::TestHttpServer server_;
  std::string local_ = OneTrackCatalogue("2");
  CatalogueUpdateSource source_;
};

TEST_F(CatalogueUpdateTest, NewerCompleteCatalogueReplacesTheFileAsPublished) {
  std::string published = OneTrackCatalogue("3") + "<!-- " + std::string(5000, 'x') + " -->\n";  // several pieces
  Publish(published);
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kReplaced);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), published);
  EXPECT_EQ(ReadCatalogue(folder_.Path("cache/data_cache.dll")), published);  // left in place

  ASSERT_EQ(server_.RequestCount(), 1u);
  testsupport::RecordedRequest request = server_.Requests()[0];
  EXPECT_EQ(request.path, kUpdatePath);
  EXPECT_FALSE(request.Header("Cache-Control").empty() && request.Header("Pragma").empty());
}

TEST_F(CatalogueUpdateTest, EqualOrOlderVersionIsNotInstalled) {
  Publish(OneTrackCatalogue("2"));
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kNotNewer);
  Publish(OneTrackCatalogue("-7"));
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kNotNewer);
  EXPECT_TRUE(CatalogueUntouched());
}

TEST_F(CatalogueUpdateTest, LocalCatalogueWithoutVersionIsReplacedByVersionOne) {
  local_ = "<djs><l name=\"Mix\"/></djs><end/>";
  source_.cataloguePath = WriteCatalogue(folder_, "datams.dll", local_);
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(source_.cataloguePath, true));
  source_.localVersion = running.GetVersion();
  Publish(OneTrackCatalogue("1"));
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kReplaced);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), OneTrackCatalogue("1"));

  // The running document is the one loaded at start; the new one is read next time.
  std::string title, src, time;
  EXPECT_FALSE(running.GetTrackAt("Mix", 0, &title, &src, &time));
  EXPECT_EQ(running.GetVersion(), 0);
}

TEST_F(CatalogueUpdateTest, PublishedFileWithoutEndIsNeverInstalled) {
  Publish("<djs><l name=\"Mix\"/></djs><version>99</version>");
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kNotComplete);
  server_.Serve(kUpdatePath, OneTrackCatalogue("99"));  // not scrambled
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kNotComplete);
  EXPECT_TRUE(CatalogueUntouched());
}

TEST_F(CatalogueUpdateTest, CutDownloadOrErrorPageLeavesTheCatalogueAlone) {
  // Cut inside "<end/>": what arrived still reads as a catalogue with an end.
  std::string published = OneTrackCatalogue("9");
  Publish(published);
  for (testsupport::Fault fault : {testsupport::Fault::kShortBody, testsupport::Fault::kResetAfter}) {
    server_.Inject(kUpdatePath, fault, published.size() - 3, 1);
    EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kDownloadFailed);
    EXPECT_TRUE(CatalogueUntouched());
  }
  for (size_t status : {404, 500}) {
    server_.Inject(kUpdatePath, testsupport::Fault::kStatus, status, 1);
    EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kDownloadFailed);
    EXPECT_TRUE(CatalogueUntouched());
  }
  server_.Inject(kUpdatePath, testsupport::Fault::kNone);
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kReplaced);  // the same file, whole
}

TEST_F(CatalogueUpdateTest, ServerThatIsDownLeavesTheCatalogueAlone) {
  std::string url;
  {
    testsupport::TestHttpServer gone;
    url = gone.Url(kUpdatePath);
  }
  source_.updateUrl = url;
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kDownloadFailed);
  EXPECT_TRUE(CatalogueUntouched());
}

TEST_F(CatalogueUpdateTest, NoPlaceForTheDownloadLeavesTheCatalogueAlone) {
  folder_.Write("cache", "a file where the cache folder belongs");
  Publish(OneTrackCatalogue("3"));
  EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kNoDownloadTarget);
  EXPECT_TRUE(CatalogueUntouched());
  EXPECT_EQ(server_.RequestCount(), 0u);
}

TEST_F(CatalogueUpdateTest, ThreadProcedureWithoutWindowReturnsAtOnce) {
  EXPECT_EQ(CatalogueUpdateThread(nullptr), 0);
  Publish(OneTrackCatalogue("3"));
  EXPECT_EQ(CatalogueUpdateThread(&source_), 0);
  EXPECT_EQ(ReadCatalogue(source_.cataloguePath), OneTrackCatalogue("3"));
}

// Saves of durations and replacements by the update, at once: the file is
// always one whole catalogue, and the last replacement is never undone.
class CatalogueUpdateThreadsTest : public CatalogueUpdateTest {};

TEST_F(CatalogueUpdateThreadsTest, SavesRacingUpdatesLeaveOneWholeLoadableFile) {
  CCatalogueDoc running;
  ASSERT_TRUE(running.LoadFile(source_.cataloguePath, true));
  source_.localVersion = 0;
  Publish(OneTrackCatalogue("3"));
  constexpr int kRounds = 15;

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
    for (int round = 0; round < kRounds; ++round) EXPECT_EQ(UpdateCatalogue(source_), CatalogueUpdateResult::kReplaced);
  });
  for (int round = 0; round < kRounds * 4; ++round) {
    TrackTimeResult result = running.SetTrackTime("Mix", "Only", round);
    EXPECT_NE(result, TrackTimeResult::kNoSuchTrack);
  }
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
