// Xing, Info and VBRI headers in the first frame, and the LAME block.
#include <gtest/gtest.h>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "lame_tag.h"
#include "mpa_frame.h"
#include "vbr_header.h"

namespace brelixtest {
namespace {

std::string FrameWith(const char* header, size_t length, size_t at, const std::string& block) {
  std::string frame = Frames(Header(header), length);
  Put(frame, at, block);
  return frame;
}

std::unique_ptr<CVBRHeader> VbrOf(BytesFile& file) {
  CMPAFrame frame(file.Stream(), 0);
  EXPECT_TRUE(frame.Locate(false, false, nullptr));
  return frame.FindVBRHeader();
}

const CLAMETag* LameOf(const CVBRHeader* header) {
  auto* xing = dynamic_cast<const CXINGHeader*>(header);
  return xing ? xing->GetLAMETag() : nullptr;
}

TEST(VbrHeader, XingFlagsSelectTheFieldsAndLameSitsAt120) {
  BytesFile all(FrameWith("FFFB9064", 417, 36,
                          Xing({.flags = 0x0F, .frames = 1000, .bytes = 2000000, .quality = 57}) +
                              Lame("3.97", ' ', 0x24, 195, 128)));
  auto header = VbrOf(all);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->GetIdentifier(), "Xing");
  EXPECT_EQ(header->GetOffset(), 36u);
  EXPECT_EQ(header->GetFrames(), 1000u);
  EXPECT_EQ(header->GetBytes(), 2000000u);
  EXPECT_EQ(header->GetQuality(), 57u);
  ASSERT_EQ(header->GetTable().size(), 100u);
  EXPECT_EQ(header->GetTable()[99], 99u);
  const CLAMETag* lame = LameOf(header.get());
  ASSERT_TRUE(lame);
  EXPECT_EQ(lame->GetOffset(), 156u);
  EXPECT_FLOAT_EQ(lame->GetVersion(), 3.97f);
  EXPECT_EQ(lame->GetEncoder(), "LAME3.97 ");
  EXPECT_EQ(lame->GetRevision(), 2);
  EXPECT_EQ(lame->GetMethod(), 4);
  EXPECT_STREQ(lame->GetVBRInfo(), "VBR2");
  EXPECT_TRUE(lame->IsVBR());
  EXPECT_EQ(lame->GetLowpass(), 19500);
  EXPECT_EQ(lame->GetBitrate(), 128);
  EXPECT_EQ(lame->GetSize(), 0u);

  BytesFile noToc(FrameWith("FFFB9064", 417, 36,
                            Xing({.identifier = "Info", .flags = 0x03, .frames = 5, .bytes = 9}) +
                                Lame("3.97", ' ', 0x24, 195, 128)));
  header = VbrOf(noToc);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->GetIdentifier(), "Info");
  EXPECT_EQ(header->GetFrames(), 5u);
  EXPECT_EQ(header->GetBytes(), 9u);
  EXPECT_TRUE(header->GetTable().empty());
  EXPECT_FALSE(LameOf(header.get())) << "the LAME probe stays at +120 whatever the flags";
}

TEST(VbrHeader, XingFollowsTheSideInfoAndVbriIsAlways36BytesIn) {
  struct Case {
    const char* header;
    size_t length;
    size_t xingAt;
  };
  for (const Case& c : {Case{"FFFB9064", 417, 36}, Case{"FFFB90C4", 417, 21}, Case{"FFF38064", 208, 21},
                        Case{"FFF380C4", 208, 13}}) {
    BytesFile right(FrameWith(c.header, c.length, c.xingAt, Xing({.flags = 1, .frames = 3})));
    auto header = VbrOf(right);
    ASSERT_TRUE(header) << c.header;
    EXPECT_EQ(header->GetFrames(), 3u);
    BytesFile wrong(FrameWith(c.header, c.length, c.xingAt + 1, Xing({.flags = 1, .frames = 3})));
    EXPECT_FALSE(VbrOf(wrong)) << c.header;
    BytesFile vbri(FrameWith(c.header, c.length, 36, Vbri(3, 4, 0, 2)));
    header = VbrOf(vbri);
    ASSERT_TRUE(header) << c.header;
    EXPECT_EQ(header->GetIdentifier(), "VBRI");
  }
}

