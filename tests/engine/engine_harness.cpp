#include "engine_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/dynlib.h"
#include "platform/file.h"

namespace enginetest {
EngineHarness::EngineHarness(const HarnessOptions& options) {
  if (options.withBrelix) {
    std::string library;
    EXPECT_TRUE(platform::ReadWholeFile(BRELIX_LIBRARY_PATH, &library));
    EXPECT_TRUE(platform::ReplaceFileContents(folder_.Path(platform::SharedLibraryFileName("brelix")), library));
  }
  if (options.cacheFolderBlocked) folder_.Write("cache", "not a folder");
  engine::EngineSettings settings;
  settings.programFolder = folder_.Folder() + "/";
  settings.cacheFolder = options.cacheFolder.empty() ? folder_.Path("cache") : options.cacheFolder;
  settings.stallTimeoutMs = options.stallTimeoutMs;
  if (options.resumePauseMs != 0) {
    for (uint32_t& pause : settings.resumePausesMs) pause = options.resumePauseMs;
  }
  engine_ = engine::Engine::Start(*this, settings);
  EXPECT_TRUE(engine_);
}

EngineHarness::~EngineHarness() { engine_.reset(); }

void EngineHarness::PostEngineMessage(uint32_t type, uint32_t value) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({type, value});
    posted_types_.push_back(type);
  }
  posted_.notify_all();
}

void EngineHarness::Handle(const Message& message) {
  handled_.push_back(message);
  const engine::StreamFigures figures = engine_->Figures();
  const int64_t ahead = (int64_t{message.value} - figures.framesBegin) / std::max(figures.bytesPerSec, 1) -
                        engine_->ElapsedSeconds();
  const engine::EngineReport report = engine_->Digest(message.type, message.value);
  handled_.back().value = report.value;
  if (report.bufferingShown) bufferingPercents.push_back(report.bufferingPercent);
  if (report.resumed) {
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

size_t EngineHarness::EventCount(uint32_t type) const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(std::count(posted_types_.begin(), posted_types_.end(), type));
}

}  // namespace enginetest
