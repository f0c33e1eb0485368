// Independent decodes to compare the engine's output with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace enginetest {

// libmad's own synthesis of a whole MP3 (guard bytes appended), each sample
// rounded to 16 bits without dither, mono duplicated: interleaved stereo.
// Frames libmad reports recoverable errors for are skipped.
std::vector<int16_t> ReferenceDecode(const std::string& mp3);

// The engine's decoder fed `mp3` in pieces of `pieceBytes`, then the end of
// the input: interleaved stereo.
std::vector<int16_t> DecodeInPieces(const std::string& mp3, size_t pieceBytes);

// Little-endian 16-bit samples of a byte string.
std::vector<int16_t> Samples(const std::string& bytes);

// How many samples of `expected`, from its start, `heard` holds once each and
// in order, with nothing between them but silence (an output waiting for
// data); -1 when `heard` holds a sound that is not the next one expected
// (audio replayed, skipped or out of order). Under Wine, up to two dropouts
// of its sound device, each losing at most 10 ms, are forgiven.
ptrdiff_t HeardInOrder(const std::vector<int16_t>& heard, const std::vector<int16_t>& expected);

// Hand-made stereo MPEG 1 Layer III frames (44.1 kHz, 128 kbit/s) whose side
// information and main data are all zero: they decode to digital silence.
std::string SilentFrames(int count);

// An ID3v2.3 tag of exactly `bytes` bytes (header and padding) and an ID3v1
// tag of 128 bytes.
std::string Id3v2Tag(size_t bytes);
inline std::string Id3v1Tag() { return "TAGTitle" + std::string(120, '\0'); }

}  // namespace enginetest
