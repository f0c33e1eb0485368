// One MPEG audio frame located in a stream: its header, offset and length.
#pragma once

#include <cstdint>
#include <memory>

#include "mpa_header.h"

class CMPAFileStream;
class CVBRHeader;

class CMPAFrame {
 public:
  // A frame to be looked for from `offset` in `stream` (borrowed).
  CMPAFrame(CMPAFileStream& stream, uint32_t offset);
  ~CMPAFrame();
  CMPAFrame(const CMPAFrame&) = delete;
  CMPAFrame& operator=(const CMPAFrame&) = delete;

  // Searches a header from the frame's offset (CMPAHeader::FindHeader), moves
  // the offset onto it and takes its length. False when none is found.
  bool Locate(bool exact, bool reverse, const CMPAHeader* reference);

  // Valid once Locate succeeded.
  const CMPAHeader& GetHeader() const { return *header_; }
  uint32_t GetOffset() const { return offset_; }
  uint32_t GetLength() const { return length_; }
  uint32_t GetNextOffset() const { return offset_ + length_; }

  // The Xing, Info or VBRI header inside this frame, if any.
  std::unique_ptr<CVBRHeader> FindVBRHeader() const;

 private:
  std::unique_ptr<CMPAHeader> header_;
  CMPAFileStream& stream_;
  uint32_t offset_;
  uint32_t length_ = 0;
};
