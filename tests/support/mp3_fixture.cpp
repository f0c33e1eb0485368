#include "support/mp3_fixture.h"

#include <gtest/gtest.h>
#include <lame.h>

#include <cmath>
#include <memory>
#include <numbers>

namespace testsupport {
namespace {

// Two tones per channel under a slow swell, with a little seeded noise, so
// that VBR frames vary in size and the output is the same on every run.
std::vector<int16_t> SynthesizeSignal(int sampleRate, int channels, double seconds) {
  const size_t frames = static_cast<size_t>(seconds * sampleRate);
  std::vector<int16_t> pcm(frames * static_cast<size_t>(channels));
  uint32_t noise = 12345;
  for (size_t i = 0; i < frames; ++i) {
    double t = static_cast<double>(i) / sampleRate;
    double swell = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * 0.7 * t);
    for (int channel = 0; channel < channels; ++channel) {
      double base = 220.0 * (channel + 2);
      noise = noise * 1664525u + 1013904223u;
      double hiss = (static_cast<double>(noise >> 16) / 65535.0 - 0.5) * 0.08;
      double value = swell * (0.35 * std::sin(2 * std::numbers::pi * base * t) +
                              0.2 * std::sin(2 * std::numbers::pi * base * 2.51 * t)) +
                     hiss;
      pcm[i * static_cast<size_t>(channels) + static_cast<size_t>(channel)] =
          static_cast<int16_t>(std::lround(value * 30000.0));
    }
  }
  return pcm;
}

}  // namespace

Mp3Fixture EncodeMp3(const Mp3Options& options) {
  Mp3Fixture fixture;
  std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), lame_close);
  if (!lame) {
    ADD_FAILURE() << "lame_init failed";
    return fixture;
  }
  lame_global_flags* flags = lame.get();
  lame_set_num_channels(flags, options.channels);
  lame_set_in_samplerate(flags, options.sampleRate);
  lame_set_out_samplerate(flags, options.sampleRate);
  lame_set_mode(flags, options.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_quality(flags, 7);
  lame_set_write_id3tag_automatic(flags, 0);
  lame_set_bWriteVbrTag(flags, options.vbrTag ? 1 : 0);
  switch (options.rateMode) {
    case Mp3RateMode::kCbr:
      lame_set_VBR(flags, vbr_off);
      lame_set_brate(flags, options.bitrateKbps);
      break;
    case Mp3RateMode::kVbr:
      lame_set_VBR(flags, vbr_default);
      lame_set_VBR_q(flags, options.vbrQuality);
      break;
    case Mp3RateMode::kAbr:
      lame_set_VBR(flags, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(flags, options.bitrateKbps);
      break;
  }
  if (lame_init_params(flags) < 0) {
    ADD_FAILURE() << "libmp3lame refused " << options.sampleRate << " Hz, " << options.channels << " channel(s), "
                  << options.bitrateKbps << " kbit/s";
    return fixture;
  }

  fixture.pcm = SynthesizeSignal(options.sampleRate, options.channels, options.seconds);
  const int samples = static_cast<int>(fixture.pcm.size() / static_cast<size_t>(options.channels));
  std::vector<unsigned char> out(static_cast<size_t>(samples) * 5 / 4 + 7200 + 2 * 2880);
  const int capacity = static_cast<int>(out.size());
  int encoded = 0;
  if (options.channels == 1) {
    encoded = lame_encode_buffer(flags, fixture.pcm.data(), nullptr, samples, out.data(), capacity);
  } else {
    encoded = lame_encode_buffer_interleaved(flags, fixture.pcm.data(), samples, out.data(), capacity);
  }
  int flushed = encoded < 0 ? -1 : lame_encode_flush(flags, out.data() + encoded, capacity - encoded);
  if (encoded < 0 || flushed < 0) {
    ADD_FAILURE() << "libmp3lame failed to encode";
    fixture.pcm.clear();
    return fixture;
  }
  fixture.bytes.assign(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(encoded + flushed));

  // The encoder reserved the first frame for the header it can only write
  // once every frame is known.
  unsigned char tag[2880];
  size_t tagSize = lame_get_lametag_frame(flags, tag, sizeof tag);
  if (tagSize > 0 && tagSize <= sizeof tag && tagSize <= fixture.bytes.size()) {
    fixture.bytes.replace(0, tagSize, reinterpret_cast<const char*>(tag), tagSize);
    fixture.tagFrameSize = tagSize;
  }
  fixture.sampleRate = lame_get_out_samplerate(flags);
  fixture.channels = options.channels;
  fixture.bitrateKbps = options.rateMode == Mp3RateMode::kVbr ? 0 : lame_get_brate(flags);
  fixture.audioFrames = static_cast<size_t>(lame_get_frameNum(flags));
  return fixture;
}

}  // namespace testsupport
