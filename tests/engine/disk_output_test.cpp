// What the output really plays, as heard (heard_output.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "engine/direct_sound_player.h"
#include "engine/playback.h"
#include "engine_harness.h"
#include "heard_output.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

// Whether every sample in [begin, end) is within `tolerance` of `value`.
bool AllNear(std::vector<int16_t>::const_iterator begin, std::vector<int16_t>::const_iterator end, int value,
             int tolerance = 0) {
  return std::all_of(begin, end, [&](int16_t s) { return std::abs(s - value) <= tolerance; });
}

// How far a tone heard at an attenuation may be from its exact level. SDL's
// mixer rounds; DirectSound under Wine takes 6 dB for a halving (-6 dB gives
// 5000 of 10000, not 5012): within 0.15 dB, which still tells every whole
// decibel apart.
#ifdef _WIN32
constexpr int kLevelTolerancePerMille = 17;
#else
constexpr int kLevelTolerancePerMille = 0;
#endif
int LevelTolerance(int level) { return 1 + level * kLevelTolerancePerMille / 1000; }

// Writes `frames` stereo sample frames of `value`, ends the track and waits
// until the player has played it out.
void PlayConstant(engine::CDirectSoundPlayer& player, int16_t value, size_t frames) {
  const std::vector<int16_t> samples(frames * 2, value);  // little-endian on the machines we build for
  const auto* pcm = reinterpret_cast<const uint8_t*>(samples.data());
  const uint32_t size = static_cast<uint32_t>(samples.size() * 2);
  for (uint32_t at = 0; at < size;) at += player.Write(pcm + at, size - at);
  player.RingBuffer().FlushPartial();
  player.RingBuffer().SetEnd();
  for (int i = 0; i < 2000 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(player.HasPlayedOut());
}

TEST(DiskOutput, EverySampleBeforeTheEndMarkIsHeardAtItsVolumeThenOnlySilence) {
  ForgetHeard();
  constexpr size_t kFrames = 30000;  // 0.68 s, not a whole number of segments
  constexpr ptrdiff_t kSamples = 2 * kFrames;
  {
    engine::CDirectSoundPlayer player;
    player.SetVolume(-600);  // no output yet: ignored, not remembered
    ASSERT_TRUE(player.Init(44100));
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 12345, kFrames);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the looping output comes round again
  }
  {
    engine::CDirectSoundPlayer player;
    ASSERT_TRUE(player.Init(44100));
    player.SetVolume(-600);  // -6 dB: about half the amplitude
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 10000, kFrames);
  }
  const std::vector<int16_t> played = Heard(true);
  const auto first = std::find(played.cbegin(), played.cend(), 12345);
  ASSERT_GE(played.cend() - first, 2 * kSamples);
  EXPECT_TRUE(AllNear(played.cbegin(), first, 0));
  EXPECT_TRUE(AllNear(first, first + kSamples, 12345));
  const auto second = std::find_if(first + kSamples, played.cend(), [](int16_t s) { return s != 0; });
  ASSERT_GE(played.cend() - second, kSamples);
  EXPECT_TRUE(AllNear(second, second + kSamples, 5012, LevelTolerance(5012)));
  EXPECT_TRUE(AllNear(second + kSamples, played.cend(), 0));
}

// The volume slider as a listener hears it: a full-scale-ish tone of 10000
// comes out at these amplitudes (the slider spans 30 dB, in dB steps).
TEST(DiskOutput, EachVolumeSliderValueIsHeardAtItsLevel) {
  const std::vector<std::pair<int, int>> heardAt = {{100, 10000}, {90, 7079}, {75, 4216}, {50, 1778},
                                                    {25, 749},    {10, 446},  {0, 316}};
  ForgetHeard();
  for (const auto& [slider, amplitude] : heardAt) {
    engine::CDirectSoundPlayer player;
    ASSERT_TRUE(player.Init(44100));
    player.SetVolume(engine::SliderToVolume(slider));
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 10000, 8000);
  }
  const std::vector<int16_t> played = Heard(true);
  auto at = played.cbegin();
  for (const auto& [slider, amplitude] : heardAt) {
    SCOPED_TRACE(slider);
    at = std::find_if(at, played.cend(), [](int16_t s) { return s != 0; });
    ASSERT_GE(played.cend() - at, 2 * 8000);
    EXPECT_TRUE(AllNear(at, at + 2 * 8000, amplitude, LevelTolerance(amplitude)));
    at += 2 * 8000;
  }
}

