#include "lame_tag.h"

#include <cstring>

#include "c_number.h"
#include "mpa_file_stream.h"

namespace {

// Xing identifier, flags, frames, bytes, 100-byte TOC and quality.
constexpr uint32_t kOffsetAfterXing = 120;
// Encoder string, revision and method, lowpass, peak and replay gains, flags.
constexpr uint32_t kBlockLength = 20;
constexpr uint32_t kBitrateOffset = 20;

constexpr const char* kMethodTexts[10] = {"Unknown", "CBR",  "ABR",      "VBR1",    "VBR2",
                                          "VBR3",    "VBR4", "Reserved", "CBR2Pass", "ABR2Pass"};

}  // namespace

std::unique_ptr<CLAMETag> CLAMETag::Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end) {
  const uint32_t position = begin + kOffsetAfterXing;
  if (!HasSignature(stream, position, "LAME", 4)) return nullptr;
  std::unique_ptr<CLAMETag> tag(new CLAMETag(atEnd, position));
  if (!tag->Parse(stream)) return nullptr;
  return tag;
}

bool CLAMETag::Parse(CMPAFileStream& stream) {
  uint32_t position = offset_;
  const uint8_t* read = stream.ReadBuffer(kBlockLength, position, false, false);
  if (!read) return true;
  uint8_t block[kBlockLength];
  std::memcpy(block, read, kBlockLength);
  // From 3.100 on the minor number has three digits and the ninth character
  // is its last: those versions are later than 3.99, not 3.1.
  const bool threeDigitMinor = block[8] >= '0' && block[8] <= '9';
  version_ = DecimalToFloat(reinterpret_cast<const char*>(block + 4), threeDigitMinor ? 5 : 4);
  if (version_ < 3.9f && !threeDigitMinor) {
    shortTag_ = true;
    std::memcpy(encoder_, block, kBlockLength);
    return true;
  }
  std::memcpy(encoder_, block, 9);
  if (encoder_[8] == '.') encoder_[8] = '\0';
  revision_ = block[9] >> 4;
  method_ = block[9] & 0x0F;
  if (revision_ == 15) return false;
  lowpass_ = block[10] * 100;
  uint32_t bitratePosition = offset_ + kBitrateOffset;
  bitrate_ = static_cast<uint8_t>(stream.ReadBEValue(1, bitratePosition, false));
  return true;
}

std::string CLAMETag::GetEncoder() const { return std::string(encoder_, strnlen(encoder_, sizeof encoder_)); }

const char* CLAMETag::GetVBRInfo() const { return kMethodTexts[method_ < 10 ? method_ : 0]; }