TEST(VbrHeader, VbriTableHoldsOneEntryMoreThanStored) {
  BytesFile file(FrameWith("FFFB9064", 417, 36, Vbri(1000, 2000000, 99, 2)) + std::string(1024, '\0'));
  auto header = VbrOf(file);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->GetFrames(), 1000u);
  EXPECT_EQ(header->GetBytes(), 2000000u);
  EXPECT_EQ(header->GetQuality(), 75u);
  ASSERT_EQ(header->GetTable().size(), 100u);
  EXPECT_EQ(header->GetTable()[0], 1u);
  EXPECT_EQ(header->GetTable()[99], 100u);

  BytesFile oddSize(FrameWith("FFFB9064", 417, 36, Vbri(1000, 2000000, 3, 5)));
  header = VbrOf(oddSize);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->GetFrames(), 1000u) << "the counts stay";
  EXPECT_TRUE(header->GetTable().empty()) << "5-byte entries cannot be read";
}

TEST(VbrHeader, TruncatedXingReadsZeroCounts) {
  std::string frame = FrameWith("FFFB9064", 417, 36, Xing({.flags = 0x0F, .frames = 0x12345678, .bytes = 7}));
  BytesFile file(frame.substr(0, 36 + 8 + 2));
  auto header = VbrOf(file);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->GetFrames(), 0x12340000u) << "the 2 bytes present, then zeros";
  EXPECT_EQ(header->GetBytes(), 0u);
  EXPECT_EQ(header->GetTable(), std::vector<uint32_t>(100, 0));
}

TEST(VbrHeader, LameVersionDecidesHowMuchOfTheBlockIsRead) {
  auto lameWith = [](const std::string& block, std::unique_ptr<BytesFile>& file) {
    file = std::make_unique<BytesFile>(FrameWith("FFFB9064", 417, 36, Xing({.flags = 0x0F}) + block));
    return VbrOf(*file);
  };
  std::unique_ptr<BytesFile> file;
  auto header = lameWith(Lame("3.10", '0', 0x24, 195, 128), file);  // "LAME3.100"
  const CLAMETag* lame = LameOf(header.get());
  ASSERT_TRUE(lame);
  EXPECT_FLOAT_EQ(lame->GetVersion(), 3.1f);
  EXPECT_TRUE(lame->IsShortTag());
  EXPECT_EQ(lame->GetEncoder(), "LAME3.100\x24\xC3") << "all 20 bytes are the string";
  EXPECT_EQ(lame->GetMethod(), 0) << "nothing after the string is read";

  header = lameWith(Lame("3.88", 'r', 0x24, 195, 128), file);
  ASSERT_TRUE(LameOf(header.get()));
  EXPECT_TRUE(LameOf(header.get())->IsShortTag());

  header = lameWith(Lame("3.90", '.', 0x11, 195, 128), file);
  lame = LameOf(header.get());
  ASSERT_TRUE(lame);
  EXPECT_FALSE(lame->IsShortTag()) << "3.90 is not below 3.9";
  EXPECT_EQ(lame->GetEncoder(), "LAME3.90") << "a ninth character '.' ends the string";
  EXPECT_TRUE(lame->IsCBR());

  header = lameWith(Lame("3.99", 'r', 0xF4, 195, 128), file);
  ASSERT_TRUE(header) << "the Xing header stays";
  EXPECT_FALSE(LameOf(header.get())) << "revision 15 is an invalid block";
}

}  // namespace
}  // namespace brelixtest
