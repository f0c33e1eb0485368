#include "engine_harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace enginetest {
namespace {

std::atomic<EngineHarness*> current{nullptr};

}  // namespace

EngineHarness::EngineHarness(const HarnessOptions& options) {
  if (options.withBrelix) {
    EXPECT_EQ(symlink(BRELIX_LIBRARY_PATH, folder_.Path("libbrelix.so").c_str()), 0);
  }
  if (options.cacheFolderBlocked) folder_.Write("cache", "not a folder");
  state_.cacheFolder = folder_.Folder() + "/cache/";
  state_.libraryFolder = folder_.Folder() + "/";
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
  if (event == engine::kEventTrackEnd) self->PostEngineMessage(engine::kMessageTrackEnd, 0);
  if (event == engine::kEventPosition && self->state_.playback.load()) {
    self->PostEngineMessage(engine::kMessagePosition, engine::PositionSeconds(self->state_, value));
  }
  if (event == engine::kEventRanDry) self->state_.buffering = true;
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
  const auto value = static_cast<int32_t>(message.value);
  if (message.type == engine::kMessageDuration) state_.totalSeconds = value;
  if (message.type == engine::kMessageContentLength) state_.contentLength = value;
  if (message.type == engine::kMessagePosition) state_.elapsedSeconds = value;
  if (message.type != engine::kMessageDownloaded) return;
  const int64_t ahead =
      (int64_t{message.value} - state_.framesBegin) / std::max(state_.bytesPerSec.load(), 1) - state_.elapsedSeconds;
  int32_t percent = 0;
  const engine::BufferingCheck check = engine::CheckBuffering(state_, message.value, &percent);
  if (check == engine::BufferingCheck::kWaiting) bufferingPercents.push_back(percent);
  if (check == engine::BufferingCheck::kResumed) {
    ++resumes;
    secondsAheadAtResume = ahead;
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
  const auto isOfType = [type](const Message& m) { return m.type == type; };
  return static_cast<size_t>(std::count_if(handled_.begin(), handled_.end(), isOfType));
}

size_t EngineHarness::EventCount(int event) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count(events_.begin(), events_.end(), event));
}

}  // namespace enginetest
