// Events the output and the decode thread report to the host.
#pragma once

#include <cstdint>

namespace engine {

enum PlayerEvent : int {
  kEventTrackEnd = 4,  // value 0; raised by the decode thread
  kEventPosition = 5,  // value: segments played (see CDirectSoundPlayer::SegmentsToSeconds)
  kEventRanDry = 6,    // value 0; the output stopped itself and waits for data
  kEventPlaying = 7,   // value 0; raised after every Play
};

// The player event sink: a plain function, called on the thread that raises
// the event (the notification thread for 5 and 6, the caller of Play for 7,
// the decode thread for 4). It must not block.
using PlayerEventSink = void (*)(int event, uint32_t value);

}  // namespace engine
