#include "music_match_tag.h"

#include "c_number.h"
#include "mpa_file_stream.h"

namespace {

constexpr char kSignature[] = "Brava Software Inc.             ";
constexpr uint32_t kSignatureSize = sizeof kSignature - 1;
constexpr char kSyncText[] = "18273645";
constexpr uint32_t kSyncTextSize = sizeof kSyncText - 1;
constexpr uint32_t kFooterSize = 48;
constexpr uint32_t kDataOffsetsSize = 20;
constexpr uint32_t kVersionInfoSize = 256;
constexpr uint32_t kHeaderSize = 256;
// Audio metadata sizes: version 3.00 and below, then the candidates above it.
constexpr uint32_t kOldMetadataSize = 7868;
constexpr uint32_t kPossibleSizes[] = {7936, 8004, 8132};

}  // namespace

CMusicMatchTag::CMusicMatchTag(float version, uint32_t offset, uint32_t size) : CTag("MM", true, offset, size) {
  version_ = version;
}

// From the end backwards: footer, data offsets, audio metadata, version
// information, the image blocks (as long as the two data offsets say) and an
// optional header.
std::unique_ptr<CTag> CMusicMatchTag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  if (!HasSignature(stream, end - kFooterSize, kSignature, kSignatureSize)) return nullptr;
  uint32_t at = end - kFooterSize + kSignatureSize;
  const uint8_t* versionText = stream.ReadBuffer(4, at, false, false);
  if (!versionText) return nullptr;
  const float version = DecimalToFloat(reinterpret_cast<const char*>(versionText), 4);
  at = end - kFooterSize - kDataOffsetsSize;
  const uint32_t imageExtensionOffset = stream.ReadLEValue(4, at, false);
  at = end - kFooterSize - kDataOffsetsSize + 12;
  const uint32_t versionInfoOffset = stream.ReadLEValue(4, at, false);

  uint32_t metadataSize = kOldMetadataSize;
  if (version > 3.0f) {
    metadataSize = 0;
    for (uint32_t candidate : kPossibleSizes) {
      const uint32_t sync = end - kFooterSize - kDataOffsetsSize - candidate - kVersionInfoSize;
      if (HasSignature(stream, sync, kSyncText, kSyncTextSize)) {
        metadataSize = candidate;
        break;
      }
    }
    if (metadataSize == 0) return nullptr;
  }
  uint32_t size = metadataSize + (versionInfoOffset - imageExtensionOffset) + kVersionInfoSize +
                  kDataOffsetsSize + kFooterSize;
  uint32_t offset = end - size;
  const uint32_t header = offset - kHeaderSize;
  if (HasSignature(stream, header, kSyncText, kSyncTextSize)) {
    offset = header;
    size += kHeaderSize;
  }
  return std::unique_ptr<CTag>(new CMusicMatchTag(version, offset, size));
}
