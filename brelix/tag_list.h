// Finds every tag at both ends of a stream and the byte range of the audio
// data between them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tag.h"

class CTagList {
 public:
  // Runs the whole detection: passes at the end until one finds nothing,
  // then passes at the beginning likewise. Each pass tries its finders in
  // table order and stops at the first hit. A hit that would not move the
  // boundary inwards (a tag of no size, or one reaching past the stream's
  // start) is dropped and ends the detection at that end.
  explicit CTagList(CMPAFileStream& stream);
  ~CTagList();
  CTagList(const CTagList&) = delete;
  CTagList& operator=(const CTagList&) = delete;

  // First byte after the leading tags; 0 when there are none. It may exceed
  // GetEnd when a leading tag claims more bytes than there are.
  uint32_t GetBegin() const { return begin_; }
  // First byte of the trailing tags; the stream's size when there are none.
  uint32_t GetEnd() const { return end_; }
  // The tag at `index` in order of discovery, or null past the last; `index`
  // is incremented in both cases.
  const CTag* GetNextTag(uint32_t& index) const;

 private:
  enum class Outcome { kMiss, kHit, kStuck };

  bool FindTagAtEnd();
  bool FindTagAtBegin();
  Outcome TryFinder(TagFinder finder, bool atEnd);

  CMPAFileStream& stream_;
  std::vector<std::unique_ptr<CTag>> tags_;
  uint32_t begin_ = 0;
  uint32_t end_;
};
