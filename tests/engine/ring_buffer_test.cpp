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

TEST(RingBuffer, WriteLargerThanTheFreeSpaceReturnsWhatFitted) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(9000, 1);
  EXPECT_EQ(ring.Write(bytes.data(), 9000), 8192u);
  EXPECT_EQ(ring.Write(bytes.data(), 10), 0u);
  std::vector<uint8_t> out(8192);
  EXPECT_EQ(ring.Read(out.data(), 8192), 8192u);
  EXPECT_TRUE(std::equal(out.begin(), out.end(), bytes.begin()));
}

TEST(RingBuffer, ReadsWithinABlockContinueWithoutANewBlock) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(1024, 2);
  ASSERT_EQ(ring.Write(bytes.data(), 1024), 1024u);
  std::vector<uint8_t> out(1024);
  EXPECT_EQ(ring.Read(out.data(), 100), 100u);
  // No second block exists: this read is served from the first one.
  EXPECT_EQ(ring.Read(out.data() + 100, 924), 924u);
  EXPECT_EQ(out, bytes);
}

TEST(RingBuffer, ReadEndingAtABlockBoundaryFreesTheBlock) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(8192, 3);
  ASSERT_EQ(ring.Write(bytes.data(), 8192), 8192u);
  std::vector<uint8_t> out(1024);
  ASSERT_EQ(ring.Read(out.data(), 1024), 1024u);
  EXPECT_EQ(ring.Write(bytes.data(), 1024), 1024u);
  EXPECT_EQ(ring.Write(bytes.data(), 1), 0u);
}

TEST(RingBuffer, FlushPartialPadsTheBlockWithZeros) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(300, 4);
  ASSERT_EQ(ring.Write(bytes.data(), 300), 300u);
  ring.FlushPartial();
  ring.SetEnd();
  std::vector<uint8_t> out(2048, 0xAA);
  EXPECT_EQ(ring.Read(out.data(), 2048), 1024u);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
  EXPECT_TRUE(std::all_of(out.begin() + 300, out.begin() + 1024, [](uint8_t b) { return b == 0; }));
}

TEST(RingBuffer, FlushPartialOnABlockBoundaryHandsOverNothing) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(1024, 5);
  ASSERT_EQ(ring.Write(bytes.data(), 1024), 1024u);
  ring.FlushPartial();
  ring.SetEnd();
  std::vector<uint8_t> out(4096);
  EXPECT_EQ(ring.Read(out.data(), 4096), 1024u);
  EXPECT_TRUE(ring.IsEnd());
}

TEST(RingBuffer, ReaderWaitingForABlockLetsGoOnceTheEndIsMarked) {
  Ring_Buffer ring;
  std::thread writer([&] {
    platform::SleepMs(50);
    ring.SetEnd();
  });
  std::vector<uint8_t> out(1024);
  EXPECT_EQ(ring.Read(out.data(), 1024), 0u);
  writer.join();
}

TEST(RingBuffer, WriterAndReaderThreadsMoveMegabytesIntact) {
  Ring_Buffer ring;
  const std::vector<uint8_t> bytes = Pattern(3 << 20, 6);
  std::thread writer([&] {
    std::mt19937 random(7);
    size_t at = 0;
    while (at < bytes.size()) {
      const size_t want = std::min<size_t>(1 + random() % 5000, bytes.size() - at);
      at += ring.Write(bytes.data() + at, static_cast<uint32_t>(want));
    }
    ring.FlushPartial();
    ring.SetEnd();
  });
  std::vector<uint8_t> out;
  out.reserve(bytes.size() + 1024);
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
