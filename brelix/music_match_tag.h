// MusicMatch tags at the end, found by their 48-byte footer.
#pragma once

#include "tag.h"

class CMusicMatchTag : public CTag {
 public:
  // "Brava Software Inc." and 13 blanks at end - 48. Null also when the tag
  // is inconsistent: version 3.01 and above, and none of the known metadata
  // sizes puts a version information block ("18273645") where it must be.
  static std::unique_ptr<CTag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

 private:
  CMusicMatchTag(float version, uint32_t offset, uint32_t size);
};
