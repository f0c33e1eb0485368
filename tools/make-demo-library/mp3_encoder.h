// MP3 encoding of 16-bit stereo PCM with libmp3lame, the way encoders write
// files: with the Xing/Info frame (LAME tag) filled in at the start once the
// whole stream is known, unless a bare stream is asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demo {

enum class BitrateMode { kConstant, kVariable, kAverage };

struct EncoderSettings {
  BitrateMode mode = BitrateMode::kVariable;
  int bitrateKbps = 128;  // constant rate, or the target of an average rate
  int vbrQuality = 4;     // 0 (best) to 9, for kVariable
  bool mono = false;      // downmix to one channel
  bool infoFrame = true;  // write the Xing/Info frame with the LAME tag
};

// Encodes interleaved stereo `pcm` at `sampleRate` into `mp3`. On failure
// returns false with the reason in `error`.
bool EncodeMp3(const std::vector<int16_t>& pcm, int sampleRate, const EncoderSettings& settings, std::string* mp3,
               std::string* error);

// "CBR 128 kbps", "VBR q4", "ABR 160 kbps", with " mono" and " no Info frame" as they apply.
std::string DescribeSettings(const EncoderSettings& settings);

}  // namespace demo
