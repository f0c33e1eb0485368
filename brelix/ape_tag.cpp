#include "ape_tag.h"

#include "mpa_file_stream.h"

namespace {

constexpr uint32_t kBlockSize = 32;
constexpr uint32_t kHeaderFlag = 0x80000000u;

}  // namespace

std::unique_ptr<CTag> CAPETag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  const uint32_t position = atEnd ? end - kBlockSize : begin;
  if (!HasSignature(stream, position, "APETAGEX", 8)) return nullptr;
  return std::unique_ptr<CTag>(new CAPETag(stream, atEnd, position));
}

// Little-endian after the signature: version x 1000, size of items and footer,
// item count, flags. Only version 2 and later may have a header (flag bit 31).
CAPETag::CAPETag(CMPAFileStream& stream, bool atEnd, uint32_t position) : CTag("APE", atEnd, position, 0) {
  uint32_t at = position + 8;
  const uint32_t versionField = stream.ReadLEValue(4, at, true);
  const uint32_t tagSize = stream.ReadLEValue(4, at, true);
  stream.ReadLEValue(4, at, true);  // item count
  const uint32_t flags = stream.ReadLEValue(4, at, true);
  version_ = static_cast<float>(versionField / 1000.0);
  size_ = tagSize;
  if (version_ > 1.0f && (flags & kHeaderFlag)) size_ += kBlockSize;
  // The footer is the tag's last 32 bytes.
  if (atEnd) offset_ = position - (size_ - kBlockSize);
}
