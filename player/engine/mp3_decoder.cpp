#include "engine/mp3_decoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace engine {

CMp3Decoder::CMp3Decoder() : input_(static_cast<uint8_t*>(std::malloc(kInputBytes))) {}

CMp3Decoder::~CMp3Decoder() {
  std::free(input_);
  carried_ = 0;
}

int CMp3Decoder::Init() {
  mad_stream_init(&stream_);
  mad_frame_init(&frame_);
  mad_synth_init(&synth_);
  return 0;
}

int CMp3Decoder::Finish() {
  mad_frame_finish(&frame_);
  mad_stream_finish(&stream_);
  return 0;
}

int CMp3Decoder::Feed(const uint8_t* bytes, uint32_t count) {
  if (!input_) return 0;
  const uint32_t taken = std::min(count, kInputBytes - carried_);
  std::memcpy(input_ + carried_, bytes, taken);
  carried_ += taken;
  mad_stream_buffer(&stream_, input_, carried_);
  carried_ = 0;
  return 0;
}

int CMp3Decoder::FeedEnd() {
  static constexpr uint8_t kGuard[MAD_BUFFER_GUARD] = {};
  const uint32_t real = carried_;
  Feed(kGuard, sizeof kGuard);
  guardStart_ = input_ ? input_ + real : nullptr;
  return 0;
}

int CMp3Decoder::Decode(uint8_t* out, uint32_t* count) {
  *count = 0;
  if (!input_) return kNeedInput;
  uint32_t state = kDitherSeed;
  if (mad_frame_decode(&frame_, &stream_) != 0) {
    if (stream_.error == MAD_ERROR_BUFLEN) {
      if (stream_.next_frame) {
        carried_ = static_cast<uint32_t>(stream_.bufend - stream_.next_frame);
        std::memmove(input_, stream_.next_frame, carried_);
      }
      return kNeedInput;
    }
    if (guardStart_ && stream_.this_frame >= guardStart_) return kNeedInput;
  }
  mad_synth_frame(&synth_, &frame_);
  const bool mono = frame_.header.mode == MAD_MODE_SINGLE_CHANNEL;
  const mad_fixed_t* left = synth_.pcm.samples[0];
  const mad_fixed_t* right = synth_.pcm.samples[1];
  for (unsigned i = 0; i < synth_.pcm.length; ++i) {
    const int16_t l = Dither(left[i], &state);
    const int16_t r = mono ? l : Dither(right[i], &state);
    out[0] = static_cast<uint8_t>(l & 0xFF);
    out[1] = static_cast<uint8_t>((l >> 8) & 0xFF);
    out[2] = static_cast<uint8_t>(r & 0xFF);
    out[3] = static_cast<uint8_t>((r >> 8) & 0xFF);
    out += 4;
    *count += 4;
  }
  return kFrame;
}

int16_t CMp3Decoder::Dither(mad_fixed_t sample, uint32_t* state) {
  const uint32_t previous = *state;
  const uint32_t next = Prng(previous);
  *state = next;
  // 64 bits only so that a wild sample near the type's limits cannot overflow.
  int64_t x = int64_t{sample} + (next & 0x1FFF) - (previous & 0x1FFF) + 4096;
  if (x >= MAD_F_ONE) {
    x = MAD_F_ONE - 1;
  } else if (x < -MAD_F_ONE) {
    x = -MAD_F_ONE;
  }
  return static_cast<int16_t>(x >> 13);
}

}  // namespace engine
