#include "engine/ring_buffer.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

namespace enginetest {
namespace {

using engine::Ring_Buffer;

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  std::mt19937 random(seed);
  for (auto& b : bytes) b = static_cast<uint8_t>(random());
  return bytes;
}

TEST(RingBuffer, WritesTakeWhatFitsAndOnlyAWhollyReadBlockIsFreed) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(9 * 1024, 1);
  EXPECT_EQ(ring.Write(bytes.data(), 9000), 8192u);
  EXPECT_EQ(ring.Write(bytes.data(), 10), 0u);
  std::vector<uint8_t> out(8192);
  EXPECT_EQ(ring.Read(out.data(), 100), 100u);
  EXPECT_EQ(ring.Write(bytes.data() + 8192, 1), 0u);
  // The rest of the block begun, not the next one.
  EXPECT_EQ(ring.Read(out.data() + 100, 924), 924u);
  EXPECT_EQ(ring.Write(bytes.data() + 8192, 1024), 1024u);
  EXPECT_EQ(ring.Write(bytes.data(), 1), 0u);
  EXPECT_EQ(ring.Read(out.data() + 1024, 7168), 7168u);
  EXPECT_EQ(out, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8192));
}

// The last block is padded with zeros; a flush on a block boundary adds no
// empty block.
TEST(RingBuffer, FlushPartialPadsTheLastBlockWithZerosAndAddsNoEmptyOne) {
  for (const auto& [written, handedOver] : {std::pair{300u, 1024u}, std::pair{1024u, 1024u}, std::pair{1324u, 2048u}}) {
    SCOPED_TRACE(written);
    Ring_Buffer ring;
    const std::vector<uint8_t> bytes = Pattern(written, 4);
    ASSERT_EQ(ring.Write(bytes.data(), written), written);
    ring.FlushPartial();
    ring.SetEnd();
    std::vector<uint8_t> out(4096, 0xAA);
    EXPECT_EQ(ring.Read(out.data(), 4096), handedOver);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
    EXPECT_TRUE(std::all_of(out.begin() + written, out.begin() + handedOver, [](uint8_t b) { return b == 0; }));
    EXPECT_TRUE(ring.IsEnd());
  }
}

TEST(RingBuffer, WriterAndReaderThreadsMoveMegabytesIntact) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(3 << 20, 6);
  std::thread writer([&] {
    std::mt19937 random(7);
    for (size_t at = 0; at < bytes.size();) {
      at += ring.Write(bytes.data() + at, static_cast<uint32_t>(std::min<size_t>(1 + random() % 5000, bytes.size() - at)));
    }
    ring.FlushPartial();
    ring.SetEnd();
  });
  std::vector<uint8_t> out;
  std::mt19937 random(8);
  std::vector<uint8_t> piece(6000);
  while (!(ring.IsEnd() && out.size() >= bytes.size())) {
    const uint32_t got = ring.Read(piece.data(), 1 + random() % 6000);
    out.insert(out.end(), piece.begin(), piece.begin() + got);
  }
  writer.join();
  ASSERT_GE(out.size(), bytes.size());
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
}

}  // namespace
}  // namespace enginetest
