// The cache file filled by byte ranges, judged by what is heard
// (heard_output.h): a seek beyond the download is heard within a second, a
// large picture before the audio does not delay the first sound, a server
// that ignores ranges still plays the whole track, and the next track,
// fetched while the one before ends, follows it without a gap.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine_harness.h"
#include "heard_output.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

using testsupport::Fault;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr ptrdiff_t kSamplesPerSecond = 2 * kRate;
// ThreadSanitizer slows every thread several times over: the time bounds
// stretch with it (the order of what is heard does not).
#if defined(__SANITIZE_THREAD__)
constexpr int kTimeScale = 4;
#else
constexpr int kTimeScale = 1;
#endif

bool SoundHeard() {
  const std::vector<int16_t> heard = Heard(false);
  return std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; });
}

// Where in `track` the stretch of `heard` from `at` on is found; -1 when it
// is not, or is too quiet to tell.
ptrdiff_t FindIn(const std::vector<int16_t>& track, const std::vector<int16_t>& heard, ptrdiff_t at) {
  const auto probe = heard.begin() + at;
  if (heard.end() - probe < 2048 || std::none_of(probe, probe + 2048, [](int16_t s) { return std::abs(s) > 100; })) {
    return -1;
  }
  const auto found = std::search(track.begin(), track.end(), probe, probe + 2048);
  return found == track.end() ? -1 : found - track.begin();
}

TEST(RangeCache, SeekBeyondTheDownloadIsHeardWithinASecondAndTheRestFollowsInOrder) {
  const std::string track = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 12}).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", track);
  server.Inject("/track.mp3", Fault::kTrickle, 8000);  // half the track's byte rate, every request
  ForgetHeard();
  size_t seekAt = 0;
  {
    EngineHarness harness;
    harness.Request(server.Url("/track.mp3"));
    ASSERT_TRUE(harness.RunUntil([&] { return harness.Engine().ElapsedSeconds() >= 2; }));
    seekAt = Heard(false).size();
    harness.Engine().Seek(9, 12);
    ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; }, 60000));
  }
  const std::vector<int16_t> heard = Heard(true);
  const std::vector<int16_t> whole = DecodeInPieces(track, track.size());
  // Up to the seek, the track from its start; the first sound that is not
  // its next one is the new position.
  size_t next = 0;
  auto firstNew = heard.begin();
  for (; firstNew != heard.end(); ++firstNew) {
    if (next < whole.size() && *firstNew == whole[next]) {
      ++next;
    } else if (*firstNew != 0) {
      break;
    }
  }
  ASSERT_NE(firstNew, heard.end());
  // The old position goes on for at most 150 ms after the seek.
  const auto lastOld = std::find_if(std::make_reverse_iterator(firstNew), heard.rend(), [](int16_t s) { return s != 0; });
  const ptrdiff_t oldEnd = heard.rend() - lastOld;
  EXPECT_LE(oldEnd - static_cast<ptrdiff_t>(seekAt), kSamplesPerSecond * 150 * kTimeScale / 1000);
  // Then, within a second, the track from 9 s on, in order, to its end (the
  // first frames after the new position may not decode alike).
  EXPECT_LE(firstNew - heard.begin() - static_cast<ptrdiff_t>(seekAt), kSamplesPerSecond * kTimeScale);
  ptrdiff_t settled = firstNew - heard.begin();
  ptrdiff_t resumedAt = FindIn(whole, heard, settled);
  for (int frame = 0; frame < 20 && resumedAt < 0; ++frame) {
    settled += 1152 * 2;
    resumedAt = FindIn(whole, heard, settled);
  }
  ASSERT_GE(resumedAt, 0);
  EXPECT_NEAR(static_cast<double>(resumedAt) / kSamplesPerSecond, 9.1, 0.2);
  const std::vector<int16_t> rest(whole.begin() + resumedAt, whole.end());
  EXPECT_EQ(HeardInOrder({heard.begin() + settled, heard.end()}, rest), static_cast<ptrdiff_t>(rest.size()));
}

// The time from the request to the first sound, and everything heard.
struct FirstSound {
  double seconds;
  std::vector<int16_t> heard;
};

FirstSound PlayWhole(const std::string& url) {
  ForgetHeard();
  FirstSound result{};
  EngineHarness harness;
  const auto start = Clock::now();
  harness.Request(url);
  EXPECT_TRUE(harness.RunUntil(SoundHeard));
  result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; }, 60000));
  result.heard = Heard(true);
  return result;
}

