// What the output really plays, read back from SDL's disk driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <thread>

#include "engine/direct_sound_player.h"
#include "engine_harness.h"
#include "platform/file.h"
#include "platform/sound.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

// Starts the disk output afresh: the driver truncates its file on opening.
void RestartOutput() { platform::ShutdownSound(); }

// Everything played since RestartOutput, as 16-bit samples.
std::vector<int16_t> PlayedSamples() {
  platform::ShutdownSound();  // writes out what the driver still buffers
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(std::getenv("SDL_DISKAUDIOFILE"), &bytes));
  return Samples(bytes);
}

size_t CountNear(const std::vector<int16_t>& samples, int value, int tolerance) {
  return static_cast<size_t>(
      std::count_if(samples.begin(), samples.end(), [&](int16_t s) { return std::abs(s - value) <= tolerance; }));
}

// Writes `frames` stereo sample frames of `value`, ends the track and waits
// until the player has played it out.
void PlayConstant(engine::CDirectSoundPlayer& player, int16_t value, size_t frames) {
  std::vector<uint8_t> pcm(frames * 4);
  for (size_t i = 0; i < pcm.size(); i += 2) {
    pcm[i] = static_cast<uint8_t>(value & 0xFF);
    pcm[i + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
  }
  uint32_t at = 0;
  while (at < pcm.size()) at += player.Write(pcm.data() + at, static_cast<uint32_t>(pcm.size() - at));
  player.RingBuffer().FlushPartial();
  player.RingBuffer().SetEnd();
  for (int i = 0; i < 2000 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(player.HasPlayedOut());
}

TEST(DiskOutput, EverySampleBeforeTheEndMarkIsHeardThenOnlySilence) {
  RestartOutput();
  constexpr size_t kFrames = 30000;  // 0.68 s, not a whole number of segments
  {
    engine::CDirectSoundPlayer player;
    ASSERT_TRUE(player.Init(44100));
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 12345, kFrames);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  const std::vector<int16_t> played = PlayedSamples();
  const auto first = std::find(played.begin(), played.end(), 12345);
  ASSERT_NE(first, played.end());
  EXPECT_TRUE(std::all_of(played.begin(), first, [](int16_t s) { return s == 0; }));
  EXPECT_TRUE(std::all_of(first, first + 2 * kFrames, [](int16_t s) { return s == 12345; }));
  EXPECT_TRUE(std::all_of(first + 2 * kFrames, played.end(), [](int16_t s) { return s == 0; }));
}

TEST(DiskOutput, VolumeBeforeInitIsIgnoredAndAfterItAttenuates) {
  RestartOutput();
  constexpr size_t kFrames = 20000;
  {
    engine::CDirectSoundPlayer player;
    player.SetVolume(-600);  // no output yet: ignored, not remembered
    ASSERT_TRUE(player.Init(44100));
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 10000, kFrames);
  }
  {
    engine::CDirectSoundPlayer player;
    ASSERT_TRUE(player.Init(44100));
    player.SetVolume(-600);  // -6 dB: about half the amplitude
    ASSERT_TRUE(player.Play());
    PlayConstant(player, 10000, kFrames);
  }
  const std::vector<int16_t> played = PlayedSamples();
  EXPECT_EQ(CountNear(played, 10000, 0), 2 * kFrames);
  EXPECT_EQ(CountNear(played, 5012, 1), 2 * kFrames);
  EXPECT_EQ(CountNear(played, 0, 0), played.size() - 4 * kFrames);
}

constexpr size_t kFrameSamples = 1152 * 2;

// Where `expected` begins in `played`, found by a stretch of music a few
// frames in (the first frames are silence, alike in every frame).
size_t Align(const std::vector<int16_t>& played, const std::vector<int16_t>& expected) {
  const size_t probe = 3 * kFrameSamples;
  const auto found = std::search(played.begin(), played.end(), expected.begin() + probe,
                                 expected.begin() + probe + 512);
  EXPECT_NE(found, played.end());
  return static_cast<size_t>(found - played.begin()) - probe;
}

TEST(DiskOutput, StreamedTrackMatchesAReferenceDecodeToItsLastFrame) {
  testsupport::Mp3Options options;
  options.seconds = 1.5;
  const std::string plain = testsupport::EncodeMp3(options).bytes;
  const std::string tagged = Id3v2Tag(4096) + plain + Id3v1Tag();
  testsupport::TestHttpServer server;
  server.Serve("/plain.mp3", plain);
  server.Serve("/tagged.mp3", tagged);
  const std::vector<int16_t> music = DecodeInPieces(plain, plain.size());
  for (const auto& [path, bytes] : {std::pair{"/plain.mp3", plain}, std::pair{"/tagged.mp3", tagged}}) {
    RestartOutput();
    {
      EngineHarness harness;
      harness.Request(server.Url(path));
      ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageTrackEnd) > 0; })) << path;
      EXPECT_EQ(harness.EventCount(engine::kEventRanDry), 0u) << path;
    }
    const std::vector<int16_t> played = PlayedSamples();
    // The whole file through the same decoder at once: what streaming it
    // through the cache file, the ring buffer and the output must give from
    // the first frame after the header frame on (the tags' bytes before it
    // decode to silent frames of their own) to the end, the last frame and
    // what libmad makes of a trailing ID3v1 tag included; then silence.
    const std::vector<int16_t> whole = DecodeInPieces(bytes, bytes.size());
    const size_t wholeAt = Align(whole, music);
    const size_t at = Align(played, music);
    const size_t compared = whole.size() - wholeAt - kFrameSamples;
    ASSERT_LE(at + kFrameSamples + compared, played.size()) << path;
    const auto playedFrom = played.begin() + static_cast<ptrdiff_t>(at + kFrameSamples);
    EXPECT_TRUE(std::equal(playedFrom, playedFrom + static_cast<ptrdiff_t>(compared),
                           whole.begin() + static_cast<ptrdiff_t>(wholeAt + kFrameSamples)))
        << path;
    EXPECT_TRUE(std::all_of(playedFrom + static_cast<ptrdiff_t>(compared), played.end(), [](int16_t s) { return s == 0; }))
        << path;
    if (bytes == plain) {
      // libmad's own synthesis, rounded without dither: within one step.
      const std::vector<int16_t> reference = ReferenceDecode(plain);
      ASSERT_EQ(reference.size(), music.size());
      for (size_t i = 0; i < reference.size(); ++i) {
        ASSERT_LE(std::abs(reference[i] - played[at + i]), 1) << "sample " << i;
      }
    }
  }
}

}  // namespace
}  // namespace enginetest
