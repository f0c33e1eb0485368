#include "platform/thread.h"

#include <system_error>
#include <thread>

namespace platform {

struct Thread::State {
  std::thread thread;
};

std::unique_ptr<Thread> Thread::Start(std::function<void()> body) {
  auto state = std::make_unique<State>();
  try {
    state->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return nullptr;
  }
  return std::unique_ptr<Thread>(new Thread(std::move(state)));
}

Thread::Thread(std::unique_ptr<State> state) : state_(std::move(state)) {}

Thread::~Thread() { Join(); }

void Thread::Join() {
  if (!state_->thread.joinable()) return;
  // A thread cannot wait for itself; released from its own body, it is let go
  // to finish on its own instead of ending the process.
  if (IsCurrent()) {
    state_->thread.detach();
  } else {
    state_->thread.join();
  }
}

bool Thread::IsCurrent() const { return state_->thread.get_id() == std::this_thread::get_id(); }

bool StartDetachedThread(std::function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

}  // namespace platform
