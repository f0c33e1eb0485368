#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Utf8Validity, RejectsOverlongSurrogateOutOfRangeAndCutSequences) {
  EXPECT_TRUE(platform::IsValidUtf8("中文舞曲 \xF0\x9F\x8E\xB5 \xF4\x8F\xBF\xBF"));
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE4\xB8", "\xD6\xD0"}) {
    EXPECT_FALSE(platform::IsValidUtf8(bad)) << bad;
  }
}

TEST(CodePoints, DecodeAndEncodeEveryLengthWithReplacementsForWhatIsNoCharacter) {
  EXPECT_EQ(platform::Utf8ToCodePoints("a\xC3\xA9中\xF0\x9F\x8E\xB5"), (std::u32string{U'a', 0xE9, 0x4E2D, 0x1F3B5}));
  EXPECT_EQ(platform::Utf8ToCodePoints("x\xFFy\xE4\xB8"), (std::u32string{U'x', 0xFFFD, U'y', 0xFFFD, 0xFFFD}));
  std::string text;
  for (char32_t c : {char32_t{'a'}, char32_t{0xE9}, char32_t{0x4E2D}, char32_t{0x1F3B5}, char32_t{0xD800},
                     char32_t{0x110000}}) {
    platform::AppendUtf8(&text, c);
  }
  EXPECT_EQ(text, "a\xC3\xA9中\xF0\x9F\x8E\xB5\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Utf8Validity, StrayBytesAreCountedAndShownAsReplacementCharacters) {
  const std::string text = "中\xFF文 \xE4\xB8 \xC0\xAF";  // a stray byte, a cut sequence, an overlong form
  const platform::Utf8Tally tally = platform::TallyUtf8(text);
  EXPECT_EQ(tally.multiByte, 2u);
  EXPECT_EQ(tally.stray, 5u);
  EXPECT_EQ(platform::RepairUtf8(text), "中\uFFFD文 \uFFFD\uFFFD \uFFFD\uFFFD");
  EXPECT_EQ(platform::RepairUtf8("中文"), "中文");
}

TEST(Gb18030, ConvertsBothWaysByteForByteAndReportsWhatIsNotGb) {
  std::string gb, utf8;
  ASSERT_TRUE(platform::Utf8ToGb18030("中文 DJ \xF0\x9F\x8E\xB5", &gb));
  EXPECT_EQ(gb.substr(0, 4), "\xD6\xD0\xCE\xC4");
  ASSERT_TRUE(platform::Gb18030ToUtf8(gb, &utf8));
  EXPECT_EQ(utf8, "中文 DJ \xF0\x9F\x8E\xB5");  // four-byte GB18030 sequences too

  EXPECT_FALSE(platform::Gb18030ToUtf8("a\xFF" "b\xD6", &utf8));
  EXPECT_EQ(utf8, "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
  EXPECT_FALSE(platform::Utf8ToGb18030("\xC0\xAF", &gb));
}

TEST(CutUtf8, NeverEndsInsideACharacterNorWritesPastTheBuffer) {
  // "正在播放-" is 13 bytes; with 112 more the next character would end at 128.
  std::string tip = "正在播放-" + std::string(112, 'x') + "中文";
  EXPECT_EQ(platform::CutUtf8(tip, 127), tip.substr(0, 125));
  EXPECT_EQ(platform::CutUtf8("中", 2), "");
  EXPECT_EQ(platform::CutUtf8("\xD6\xD0\xCE\xC4", 3), "\xD6\xD0\xCE");  // bytes that are not UTF-8 are kept

  char buffer[8] = "#######";
  EXPECT_EQ(platform::CopyUtf8(buffer, 7, "ab中文"), 5u);
  EXPECT_STREQ(buffer, "ab中");
  EXPECT_EQ(buffer[6], '#');
  EXPECT_EQ(platform::CopyUtf8(buffer, 1, "ab"), 0u);
  EXPECT_STREQ(buffer, "");
}

}  // namespace
