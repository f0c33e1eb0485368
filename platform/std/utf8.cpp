#include "platform/text.h"

namespace platform {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of `text`, 0 when
// there is none.
size_t Utf8SequenceLength(std::string_view text) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
  while (!text.empty()) {
    size_t length = Utf8SequenceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

std::string_view CutUtf8(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = 0;
  while (end < text.size()) {
    size_t length = Utf8SequenceLength(text.substr(end));
    if (length == 0) length = 1;
    if (end + length > maxBytes) break;
    end += length;
  }
  return text.substr(0, end);
}

size_t CopyUtf8(char* buffer, size_t size, std::string_view text) {
  if (size == 0) return 0;
  std::string_view kept = CutUtf8(text, size - 1);
  kept.copy(buffer, kept.size());
  buffer[kept.size()] = '\0';
  return kept.size();
}

std::u32string Utf8ToCodePoints(std::string_view text) {
  static constexpr unsigned char kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  std::u32string codePoints;
  while (!text.empty()) {
    const size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      codePoints += U'\uFFFD';
      text.remove_prefix(1);
      continue;
    }
    char32_t codePoint = static_cast<unsigned char>(text[0]) & kLeadBits[length];
    for (size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    codePoints += codePoint;
    text.remove_prefix(length);
  }
  return codePoints;
}

void AppendUtf8(std::string* text, char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) codePoint = 0xFFFD;
  if (codePoint < 0x80) {
    *text += static_cast<char>(codePoint);
    return;
  }
  const int continuation = codePoint < 0x800 ? 1 : codePoint < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLeadMarks[] = {0, 0xC0, 0xE0, 0xF0};
  *text += static_cast<char>(kLeadMarks[continuation] | (codePoint >> (6 * continuation)));
  for (int i = continuation - 1; i >= 0; --i) *text += static_cast<char>(0x80 | ((codePoint >> (6 * i)) & 0x3F));
}

Utf8Tally TallyUtf8(std::string_view text) {
  Utf8Tally tally;
  while (!text.empty()) {
    size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      ++tally.stray;
      length = 1;
    } else if (length > 1) {
      ++tally.multiByte;
    }
    text.remove_prefix(length);
  }
  return tally;
}

std::string RepairUtf8(std::string_view text) {
  std::string repaired;
  repaired.reserve(text.size());
  while (!text.empty()) {
    size_t length = Utf8SequenceLength(text);
    if (length == 0) {
      repaired += kReplacementCharacter;
      length = 1;
    } else {
      repaired += text.substr(0, length);
    }
    text.remove_prefix(length);
  }
  return repaired;
}

}  // namespace platform
