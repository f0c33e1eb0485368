// The playlist policy without a window, as a second front end drives it:
// a plain list of rows and an engine whose requests nobody answers.
#include <string>
#include <vector>

#include "app/player_controller.h"
#include "app_harness.h"
#include "catalogue/catalogue_doc.h"
#include "engine/engine.h"
#include "platform/sync.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace apptest {
namespace {

// Rows of addresses; an activation selects the row and starts it, as the window does.
class RowList : public PlaylistView {
 public:
  int RowCount() const override { return static_cast<int>(addresses.size()); }
  std::string RowAddress(int row) const override { return addresses.at(static_cast<size_t>(row)); }
  int SelectedRow() const override { return selected; }
  void ActivateRow(int row) override {
    selected = row;
    started.push_back(row);
    controller->StartRow(row, "title " + std::to_string(row));
  }

  std::vector<std::string> addresses;
  int selected = -1;
  std::vector<int> started;
  CPlayerController* controller = nullptr;
};

class Unheard : public engine::EngineHost {
 public:
  void PostEngineMessage(uint32_t, uint32_t) override {}
};

class PlayerControllerTest : public ::testing::Test {
 protected:
  PlayerControllerTest() {
    for (const char* name : {"/a.mp3", "/b.mp3", "/c.mp3"}) {
      server_.Inject(name, testsupport::Fault::kStallHeaders);
      rows_.addresses.push_back(server_.Url(name));
    }
    folder_.Write("datams.dll", Scramble(CatalogueXml({{TabNames()[0], {{"title 1", "x", ""}}}})));
    EXPECT_TRUE(catalogue_.LoadFile(folder_.Path("datams.dll"), true));
    rows_.controller = &controller_;
    engine::EngineSettings settings;
    settings.programFolder = folder_.Folder() + "/";
    settings.cacheFolder = folder_.Path("cache");
    engine_ = engine::Engine::Start(host_, settings);
    controller_.SetEngine(engine_.get());
  }
  ~PlayerControllerTest() override {
    engine_.reset();
    server_.ReleaseStalls();
  }
  std::string Playing() const { return engine_->TrackUrl(); }

  testsupport::TestHttpServer server_;
  testsupport::TempDir folder_;
  RowList rows_;
  CCatalogueDoc catalogue_;
  CPlayerController controller_{rows_, catalogue_};
  Unheard host_;
  std::unique_ptr<engine::Engine> engine_;
};

TEST_F(PlayerControllerTest, PlayStartsTheSelectedRowAndNextAndPreviousWrapAroundIt) {
  EXPECT_FALSE(controller_.Play()) << "nothing selected";
  controller_.Next();
  EXPECT_EQ(Playing(), "") << "nothing plays, so there is no next";
  rows_.selected = 2;
  EXPECT_TRUE(controller_.Play());
  EXPECT_EQ(Playing(), rows_.addresses[2]);
  EXPECT_FALSE(controller_.Play()) << "a track is in hand already";
  controller_.Next();
  EXPECT_EQ(Playing(), rows_.addresses[0]);
  controller_.Previous();
  EXPECT_EQ(Playing(), rows_.addresses[2]);
  // The download thread makes the track's playback object when it takes the request.
  for (int waited = 0; waited < 10000 && !engine_->HasTrack(); waited += 10) platform::SleepMs(10);
  EXPECT_TRUE(controller_.Pause());
  EXPECT_FALSE(controller_.Pause()) << "paused once";
  EXPECT_TRUE(controller_.Play()) << "resumed";
  controller_.PlayAll();
  EXPECT_EQ(rows_.started, (std::vector<int>{2, 0, 2, 0}));
}

TEST_F(PlayerControllerTest, EndsMoveOnFailuresStopOnceEveryRowFailedInARow) {
  rows_.ActivateRow(1);
  controller_.OnTrackEnded();
  EXPECT_EQ(Playing(), rows_.addresses[2]);
  controller_.OnTrackFailed();
  controller_.OnTrackFailed();
  EXPECT_FALSE(controller_.StoppedAfterFailures());
  controller_.OnTrackFailed();
  EXPECT_TRUE(controller_.StoppedAfterFailures());
  EXPECT_EQ(rows_.started, (std::vector<int>{1, 2, 0, 1})) << "the third failure in a row moves on no more";
  controller_.OnSounding();
  EXPECT_FALSE(controller_.StoppedAfterFailures());
}

TEST_F(PlayerControllerTest, ADurationIsWrittenUnderTheCategoryListedWhenItArrives) {
  rows_.ActivateRow(1);
  controller_.OnDuration(245, TabNames()[0]);
  controller_.OnDuration(100, TabNames()[1]);
  CCatalogueDoc stored;
  ASSERT_TRUE(stored.LoadFile(folder_.Path("datams.dll"), true));
  std::string title, src, time;
  ASSERT_TRUE(stored.GetTrackAt(TabNames()[0], 0, &title, &src, &time));
  EXPECT_EQ(time, "04:05");
}

}  // namespace
}  // namespace apptest
