// The engine end to end: requests through the real threads, HTTP over
// loopback, Brelix, and SDL's dummy driver.
#include <gtest/gtest.h>

#include "engine_harness.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

using testsupport::Fault;

std::string Track(double seconds, int bitrateKbps = 128) {
  return testsupport::EncodeMp3({.bitrateKbps = bitrateKbps, .seconds = seconds}).bytes;
}

// Downloads of `path` by the engine; Brelix's own requests are HTTP/1.0.
size_t DownloadsOf(const testsupport::TestHttpServer& server, const std::string& path) {
  size_t n = 0;
  for (const auto& request : server.Requests()) n += request.path == path && request.version == "HTTP/1.1";
  return n;
}

auto Has(EngineHarness& harness, uint32_t type) {
  return [&harness, type] { return harness.Count(type) > 0; };
}

// A tagged track whole, or cut by a reset and resumed: all of it arrives and
// plays to its end.
TEST(Playback, WholeOrCutTrackPlaysToItsEndAndTrackEndComesOnce) {
  testsupport::TestHttpServer server;
  server.Serve("/tagged.mp3", Id3v2Tag(4096) + Track(1.0) + Id3v1Tag());
  server.Serve("/reset.mp3", Track(3.0));
  server.Inject("/reset.mp3", Fault::kResetAfter, 20000, 1);
  for (const std::string path : {"/tagged.mp3", "/reset.mp3"}) {
    SCOPED_TRACE(path);
    EngineHarness harness;
    harness.Request(server.Url(path));
    ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageTrackEnd)));
    harness.RunFor(300);
    EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 1u);
    EXPECT_EQ(harness.Count(engine::kMessageFailed), 0u);
    EXPECT_EQ(harness.EventCount(engine::kMessagePlaying), 1u);
    EXPECT_EQ(harness.EventCount(engine::kMessageRanDry), 0u);
    const std::vector<Message> handled = harness.Handled();
    ASSERT_GE(handled.size(), 3u);
    EXPECT_EQ(handled[0].type, engine::kMessageDuration);
    EXPECT_EQ(handled[1].type, engine::kMessageContentLength);
    uint32_t lastDownloaded = 0;
    for (const Message& m : handled) lastDownloaded = m.type == engine::kMessageDownloaded ? m.value : lastDownloaded;
    EXPECT_EQ(lastDownloaded, handled[1].value);
    // The player and its device are released with the track; the object
    // itself stays reachable for the window's operations, which are harmless.
    harness.Engine().Pause();
    harness.Engine().Resume();
    harness.Engine().Seek(50, 100);
    harness.Engine().SetVolume(40);
    EXPECT_TRUE(harness.State().playback.load()->player.HasPlayedOut());
  }
}

TEST(Playback, StalledDownloadRunsDryShowsPercentagesAndResumesFiveSecondsAhead) {
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", Track(8.0));
  server.Inject("/track.mp3", Fault::kStall, 2 * 16000, 1);  // about two seconds, then nothing for a while
  EngineHarness harness;
  harness.Request(server.Url("/track.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.EventCount(engine::kMessageRanDry) > 0; }));
  harness.RunFor(300);
  EXPECT_EQ(harness.EventCount(engine::kMessageRanDry), 1u);
  EXPECT_TRUE(harness.State().buffering);
  server.ReleaseStalls();
  ASSERT_TRUE(harness.RunUntil([&] { return harness.resumes > 0; }));
  ASSERT_FALSE(harness.bufferingPercents.empty());
  EXPECT_TRUE(std::is_sorted(harness.bufferingPercents.begin(), harness.bufferingPercents.end()));
  EXPECT_GE(harness.bufferingPercents.front(), 0);
  EXPECT_LT(harness.bufferingPercents.back(), 100);
  EXPECT_EQ(harness.secondsAheadAtResume, 5);
  EXPECT_FALSE(harness.State().buffering);
  EXPECT_EQ(harness.EventCount(engine::kMessagePlaying), 2u);
  ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageTrackEnd)));
  EXPECT_EQ(harness.EventCount(engine::kMessageRanDry), 1u);
}

