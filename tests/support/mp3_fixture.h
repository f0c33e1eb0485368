// Real MP3 encoder output for tests, made with libmp3lame from a synthesized,
// reproducible signal: the same options always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

enum class Mp3RateMode { kCbr, kVbr, kAbr };

struct Mp3Options {
  // 32000, 44100, 48000 (MPEG 1); 16000, 22050, 24000 (MPEG 2);
  // 8000, 11025, 12000 (MPEG 2.5). The output keeps this rate.
  int sampleRate = 44100;
  int channels = 2;  // 1 (mono) or 2 (joint stereo)
  Mp3RateMode rateMode = Mp3RateMode::kCbr;
  int bitrateKbps = 128;  // the CBR bitrate or the ABR mean; the nearest legal one is used
  int vbrQuality = 4;     // VBR: 0 (best) to 9
  double seconds = 1.0;
  // Whether the first frame is the Xing ("Xing" for VBR and ABR, "Info" for
  // CBR) header frame carrying the LAME tag, as the encoder writes to files.
  bool vbrTag = true;
};

struct Mp3Fixture {
  std::string bytes;         // MPEG audio frames only: no ID3 or other tag
  std::vector<int16_t> pcm;  // the samples encoded, interleaved when stereo
  int sampleRate = 0;
  int channels = 0;
  int bitrateKbps = 0;       // the CBR bitrate or ABR mean used; 0 for VBR
  size_t audioFrames = 0;    // frames of audio, not counting the header frame
  size_t tagFrameSize = 0;   // bytes of the Xing/Info header frame at offset 0; 0 when none
};

// Encodes `options.seconds` of the test signal. An encoder failure fails the
// test and gives empty bytes.
Mp3Fixture EncodeMp3(const Mp3Options& options = {});

}  // namespace testsupport
