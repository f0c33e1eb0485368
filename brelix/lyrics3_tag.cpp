#include "lyrics3_tag.h"

#include <algorithm>
#include <cstring>

#include "c_number.h"
#include "mpa_file_stream.h"

namespace {

constexpr uint32_t kMarkerSize = 9;
constexpr uint32_t kSizeFieldSize = 6;
constexpr char kBegin[] = "LYRICSBEGIN";
constexpr uint32_t kBeginSize = sizeof kBegin - 1;
// Version 1 holds at most this many bytes before its end marker.
constexpr uint32_t kVersion1Window = 5100;

// The first "LYRICSBEGIN" that starts in [first, marker) and ends before the
// end marker at `marker`, read in pieces that overlap by the signature's length.
bool FindBegin(CMPAFileStream& stream, uint32_t first, uint32_t marker, uint32_t* found) {
  if (marker - first < kBeginSize) return false;
  const uint32_t lastStart = marker - kBeginSize;
  for (uint32_t piece = first; piece <= lastStart;) {
    const uint32_t length = std::min(CMPAFileStream::kReadBufferSize, lastStart - piece + kBeginSize);
    uint32_t at = piece;
    const uint8_t* bytes = stream.ReadBuffer(length, at, false, false);
    if (!bytes) return false;
    for (uint32_t i = 0; i + kBeginSize <= length; ++i) {
      if (std::memcmp(bytes + i, kBegin, kBeginSize) == 0) {
        *found = piece + i;
        return true;
      }
    }
    piece += length - kBeginSize + 1;
  }
  return false;
}

}  // namespace

CLyrics3Tag::CLyrics3Tag(float version, uint32_t offset, uint32_t size) : CTag("Lyrics3", true, offset, size) {
  version_ = version;
}

std::unique_ptr<CTag> CLyrics3Tag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  const uint32_t marker = end - kMarkerSize;
  uint32_t at = marker;
  const uint8_t* bytes = stream.ReadBuffer(kMarkerSize, at, false, false);
  if (!bytes) return nullptr;
  if (std::memcmp(bytes, "LYRICS200", kMarkerSize) == 0) {
    // The size counts the bytes from "LYRICSBEGIN" up to the size field.
    uint32_t sizeField = marker - kSizeFieldSize;
    const uint8_t* digits = stream.ReadBuffer(kSizeFieldSize, sizeField, false, false);
    if (!digits) return nullptr;
    const long size = DecimalToLong(reinterpret_cast<const char*>(digits), kSizeFieldSize);
    if (size < 0) return nullptr;
    const uint32_t lyrics = static_cast<uint32_t>(size);
    return std::unique_ptr<CTag>(new CLyrics3Tag(2.0f, marker - kSizeFieldSize - lyrics, lyrics + 15));
  }
  if (std::memcmp(bytes, "LYRICSEND", kMarkerSize) == 0) {
    const uint32_t first = marker > kVersion1Window ? marker - kVersion1Window : 0;
    uint32_t offset = 0;
    if (!FindBegin(stream, first, marker, &offset)) return nullptr;
    return std::unique_ptr<CTag>(new CLyrics3Tag(1.0f, offset, marker - offset + kMarkerSize));
  }
  return nullptr;
}
