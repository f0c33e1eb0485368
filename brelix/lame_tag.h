// The encoder block LAME writes into the first frame, 120 bytes after the
// start of the Xing or Info header. It takes no bytes of its own (size 0).
#pragma once

#include <string>

#include "tag.h"

class CLAMETag : public CTag {
 public:
  // `begin` is the offset of the Xing header's identifier; the block must
  // start with "LAME" at begin + 120. Null when it does not, or when its
  // info-tag revision is 15 (an invalid block).
  static std::unique_ptr<CLAMETag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

  int32_t GetLowpass() const { return lowpass_; }  // Hz
  uint8_t GetBitrate() const { return bitrate_; }  // kbit/s: ABR target, else minimal bitrate
  uint8_t GetRevision() const { return revision_; }
  uint8_t GetMethod() const { return method_; }
  // "LAME" with the version characters, NUL-padded.
  std::string GetEncoder() const;
  // True for an encoder version below 3.9 (3.100 and later are not): only
  // the encoder string was read.
  bool IsShortTag() const { return shortTag_; }
  bool IsVBR() const { return method_ >= 3 && method_ <= 6; }
  bool IsABR() const { return method_ == 2 || method_ == 9; }
  bool IsCBR() const { return method_ == 1 || method_ == 8; }
  const char* GetVBRInfo() const;

 private:
  CLAMETag(bool atEnd, uint32_t offset) : CTag("LAME", atEnd, offset, 0) {}
  // False for revision 15.
  bool Parse(CMPAFileStream& stream);

  int32_t lowpass_ = 0;
  uint8_t bitrate_ = 0;
  uint8_t revision_ = 0;
  char encoder_[64] = {};
  uint8_t method_ = 0;
  bool shortTag_ = false;
};
