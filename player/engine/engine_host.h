// How the engine reports to the program that hosts it (the main window, or a
// headless tool): engine messages, posted from the worker threads and
// handled later on the host's own thread, in the order posted.
#pragma once

#include <cstdint>

namespace engine {

enum EngineMessage : uint32_t {
  kMessageDuration = 1,       // value: duration in seconds
  kMessageContentLength = 2,  // value: bytes
  kMessageDownloaded = 3,     // value: bytes in the cache file so far
  kMessageTrackEnd = 4,       // value 0; posted by the host's sink on player event 4
  kMessagePosition = 5,       // value: seconds; posted by the host's sink on player event 5
  kMessageFailed = 9,         // value 0: the request cannot be played
};

class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // Queues the message and returns at once; never waits for the host.
  virtual void PostEngineMessage(uint32_t type, uint32_t value) = 0;
};

}  // namespace engine
