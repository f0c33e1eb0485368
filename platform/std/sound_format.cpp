#include "std/sound_format.h"

#include <atomic>
#include <cstdio>

namespace platform {

bool IsPlayableFormat(const WaveFormat& f) {
  return f.formatTag == kWaveFormatPcm && (f.channels == 1 || f.channels == 2) && f.samplesPerSec > 0 &&
         (f.bitsPerSample == 8 || f.bitsPerSample == 16) && f.blockAlign == f.channels * f.bitsPerSample / 8;
}

void ReportNoDeviceOnce(const char* reason) {
  static std::atomic<bool> reported{false};
  if (reported.exchange(true)) return;
  std::fprintf(stderr, "sound: cannot open an output device (%s); nothing will be heard\n", reason);
}

}  // namespace platform