TEST(RangeCache, ALargePictureBeforeTheAudioDoesNotDelayTheFirstSound) {
  const std::string audio = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 3}).bytes;
  const std::string covered = Id3v2Tag(210 * 1024) + audio;
  testsupport::TestHttpServer server;
  server.Serve("/plain.mp3", audio);
  server.Serve("/covered.mp3", covered);
  for (const char* path : {"/plain.mp3", "/covered.mp3"}) server.Inject(path, Fault::kTrickle, 64 * 1024);
  const FirstSound plain = PlayWhole(server.Url("/plain.mp3"));
  const FirstSound withCover = PlayWhole(server.Url("/covered.mp3"));
  // At 64 KB/s the picture alone would take over three seconds.
  EXPECT_LT(withCover.seconds, plain.seconds + 0.5 * kTimeScale);
  const std::vector<int16_t> whole = DecodeInPieces(audio, audio.size());
  EXPECT_EQ(HeardInOrder(withCover.heard, whole), static_cast<ptrdiff_t>(whole.size()));
}

TEST(RangeCache, AServerThatIgnoresRangesStillPlaysTheWholeTrack) {
  const std::string audio = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 2}).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/covered.mp3", Id3v2Tag(100 * 1024) + audio);
  server.Inject("/covered.mp3", Fault::kIgnoreRange);
  const FirstSound played = PlayWhole(server.Url("/covered.mp3"));
  const std::vector<int16_t> whole = DecodeInPieces(audio, audio.size());
  EXPECT_EQ(HeardInOrder(played.heard, whole), static_cast<ptrdiff_t>(whole.size()));
}

// Plays `first`, then, the moment it ends, asks for `second`, as the window's
// auto-advance does; the next track was named in advance. What was heard.
std::vector<int16_t> BackToBack(testsupport::TestHttpServer& server, const std::string& first, const std::string& second,
                                EngineHarness& harness) {
  ForgetHeard();
  harness.Engine().SetNextTrack(server.Url(second));
  harness.Request(server.Url(first));
  EXPECT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; }));
  harness.Engine().SetNextTrack("");
  harness.Request(server.Url(second));
  EXPECT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 1; }));
  return Heard(true);
}

TEST(NextTrack, FollowsTheOneBeforeWithAtMostFiftyMillisecondsOfSilence) {
  const std::string a = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 2}).bytes;
  const std::string b = testsupport::EncodeMp3({.bitrateKbps = 160, .seconds = 1.5}).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/a.mp3", a);
  server.Serve("/b.mp3", b);
  // At 64 KB/s, Brelix's look at the second track alone would take a quarter
  // of a second if it began only when the first has ended.
  server.Inject("/b.mp3", Fault::kTrickle, 64 * 1024);
  EngineHarness harness;
  const std::vector<int16_t> heard = BackToBack(server, "/a.mp3", "/b.mp3", harness);
  // The first track whole, then silence, then the second from its first sample.
  const std::vector<int16_t> wholeA = DecodeInPieces(a, a.size());
  const std::vector<int16_t> wholeB = DecodeInPieces(b, b.size());
  size_t next = 0;
  auto endOfA = heard.begin();
  while (endOfA != heard.end() && next < wholeA.size()) {
    if (*endOfA == wholeA[next]) {
      ++next;
    } else {
      ASSERT_EQ(*endOfA, 0) << "a sound that is not the first track's";
    }
    ++endOfA;
  }
  ASSERT_EQ(next, wholeA.size());
  const auto startOfB = std::search(endOfA, heard.end(), wholeB.begin(), wholeB.begin() + 4096);
  ASSERT_NE(startOfB, heard.end());
  EXPECT_TRUE(std::all_of(endOfA, startOfB, [](int16_t s) { return s == 0; }));
  EXPECT_LE(startOfB - endOfA, kSamplesPerSecond * 50 * kTimeScale / 1000) << (startOfB - endOfA) * 1000 / kSamplesPerSecond
                                                              << " ms of silence";
  EXPECT_EQ(HeardInOrder({startOfB, heard.end()}, wholeB), static_cast<ptrdiff_t>(wholeB.size()));
}

TEST(NextTrack, ARowThatCannotBeFetchedIsFoundOutBeforeTheTrackBeforeEnds) {
  testsupport::TestHttpServer server;
  server.Serve("/a.mp3", testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 2}).bytes);
  EngineHarness harness;
  harness.Engine().SetNextTrack(server.Url("/missing.mp3"));
  harness.Request(server.Url("/a.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; }));
  const auto ended = Clock::now();
  bool askedBefore = false;
  for (const auto& request : server.Requests()) askedBefore |= request.path == "/missing.mp3" && request.arrival < ended;
  EXPECT_TRUE(askedBefore);
  harness.Request(server.Url("/missing.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageFailed) > 0; }));
  EXPECT_LT(std::chrono::duration<double>(Clock::now() - ended).count(), 0.1 * kTimeScale);
  EXPECT_NE(harness.Engine().FailureReason().find("404"), std::string::npos);
}


}  // namespace
}  // namespace enginetest