// PCM that arrives in bursts, so that the output keeps running low and dry
// and is resumed the moment it says so: every sample is still heard once and
// in order, with only silence between.
TEST(DiskOutput, BurstyDataIsHeardWholeThroughEveryRunDry) {
  class Resumer : public engine::PlayerEventSink {
   public:
    void OnPlayerEvent(int event, uint32_t) override {
      if (event == engine::kEventRanDry) ++dry;
    }
    std::atomic<int> dry{0};
  } resumer;
  std::vector<int16_t> fed;
  for (int frame = 0; frame < 66150; ++frame) fed.insert(fed.end(), 2, static_cast<int16_t>(frame % 20000 + 1));
  ForgetHeard();
  {
    engine::CDirectSoundPlayer player;
    player.SetEventSink(&resumer);
    ASSERT_TRUE(player.Init(44100));
    ASSERT_TRUE(player.Play());
    std::jthread host([&](std::stop_token stop) {
      for (int seen = 0; !stop.stop_requested(); std::this_thread::sleep_for(std::chrono::milliseconds(3))) {
        if (resumer.dry > seen) {
          seen = resumer.dry;
          player.Play();
        }
      }
    });
    const auto* pcm = reinterpret_cast<const uint8_t*>(fed.data());
    const auto size = static_cast<uint32_t>(fed.size() * 2);
    uint32_t seed = 12345;
    for (uint32_t at = 0; at < size;) {
      seed = seed * 1664525 + 1013904223;
      const uint32_t burst = std::min(size - at, (1000 + (seed >> 8) % 3000) * 4);
      for (const uint32_t end = at + burst; at < end;) at += player.Write(pcm + at, end - at);
      std::this_thread::sleep_for(std::chrono::milliseconds(20 + (seed >> 16) % 110));
    }
    player.RingBuffer().FlushPartial();
    player.RingBuffer().SetEnd();
    for (int i = 0; i < 2000 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(player.HasPlayedOut());
  }
  EXPECT_GT(resumer.dry, 0);
  EXPECT_EQ(HeardInOrder(Heard(true), fed), static_cast<ptrdiff_t>(fed.size()));
}

constexpr ptrdiff_t kFrameSamples = 1152 * 2;

// Where `expected` begins in `played`, found by a stretch of music a few
// frames in (the first frames are silence, alike in every frame).
ptrdiff_t Align(const std::vector<int16_t>& played, const std::vector<int16_t>& expected) {
  const auto probe = expected.begin() + 3 * kFrameSamples;
  const auto found = std::search(played.begin(), played.end(), probe, probe + 512);
  EXPECT_NE(found, played.end());
  return (found - played.begin()) - 3 * kFrameSamples;
}

TEST(DiskOutput, StreamedTrackMatchesAWholeDecodeToItsLastFrame) {
  const std::string plain = testsupport::EncodeMp3({.seconds = 1.5}).bytes;
  const std::string tagged = Id3v2Tag(4096) + plain + Id3v1Tag();
  testsupport::TestHttpServer server;
  server.Serve("/plain.mp3", plain);
  server.Serve("/tagged.mp3", tagged);
  const std::vector<int16_t> music = DecodeInPieces(plain, plain.size());
  for (const auto& [path, bytes] : {std::pair{"/plain.mp3", plain}, std::pair{"/tagged.mp3", tagged}}) {
    SCOPED_TRACE(path);
    ForgetHeard();
    {
      EngineHarness harness;
      harness.Request(server.Url(path));
      ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; }));
      EXPECT_EQ(harness.EventCount(engine::kMessageRanDry), 0u);
    }
    const std::vector<int16_t> played = Heard(true);
    // The whole file through the same decoder at once: what streaming it
    // through the cache file, the ring buffer and the output must give from
    // the first frame after the header frame on (the tags' bytes before it
    // decode to silent frames of their own) to the end, the last frame and
    // what libmad makes of a trailing ID3v1 tag included; then silence.
    const std::vector<int16_t> whole = DecodeInPieces(bytes, bytes.size());
    const auto expected = whole.cbegin() + Align(whole, music) + kFrameSamples;
    const auto heard = played.cbegin() + Align(played, music) + kFrameSamples;
#ifdef _WIN32
    // Wine's sound device may drop a few milliseconds (as HeardInOrder
    // forgives there): the rest in order to the last sample, then silence.
    EXPECT_EQ(HeardInOrder(std::vector<int16_t>(heard, played.cend()), std::vector<int16_t>(expected, whole.cend())),
              whole.cend() - expected);
#else
    ASSERT_GE(played.cend() - heard, whole.cend() - expected);
    EXPECT_TRUE(std::equal(expected, whole.cend(), heard));
    EXPECT_TRUE(AllNear(heard + (whole.cend() - expected), played.cend(), 0));
#endif
  }
}

}  // namespace
}  // namespace enginetest
