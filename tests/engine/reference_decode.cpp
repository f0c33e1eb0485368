#include "reference_decode.h"

#include <mad.h>

#include <algorithm>

#include "engine/mp3_decoder.h"

namespace enginetest {
namespace {

int16_t Round(mad_fixed_t sample) {
  return static_cast<int16_t>(std::clamp<int64_t>(int64_t{sample} + (1 << 12), -MAD_F_ONE, MAD_F_ONE - 1) >> 13);
}

}  // namespace

std::vector<int16_t> ReferenceDecode(const std::string& mp3) {
  std::vector<unsigned char> input(mp3.begin(), mp3.end());
  input.resize(input.size() + MAD_BUFFER_GUARD, 0);
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_synth_init(&synth);
  mad_stream_buffer(&stream, input.data(), input.size());
  std::vector<int16_t> pcm;
  for (;;) {
    if (mad_frame_decode(&frame, &stream) != 0) {
      if (MAD_RECOVERABLE(stream.error)) continue;
      break;
    }
    mad_synth_frame(&synth, &frame);
    for (unsigned i = 0; i < synth.pcm.length; ++i) {
      const int16_t left = Round(synth.pcm.samples[0][i]);
      pcm.push_back(left);
      pcm.push_back(synth.pcm.channels == 2 ? Round(synth.pcm.samples[1][i]) : left);
    }
  }
  mad_synth_finish(&synth);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return pcm;
}

std::vector<int16_t> DecodeInPieces(const std::string& mp3, size_t pieceBytes) {
  engine::CMp3Decoder decoder;
  decoder.Init();
  std::string out;
  uint8_t pcm[engine::CMp3Decoder::kMaxFrameBytes];
  uint32_t count = 0;
  auto decodeFed = [&] {
    while (decoder.Decode(pcm, &count) == engine::CMp3Decoder::kFrame) out.append(reinterpret_cast<char*>(pcm), count);
  };
  const auto* bytes = reinterpret_cast<const uint8_t*>(mp3.data());
  for (size_t at = 0; at < mp3.size(); at += pieceBytes) {
    decoder.Feed(bytes + at, static_cast<uint32_t>(std::min(pieceBytes, mp3.size() - at)));
    decodeFed();
  }
  decoder.FeedEnd();
  decodeFed();
  decoder.Finish();
  return Samples(out);
}

std::vector<int16_t> Samples(const std::string& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return samples;
}

std::string SilentFrames(int count) {
  // Sync, MPEG 1, Layer III, no CRC; 128 kbit/s, 44.1 kHz, no padding,
  // stereo: 417 bytes.
  const std::string frame = std::string("\xFF\xFB\x90\x00", 4) + std::string(413, '\0');
  std::string frames;
  for (int i = 0; i < count; ++i) frames += frame;
  return frames;
}

std::string Id3v2Tag(size_t bytes) {
  const size_t body = bytes - 10;
  std::string tag("ID3\x03\x00\x00", 6);
  for (int shift = 21; shift >= 0; shift -= 7) tag += static_cast<char>((body >> shift) & 0x7F);
  tag += std::string("TIT2") + std::string("\x00\x00\x00\x06\x00\x00", 6) + std::string("\x00Title", 6);
  tag.resize(bytes, '\0');
  return tag;
}

namespace {

// Sound under Wine drops a few milliseconds now and then, when its mixer
// hands the device its data late: what is heard jumps a little ahead, often
// after a moment of silence. So many such dropouts, each far shorter than an
// MPEG frame (2304 samples), are forgiven there; none elsewhere.
#ifdef _WIN32
constexpr int kForgivenDropouts = 2;
#else
constexpr int kForgivenDropouts = 0;
#endif
constexpr size_t kDropoutSamples = 882;  // 10 ms
constexpr size_t kDropoutProbe = 64;

// How far ahead of `next` in `expected` the stretch of `heard` from `at` on
// is found, at most kDropoutSamples; -1 when it is not.
ptrdiff_t DropoutLength(const std::vector<int16_t>& heard, size_t at, const std::vector<int16_t>& expected,
                        size_t next) {
  const size_t probe = std::min(kDropoutProbe, heard.size() - at);
  for (size_t skip = 2; skip <= kDropoutSamples && next + skip + probe <= expected.size(); skip += 2) {
    if (std::equal(heard.begin() + at, heard.begin() + at + probe, expected.begin() + next + skip)) return skip;
  }
  return -1;
}

}  // namespace

ptrdiff_t HeardInOrder(const std::vector<int16_t>& heard, const std::vector<int16_t>& expected) {
  size_t next = 0;
  int dropouts = 0;
  for (size_t at = 0; at < heard.size(); ++at) {
    const int16_t sample = heard[at];
    if (next < expected.size() && sample == expected[next]) {
      ++next;
    } else if (sample != 0) {
      const ptrdiff_t skip = ++dropouts <= kForgivenDropouts ? DropoutLength(heard, at, expected, next) : -1;
      if (skip < 0) return -1;
      next += static_cast<size_t>(skip) + 1;
    }
  }
  return static_cast<ptrdiff_t>(next);
}

}  // namespace enginetest
