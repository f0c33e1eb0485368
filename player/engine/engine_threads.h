// The engine's two worker threads. The download thread fetches each requested
// track into the cache file and wakes the decode thread once enough of it is
// there; the decode thread plays it from the growing file to its end.
#pragma once

#include <memory>

#include "engine/playback.h"
#include "platform/thread.h"

namespace engine {

// Bytes of audio past the first frame that must be in the cache file before
// decoding starts.
inline constexpr int64_t kDecodeStartBytes = 5120;

// Thread bodies; each serves requests until `state.shutdown` is set and its
// semaphore released.
void DownloadThreadProc(PlaybackState& state);
void DecodeThreadProc(PlaybackState& state);

// Runs both threads on a state that outlives this object. Destroying it ends
// the track in hand without any message and joins both threads; a host that
// never ends its engine simply keeps it for the life of the process.
class EngineThreads {
 public:
  // Starts the decode thread, then the download thread. Null when a thread
  // cannot be started.
  static std::unique_ptr<EngineThreads> Start(PlaybackState& state);
  ~EngineThreads();
  EngineThreads(const EngineThreads&) = delete;
  EngineThreads& operator=(const EngineThreads&) = delete;

 private:
  explicit EngineThreads(PlaybackState& state) : state_(state) {}
  PlaybackState& state_;
  std::unique_ptr<platform::Thread> decode_;
  std::unique_ptr<platform::Thread> download_;
};

}  // namespace engine
