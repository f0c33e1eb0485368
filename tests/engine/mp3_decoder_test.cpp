#include "engine/mp3_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "reference_decode.h"
#include "support/mp3_fixture.h"

namespace enginetest {
namespace {

using engine::CMp3Decoder;

constexpr size_t kFrameSamples = 1152 * 2;

TEST(Mp3Decoder, PiecesOfEverySizeDecodeLikeOneWholeFeed) {
  const std::string mp3 = testsupport::EncodeMp3({.seconds = 0.3}).bytes;
  const std::vector<int16_t> whole = DecodeInPieces(mp3, mp3.size());
  ASSERT_FALSE(whole.empty());
  for (size_t piece : {1, 2, 3, 4, 5, 7, 13, 64, 100, 255, 417, 418, 419, 1000, 1023, 1024}) {
    EXPECT_EQ(DecodeInPieces(mp3, piece), whole) << "pieces of " << piece << " bytes";
  }
}

TEST(Mp3Decoder, MatchesLibmadSynthesisWithinOneStepIncludingTheLastFrameWithMonoOnBothChannels) {
  for (int channels : {1, 2}) {
    SCOPED_TRACE(std::to_string(channels) + " channel(s)");
    const testsupport::Mp3Fixture fixture = testsupport::EncodeMp3({.channels = channels, .seconds = 0.5});
    const std::vector<int16_t> reference = ReferenceDecode(fixture.bytes);
    const std::vector<int16_t> decoded = DecodeInPieces(fixture.bytes, 1024);
    // Every frame, the header frame and the last one included.
    const size_t frames = fixture.audioFrames + (fixture.tagFrameSize ? 1 : 0);
    ASSERT_EQ(reference.size(), frames * kFrameSamples);
    ASSERT_EQ(decoded.size(), reference.size());
    size_t beyondOneStep = 0;
    size_t channelsApart = 0;
    for (size_t i = 0; i < decoded.size(); ++i) beyondOneStep += std::abs(decoded[i] - reference[i]) > 1;
    for (size_t i = 0; i < decoded.size(); i += 2) channelsApart += decoded[i] != decoded[i + 1];
    EXPECT_EQ(beyondOneStep, 0u);
    // Mono is dithered once and duplicated, not dithered per channel.
    EXPECT_TRUE(channels == 2 || channelsApart == 0) << channelsApart << " sample frames differ";
  }
}

TEST(Mp3Decoder, DitherSequenceRestartsWithEveryFrame) {
  const std::vector<int16_t> silence = DecodeInPieces(SilentFrames(4), 1024);
  ASSERT_EQ(silence.size(), 4 * kFrameSamples);
  // Silence comes out as the dither alone: rounding offset plus the
  // difference of two successive 13-bit values, from the fixed seed.
  uint32_t state = CMp3Decoder::kDitherSeed;
  for (size_t i = 0; i < kFrameSamples; ++i) {
    const uint32_t next = CMp3Decoder::Prng(state);
    const int32_t expected = (static_cast<int32_t>(next & 0x1FFF) - static_cast<int32_t>(state & 0x1FFF) + 4096) >> 13;
    state = next;
    ASSERT_EQ(silence[i], expected) << "sample " << i;
  }
  // Every frame the same as the one before it.
  EXPECT_TRUE(std::equal(silence.begin() + kFrameSamples, silence.end(), silence.begin()));
}

TEST(Mp3Decoder, DitherClipsAtFullScale) {
  for (uint32_t seed : {0u, 1u, 0x1FFFu, CMp3Decoder::kDitherSeed, 0xFFFFFFFFu, 123456789u}) {
    uint32_t state = seed;
    EXPECT_EQ(CMp3Decoder::Dither(MAD_F_ONE, &state), 32767);
    EXPECT_EQ(CMp3Decoder::Dither(MAD_F_ONE * 4, &state), 32767);
    EXPECT_EQ(CMp3Decoder::Dither(INT32_MAX, &state), 32767);
    EXPECT_EQ(CMp3Decoder::Dither(-MAD_F_ONE - 4096, &state), -32768);
    EXPECT_EQ(CMp3Decoder::Dither(INT32_MIN, &state), -32768);
    const int16_t atMinusOne = CMp3Decoder::Dither(-MAD_F_ONE, &state);
    EXPECT_TRUE(atMinusOne == -32768 || atMinusOne == -32767) << atMinusOne;
  }
}

TEST(Mp3Decoder, JunkBetweenFramesIsSynthesizedAsTheFrameObjectStands) {
  // A recoverable error is heard as whatever the frame object holds: before
  // the first frame that is silence, and decoding resumes at the next frame.
  const std::string junk(300, '\x55');
  const std::vector<int16_t> decoded = DecodeInPieces(junk + SilentFrames(2), 1024);
  ASSERT_GE(decoded.size(), 3 * kFrameSamples);
  EXPECT_EQ(decoded.size() % kFrameSamples, 0u);
  const std::vector<int16_t> clean = DecodeInPieces(SilentFrames(2), 1024);
  EXPECT_TRUE(std::equal(clean.begin(), clean.end(), decoded.end() - clean.size()));
}

}  // namespace
}  // namespace enginetest
