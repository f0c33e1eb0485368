// ID3 tags: the fixed 128-byte ID3v1 block at the end, and ID3v2 blocks found
// by their header at the beginning or their footer ("3DI") at the end.
#pragma once

#include "tag.h"

class CID3V1Tag : public CTag {
 public:
  // "TAG" at end - 128; never at the beginning.
  static std::unique_ptr<CTag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

 private:
  CID3V1Tag(CMPAFileStream& stream, uint32_t position);
};

class CID3V2Tag : public CTag {
 public:
  // "ID3" at begin, or "3DI" at end - 10.
  static std::unique_ptr<CTag> Find(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

 private:
  CID3V2Tag(CMPAFileStream& stream, bool atEnd, uint32_t position);
};
