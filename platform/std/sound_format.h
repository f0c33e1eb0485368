// What every sound backend checks and says the same way.
#pragma once

#include "platform/sound.h"

namespace platform {

// PCM with 1 or 2 channels of 8 or 16 bits, its block size consistent.
bool IsPlayableFormat(const WaveFormat& f);

// Says once per process, on standard error, that nothing will be heard.
void ReportNoDeviceOnce(const char* reason);

}  // namespace platform
