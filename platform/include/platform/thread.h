// Threads.
#pragma once

#include <functional>
#include <memory>

namespace platform {

class Thread {
 public:
  // Starts `body` on a new thread. Null when no thread can be started.
  static std::unique_ptr<Thread> Start(std::function<void()> body);
  // Joins the thread if it was not joined yet. Called from the thread itself
  // (its own body releasing it), it lets the thread run on detached instead.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void Join();
  bool IsCurrent() const;

 private:
  struct State;
  explicit Thread(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// Starts `body` on a thread that nobody joins; it lives until it returns or
// the process ends. False when no thread can be started.
bool StartDetachedThread(std::function<void()> body);

}  // namespace platform
