#include "engine/byte_ranges.h"

#include <algorithm>

namespace engine {

void ByteRanges::Add(uint64_t begin, uint64_t end) {
  if (begin >= end) return;
  // The first range that ends at or after `begin` may touch or overlap it.
  auto first = std::lower_bound(ranges_.begin(), ranges_.end(), begin,
                                [](const Range& r, uint64_t at) { return r.end < at; });
  auto last = first;
  while (last != ranges_.end() && last->begin <= end) {
    begin = std::min(begin, last->begin);
    end = std::max(end, last->end);
    ++last;
  }
  first = ranges_.erase(first, last);
  ranges_.insert(first, Range{begin, end});
}

uint64_t ByteRanges::HeldFrom(uint64_t offset) const {
  auto it = std::upper_bound(ranges_.begin(), ranges_.end(), offset,
                             [](uint64_t at, const Range& r) { return at < r.begin; });
  if (it == ranges_.begin()) return offset;
  --it;
  return offset < it->end ? it->end : offset;
}

}  // namespace engine
