#include "vbr_header.h"

#include "lame_tag.h"
#include "mpa_file_stream.h"
#include "mpa_frame.h"
#include "tag.h"

namespace {

constexpr uint32_t kXingTocSize = 100;
// From the frame start: the 4-byte header and 32 bytes, whatever the mode.
constexpr uint32_t kVBRIOffset = 36;

enum XingFlags : uint32_t { kFramesFlag = 1, kBytesFlag = 2, kTocFlag = 4, kQualityFlag = 8 };

}  // namespace

CVBRHeader::~CVBRHeader() = default;

std::unique_ptr<CVBRHeader> CVBRHeader::Find(CMPAFileStream& stream, const CMPAFrame& frame) {
  const uint32_t xing = frame.GetOffset() + frame.GetHeader().GetSideInfoSize() + 4;
  for (const char* identifier : {"Xing", "Info"}) {
    if (HasSignature(stream, xing, identifier, 4)) return std::make_unique<CXINGHeader>(stream, identifier, xing);
  }
  const uint32_t vbri = frame.GetOffset() + kVBRIOffset;
  if (HasSignature(stream, vbri, "VBRI", 4)) return std::make_unique<CVBRIHeader>(stream, vbri);
  return nullptr;
}

CXINGHeader::CXINGHeader(CMPAFileStream& stream, std::string identifier, uint32_t offset)
    : CVBRHeader(std::move(identifier), offset) {
  uint32_t position = offset + 4;
  const uint32_t flags = stream.ReadBEValue(4, position, true);
  if (flags & kFramesFlag) frames_ = stream.ReadBEValue(4, position, true);
  if (flags & kBytesFlag) bytes_ = stream.ReadBEValue(4, position, true);
  if (flags & kTocFlag) {
    table_.resize(kXingTocSize);
    for (uint32_t& entry : table_) entry = stream.ReadBEValue(1, position, true);
  }
  if (flags & kQualityFlag) quality_ = stream.ReadBEValue(4, position, true);
  lameTag_ = CLAMETag::Find(stream, true, offset, 0);
}

CXINGHeader::~CXINGHeader() = default;

CVBRIHeader::CVBRIHeader(CMPAFileStream& stream, uint32_t offset) : CVBRHeader("VBRI", offset) {
  uint32_t position = offset + 4;
  version_ = stream.ReadBEValue(2, position, true);
  delay_ = static_cast<float>(stream.ReadBEValue(2, position, true));
  quality_ = stream.ReadBEValue(2, position, true);
  bytes_ = stream.ReadBEValue(4, position, true);
  frames_ = stream.ReadBEValue(4, position, true);
  const uint32_t tableSize = stream.ReadBEValue(2, position, true) + 1;
  scale_ = stream.ReadBEValue(2, position, true);
  entrySize_ = stream.ReadBEValue(2, position, true);
  framesPerEntry_ = stream.ReadBEValue(2, position, true);
  // An entry size the value reader cannot take leaves the header without a table.
  if (entrySize_ < 1 || entrySize_ > 4) return;
  table_.resize(tableSize);
  for (uint32_t& entry : table_) entry = stream.ReadBEValue(entrySize_, position, true);
}
