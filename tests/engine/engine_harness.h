// The window's part in engine tests: runs an engine, receives its messages
// and digests them as the main window does (durations, lengths, buffering
// checks, positions), without moving on to another track by itself.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/playback.h"
#include "support/temp_dir.h"

namespace enginetest {

struct Message {
  uint32_t type;
  uint32_t value;
};

struct HarnessOptions {
  bool withBrelix = true;         // the Brelix library copied into the program folder
  bool cacheFolderBlocked = false;  // a plain file named "cache" is in the way
  std::string cacheFolder = {};     // instead of the program folder's "cache"
  uint32_t stallTimeoutMs = 8000;
  uint32_t resumePauseMs = 0;       // every pause before a resumption; 0: the engine's own
};

class EngineHarness : public engine::EngineHost {
 public:
  explicit EngineHarness(const HarnessOptions& options = {});
  // Ends the engine threads.
  ~EngineHarness() override;

  engine::Engine& Engine() { return *engine_; }
  engine::PlaybackState& State() { return engine::StateOf(*engine_); }

  void Request(const std::string& url) { engine_->RequestTrack(url); }
  // Handles messages as they come until `done` holds; false on time-out.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  // Handles whatever arrives during `ms`.
  void RunFor(int ms);
  // Ends the engine threads now (the destructor does it otherwise).
  void StopEngine() { engine_.reset(); }

  // What the harness has handled and seen so far.
  size_t Count(uint32_t type) const;
  std::vector<Message> Handled() const { return handled_; }
  // Messages of `type` posted so far, handled or not.
  size_t EventCount(uint32_t type) const;
  // Percentages shown while buffering, and whether and how far ahead the
  // output was resumed.
  std::vector<int32_t> bufferingPercents;
  int resumes = 0;
  int64_t secondsAheadAtResume = -1;

  void PostEngineMessage(uint32_t type, uint32_t value) override;

 private:
  void Handle(const Message& message);

  testsupport::TempDir folder_;
  std::unique_ptr<engine::Engine> engine_;

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Message> queue_;
  std::vector<uint32_t> posted_types_;
  std::vector<Message> handled_;  // the test thread's own
};

}  // namespace enginetest
