// Frame header decoding and the header search.
#include <gtest/gtest.h>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "mpa_header.h"

namespace brelixtest {
namespace {

CMPAHeader Parsed(const char* hex, bool* accepted = nullptr) {
  const std::string bytes = Header(hex);
  CMPAHeader header;
  const bool ok = header.ParseHeader(reinterpret_cast<const uint8_t*>(bytes.data()));
  if (accepted) *accepted = ok;
  return header;
}

bool Accepts(const char* hex) {
  bool accepted = false;
  Parsed(hex, &accepted);
  return accepted;
}

TEST(MpaHeader, FrameLengthsTruncateAndAddPaddingSlots) {
  EXPECT_EQ(Parsed("FFFB9064").GetFrameLength(), 417u);  // MPEG 1 Layer III 128 kbit/s 44100 Hz
  EXPECT_EQ(Parsed("FFFB9264").GetFrameLength(), 418u);
  const CMPAHeader mpeg2 = Parsed("FFF38064");  // MPEG 2 Layer III 64 kbit/s 22050 Hz
  EXPECT_EQ(mpeg2.sampleRate, 22050u);
  EXPECT_EQ(mpeg2.samplesPerFrame, 576u);
  EXPECT_EQ(mpeg2.GetFrameLength(), 208u);
  EXPECT_EQ(Parsed("FFE38864").sampleRate, 8000u);  // MPEG 2.5
  // Layer I counts 4-byte slots: (12 * 32000 / 44100 + 1) * 4.
  EXPECT_EQ(Parsed("FFFF1264").GetFrameLength(), 36u);
  const CMPAHeader joint = Parsed("FFFB9064");
  EXPECT_EQ(joint.GetBytesPerSecond(), 16000u);
  EXPECT_EQ(joint.GetLengthSecs(1000), 26u);
  EXPECT_EQ(joint.GetAverageBytesPerSecond(1000, 2000000), 76923u);
  EXPECT_EQ(joint.GetAverageBytesPerSecond(38, 2000000), 0u) << "38 frames last under a second";
}

TEST(MpaHeader, ReservedAndFreeFormatFieldsAreRejected) {
  EXPECT_TRUE(Accepts("FFFB9064"));
  EXPECT_FALSE(Accepts("FFFB0064")) << "free format";
  EXPECT_FALSE(Accepts("FFFBF064")) << "bitrate index 15";
  EXPECT_FALSE(Accepts("FFFB9C64")) << "sample-rate index 3";
  EXPECT_FALSE(Accepts("FFF99064")) << "raw layer 0";
  EXPECT_FALSE(Accepts("FFEB9064")) << "version 1";
  EXPECT_FALSE(Accepts("FFFB9066")) << "emphasis 2";
}

TEST(MpaHeader, Mpeg1LayerTwoBitrateDependsOnChannelMode) {
  EXPECT_FALSE(Accepts("FFFD1004")) << "32 kbit/s stereo";
  EXPECT_TRUE(Accepts("FFFD10C4")) << "32 kbit/s single channel";
  EXPECT_TRUE(Accepts("FFFD4004")) << "64 kbit/s stereo";
  EXPECT_FALSE(Accepts("FFFDB0C4")) << "224 kbit/s single channel";
  EXPECT_TRUE(Accepts("FFF310C4")) << "MPEG 2 Layer III has no such rule";
}

TEST(MpaHeader, CompatibilityIgnoresBitrateAndPaddingButNotMono) {
  const CMPAHeader reference = Parsed("FFFB9064");
  EXPECT_TRUE(Parsed("FFFBB264").IsCompatible(reference));
  EXPECT_FALSE(Parsed("FFFB90C4").IsCompatible(reference)) << "single channel against joint stereo";
  EXPECT_FALSE(Parsed("FFFB9464").IsCompatible(reference)) << "48000 Hz";
  EXPECT_FALSE(Parsed("FFF39064").IsCompatible(reference)) << "MPEG 2";
}

TEST(MpaHeader, ExactSearchProbesThreeBytesEitherWay) {
  const std::string frame = Header("FFFB9064");
  for (uint32_t at : {97u, 100u, 103u}) {
    std::string bytes(300, '\0');
    Put(bytes, at, frame);
    BytesFile file(bytes);
    uint32_t offset = 100;
    CMPAHeader header;
    EXPECT_TRUE(header.FindHeader(file.Stream(), offset, true, false, nullptr)) << at;
    EXPECT_EQ(offset, at);
  }
  std::string bytes(300, '\0');
  Put(bytes, 104, frame);
  BytesFile file(bytes);
  uint32_t offset = 100;
  CMPAHeader header;
  EXPECT_FALSE(header.FindHeader(file.Stream(), offset, true, false, nullptr)) << "4 bytes after is too far";
}

TEST(MpaHeader, ScanSkipsSyncWithBitrateNibble15AndIncompatibleHeaders) {
  std::string bytes = Header("FFFFF064") + Header("FFFB90C4") + Header("FFFB9064");
  BytesFile file(bytes + std::string(16, '\0'));
  const CMPAHeader reference = Parsed("FFFB9064");
  uint32_t offset = 0;
  CMPAHeader header;
  ASSERT_TRUE(header.FindHeader(file.Stream(), offset, false, false, &reference));
  EXPECT_EQ(offset, 8u);
  offset = 0;
  ASSERT_TRUE(header.FindHeader(file.Stream(), offset, false, false, nullptr));
  EXPECT_EQ(offset, 4u) << "without a reference any valid header counts";
  offset = 12;
  EXPECT_FALSE(header.FindHeader(file.Stream(), offset, false, false, nullptr)) << "the scan ends at the end";
}

}  // namespace
}  // namespace brelixtest
