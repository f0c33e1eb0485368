// A shared pointer that several threads load, store and exchange at once.
// The lock is held only to copy the pointer; no thread ever waits on work
// done under it.
#pragma once

#include <memory>
#include <mutex>

namespace engine {

template <typename T>
class SharedSlot {
 public:
  std::shared_ptr<T> load() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void store(std::shared_ptr<T> value) { exchange(std::move(value)); }
  // The previous value; it is released by the caller, outside the lock.
  std::shared_ptr<T> exchange(std::shared_ptr<T> value) {
    std::lock_guard lock(mutex_);
    value_.swap(value);
    return value;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<T> value_;
};

}  // namespace engine
