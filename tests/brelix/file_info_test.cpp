// The figures of whole streams: audio range, byte rate and duration.
#include <gtest/gtest.h>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "lame_tag.h"
#include "mpa_file_info.h"
#include "support/mp3_fixture.h"

namespace brelixtest {
namespace {

Figures Inspect(const std::string& bytes) { return FiguresOf(BytesFile(bytes).Inspect()); }

const std::string k128 = Header("FFFB9064");  // 417 bytes a frame
const std::string k32 = Header("FFFB1064");   // 104
const std::string k40 = Header("FFFB2064");   // 130
const std::string k192 = Header("FFFBB064");  // 626

std::string XingStream(const XingFields& xing, size_t frames) {
  std::string audio = Frames(k128, 417, frames);
  Put(audio, 36, Xing(xing));
  return audio;
}

TEST(FileInfo, MillionByteFileWithId3v2AndId3v1) {
  const std::string audio = Frames(k128, 417, 2388).substr(0, 995776);
  EXPECT_EQ(Inspect(Id3v2(3, 4086, false) + audio + Id3v1(1)),
            (Figures{4096, 999872, 995776, 16000, 62, 44100}));
}

TEST(FileInfo, XingCountsGiveTheRate) {
  const uint32_t size = 2398 * 417;
  EXPECT_EQ(Inspect(XingStream({.flags = 3, .frames = 1000, .bytes = 2000000}, 2398)),
            (Figures{0, size, size, 76923, size / 76923, 44100}));
  // No byte count: the audio size stands in; 1000 frames last 26 s.
  EXPECT_EQ(Inspect(XingStream({.flags = 1, .frames = 1000}, 2398)).rate, size / 26);
  EXPECT_EQ(Inspect(XingStream({.flags = 2, .bytes = 2000000}, 2398)).rate, 16000u) << "no frame count";
  EXPECT_EQ(Inspect(XingStream({.flags = 3, .frames = 38, .bytes = 2000000}, 2398)).rate, 16000u)
      << "38 frames last under a second";
  EXPECT_EQ(Inspect(XingStream({.flags = 3, .frames = 1000, .bytes = 25}, 2398)).rate, 16000u)
      << "a rate of 0";
}

TEST(FileInfo, SlowStartIsMeasuredAtTheFirstFrameAbove48k) {
  EXPECT_EQ(Inspect(Frames(k32, 104, 3) + Frames(k192, 626, 5)).rate, 24000u);
  std::string slow = Frames(k32, 104, 27) + Frames(k40, 130) + Frames(k192, 626, 3);
  EXPECT_EQ(Inspect(slow).rate, 5000u) << "the 28th frame, after 27 steps";
  EXPECT_EQ(Inspect(Frames(k32, 104, 5)).rate, 4000u) << "the walk runs out: the first frame";
  // A gap breaks the exact step; the walk resynchronises to the next header.
  EXPECT_EQ(Inspect(Frames(k32, 104, 2) + std::string(50, 'j') + Frames(k192, 626, 2)).rate, 24000u);
}

TEST(FileInfo, JunkBeforeTheFirstFrameStaysInTheAudioRange) {
  const std::string bytes = Id3v2(3, 90, false) + std::string(3000, 'j') + Frames(k128, 417, 10);
  auto info = BytesFile(bytes).Inspect();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->GetFramesBegin(), 100u);
  EXPECT_EQ(info->GetFirstFrame().GetOffset(), 3100u);
  EXPECT_EQ(info->GetAllFramesSize(), bytes.size() - 100);
}

TEST(FileInfo, ResourcesWithoutAFrameFail) {
  for (const std::string& bytes : {std::string(), std::string("plain text, no audio at all"),
                                   Id3v2(3, 100, false) + Id3v1(1)}) {
    CMPAFileInfo::Failure failure = CMPAFileInfo::Failure::kNone;
    BytesFile file(bytes);
    EXPECT_FALSE(CMPAFileInfo::Create(file.Path().c_str(), true, &failure));
    EXPECT_EQ(failure, CMPAFileInfo::Failure::kNoFrame) << bytes.size();
  }
  CMPAFileInfo::Failure failure = CMPAFileInfo::Failure::kNone;
  EXPECT_FALSE(CMPAFileInfo::Create("/nonexistent/track.mp3", true, &failure));
  EXPECT_EQ(failure, CMPAFileInfo::Failure::kCannotOpen);
}

TEST(FileInfo, TruncatedLastFrameKeepsTheFigures) {
  const std::string bytes = Frames(k128, 417, 40).substr(0, 40 * 417 - 300);
  EXPECT_EQ(Inspect(bytes), (Figures{0, uint32_t(bytes.size()), uint32_t(bytes.size()), 16000, 1, 44100}));
}

TEST(FileInfo, LeadingTagReachingIntoTheTrailingOnesLeavesNoAudio) {
  std::string tail = Id3v1(1);
  Put(tail, 40, k128);
  const std::string audio = Frames(k128, 417, 10);
  const std::string header = Id3v2(3, uint32_t(audio.size()) + 40, false).substr(0, 10);
  const std::string bytes = header + audio + tail;
  const Figures figures = Inspect(bytes);
  EXPECT_EQ(figures.begin, bytes.size() - 128 + 40);
  EXPECT_EQ(figures.end, bytes.size() - 128);
  EXPECT_EQ(figures.size, 0u);
  EXPECT_EQ(figures.seconds, 0u);
}

TEST(FileInfo, EncoderOutputIsMeasuredByItsXingCounts) {
  using testsupport::Mp3RateMode;
  struct Case {
    Mp3RateMode mode;
    int sampleRate;
    int channels;
  };
  for (const Case& c : {Case{Mp3RateMode::kVbr, 44100, 2}, Case{Mp3RateMode::kCbr, 48000, 1},
                        Case{Mp3RateMode::kAbr, 32000, 2}, Case{Mp3RateMode::kVbr, 22050, 1},
                        Case{Mp3RateMode::kCbr, 24000, 2}, Case{Mp3RateMode::kVbr, 11025, 2},
                        Case{Mp3RateMode::kCbr, 8000, 1}}) {
    testsupport::Mp3Options options;
    options.rateMode = c.mode;
    options.sampleRate = c.sampleRate;
    options.channels = c.channels;
    options.seconds = 4;
    const testsupport::Mp3Fixture fixture = testsupport::EncodeMp3(options);
    const std::string bytes = Id3v2(3, 1000, false) + fixture.bytes + Id3v1(1);
    const std::string label = std::to_string(c.sampleRate) + "/" + std::to_string(c.channels);
    auto info = BytesFile(bytes).Inspect();
    ASSERT_TRUE(info) << label;
    EXPECT_EQ(info->GetSampleRate(), uint32_t(c.sampleRate)) << label;
    EXPECT_EQ(info->GetFramesBegin(), 1010u) << label;
    EXPECT_EQ(info->GetFramesEnd(), bytes.size() - 128) << label;
    const CVBRHeader* vbr = info->GetVBRHeader();
    ASSERT_TRUE(vbr) << label;
    EXPECT_EQ(vbr->GetIdentifier(), c.mode == Mp3RateMode::kCbr ? "Info" : "Xing") << label;
    EXPECT_EQ(vbr->GetFrames(), fixture.audioFrames) << label;
    EXPECT_EQ(vbr->GetBytes(), fixture.bytes.size()) << label;
    const uint32_t samplesPerFrame = c.sampleRate >= 32000 ? 1152 : 576;
    const uint32_t seconds = fixture.audioFrames * samplesPerFrame / c.sampleRate;
    EXPECT_EQ(info->GetBytesOneSec(), fixture.bytes.size() / seconds) << label;
    const CLAMETag* lame = static_cast<const CXINGHeader*>(vbr)->GetLAMETag();
    ASSERT_TRUE(lame) << label;
    EXPECT_EQ(lame->GetEncoder().substr(0, 9), "LAME3.100") << label;
    EXPECT_TRUE(lame->IsShortTag()) << "3.100 reads as version 3.1";
  }
}

TEST(FileInfo, EncoderOutputWithoutXingStaysAtOrBelow48k) {
  testsupport::Mp3Options options;
  options.bitrateKbps = 32;
  options.vbrTag = false;
  options.seconds = 2;
  const testsupport::Mp3Fixture fixture = testsupport::EncodeMp3(options);
  const Figures figures = Inspect(fixture.bytes);
  EXPECT_EQ(figures.rate, 4000u);
  EXPECT_EQ(figures.seconds, fixture.bytes.size() / 4000);
}

}  // namespace
}  // namespace brelixtest
