#include "mpa_header.h"

#include "mpa_file_stream.h"

namespace {

// Hz by raw version field and sample-rate index (index 3 is rejected first).
constexpr uint32_t kSampleRates[4][3] = {
    {11025, 12000, 8000},   // MPEG 2.5
    {0, 0, 0},              // reserved
    {22050, 24000, 16000},  // MPEG 2
    {44100, 48000, 32000},  // MPEG 1
};

// kbit/s by LSF, layer and bitrate index; index 0 is free format, 15 is rejected first.
constexpr uint32_t kBitrates[2][3][15] = {
    {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
    },
    {
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
    },
};

// By LSF and layer.
constexpr uint32_t kSamplesPerFrame[2][3] = {{384, 1152, 1152}, {384, 1152, 576}};
constexpr uint32_t kLengthCoefficients[2][3] = {{12, 144, 144}, {12, 144, 72}};
constexpr uint32_t kSlotSizes[3] = {4, 1, 1};

// By LSF and mono.
constexpr uint32_t kSideInfoSizes[2][2] = {{32, 17}, {17, 9}};

// MPEG 1 Layer II: whether a bitrate index is allowed [single channel, other modes].
constexpr bool kLayer2Allowed[15][2] = {
    {true, true},  {true, false}, {true, false}, {true, false}, {true, true},
    {true, false}, {true, true},  {true, true},  {true, true},  {true, true},
    {true, true},  {false, true}, {false, true}, {false, true}, {false, true},
};

}  // namespace

bool CMPAHeader::ParseHeader(const uint8_t* b) {
  version = (b[1] >> 3) & 3;
  if (version == 1) return false;
  lsf = version != kMpeg1;
  layer = 3 - ((b[1] >> 1) & 3);
  if (layer == 3) return false;
  crcProtected = (b[1] & 1) == 0;
  const int bitrateIndex = b[2] >> 4;
  if (bitrateIndex == 15) return false;
  bitrate = kBitrates[lsf][layer][bitrateIndex] * 1000;
  if (bitrate == 0) return false;
  const int sampleRateIndex = (b[2] >> 2) & 3;
  if (sampleRateIndex == 3) return false;
  sampleRate = kSampleRates[version][sampleRateIndex];
  padding = (b[2] >> 1) & 1;
  samplesPerFrame = kSamplesPerFrame[lsf][layer];
  privateBit = b[2] & 1;
  channelMode = b[3] >> 6;
  modeExtension = (b[3] >> 4) & 3;
  copyright = (b[3] >> 3) & 1;
  original = (b[3] >> 2) & 1;
  emphasis = b[3] & 3;
  if (emphasis == 2) return false;
  if (version == kMpeg1 && layer == 1 && !kLayer2Allowed[bitrateIndex][IsMono() ? 0 : 1]) return false;
  return true;
}

bool CMPAHeader::FindHeader(CMPAFileStream& stream, uint32_t& offset, bool exact, bool reverse,
                            const CMPAHeader* reference) {
  for (uint32_t probe = 1;; ++probe) {
    const uint8_t* b = stream.ReadBuffer(4, offset, false, reverse);
    if (!b) return false;
    // A read running past the end is padded with zeros, which are no part of
    // a header: one cut off by the end of the stream is not taken.
    const bool whole = uint64_t{offset} + 4 <= stream.GetSize();
    if (whole && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && (b[2] & 0xF0) != 0xF0 && ParseHeader(b) &&
        (!reference || IsCompatible(*reference))) {
      return true;
    }
    if (!exact) {
      offset += reverse ? -1 : 1;  // past 0 backwards wraps beyond the end, where the stream stops the scan
    } else {
      if (probe > 6) return false;
      if (probe % 2 == 1) {
        offset += probe;
      } else {
        offset -= probe;
      }
    }
  }
}

bool CMPAHeader::IsCompatible(const CMPAHeader& other) const {
  return version == other.version && layer == other.layer && sampleRate == other.sampleRate &&
         IsMono() == other.IsMono() && emphasis == other.emphasis;
}

uint32_t CMPAHeader::GetFrameLength() const {
  return (kLengthCoefficients[lsf][layer] * bitrate / sampleRate + padding) * kSlotSizes[layer];
}

uint32_t CMPAHeader::GetLengthSecs(uint32_t frames) const {
  // In 64 bits: a frame count from a damaged VBR header must not wrap.
  return static_cast<uint32_t>(uint64_t{frames} * samplesPerFrame / sampleRate);
}

uint32_t CMPAHeader::GetAverageBytesPerSecond(uint32_t frames, uint32_t bytes) const {
  const uint32_t seconds = GetLengthSecs(frames);
  return seconds == 0 ? 0 : bytes / seconds;
}

uint32_t CMPAHeader::GetSideInfoSize() const { return kSideInfoSizes[lsf][IsMono()]; }
