// Byte writers for Brelix test fixtures: frame headers and frames, Xing,
// VBRI and LAME blocks, and every tag format Brelix measures. Each returns
// the block's bytes, laid out as the format says.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace brelixtest {

inline std::string BigEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

inline std::string LittleEndian(uint32_t value, int bytes) {
  const std::string big = BigEndian(value, bytes);
  return {big.rbegin(), big.rend()};
}

// Four header bytes from their hex text, e.g. "FFFB9064".
inline std::string Header(const char* hex) {
  return BigEndian(static_cast<uint32_t>(std::strtoul(hex, nullptr, 16)), 4);
}

// `header` followed by zeros up to `length` bytes; `count` such frames.
inline std::string Frames(const std::string& header, size_t length, size_t count = 1) {
  std::string out;
  for (size_t i = 0; i < count; ++i) out += header + std::string(length - header.size(), '\0');
  return out;
}

// Overwrites `s` from `at` with `bytes`, growing it when needed.
inline void Put(std::string& s, size_t at, const std::string& bytes) {
  if (s.size() < at + bytes.size()) s.resize(at + bytes.size(), '\0');
  s.replace(at, bytes.size(), bytes);
}

// ID3v1.1 with track number `track`; track 0 reads as ID3v1.0.
inline std::string Id3v1(uint8_t track) {
  return "TAG" + std::string(122, ' ') + '\0' + static_cast<char>(track) + ' ';
}

// Header, `bodySize` zero bytes and, with `footer`, a "3DI" footer.
inline std::string Id3v2(uint8_t major, uint32_t bodySize, bool footer) {
  std::string synchsafe;
  for (int shift = 21; shift >= 0; shift -= 7) synchsafe.push_back(static_cast<char>((bodySize >> shift) & 0x7F));
  const std::string fields = std::string{static_cast<char>(major), '\0', footer ? '\x10' : '\0'} + synchsafe;
  return "ID3" + fields + std::string(bodySize, '\0') + (footer ? "3DI" + fields : "");
}

// [header] items footer, APE version `versionField` (1000 or 2000); the
// header flag is set in both blocks when `withHeader`.
inline std::string Ape(uint32_t versionField, uint32_t itemsSize, bool withHeader) {
  const uint32_t flags = withHeader ? 0x80000000u : 0;
  auto block = [&](uint32_t isHeader) {
    return "APETAGEX" + LittleEndian(versionField, 4) + LittleEndian(itemsSize + 32, 4) + LittleEndian(1, 4) +
           LittleEndian(flags | isHeader, 4) + std::string(8, '\0');
  };
  return (withHeader ? block(0x20000000u) : "") + std::string(itemsSize, 'i') + block(0);
}

// "LYRICSBEGIN", `lyricsSize` filler bytes, "LYRICSEND".
inline std::string Lyrics3v1(uint32_t lyricsSize) { return "LYRICSBEGIN" + std::string(lyricsSize, 'l') + "LYRICSEND"; }

// "LYRICSBEGIN", `fieldsSize` filler bytes, the 6-digit size, "LYRICS200".
inline std::string Lyrics3v2(uint32_t fieldsSize) {
  const std::string size = std::to_string(fieldsSize + 11);
  return "LYRICSBEGIN" + std::string(fieldsSize, 'f') + std::string(6 - size.size(), '0') + size + "LYRICS200";
}

// [header] image data, version information, audio metadata, data offsets and
// footer with the 4 version characters `version`.
inline std::string MusicMatch(const char* version, uint32_t metadataSize, uint32_t imageSize, bool withHeader) {
  const std::string sync = "18273645";
  const uint32_t imageOffset = 5000;  // where the image data would lie in the file; only differences count
  std::string out = withHeader ? sync + std::string(248, 'h') : "";
  out += std::string(imageSize, 'p') + sync + std::string(248, 'v') + std::string(metadataSize, 'm');
  out += LittleEndian(imageOffset, 4) + LittleEndian(imageOffset + 4, 4) + LittleEndian(0, 4) +
         LittleEndian(imageOffset + imageSize, 4) + LittleEndian(imageOffset + imageSize + 256, 4);
  return out + "Brava Software Inc.             " + std::string(version, 4) + std::string(12, ' ');
}

struct XingFields {
  const char* identifier = "Xing";
  uint32_t flags = 0x0F;
  uint32_t frames = 0;
  uint32_t bytes = 0;
  uint32_t quality = 0;
};

// The Xing block: identifier, flags and the fields the flags announce (the
// TOC counts 0, 1, 2, ...).
inline std::string Xing(const XingFields& fields) {
  std::string out = std::string(fields.identifier, 4) + BigEndian(fields.flags, 4);
  if (fields.flags & 1) out += BigEndian(fields.frames, 4);
  if (fields.flags & 2) out += BigEndian(fields.bytes, 4);
  for (int i = 0; (fields.flags & 4) && i < 100; ++i) out.push_back(static_cast<char>(i));
  if (fields.flags & 8) out += BigEndian(fields.quality, 4);
  return out;
}

// A LAME block: "LAME", the 4 version characters, `ninth`, the revision and
// method byte, the lowpass byte (195: 19500 Hz), 9 zeros and the bitrate
// byte (128).
inline std::string Lame(const char* version, char ninth, uint8_t revisionAndMethod) {
  return "LAME" + std::string(version, 4) + ninth + static_cast<char>(revisionAndMethod) + '\xC3' +
         std::string(9, '\0') + '\x80';
}

// The VBRI block, with `storedEntries` + 1 table entries of `entrySize` bytes
// counting 1, 2, 3, ...
inline std::string Vbri(uint32_t frames, uint32_t bytes, uint16_t storedEntries, uint16_t entrySize) {
  std::string out = "VBRI" + BigEndian(1, 2) + BigEndian(1000, 2) + BigEndian(75, 2) + BigEndian(bytes, 4) +
                    BigEndian(frames, 4) + BigEndian(storedEntries, 2) + BigEndian(1, 2) + BigEndian(entrySize, 2) +
                    BigEndian(100, 2);
  for (uint32_t i = 1; i <= storedEntries + 1u; ++i) out += BigEndian(i, entrySize <= 4 ? entrySize : 4);
  return out;
}

}  // namespace brelixtest
