#include "engine/byte_ranges.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace enginetest {
namespace {

// Ranges added in order, then where the held run from each probed offset ends.
struct RangesCase {
  const char* name;
  std::vector<std::pair<uint64_t, uint64_t>> added;
  std::vector<std::pair<uint64_t, uint64_t>> heldFrom;  // offset, expected end of its held run
};

TEST(ByteRanges, MergesOverlapsAndTouchingRangesAndFindsTheHoles) {
  const std::vector<RangesCase> cases = {
      {"nothing held", {}, {{0, 0}, {100, 100}}},
      {"one range, its edges", {{10, 20}}, {{9, 9}, {10, 20}, {19, 20}, {20, 20}}},
      {"out of order with a hole", {{30, 40}, {10, 20}}, {{15, 20}, {20, 20}, {25, 25}, {30, 40}}},
      {"touching ranges merge", {{10, 20}, {20, 30}}, {{10, 30}}},
      {"overlap merges", {{10, 25}, {20, 30}}, {{12, 30}}},
      {"one range bridges three", {{0, 5}, {10, 15}, {20, 25}, {30, 35}, {4, 31}}, {{0, 35}, {36, 36}}},
      {"a range inside another changes nothing", {{0, 100}, {10, 20}}, {{50, 100}}},
      {"an empty range is no range", {{10, 10}, {5, 3}}, {{10, 10}, {5, 5}}},
      {"the end of the body", {{1000, 5000}, {0, 1000}}, {{0, 5000}, {4999, 5000}, {5000, 5000}}},
  };
  for (const RangesCase& c : cases) {
    SCOPED_TRACE(c.name);
    engine::ByteRanges ranges;
    for (const auto& [begin, end] : c.added) ranges.Add(begin, end);
    for (const auto& [offset, end] : c.heldFrom) EXPECT_EQ(ranges.HeldFrom(offset), end) << "from " << offset;
  }
}

}  // namespace
}  // namespace enginetest
