// The main window's commands: the transport buttons, the sliders, the title
// and tray tip of the playing track.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "app_harness.h"
#include "platform/text.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace apptest {
namespace {

using testsupport::TestHttpServer;

// Three rows whose addresses nobody serves; the tests below never handle
// the engine's reports, so each request stays the current one.
class CommandsTest : public ::testing::Test {
 protected:
  CommandsTest() {
    folder_.WriteCatalogue(CatalogueXml({{TabNames()[0],
                                          "",
                                          "",
                                          {{"One", server_.Url("/1.mp3"), ""},
                                           {"Two", server_.Url("/2.mp3"), ""},
                                           {"Three", server_.Url("/3.mp3"), ""}}}}));
    box_ = std::make_unique<MusicBoxHarness>(folder_, server_.Url(""));
  }

  TestHttpServer server_;
  ProgramFolder folder_;
  std::unique_ptr<MusicBoxHarness> box_;
};

TEST_F(CommandsTest, PrevOnTheFirstRowWrapsToTheLastAndNextOnTheLastToTheFirst) {
  MusicBoxHarness& box = *box_;
  box.Activate(0);
  box.Click("prev");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/3.mp3"));
  EXPECT_EQ(box.List().GetCurSel(), 2);
  box.Click("next");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/1.mp3"));
  EXPECT_EQ(box.List().GetCurSel(), 0);
  box.Click("next");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/2.mp3"));
  EXPECT_TRUE(box.PlayShown());
}

TEST_F(CommandsTest, PrevAndNextLeaveTheTrackAndItsPauseButtonWhileItsRowIsNotListed) {
  MusicBoxHarness& box = *box_;
  box.Activate(1);
  ::SendMessage(box.Window(), kPlayerEventMessage, 0, engine::kEventPlaying);
  ASSERT_TRUE(box.PauseShown());
  box.ControlOf<COptionUI>("DjSorts2")->Selected(true);
  box.Click("next");
  box.Click("prev");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/2.mp3"));
  EXPECT_TRUE(box.PauseShown());
}

TEST_F(CommandsTest, PlayWithNothingSelectedChangesNothingAndWithASelectedRowStartsIt) {
  MusicBoxHarness& box = *box_;
  const bool playVisible = box.Control("play")->IsVisible();
  box.Click("play");
  EXPECT_EQ(box.TrackUrl(), "");
  EXPECT_EQ(box.Control("play")->IsVisible(), playVisible);

  dynamic_cast<IListItemUI*>(box.Row(2))->Select();
  box.Click("play");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/3.mp3"));
  EXPECT_EQ(box.Status(), "正在定位舞曲...");
  // Now a track is requested and neither paused nor waiting: play does nothing.
  dynamic_cast<IListItemUI*>(box.Row(0))->Select();
  box.Click("play");
  EXPECT_EQ(box.TrackUrl(), server_.Url("/3.mp3"));
}

TEST_F(CommandsTest, RowWithoutAddressLeavesTheTrackInHand) {
  MusicBoxHarness& box = *box_;
  box.Activate(0);
  box.Row(1)->SetUserData("");
  box.Activate(1);
  EXPECT_EQ(box.TrackUrl(), server_.Url("/1.mp3"));
  EXPECT_EQ(box.Control("title")->GetText(), "One");
}

TEST_F(CommandsTest, SeekToValueOfMaximumOnA300SecondTrack) {
  MusicBoxHarness& box = *box_;
  auto* slider = box.ControlOf<CSliderUI>("ProgressSlider");
  slider->SetMaxValue(1000);
  slider->SetValue(333);
  // Without a playback object a seek changes nothing.
  box.Manager().SendNotify(slider, "valuechanged");

  auto playback = std::make_shared<engine::CPlayback>();
  box.Playback().playback.store(playback);
  box.Playback().bytesPerSec.store(16000);
  box.Playback().framesBegin.store(417);
  box.EngineMessage(engine::kMessageDuration, 300);
  box.Manager().SendNotify(slider, "valuechanged");
  EXPECT_EQ(playback->seekOffset.load(), 300 * 333 / 1000 * 16000 + 417);
}

TEST_F(CommandsTest, LongTitleIsWholeInTheWindowAndCutAtACharacterBoundaryInTheTrayTip) {
  MusicBoxHarness& box = *box_;
  std::string title;
  for (int i = 0; i < 50; ++i) title += "舞";
  box.Row(0)->SetUserData(server_.Url("/long.mp3").c_str());
  box.Manager().FindSubControlByName(box.Row(0), "songname")->SetText(title.c_str());
  box.Activate(0);

  EXPECT_EQ(box.Control("title")->GetText(), title.c_str());
  const std::string full = "正在播放-" + title;
  const std::string tip = box.Box().TrayIcon().szTip;
  EXPECT_EQ(tip.size(), 127u);
  EXPECT_TRUE(platform::IsValidUtf8(tip));
  EXPECT_EQ(full.compare(0, tip.size(), tip), 0);
}

// A real track, played to the dummy sound driver.
TEST(PauseTest, PauseTwicePausesOnceAndPlayResumesWhereItStopped) {
  TestHttpServer server;
  testsupport::Mp3Options options;
  options.seconds = 8;
  server.Serve("/long.mp3", testsupport::EncodeMp3(options).bytes);
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"Long", server.Url("/long.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));
  engine::PlaybackState& state = box.Playback();

  box.Activate(0);
  ASSERT_TRUE(box.PumpUntil([&] { return box.PauseShown() && state.elapsedSeconds.load() >= 1; }));
  box.Click("pause");
  EXPECT_TRUE(state.paused.load());
  EXPECT_TRUE(box.PlayShown());
  box.Click("pause");
  EXPECT_TRUE(state.paused.load());
  EXPECT_TRUE(box.PlayShown());
  box.PumpFor(300);
  const int32_t pausedAt = state.elapsedSeconds.load();
  box.PumpFor(1500);
  EXPECT_EQ(state.elapsedSeconds.load(), pausedAt);

  box.Click("play");
  EXPECT_FALSE(state.paused.load());
  EXPECT_TRUE(box.PauseShown());
  ASSERT_TRUE(box.PumpUntil([&] { return state.elapsedSeconds.load() > pausedAt; }));
  EXPECT_EQ(state.elapsedSeconds.load(), pausedAt + 1);
}

}  // namespace
}  // namespace apptest
