// The cache file filled by byte ranges, judged by what the disk driver
// wrote: a seek beyond the download is heard within a second, a large
// picture before the audio does not delay the first sound, and a server
// that ignores ranges still plays the whole track.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine_harness.h"
#include "platform/file.h"
#include "platform/sound.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

using testsupport::Fault;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr ptrdiff_t kSamplesPerSecond = 2 * kRate;

void ForgetHeard() {
  platform::ShutdownSound();
  platform::RemoveFile(std::getenv("SDL_DISKAUDIOFILE"));
}

// What the disk driver wrote so far; with `close`, everything it will write.
std::vector<int16_t> Heard(bool close) {
  if (close) platform::ShutdownSound();
  std::string bytes;
  platform::ReadWholeFile(std::getenv("SDL_DISKAUDIOFILE"), &bytes);
  return Samples(bytes);
}

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
  EXPECT_LE(oldEnd - static_cast<ptrdiff_t>(seekAt), kSamplesPerSecond * 150 / 1000);
  // Then, within a second, the track from 9 s on, in order, to its end (the
  // first frames after the new position may not decode alike).
  EXPECT_LE(firstNew - heard.begin() - static_cast<ptrdiff_t>(seekAt), kSamplesPerSecond);
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
  EXPECT_LT(withCover.seconds, plain.seconds + 0.5);
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

}  // namespace
}  // namespace enginetest
