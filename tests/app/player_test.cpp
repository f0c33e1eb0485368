// The main window's commands and the engine's reports: the transport
// buttons, seek, the title and tray tip, times, markers, buffering, the
// duration written back, and the move to the next row.
#include <memory>

#include "app_harness.h"
#include "catalogue/catalogue_doc.h"
#include "platform/text.h"
#include "support/mp3_fixture.h"

namespace apptest {
namespace {

using PlayerTest = MainWindowTest;

constexpr char kFailedText[] = "定位文件失败,即将播放下一首舞曲";

// The paths of the tracks `server` was asked for, in order, a repeated request counted once.
std::vector<std::string> TrackRequests(const testsupport::TestHttpServer& server) {
  std::vector<std::string> paths;
  for (const auto& request : server.Requests()) {
    if (request.path != "/update/datams.dll" && (paths.empty() || paths.back() != request.path)) {
      paths.push_back(request.path);
    }
  }
  return paths;
}

// The tests that only send the engine's reports themselves leave each
// request for an address nobody serves the current one.
TEST_F(PlayerTest, PrevOnTheFirstRowWrapsToTheLastAndNextOnTheLastToTheFirst) {
  OpenRows({"a", "b", "c"});
  Activate(0);
  Click("prev");
  EXPECT_EQ(TrackUrl(), server_.Url("/c.mp3"));
  EXPECT_EQ(List().GetCurSel(), 2);
  Click("next");
  EXPECT_EQ(TrackUrl(), server_.Url("/a.mp3"));
  EXPECT_EQ(List().GetCurSel(), 0);
}

TEST_F(PlayerTest, PlayWithNothingSelectedChangesNothingAndWithASelectedRowStartsIt) {
  OpenRows({"a", "b", "c"});
  Click("play");
  EXPECT_EQ(TrackUrl(), "");
  EXPECT_TRUE(PlayShown());
  dynamic_cast<IListItemUI*>(List().GetItemAt(2))->Select();
  Click("play");
  EXPECT_EQ(TrackUrl(), server_.Url("/c.mp3"));
  EXPECT_EQ(Status(), "正在定位舞曲...");
}

TEST_F(PlayerTest, SeekToValueOfMaximumOnA300SecondTrack) {
  OpenRows({"a"});
  auto* slider = ControlOf<CSliderUI>("ProgressSlider");
  slider->SetMaxValue(1000);
  slider->SetValue(333);
  auto playback = std::make_shared<engine::CPlayback>();
  Playback().playback.store(playback);
  Playback().bytesPerSec.store(16000);
  Playback().framesBegin.store(417);
  EngineMessage(engine::kMessageDuration, 300);
  box_->PaintManager().SendNotify(slider, "valuechanged");
  // 333 of 1000 is 99 whole seconds in: 99 seconds of 16000 bytes past the tag.
  EXPECT_EQ(playback->seekOffset.load(), 1584417);
}

TEST_F(PlayerTest, LongTitleIsWholeInTheWindowAndCutAtACharacterBoundaryInTheTrayTip) {
  std::string title;
  for (int i = 0; i < 50; ++i) title += "舞";
  OpenRows({title});
  Activate(0);
  EXPECT_EQ(Control("title")->GetText(), title.c_str());
  const std::string tip = box_->TrayIcon().szTip;
  EXPECT_EQ(tip.size(), 127u);
  EXPECT_TRUE(platform::IsValidUtf8(tip));
  EXPECT_EQ(("正在播放-" + title).compare(0, tip.size(), tip), 0);
}

TEST_F(PlayerTest, PauseTwicePausesOnceAndPlayResumesWhereItStopped) {
  server_.Serve("/long.mp3", testsupport::EncodeMp3({.seconds = 8}).bytes);
  OpenRows({"long"});
  engine::PlaybackState& state = Playback();
  Activate(0);
  ASSERT_TRUE(PumpUntil([&] { return PauseShown() && state.elapsedSeconds.load() >= 1; }));
  for (int press = 0; press < 2; ++press) {
    Click("pause");
    EXPECT_TRUE(state.paused.load());
    EXPECT_TRUE(PlayShown());
  }
  PumpFor(300);
  const int32_t pausedAt = state.elapsedSeconds.load();
  PumpFor(1500);
  EXPECT_EQ(state.elapsedSeconds.load(), pausedAt);

  Click("play");
  EXPECT_FALSE(state.paused.load());
  EXPECT_TRUE(PauseShown());
  ASSERT_TRUE(PumpUntil([&] { return state.elapsedSeconds.load() > pausedAt; }));
  EXPECT_EQ(state.elapsedSeconds.load(), pausedAt + 1);
}

TEST_F(PlayerTest, DurationShowsTheTotalAndIsWrittenToTheCatalogueFile) {
  OpenRows({"a"});
  Activate(0);
  EngineMessage(engine::kMessageDuration, 245);
  EXPECT_EQ(Status(), "00:00 / 04:05");
  CCatalogueDoc stored;
  std::string title, src, time;
  ASSERT_TRUE(stored.LoadFile(folder_.Path("datams.dll"), true));
  ASSERT_TRUE(stored.GetTrackAt(TabNames()[0], 0, &title, &src, &time));
  EXPECT_EQ(time, "04:05");
  EngineMessage(engine::kMessagePosition, 75);
  EXPECT_EQ(Status(), "01:15 / 04:05");
}

TEST_F(PlayerTest, BufferingShowsThePercentageOfFiveSecondsAndResumesAtFive) {
  OpenRows({"a"});
  engine::PlaybackState& state = Playback();
  state.playback.store(std::make_shared<engine::CPlayback>());
  state.framesBegin.store(0);
  state.bytesPerSec.store(50);
  state.elapsedSeconds.store(10);
  state.buffering.store(true);

  EngineMessage(engine::kMessageDownloaded, 600);
  EXPECT_EQ(Status(), "缓冲40%");
  EXPECT_TRUE(state.buffering.load());
  EngineMessage(engine::kMessageDownloaded, 450);  // behind the position
  EXPECT_EQ(Status(), "缓冲0%");
  EngineMessage(engine::kMessageDownloaded, 750);
  EXPECT_FALSE(state.buffering.load());
  EXPECT_TRUE(PauseShown());
}

// Bytes 100 to 1100 of 1200 are audio: 600 downloaded is half of it.
TEST_F(PlayerTest, DownloadedMarkerSpansTheAudioBytesOnly) {
  OpenRows({"a"});
  engine::PlaybackState& state = Playback();
  auto* slider = ControlOf<CSliderUI>("ProgressSlider");
  slider->SetMaxValue(100);
  state.framesBegin.store(100);
  state.framesEnd.store(1100);
  state.contentLength.store(1200);
  state.stopDownload.store(false);
  EngineMessage(engine::kMessageDownloaded, 600);
  EXPECT_EQ(slider->GetMidValue(), 50);
}

TEST_F(PlayerTest, TheLastRowEndingStartsTheFirst) {
  const std::string track = testsupport::EncodeMp3({.seconds = 1.5}).bytes;
  server_.Serve("/first.mp3", track);
  server_.Serve("/last.mp3", track);
  OpenRows({"first", "last"});
  Activate(1);
  bool sounded = false;
  ASSERT_TRUE(PumpUntil([&] {
    sounded = sounded || PauseShown();
    return TrackUrl() == server_.Url("/first.mp3");
  }));
  EXPECT_TRUE(sounded);
  EXPECT_EQ(List().GetCurSel(), 0);
  EXPECT_EQ(Control("title")->GetText(), "first");
}

// After a track sounded, the failing row is tried again and passed over again.
TEST_F(PlayerTest, FailedRowIsPassedOverToTheNextRowWhichPlays) {
  server_.Serve("/good.mp3", testsupport::EncodeMp3({.seconds = 1.5}).bytes);
  OpenRows({"gone", "good"});
  Activate(0);
  ASSERT_TRUE(PumpUntil([&] { return PauseShown(); }));
  EXPECT_EQ(TrackUrl(), server_.Url("/good.mp3"));
  ASSERT_TRUE(PumpUntil([&] { return TrackRequests(server_).size() >= 4; }));
  std::vector<std::string> seen = TrackRequests(server_);
  seen.resize(4);
  EXPECT_EQ(seen, (std::vector<std::string>{"/gone.mp3", "/good.mp3", "/gone.mp3", "/good.mp3"}));
}

TEST_F(PlayerTest, UnreachableRowsAreWalkedOnceThenThePlayerWaitsForTheUser) {
  OpenRows({"a", "b", "c"});
  Activate(1);
  ASSERT_TRUE(PumpUntil([&] { return TrackRequests(server_).size() >= 3 && Status() == kFailedText; }));
  PumpFor(1500);
  EXPECT_EQ(TrackRequests(server_), (std::vector<std::string>{"/b.mp3", "/c.mp3", "/a.mp3"}));
  EXPECT_EQ(Status(), kFailedText);
  EXPECT_TRUE(PlayShown());

  // The user's choice starts a new walk.
  Activate(2);
  ASSERT_TRUE(PumpUntil([&] { return TrackRequests(server_).size() >= 6 && Status() == kFailedText; }));
  PumpFor(1000);
  EXPECT_EQ(TrackRequests(server_),
            (std::vector<std::string>{"/b.mp3", "/c.mp3", "/a.mp3", "/c.mp3", "/a.mp3", "/b.mp3"}));
}

}  // namespace
}  // namespace apptest
