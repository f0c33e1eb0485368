#include "engine/ring_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

namespace engine {

Ring_Buffer::Ring_Buffer() {
  for (auto& block : blocks_) {
    block.reset(new (std::nothrow) uint8_t[kBlockBytes]);
    if (!block) {
      for (auto& allocated : blocks_) allocated.reset();
      return;
    }
  }
  filled_ = std::make_unique<platform::Semaphore>(0, kBlockCount);
  free_ = std::make_unique<platform::Semaphore>(kBlockCount, kBlockCount);
  std::fputs("alloc ringbuf success!\n", stdout);
}

Ring_Buffer::~Ring_Buffer() = default;

uint32_t Ring_Buffer::Write(const uint8_t* bytes, uint32_t count) {
  if (!IsUsable()) return 0;
  uint32_t left = count;
  while (left > 0) {
    if (writeIndex_ >= kBlockCount) writeIndex_ = 0;
    if (writeOffset_ == 0 && !free_->Wait(kWriteWaitMs)) break;
    const uint32_t k = std::min(kBlockBytes - writeOffset_, left);
    std::memcpy(blocks_[writeIndex_].get() + writeOffset_, bytes + (count - left), k);
    writeOffset_ += k;
    left -= k;
    if (writeOffset_ == kBlockBytes) {
      ++writeIndex_;
      writeOffset_ = 0;
      filled_->Release();
    }
  }
  return count - left;
}

void Ring_Buffer::FlushPartial() {
  if (!IsUsable()) return;
  writeIndex_ %= kBlockCount;
  writeOffset_ %= kBlockBytes;
  if (writeOffset_ == 0) return;
  std::memset(blocks_[writeIndex_].get() + writeOffset_, 0, kBlockBytes - writeOffset_);
  ++writeIndex_;
  writeOffset_ = 0;
  filled_->Release();
}

bool Ring_Buffer::WaitForBlock(uint32_t waitMs) {
  const uint64_t deadline = platform::MonotonicMs() + waitMs;
  for (;;) {
    const uint64_t now = platform::MonotonicMs();
    if (now >= deadline) return filled_->Wait(0);
    const bool ended = IsEnd();
    if (filled_->Wait(ended ? 0 : std::min<uint64_t>(deadline - now, kEndPollMs))) return true;
    if (ended) return false;
  }
}

uint32_t Ring_Buffer::Read(uint8_t* dest, uint32_t count, uint32_t waitMs) {
  if (!IsUsable()) return 0;
  uint32_t total = 0;
  while (count > 0) {
    if (readOffset_ == 0 && !WaitForBlock(waitMs)) break;
    const uint32_t avail = kBlockBytes - readOffset_;
    if (count < avail) {
      std::memcpy(dest + total, blocks_[readIndex_].get() + readOffset_, count);
      readOffset_ += count;
      total += count;
      count = 0;
    } else {
      std::memcpy(dest + total, blocks_[readIndex_].get() + readOffset_, avail);
      ++readIndex_;
      free_->Release();
      if (readIndex_ == kBlockCount) readIndex_ = 0;
      readOffset_ = 0;
      count -= avail;
      total += avail;
    }
  }
  return total;
}

}  // namespace engine
