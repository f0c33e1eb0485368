// Semaphores, auto-reset events and sleeping, with time-outs in milliseconds.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

inline constexpr uint32_t kWaitForever = 0xFFFFFFFFu;

// A counting semaphore with a maximum count. Releasing past the maximum fails
// and leaves the count at the maximum, so requests made while one is pending
// merge with it.
class Semaphore {
 public:
  Semaphore(int32_t initialCount, int32_t maximumCount);
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;

  // Adds `count`; false (count unchanged) when that would pass the maximum.
  bool Release(int32_t count = 1);
  // Takes one unit; false when `timeoutMs` passed first.
  bool Wait(uint32_t timeoutMs = kWaitForever);
  int32_t Count() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int32_t count_;
  const int32_t maximum_;
};

// An event that wakes one waiter and then resets itself. Setting an event
// that is already set changes nothing.
class AutoResetEvent {
 public:
  AutoResetEvent() = default;
  AutoResetEvent(const AutoResetEvent&) = delete;
  AutoResetEvent& operator=(const AutoResetEvent&) = delete;

  void Set();
  // True when the event was set (and is now reset); false on time-out.
  bool Wait(uint32_t timeoutMs = kWaitForever);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_ = false;
};

void SleepMs(uint32_t milliseconds);
// Milliseconds from a fixed point; only differences are meaningful.
uint64_t MonotonicMs();

}  // namespace platform
