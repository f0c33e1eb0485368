// APE tags (versions 1 and 2), found by their 32-byte footer at the end or
// their 32-byte header at the beginning.
#pragma once

#include "tag.h"

class CAPETag : public CTag {
 public:
  // "APETAGEX" at begin, or at end - 32.
  static std::unique_ptr<CTag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

 private:
  CAPETag(CMPAFileStream& stream, bool atEnd, uint32_t position);
};
