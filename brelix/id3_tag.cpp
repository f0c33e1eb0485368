#include "id3_tag.h"

#include "mpa_file_stream.h"

namespace {

constexpr uint32_t kID3V1Size = 128;
constexpr uint32_t kID3V2HeaderSize = 10;
constexpr uint8_t kFooterFlag = 0x10;

}  // namespace

std::unique_ptr<CTag> CID3V1Tag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  if (!atEnd) return nullptr;
  const uint32_t position = end - kID3V1Size;
  if (!HasSignature(stream, position, "TAG", 3)) return nullptr;
  return std::unique_ptr<CTag>(new CID3V1Tag(stream, position));
}

// Version 1.1 ends the comment with a 0 byte followed by a track number other than 0.
CID3V1Tag::CID3V1Tag(CMPAFileStream& stream, uint32_t position) : CTag("ID3", true, position, kID3V1Size) {
  uint32_t at = position + 125;
  const uint8_t* bytes = stream.ReadBuffer(2, at, false, false);
  if (bytes) SetVersion(1, bytes[0] == 0 && bytes[1] != 0 ? 1 : 0, 0);
}

std::unique_ptr<CTag> CID3V2Tag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  const uint32_t position = atEnd ? end - kID3V2HeaderSize : begin;
  if (!HasSignature(stream, position, atEnd ? "3DI" : "ID3", 3)) return nullptr;
  return std::unique_ptr<CTag>(new CID3V2Tag(stream, atEnd, position));
}

// The size after the header is synchsafe: 7 bits per byte, the top bits ignored.
CID3V2Tag::CID3V2Tag(CMPAFileStream& stream, bool atEnd, uint32_t position) : CTag("ID3", false, position, 0) {
  uint32_t at = position + 3;
  const uint8_t* bytes = stream.ReadBuffer(3, at, true, false);
  if (!bytes) return;
  const uint8_t major = bytes[0];
  const uint8_t revision = bytes[1];
  const uint8_t flags = bytes[2];
  SetVersion(2, major, revision);
  const uint32_t raw = stream.ReadBEValue(4, at, true);
  uint32_t decoded = 0;
  for (int shift = 24; shift >= 0; shift -= 8) decoded = (decoded << 7) | ((raw >> shift) & 0x7F);
  size_ = decoded + kID3V2HeaderSize + (flags & kFooterFlag ? kID3V2HeaderSize : 0);
  // A footer lies in the tag's last 10 bytes.
  if (atEnd) offset_ = position - (size_ - kID3V2HeaderSize);
}
