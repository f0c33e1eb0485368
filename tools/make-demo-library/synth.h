// A small dance-music synthesizer: kick, clap and hats, a bass line, chords
// and an arpeggiated lead, arranged into intro, groove, breakdown, drop and
// outro. Rendering is deterministic: the same plan gives the same samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

enum class Groove {
  kFourOnTheFloor,  // club and house: kick on every beat, bass on the off-beats
  kHalfTime,        // slow rocking: kick on beats 1 and 3, long pads, rolling bass
  kDisco,           // octave-jumping bass, open hats on every off-beat
};

struct SongPlan {
  double bpm = 124;
  int rootNote = 57;  // MIDI note of the key's root (57 = A3)
  bool minor = true;
  int progression[4] = {0, 5, 2, 6};  // scale degree (0-6) of each bar's chord, repeating
  Groove groove = Groove::kFourOnTheFloor;
  int seconds = 60;
  int sampleRate = 44100;
  uint32_t seed = 1;  // varies hats, lead pattern and voicing
};

// Interleaved 16-bit stereo PCM, `seconds × sampleRate` frames.
std::vector<int16_t> RenderSong(const SongPlan& plan);

// "A minor", "F# major", ... for `rootNote` and `minor`.
std::string KeyName(int rootNote, bool minor);

}  // namespace demo
