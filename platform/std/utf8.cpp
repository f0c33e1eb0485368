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
