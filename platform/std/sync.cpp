#include "platform/sync.h"

#include <chrono>
#include <thread>

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// Waits on `cv` until `ready()` holds or `timeoutMs` passed.
template <typename Ready>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint32_t timeoutMs, Ready ready) {
  if (timeoutMs == kWaitForever) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_until(lock, Clock::now() + std::chrono::milliseconds(timeoutMs), ready);
}

}  // namespace

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount) : count_(initialCount), maximum_(maximumCount) {}

// Release and Set notify while holding the lock: a waiter may destroy the
// object as soon as it wakes, so nothing may touch it after the unlock.
bool Semaphore::Release(int32_t count) {
  std::lock_guard lock(mutex_);
  if (count <= 0 || count > maximum_ - count_) return false;
  count_ += count;
  changed_.notify_all();
  return true;
}

bool Semaphore::Wait(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!WaitFor(changed_, lock, timeoutMs, [this] { return count_ > 0; })) return false;
  --count_;
  return true;
}

int32_t Semaphore::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

void AutoResetEvent::Set() {
  std::lock_guard lock(mutex_);
  signalled_ = true;
  changed_.notify_one();
}

bool AutoResetEvent::Wait(uint32_t timeoutMs) {
  std::unique_lock lock(mutex_);
  if (!WaitFor(changed_, lock, timeoutMs, [this] { return signalled_; })) return false;
  signalled_ = false;
  return true;
}

void SleepMs(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

uint64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

}  // namespace platform
