// The figures of a track's stream, asked of the Brelix library, which is
// loaded from the program folder for the call and unloaded after it.
#pragma once

#include <cstdint>
#include <string>

#include "engine/engine.h"

namespace engine {

struct StreamInfo {
  uint32_t sampleRate = 0;
  uint32_t seconds = 0;
  StreamFigures figures;
};

// Asks the Brelix library in `programFolder` for the figures of the stream at
// `location`. False when the library cannot be loaded, lacks one of its eight
// functions, or cannot read `location`.
bool BindStreamInfo(const std::string& programFolder, const std::string& location, StreamInfo* info);

// A location is read as a URL when it begins with "http" or "www" in any case.
bool IsLocalLocation(const std::string& location);

}  // namespace engine
