// Byte writers for Brelix test fixtures: frame headers and frames, Xing,
// VBRI and LAME blocks, and every tag format Brelix measures. Each returns
// the block's bytes, laid out as the format says.
#pragma once

#include <cstdint>
#include <string>

namespace brelixtest {

std::string BigEndian(uint32_t value, int bytes);
std::string LittleEndian(uint32_t value, int bytes);
// Four header bytes from their hex text, e.g. "FFFB9064".
std::string Header(const char* hex);
// `header` followed by zeros up to `length` bytes; `count` such frames.
std::string Frames(const std::string& header, size_t length, size_t count = 1);
// Overwrites `s` from `at` with `bytes`, growing it when needed.
void Put(std::string& s, size_t at, const std::string& bytes);

std::string Id3v1(uint8_t track);
// Header, `bodySize` zero bytes and, with `footer`, a "3DI" footer.
std::string Id3v2(uint8_t major, uint32_t bodySize, bool footer);
// [header] items footer, APE version `versionField` (1000 or 2000); the
// header flag is set in both blocks when `withHeader`.
std::string Ape(uint32_t versionField, uint32_t itemsSize, bool withHeader);
// "LYRICSBEGIN", `lyricsSize` filler bytes, "LYRICSEND".
std::string Lyrics3v1(uint32_t lyricsSize);
// "LYRICSBEGIN", `fieldsSize` filler bytes, the 6-digit size, "LYRICS200".
std::string Lyrics3v2(uint32_t fieldsSize);
// [header] image data, version information, audio metadata, data offsets and
// footer with the 4 version characters `version`.
std::string MusicMatch(const char* version, uint32_t metadataSize, uint32_t imageSize, bool withHeader);

struct XingFields {
  const char* identifier = "Xing";
  uint32_t flags = 0x0F;
  uint32_t frames = 0;
  uint32_t bytes = 0;
  uint32_t quality = 0;
};
// The Xing block: identifier, flags and the fields the flags announce (the
// TOC counts 0, 1, 2, ...).
std::string Xing(const XingFields& fields);
// A LAME block: "LAME", the 4 version characters, `ninth`, the revision and
// method byte, the lowpass byte, 9 zeros and the bitrate byte.
std::string Lame(const char* version, char ninth, uint8_t revisionAndMethod, uint8_t lowpass, uint8_t bitrate);
// The VBRI block, with `storedEntries` + 1 table entries of `entrySize` bytes
// counting 1, 2, 3, ...
std::string Vbri(uint32_t frames, uint32_t bytes, uint16_t storedEntries, uint16_t entrySize);

}  // namespace brelixtest
