// Text encodings: UTF-8 inside the program, GB18030 (the superset of GBK and
// GB2312) for catalogues written in the Chinese code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// True when `text` is well-formed UTF-8: no overlong forms, no surrogates,
// nothing above U+10FFFF, no sequence cut short.
bool IsValidUtf8(std::string_view text);

// The code points of `text`; a byte that begins no well-formed sequence
// stands for U+FFFD.
std::u32string Utf8ToCodePoints(std::string_view text);
// Appends `codePoint` in UTF-8; a surrogate or a value above U+10FFFF is
// appended as U+FFFD.
void AppendUtf8(std::string* text, char32_t codePoint);

// How much of `text` reads as UTF-8: its well-formed multi-byte characters,
// and its stray bytes (those that begin no well-formed sequence).
struct Utf8Tally {
  size_t multiByte = 0;
  size_t stray = 0;
};
Utf8Tally TallyUtf8(std::string_view text);

// `text` with every stray byte replaced by U+FFFD, so that it is valid UTF-8.
std::string RepairUtf8(std::string_view text);

// Converts GB18030 (and so GBK and GB2312) to UTF-8. A byte sequence that is
// not GB18030 becomes U+FFFD, so `*utf8` is always usable; the result is true
// only when every byte converted exactly (then Utf8ToGb18030 gives the input
// back byte for byte).
bool Gb18030ToUtf8(std::string_view gb, std::string* utf8);

// Converts UTF-8 to GB18030, which can encode every character. False (and
// `*gb` unspecified) when `utf8` is not valid UTF-8.
bool Utf8ToGb18030(std::string_view utf8, std::string* gb);

// The longest prefix of `text` of at most `maxBytes` bytes that does not end
// inside a UTF-8 character. Bytes that are not UTF-8 count as characters of
// their own, so nothing is dropped beyond what does not fit.
std::string_view CutUtf8(std::string_view text, size_t maxBytes);

// Copies the longest whole-character prefix of `text` that fits `size` - 1
// bytes into `buffer` and ends it with a zero byte. Returns the bytes copied.
// Nothing is written when `size` is 0.
size_t CopyUtf8(char* buffer, size_t size, std::string_view text);

}  // namespace platform
