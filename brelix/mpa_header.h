// The 4-byte header of an MPEG audio frame (MPEG 1, 2 and 2.5; Layers I, II
// and III) and the search for a valid one in a stream.
#pragma once

#include <cstdint>

class CMPAFileStream;

struct CMPAHeader {
  // Decodes b[0..3] (whose sync bits the caller has tested). False for a
  // reserved version, layer, sample rate or emphasis, a free-format or
  // invalid bitrate, or an MPEG 1 Layer II bitrate the channel mode forbids;
  // the fields decoded before the rejection keep their values.
  bool ParseHeader(const uint8_t* b);

  // Looks for a header from `offset` and leaves `offset` on it. Not exact:
  // byte by byte (backwards when `reverse`) until the stream ends. Exact:
  // only `offset` and the six offsets within 3 bytes of it, nearest first.
  // With a `reference`, only headers compatible with it count.
  bool FindHeader(CMPAFileStream& stream, uint32_t& offset, bool exact, bool reverse, const CMPAHeader* reference);

  // Same version, layer, sample rate, emphasis and mono-ness.
  bool IsCompatible(const CMPAHeader& other) const;
  uint32_t GetFrameLength() const;
  uint32_t GetBytesPerSecond() const { return bitrate >> 3; }
  // Whole seconds that `frames` frames last.
  uint32_t GetLengthSecs(uint32_t frames) const;
  // `bytes` over the whole seconds of `frames`; 0 when they last under a second.
  uint32_t GetAverageBytesPerSecond(uint32_t frames, uint32_t bytes) const;
  bool IsMono() const { return channelMode == kSingleChannel; }
  uint32_t GetChannels() const { return IsMono() ? 1 : 2; }
  // Layer III side information size, used for every layer.
  uint32_t GetSideInfoSize() const;

  static constexpr int kMpeg25 = 0;
  static constexpr int kMpeg2 = 2;
  static constexpr int kMpeg1 = 3;
  static constexpr int kSingleChannel = 3;

  bool lsf = false;     // MPEG 2 or 2.5
  int version = 0;      // the raw field: kMpeg25, kMpeg2 or kMpeg1
  int layer = 0;        // 0 = Layer I, 1 = II, 2 = III
  int emphasis = 0;     // 0 none, 1 50/15 us, 3 CCITT J.17
  int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
  uint32_t sampleRate = 0;
  uint32_t samplesPerFrame = 0;
  uint32_t bitrate = 0;  // bit/s
  uint32_t padding = 0;  // slots
  bool copyright = false;
  bool privateBit = false;
  bool original = false;
  bool crcProtected = false;
  uint8_t modeExtension = 0;
};
