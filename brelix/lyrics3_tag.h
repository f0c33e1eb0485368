// Lyrics3 tags at the end: version 2 ends with a 6-digit size and
// "LYRICS200", version 1 with "LYRICSEND"; both begin with "LYRICSBEGIN".
#pragma once

#include "tag.h"

class CLyrics3Tag : public CTag {
 public:
  // The end marker at end - 9. A version 1 tag also needs its "LYRICSBEGIN"
  // within the 5100 bytes before the marker, and a version 2 tag a size that
  // is not negative.
  static std::unique_ptr<CTag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

 private:
  CLyrics3Tag(float version, uint32_t offset, uint32_t size);
};
