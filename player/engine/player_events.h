// Events the output and the decode thread report to the engine.
#pragma once

#include <cstdint>

namespace engine {

enum PlayerEvent : int {
  kEventTrackEnd = 4,  // value 0; raised by the decode thread
  kEventPosition = 5,  // value: segments heard (see CDirectSoundPlayer::SegmentsToSeconds)
  kEventRanDry = 6,    // value 0; the output stopped itself and waits for data
  kEventPlaying = 7,   // value 0, raised after every Play; kResumedByItself when the output
                       // resumed without one after running dry
};

inline constexpr uint32_t kResumedByItself = 1;

// Receives a player's events on the thread that raises them (the
// notification thread for 5, 6 and a resumption's 7, the caller of Play for
// 7, the decode thread for 4). It must not block.
class PlayerEventSink {
 public:
  virtual void OnPlayerEvent(int event, uint32_t value) = 0;

 protected:
  ~PlayerEventSink() = default;
};

}  // namespace engine
