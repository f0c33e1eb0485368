#include "mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <memory>

namespace demo {
namespace {

struct LameCloser {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameCloser>;

// Fast psychoacoustics: the demo tracks need to be made in seconds, and the
// difference to the default quality is not audible on synthesized music.
constexpr int kAlgorithmQuality = 7;
constexpr int kFramesPerCall = 8192;

bool Configure(lame_global_flags* lame, int sampleRate, const EncoderSettings& settings) {
  lame_set_in_samplerate(lame, sampleRate);
  lame_set_out_samplerate(lame, sampleRate);
  lame_set_num_channels(lame, 2);
  lame_set_mode(lame, settings.mono ? MONO : JOINT_STEREO);
  lame_set_quality(lame, kAlgorithmQuality);
  lame_set_bWriteVbrTag(lame, settings.infoFrame ? 1 : 0);
  switch (settings.mode) {
    case BitrateMode::kConstant:
      lame_set_VBR(lame, vbr_off);
      lame_set_brate(lame, settings.bitrateKbps);
      break;
    case BitrateMode::kVariable:
      lame_set_VBR(lame, vbr_default);
      lame_set_VBR_quality(lame, static_cast<float>(settings.vbrQuality));
      break;
    case BitrateMode::kAverage:
      lame_set_VBR(lame, vbr_abr);
      lame_set_VBR_mean_bitrate_kbps(lame, settings.bitrateKbps);
      break;
  }
  return lame_init_params(lame) >= 0;
}

}  // namespace

bool EncodeMp3(const std::vector<int16_t>& pcm, int sampleRate, const EncoderSettings& settings, std::string* mp3,
               std::string* error) {
  LamePtr lame(lame_init());
  if (!lame) {
    *error = "the MP3 encoder could not be created";
    return false;
  }
  if (!Configure(lame.get(), sampleRate, settings)) {
    *error = "the MP3 encoder rejected " + DescribeSettings(settings) + " at " + std::to_string(sampleRate) + " Hz";
    return false;
  }
  mp3->clear();
  // LAME's documented worst case for one call: 1.25 × samples + 7200 bytes.
  std::vector<unsigned char> out(kFramesPerCall * 5 / 4 + 7200);
  const size_t frames = pcm.size() / 2;
  for (size_t first = 0; first < frames; first += kFramesPerCall) {
    int count = static_cast<int>(std::min<size_t>(kFramesPerCall, frames - first));
    // LAME's interface takes a non-const buffer but does not write to it.
    short* samples = const_cast<short*>(pcm.data() + 2 * first);
    int written = lame_encode_buffer_interleaved(lame.get(), samples, count, out.data(), static_cast<int>(out.size()));
    if (written < 0) {
      *error = "the MP3 encoder failed (code " + std::to_string(written) + ")";
      return false;
    }
    mp3->append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(written));
  }
  int written = lame_encode_flush(lame.get(), out.data(), static_cast<int>(out.size()));
  if (written < 0) {
    *error = "the MP3 encoder failed at the end of the stream (code " + std::to_string(written) + ")";
    return false;
  }
  mp3->append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(written));

  if (settings.infoFrame) {
    // The first frame of the stream is a placeholder of the tag frame's size;
    // overwrite it with the tag that now knows the frame count and sizes.
    unsigned char tag[2880];
    size_t tagSize = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
    if (tagSize == 0 || tagSize > mp3->size()) {
      *error = "the MP3 encoder gave no Info frame";
      return false;
    }
    mp3->replace(0, tagSize, reinterpret_cast<const char*>(tag), tagSize);
  }
  return true;
}

std::string DescribeSettings(const EncoderSettings& settings) {
  std::string text;
  switch (settings.mode) {
    case BitrateMode::kConstant: text = "CBR " + std::to_string(settings.bitrateKbps) + " kbps"; break;
    case BitrateMode::kVariable: text = "VBR q" + std::to_string(settings.vbrQuality); break;
    case BitrateMode::kAverage: text = "ABR " + std::to_string(settings.bitrateKbps) + " kbps"; break;
  }
  if (settings.mono) text += " mono";
  if (!settings.infoFrame) text += " no Info frame";
  return text;
}

}  // namespace demo
