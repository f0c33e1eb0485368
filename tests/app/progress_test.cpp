// The engine's reports in the main window: times, markers, buffering, the
// duration written back, and the move to the next row.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "app_harness.h"
#include "catalogue/catalogue_doc.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace apptest {
namespace {

using testsupport::TestHttpServer;

constexpr char kFailedText[] = "定位文件失败,即将播放下一首舞曲";

std::string StoredTime(const std::string& path, const std::string& category, int index) {
  CCatalogueDoc doc;
  std::string title, src, time;
  EXPECT_TRUE(doc.LoadFile(path, true));
  EXPECT_TRUE(doc.GetTrackAt(category, index, &title, &src, &time));
  return time;
}

// The paths of the track requests the server saw, in order.
std::vector<std::string> TrackRequests(const TestHttpServer& server) {
  std::vector<std::string> paths;
  for (const auto& request : server.Requests()) {
    if (request.path != "/update/datams.dll" && (paths.empty() || paths.back() != request.path)) {
      paths.push_back(request.path);
    }
  }
  return paths;
}

TEST(ProgressTest, DurationShowsTheTotalAndIsWrittenToTheCategoryListedWhenItArrives) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"Same", server.Url("/x.mp3"), ""}}},
                                      {TabNames()[1], "", "", {{"Other", server.Url("/y.mp3"), ""},
                                                               {"same", server.Url("/z.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));

  box.Activate(0);
  box.EngineMessage(engine::kMessageDuration, 245);
  EXPECT_EQ(box.Status(), "00:00 / 04:05");
  EXPECT_EQ(StoredTime(folder.CataloguePath(), TabNames()[0], 0), "04:05");
  box.EngineMessage(engine::kMessagePosition, 75);
  EXPECT_EQ(box.Status(), "01:15 / 04:05");

  box.ControlOf<COptionUI>("DjSorts2")->Selected(true);
  box.EngineMessage(engine::kMessageDuration, 61);
  EXPECT_EQ(StoredTime(folder.CataloguePath(), TabNames()[0], 0), "04:05");
  EXPECT_EQ(StoredTime(folder.CataloguePath(), TabNames()[1], 1), "01:01");
}

TEST(ProgressTest, BufferingShowsThePercentageOfFiveSecondsAndResumesAtFive) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"A", server.Url("/a.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));
  engine::PlaybackState& state = box.Playback();
  state.playback.store(std::make_shared<engine::CPlayback>());
  state.framesBegin.store(0);
  state.bytesPerSec.store(50);
  state.elapsedSeconds.store(10);
  state.buffering.store(true);

  box.EngineMessage(engine::kMessageDownloaded, 600);
  EXPECT_EQ(box.Status(), "缓冲40%");
  EXPECT_TRUE(state.buffering.load());
  box.EngineMessage(engine::kMessageDownloaded, 450);  // behind the position
  EXPECT_EQ(box.Status(), "缓冲0%");
  box.EngineMessage(engine::kMessageDownloaded, 750);
  EXPECT_FALSE(state.buffering.load());
  EXPECT_TRUE(box.PauseShown());
}

TEST(ProgressTest, DownloadedMarkerSpansTheAudioBytesAndThePositionMarkerWaitsForASeek) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"A", server.Url("/a.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));
  engine::PlaybackState& state = box.Playback();
  auto* slider = box.ControlOf<CSliderUI>("ProgressSlider");
  slider->SetMaxValue(100);
  auto playback = std::make_shared<engine::CPlayback>();
  state.playback.store(playback);
  state.framesBegin.store(100);
  state.framesEnd.store(1100);
  state.contentLength.store(1200);
  state.stopDownload.store(false);
  state.stopDecode.store(false);

  box.EngineMessage(engine::kMessageDownloaded, 600);
  EXPECT_EQ(slider->GetMidValue(), 50);

  box.EngineMessage(engine::kMessageDuration, 200);
  box.EngineMessage(engine::kMessagePosition, 50);
  EXPECT_EQ(slider->GetValue(), 25);
  playback->seekOffset.store(4000);
  box.EngineMessage(engine::kMessagePosition, 100);
  EXPECT_EQ(slider->GetValue(), 25);
  EXPECT_EQ(box.Status(), "01:40 / 03:20");
}

// The next row is activated first, so its locating text comes before the
// end's text, and the failure text gives way to the next row's locating text.
TEST(ProgressTest, EndAndFailureStartTheNextRowAndLeaveTheirTexts) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"A", server.Url("/a.mp3"), ""},
                                                               {"B", server.Url("/b.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));

  box.Activate(1);
  box.EngineMessage(engine::kMessageTrackEnd, 0);
  EXPECT_EQ(box.TrackUrl(), server.Url("/a.mp3"));
  EXPECT_EQ(box.Status(), "即将播放下一首舞曲");
  EXPECT_TRUE(box.PlayShown());
  box.EngineMessage(engine::kMessageFailed, 0);
  EXPECT_EQ(box.TrackUrl(), server.Url("/b.mp3"));
  EXPECT_EQ(box.Status(), "正在定位舞曲...");
}

TEST(ProgressTest, TheLastRowEndingStartsTheFirst) {
  TestHttpServer server;
  testsupport::Mp3Options options;
  options.seconds = 1.5;
  const std::string track = testsupport::EncodeMp3(options).bytes;
  server.Serve("/first.mp3", track);
  server.Serve("/last.mp3", track);
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"First", server.Url("/first.mp3"), ""},
                                                               {"Last", server.Url("/last.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));

  box.Activate(1);
  bool sounded = false;
  ASSERT_TRUE(box.PumpUntil([&] {
    sounded = sounded || box.PauseShown();
    return box.TrackUrl() == server.Url("/first.mp3");
  }));
  EXPECT_TRUE(sounded);
  EXPECT_EQ(box.List().GetCurSel(), 0);
  EXPECT_EQ(box.Control("title")->GetText(), "First");
  // The duration learned while it played is in the catalogue file now.
  const int32_t seconds = box.Playback().totalSeconds.load();
  char expectedTime[16];
  std::snprintf(expectedTime, sizeof(expectedTime), "%02d:%02d", seconds / 60, seconds % 60);
  EXPECT_EQ(StoredTime(folder.CataloguePath(), TabNames()[0], 1), expectedTime);
}

TEST(ProgressTest, FailedRowIsPassedOverToTheNextRowWhichPlays) {
  TestHttpServer server;
  testsupport::Mp3Options options;
  options.seconds = 1.5;
  server.Serve("/good.mp3", testsupport::EncodeMp3(options).bytes);
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"Gone", server.Url("/gone.mp3"), ""},
                                                               {"Good", server.Url("/good.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));

  box.Activate(0);
  ASSERT_TRUE(box.PumpUntil([&] { return box.PauseShown(); }));
  EXPECT_EQ(box.TrackUrl(), server.Url("/good.mp3"));
  // After a track sounded, the failing row is tried again and passed over again.
  ASSERT_TRUE(box.PumpUntil([&] { return TrackRequests(server).size() >= 4; }));
  const std::vector<std::string> expected = {"/gone.mp3", "/good.mp3", "/gone.mp3", "/good.mp3"};
  std::vector<std::string> seen = TrackRequests(server);
  seen.resize(4);
  EXPECT_EQ(seen, expected);
}

TEST(ProgressTest, UnreachableRowsAreWalkedOnceThenThePlayerWaitsForTheUser) {
  TestHttpServer server;
  ProgramFolder folder;
  folder.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"A", server.Url("/a.mp3"), ""},
                                                               {"B", server.Url("/b.mp3"), ""},
                                                               {"C", server.Url("/c.mp3"), ""}}}}));
  MusicBoxHarness box(folder, server.Url(""));

  box.Activate(1);
  ASSERT_TRUE(box.PumpUntil([&] { return TrackRequests(server).size() >= 3 && box.Status() == kFailedText; }));
  box.PumpFor(1500);
  EXPECT_EQ(TrackRequests(server), (std::vector<std::string>{"/b.mp3", "/c.mp3", "/a.mp3"}));
  EXPECT_EQ(box.Status(), kFailedText);
  EXPECT_TRUE(box.PlayShown());
  EXPECT_EQ(box.TrackUrl(), server.Url("/a.mp3"));

  // The user's choice starts a new walk.
  box.Activate(2);
  ASSERT_TRUE(box.PumpUntil([&] { return TrackRequests(server).size() >= 6 && box.Status() == kFailedText; }));
  box.PumpFor(1000);
  EXPECT_EQ(TrackRequests(server),
            (std::vector<std::string>{"/b.mp3", "/c.mp3", "/a.mp3", "/c.mp3", "/a.mp3", "/b.mp3"}));
}

}  // namespace
}  // namespace apptest
