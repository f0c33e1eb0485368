#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8Validity, RejectsOverlongSurrogateOutOfRangeAndCutSequences) {
  EXPECT_TRUE(platform::IsValidUtf8("plain ascii"));
  EXPECT_TRUE(platform::IsValidUtf8("中文舞曲 \xF0\x9F\x8E\xB5"));
  EXPECT_TRUE(platform::IsValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  EXPECT_FALSE(platform::IsValidUtf8("\xC0\xAF"));          // overlong '/'
  EXPECT_FALSE(platform::IsValidUtf8("\xE0\x80\xAF"));      // overlong '/'
  EXPECT_FALSE(platform::IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(platform::IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(platform::IsValidUtf8("\xE4\xB8"));          // cut short
  EXPECT_FALSE(platform::IsValidUtf8("\xD6\xD0\xCE\xC4"));  // "中文" in GBK
}

TEST(Gb18030, ChineseTextConvertsBothWaysByteForByte) {
  std::string utf8;
  ASSERT_TRUE(platform::Gb18030ToUtf8("\xD6\xD0\xCE\xC4 DJ", &utf8));
  EXPECT_EQ(utf8, "中文 DJ");
  std::string gb;
  ASSERT_TRUE(platform::Utf8ToGb18030("中文 DJ \xF0\x9F\x8E\xB5", &gb));
  ASSERT_TRUE(platform::Gb18030ToUtf8(gb, &utf8));
  EXPECT_EQ(utf8, "中文 DJ \xF0\x9F\x8E\xB5");  // four-byte GB18030 sequences too
  EXPECT_EQ(gb.substr(0, 4), "\xD6\xD0\xCE\xC4");
}

TEST(Gb18030, BytesThatAreNotGbBecomeReplacementCharactersAndAreReported) {
  std::string utf8;
  EXPECT_FALSE(platform::Gb18030ToUtf8("a\xFF" "b\xD6", &utf8));
  EXPECT_EQ(utf8, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  std::string gb;
  EXPECT_FALSE(platform::Utf8ToGb18030("\xC0\xAF", &gb));
}

TEST(CutUtf8, NeverEndsInsideACharacter) {
  // "正在播放-" is 13 bytes; with 112 more the next character would end at 128.
  std::string tip = "正在播放-" + std::string(112, 'x') + "中文";
  std::string_view cut = platform::CutUtf8(tip, 127);
  EXPECT_EQ(cut, tip.substr(0, 125));
  EXPECT_EQ(platform::CutUtf8("中文", 5), "中");
  EXPECT_EQ(platform::CutUtf8("中文", 6), "中文");
  EXPECT_EQ(platform::CutUtf8("中", 2), "");
  // Bytes that are not UTF-8 are kept as single characters.
  EXPECT_EQ(platform::CutUtf8("\xD6\xD0\xCE\xC4", 3), "\xD6\xD0\xCE");
}

TEST(CopyUtf8, FitsTheBufferWithItsTerminatorAtACharacterBoundary) {
  char buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(platform::CopyUtf8(buffer, 7, "ab中文"), 5u);
  EXPECT_STREQ(buffer, "ab中");
  EXPECT_EQ(buffer[6], '#');  // nothing past the given size
  EXPECT_EQ(platform::CopyUtf8(buffer, 1, "ab"), 0u);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(platform::CopyUtf8(buffer, 0, "ab"), 0u);
  EXPECT_EQ(buffer[0], '\0');
}

}  // namespace
