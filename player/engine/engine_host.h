// How the engine reports to the program that hosts it (the main window, or a
// headless tool): engine messages, posted from the engine's threads and
// handed back to Engine::Digest on the host's own thread, in the order posted.
#pragma once

#include <cstdint>

namespace engine {

enum EngineMessage : uint32_t {
  kMessageDuration = 1,       // value: duration in seconds
  kMessageContentLength = 2,  // value: bytes
  kMessageDownloaded = 3,     // value: bytes in the cache file so far
  kMessageTrackEnd = 4,       // value 0: the track was heard to its end
  kMessagePosition = 5,       // value: seconds heard
  kMessageRanDry = 6,         // value 0: the output stopped to wait for data
  kMessagePlaying = 7,        // value 0: the output was started or resumed
  kMessageFailed = 9,         // value 0: the request cannot be played, or its download broke off
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // Called on the engine's threads: queues the message for the host's thread
  // and returns at once; never waits for the host.
  virtual void PostEngineMessage(uint32_t type, uint32_t value) = 0;
};

}  // namespace engine
