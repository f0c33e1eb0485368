// MPEG audio frames to 16-bit stereo PCM over libmad's low-level interface.
#pragma once

#include <mad.h>

#include <cstdint>

namespace engine {

class CMp3Decoder {
 public:
  static constexpr uint32_t kInputBytes = 1 << 20;
  // One frame of output at most: 1152 sample frames of two 16-bit channels.
  static constexpr uint32_t kMaxFrameBytes = 1152 * 4;

  enum DecodeResult { kNeedInput = 1, kFrame = 2 };

  CMp3Decoder();
  ~CMp3Decoder();
  CMp3Decoder(const CMp3Decoder&) = delete;
  CMp3Decoder& operator=(const CMp3Decoder&) = delete;

  // False when the input buffer could not be allocated; such a decoder takes
  // no bytes and produces no frames.
  bool IsUsable() const { return input_ != nullptr; }

  int Init();
  int Finish();
  // Appends `count` bytes after the bytes carried from the last piece and
  // hands them all to libmad. Call at the start or after Decode returned
  // kNeedInput. Bytes beyond the input buffer's capacity are dropped.
  int Feed(const uint8_t* bytes, uint32_t count);
  // Ends the input: feeds MAD_BUFFER_GUARD zero bytes, which libmad needs
  // after the last frame to decode it. What libmad then finds in those zeros
  // is the end of the stream, not a frame: Decode reports kNeedInput there.
  int FeedEnd();
  // Decodes the next frame into `out` (kMaxFrameBytes): interleaved left,
  // right, 16-bit little-endian. kNeedInput when the input ends inside a
  // frame (that frame is carried to the next Feed). Every other outcome,
  // libmad's recoverable errors included, synthesizes the frame object as it
  // stands and returns kFrame, possibly with `*count` 0.
  int Decode(uint8_t* out, uint32_t* count);

  // libmad fixed point (28 fraction bits) to 16 bits: rounding, a triangular
  // dither of at most one step, clipping.
  static int16_t Dither(mad_fixed_t sample, uint32_t* state);
  static uint32_t Prng(uint32_t state) { return state * 1664525u + 1013904223u; }

  static constexpr uint32_t kDitherSeed = 0xA8B9FF7Eu;

 private:
  mad_stream stream_;
  mad_frame frame_;
  mad_synth synth_;
  uint8_t* input_;
  uint32_t carried_ = 0;
  const uint8_t* guardStart_ = nullptr;  // set by FeedEnd
};

}  // namespace engine
