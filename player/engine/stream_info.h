// The figures of a track's stream, asked of the Brelix library, which is
// loaded from the program folder for the call and unloaded after it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/playback.h"

namespace engine {

// Stores Brelix's four offsets and rates in `state` and gives the sample rate
// and the duration. False, with `state` unchanged, when the library cannot be
// loaded, lacks one of its eight functions, or cannot read `location`.
bool BindStreamInfo(PlaybackState& state, const std::string& location, uint32_t* sampleRate, uint32_t* seconds);

// A location is read as a URL when it begins with "http" or "www" in any case.
bool IsLocalLocation(const std::string& location);

}  // namespace engine
