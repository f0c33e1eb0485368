// GB18030 without relying on the system's code page 54936, which not every
// Windows (nor Wine) has: the two-byte characters are GBK's (code page 936),
// the four-byte ones follow the standard's ranges and its linear mapping of
// the supplementary planes.
#include "platform/text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "gb18030_ranges.h"

namespace platform {
namespace {

constexpr UINT kGbkCodePage = 936;
constexpr uint32_t kReplacementCharacter = 0xFFFD;
// The number of the four-byte sequence 90 30 81 30, which stands for U+10000.
constexpr uint32_t kFirstSupplementarySequence = 189000;

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

// The code point of a valid UTF-8 sequence of `length` bytes.
uint32_t DecodeUtf8(const unsigned char* bytes, size_t length) {
  static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  uint32_t codePoint = bytes[0] & kLeadMask[length];
  for (size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (bytes[i] & 0x3F);
  return codePoint;
}

size_t Utf8Length(unsigned char lead) { return lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// The BMP code point of four-byte sequence number `sequence`, 0 for none.
uint32_t BmpCodePointOf(uint32_t sequence) {
  if (sequence > kGb18030LastBmpSequence) return 0;
  const auto next = std::upper_bound(std::begin(kGb18030BmpRanges), std::end(kGb18030BmpRanges), sequence,
                                     [](uint32_t s, const Gb18030Range& r) { return s < r.firstSequence; });
  const Gb18030Range& range = *(next - 1);
  return range.firstCodePoint + (sequence - range.firstSequence);
}

uint32_t BmpSequenceOf(uint32_t codePoint) {
  const auto next = std::upper_bound(std::begin(kGb18030BmpRanges), std::end(kGb18030BmpRanges), codePoint,
                                     [](uint32_t c, const Gb18030Range& r) { return c < r.firstCodePoint; });
  const Gb18030Range& range = *(next - 1);
  return range.firstSequence + (codePoint - range.firstCodePoint);
}

// The code point of the GB18030 character at the start of `text` and its
// length; length 0 when the bytes are no GB18030 character.
uint32_t DecodeGb18030(std::string_view text, size_t* length) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  *length = 0;
  if (byte(0) < 0x80) {
    *length = 1;
    return byte(0);
  }
  if (!InRange(byte(0), 0x81, 0xFE) || text.size() < 2) return 0;
  if (InRange(byte(1), 0x30, 0x39)) {
    if (text.size() < 4 || !InRange(byte(2), 0x81, 0xFE) || !InRange(byte(3), 0x30, 0x39)) return 0;
    const uint32_t sequence = (((byte(0) - 0x81u) * 10 + (byte(1) - 0x30u)) * 126 + (byte(2) - 0x81u)) * 10 +
                              (byte(3) - 0x30u);
    const uint32_t codePoint = sequence >= kFirstSupplementarySequence
                                   ? 0x10000 + (sequence - kFirstSupplementarySequence)
                                   : BmpCodePointOf(sequence);
    if (codePoint == 0 || codePoint > 0x10FFFF) return 0;
    *length = 4;
    return codePoint;
  }
  wchar_t wide = 0;
  if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, text.data(), 2, &wide, 1) != 1) return 0;
  *length = 2;
  return wide;
}

void AppendGb18030(uint32_t codePoint, std::string* out) {
  if (codePoint < 0x80) {
    *out += static_cast<char>(codePoint);
    return;
  }
  if (codePoint < 0x10000) {
    const wchar_t wide = static_cast<wchar_t>(codePoint);
    char bytes[2];
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, &wide, 1, bytes, 2, nullptr, &usedDefault) == 2 &&
        !usedDefault) {
      out->append(bytes, 2);
      return;
    }
  }
  uint32_t sequence = codePoint < 0x10000 ? BmpSequenceOf(codePoint)
                                          : kFirstSupplementarySequence + (codePoint - 0x10000);
  char bytes[4];
  bytes[3] = static_cast<char>(0x30 + sequence % 10);
  sequence /= 10;
  bytes[2] = static_cast<char>(0x81 + sequence % 126);
  sequence /= 126;
  bytes[1] = static_cast<char>(0x30 + sequence % 10);
  bytes[0] = static_cast<char>(0x81 + sequence / 10);
  out->append(bytes, 4);
}

}  // namespace

bool Gb18030ToUtf8(std::string_view gb, std::string* utf8) {
  utf8->clear();
  bool exact = true;
  while (!gb.empty()) {
    size_t length = 0;
    const uint32_t codePoint = DecodeGb18030(gb, &length);
    if (length == 0) {
      exact = false;
      AppendUtf8(utf8, kReplacementCharacter);
      length = 1;
    } else {
      AppendUtf8(utf8, codePoint);
    }
    gb.remove_prefix(length);
  }
  return exact;
}

bool Utf8ToGb18030(std::string_view utf8, std::string* gb) {
  if (!IsValidUtf8(utf8)) return false;
  gb->clear();
  const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = Utf8Length(bytes[i]);
    AppendGb18030(DecodeUtf8(bytes + i, length), gb);
    i += length;
  }
  return true;
}

}  // namespace platform
