#include "engine_harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>

#include "platform/file.h"

namespace enginetest {
namespace {

std::atomic<EngineHarness*> current{nullptr};

}  // namespace

EngineHarness::EngineHarness(const HarnessOptions& options) {
  if (options.withBrelix) {
    EXPECT_EQ(symlink(BRELIX_LIBRARY_PATH, folder_.Path("libbrelix.so").c_str()), 0);
  }
  if (options.cacheFolderBlocked) folder_.Write("cache", "not a folder");
  state_.programFolder = folder_.Folder() + "/";
  state_.host = this;
  state_.eventSink = &EngineHarness::Sink;
  current = this;
  threads_ = engine::EngineThreads::Start(state_);
  EXPECT_TRUE(threads_);
}

EngineHarness::~EngineHarness() {
  threads_.reset();
  current = nullptr;
}

void EngineHarness::Sink(int event, uint32_t value) {
  EngineHarness* self = current;
  if (!self) return;
  {
    std::lock_guard lock(self->mutex_);
    self->events_.push_back(event);
  }
  switch (event) {
    case engine::kEventTrackEnd:
      self->PostEngineMessage(engine::kMessageTrackEnd, 0);
      break;
    case engine::kEventPosition:
      if (self->state_.playback.load()) {
        self->PostEngineMessage(engine::kMessagePosition, engine::PositionSeconds(self->state_, value));
      }
      break;
    case engine::kEventRanDry:
      self->state_.buffering = true;
      break;
    default:
      break;
  }
}

void EngineHarness::PostEngineMessage(uint32_t type, uint32_t value) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({type, value});
  }
  posted_.notify_all();
}

void EngineHarness::Handle(const Message& message) {
  handled_.push_back(message);
  switch (message.type) {
    case engine::kMessageDuration:
      state_.totalSeconds = static_cast<int32_t>(message.value);
      break;
    case engine::kMessageContentLength:
      state_.contentLength = static_cast<int32_t>(message.value);
      break;
    case engine::kMessageDownloaded: {
      const int64_t ahead =
          (int64_t{message.value} - state_.framesBegin) / std::max(state_.bytesPerSec.load(), 1) - state_.elapsedSeconds;
      int32_t percent = 0;
      switch (engine::CheckBuffering(state_, message.value, &percent)) {
        case engine::BufferingCheck::kWaiting:
          bufferingPercents.push_back(percent);
          break;
        case engine::BufferingCheck::kResumed:
          ++resumes;
          secondsAheadAtResume = ahead;
          break;
        case engine::BufferingCheck::kNotWaiting:
          break;
      }
      break;
    }
    case engine::kMessagePosition:
      state_.elapsedSeconds = static_cast<int32_t>(message.value);
      break;
    default:
      break;
  }
}

bool EngineHarness::RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock(mutex_);
    // Events change what `done` sees without a message: look again now and then.
    if (!posted_.wait_for(lock, std::chrono::milliseconds(10), [this] { return !queue_.empty(); })) continue;
    const Message message = queue_.front();
    queue_.pop_front();
    lock.unlock();
    Handle(message);
  }
}

void EngineHarness::RunFor(int ms) {
  RunUntil([] { return false; }, ms);
}

size_t EngineHarness::Count(uint32_t type) const {
  size_t n = 0;
  for (const Message& m : handled_) n += m.type == type;
  return n;
}

size_t EngineHarness::EventCount(int event) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count(events_.begin(), events_.end(), event));
}

}  // namespace enginetest