// Replaced while playing, and again while waiting for a seek beyond the
// download: neither replaced track gives a track end, and both are released.
TEST(Playback, NewRequestReplacesAPlayingTrackAndOneWaitingForASeek) {
  testsupport::TestHttpServer server;
  for (const auto& [path, bytesPerSecond] : {std::pair{"/playing.mp3", 20000}, std::pair{"/seeking.mp3", 8000}}) {
    server.Serve(path, Track(20.0));
    server.Inject(path, Fault::kTrickle, bytesPerSecond, 1);
  }
  server.Serve("/next.mp3", Track(0.5));
  EngineHarness harness;
  harness.Request(server.Url("/playing.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.EventCount(engine::kMessagePosition) > 4; }));
  std::weak_ptr<engine::CPlayback> playing = harness.State().playback.load();
  harness.Request(server.Url("/seeking.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.EventCount(engine::kMessagePlaying) > 1; }));
  std::weak_ptr<engine::CPlayback> seeking = harness.State().playback.load();
  harness.Engine().Seek(90, 100);
  harness.RunFor(1500);
  EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 0u);

  harness.Request(server.Url("/next.mp3"));
  ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageTrackEnd)));
  harness.RunFor(300);
  EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 1u);
  EXPECT_EQ(harness.Count(engine::kMessageFailed), 0u);
  EXPECT_TRUE(playing.expired());
  EXPECT_TRUE(seeking.expired());
}

// A request replaced before its download began ends without any message.
TEST(Playback, TwoQuickRequestsMakeOnePlaybackObject) {
  testsupport::TestHttpServer server;
  for (const char* path : {"/held.mp3", "/a.mp3", "/b.mp3"}) server.Serve(path, Track(0.5));
  server.Inject("/held.mp3", Fault::kStallHeaders, 0, 1);
  EngineHarness harness;
  harness.Request(server.Url("/held.mp3"));
  ASSERT_TRUE(server.WaitForRequestCount(1));
  // The download thread is busy: both requests wait for it, and merge.
  harness.Request(server.Url("/a.mp3"));
  harness.Request(server.Url("/b.mp3"));
  server.ReleaseStalls();
  ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageTrackEnd)));
  harness.RunFor(300);
  EXPECT_EQ(DownloadsOf(server, "/a.mp3"), 0u);
  EXPECT_EQ(DownloadsOf(server, "/b.mp3"), 1u);
  EXPECT_EQ(harness.Count(engine::kMessageDuration), 1u);
  EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 1u);
  EXPECT_EQ(harness.Count(engine::kMessageFailed), 0u);
}

TEST(Playback, RequestsThatCanNeverPlayAreReportedAndPlayNothing) {
  testsupport::TestHttpServer server;
  server.Serve("/no-length.mp3", Track(0.5));
  server.Inject("/no-length.mp3", Fault::kCloseDelimited, 0, 1);
  server.Serve("/fine.mp3", Track(0.5));
  struct Case {
    std::string name;
    std::string url;
    HarnessOptions options;
    bool durationKnown;
  };
  const std::vector<Case> cases = {
      {"404", server.Url("/missing.mp3"), {}, false},
      {"no Content-Length", server.Url("/no-length.mp3"), {}, true},
      {"Brelix missing", server.Url("/fine.mp3"), {.withBrelix = false}, false},
      {"cache folder blocked", server.Url("/fine.mp3"), {.cacheFolderBlocked = true}, true},
      {"not an address", "ftp://127.0.0.1/x.mp3", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineHarness harness(c.options);
    harness.Request(c.url);
    ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageFailed)));
    harness.RunFor(300);
    EXPECT_EQ(harness.Count(engine::kMessageFailed), 1u);
    EXPECT_EQ(harness.Count(engine::kMessageDuration), c.durationKnown ? 1u : 0u);
    EXPECT_EQ(harness.EventCount(engine::kMessagePlaying), 0u);
    EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 0u);
  }
}

TEST(Playback, ThousandRapidTrackSwitchesEndCleanly) {
  testsupport::TestHttpServer server;
  const std::string track = Track(0.2, 32);
  for (int i = 0; i < 4; ++i) server.Serve("/t" + std::to_string(i) + ".mp3", track);
  EngineHarness harness;
  std::vector<std::weak_ptr<engine::CPlayback>> seen;
  for (int i = 0; i < 1000; ++i) {
    harness.Request(server.Url("/t" + std::to_string(i % 4) + ".mp3"));
    harness.Engine().SetVolume(i % 101);
    if (i % 7 == 0) harness.Engine().Pause();
    if (i % 11 == 0) harness.Engine().Resume();
    if (i % 13 == 0) harness.Engine().Seek(i % 100, 100);
    if (std::shared_ptr<engine::CPlayback> playback = harness.State().playback.load()) seen.push_back(playback);
    harness.RunFor(i % 3 == 0 ? 2 : 0);
  }
  ASSERT_TRUE(harness.RunUntil(Has(harness, engine::kMessageTrackEnd), 60000));
  harness.StopEngine();
  size_t alive = 0;
  for (const auto& weak : seen) alive += !weak.expired();
  EXPECT_LE(alive, 1u);  // only the last one, still named by the playback state
}

}  // namespace
}  // namespace enginetest
