// What a listener hears from the sound output, as 16-bit stereo samples.
//
// On Linux the tests play through SDL's disk driver, which writes what it
// plays to SDL_DISKAUDIOFILE. On Windows they play through DirectSound to the
// default device, a PulseAudio null sink under Wine, whose monitor is
// recorded in real time into the file TARVONI_HEARD_FILE (the test fixture
// sound_sink starts the sink and its recorder, scripts/sound-sink).
#pragma once

#include <cstdint>
#include <vector>

namespace enginetest {

// Closes the output and starts what was heard afresh.
void ForgetHeard();

// What was heard since ForgetHeard: so far, or, with `complete`, everything
// (the output is closed and what it still holds has come through).
std::vector<int16_t> Heard(bool complete);

}  // namespace enginetest
