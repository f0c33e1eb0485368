// Which byte ranges of a track's body the cache file holds: a sorted list of
// disjoint half-open intervals, merged as they grow. The cache file is an
// image of the body at the same offsets, filled in any order.
#pragma once

#include <cstdint>
#include <vector>

namespace engine {

class ByteRanges {
 public:
  // Records that [begin, end) is held; overlapping and touching ranges merge.
  void Add(uint64_t begin, uint64_t end);
  // The first byte at or after `offset` that is not held: the end of the
  // held run `offset` lies in, or `offset` itself.
  uint64_t HeldFrom(uint64_t offset) const;

 private:
  struct Range {
    uint64_t begin;
    uint64_t end;
  };
  std::vector<Range> ranges_;
};

}  // namespace engine
