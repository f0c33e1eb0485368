// PCM hand-over from one writer thread to one reader thread: eight 1024-byte
// blocks counted by two semaphores, no lock. The reader sees bytes only in
// whole blocks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/sync.h"

namespace engine {

class Ring_Buffer {
 public:
  static constexpr uint32_t kBlockCount = 8;
  static constexpr uint32_t kBlockBytes = 1024;
  static constexpr uint32_t kWriteWaitMs = 5;
  static constexpr uint32_t kReadWaitMs = 800;

  Ring_Buffer();
  virtual ~Ring_Buffer();
  Ring_Buffer(const Ring_Buffer&) = delete;
  Ring_Buffer& operator=(const Ring_Buffer&) = delete;

  // False when construction could not allocate; Write and Read then move nothing.
  bool IsUsable() const { return free_ != nullptr; }

  // Writer. Copies into free blocks, handing each to the reader when full;
  // waits at most 5 ms for a free block and then returns the count copied.
  uint32_t Write(const uint8_t* bytes, uint32_t count);
  // Writer. Completes a partly written block with zeros and hands it over.
  void FlushPartial();
  // Writer. No more data will come for this track.
  void SetEnd() { end_.store(true, std::memory_order_release); }

  // Reader. Copies from complete blocks, waiting at most `waitMs` for each
  // new block, and not at all once the end is marked (no block can come
  // then); returns the count copied.
  uint32_t Read(uint8_t* dest, uint32_t count, uint32_t waitMs = kReadWaitMs);
  bool IsEnd() const { return end_.load(std::memory_order_acquire); }

 private:
  // How often a waiting reader looks at the end mark.
  static constexpr uint32_t kEndPollMs = 10;

  bool WaitForBlock(uint32_t waitMs);

  std::unique_ptr<uint8_t[]> blocks_[kBlockCount];
  std::unique_ptr<platform::Semaphore> filled_;
  std::unique_ptr<platform::Semaphore> free_;
  uint32_t writeIndex_ = 0;
  uint32_t writeOffset_ = 0;
  uint32_t readIndex_ = 0;
  uint32_t readOffset_ = 0;
  std::atomic<bool> end_{false};
};

}  // namespace engine
