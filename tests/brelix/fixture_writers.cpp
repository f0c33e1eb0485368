#include "fixture_writers.h"

#include <cstdio>
#include <cstdlib>

namespace brelixtest {

std::string BigEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

std::string LittleEndian(uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  return out;
}

std::string Header(const char* hex) {
  return BigEndian(static_cast<uint32_t>(std::strtoul(hex, nullptr, 16)), 4);
}

std::string Frames(const std::string& header, size_t length, size_t count) {
  std::string frame = header + std::string(length - header.size(), '\0');
  std::string out;
  for (size_t i = 0; i < count; ++i) out += frame;
  return out;
}

void Put(std::string& s, size_t at, const std::string& bytes) {
  if (s.size() < at + bytes.size()) s.resize(at + bytes.size(), '\0');
  s.replace(at, bytes.size(), bytes);
}

std::string Id3v1(uint8_t track) {
  std::string tag = "TAG" + std::string(125, ' ');
  tag[125] = '\0';
  tag[126] = static_cast<char>(track);
  return tag;
}

std::string Id3v2(uint8_t major, uint32_t bodySize, bool footer) {
  std::string synchsafe;
  for (int shift = 21; shift >= 0; shift -= 7) synchsafe.push_back(static_cast<char>((bodySize >> shift) & 0x7F));
  const std::string fields = std::string{static_cast<char>(major), '\0', footer ? '\x10' : '\0'} + synchsafe;
  return "ID3" + fields + std::string(bodySize, '\0') + (footer ? "3DI" + fields : "");
}

std::string Ape(uint32_t versionField, uint32_t itemsSize, bool withHeader) {
  const uint32_t flags = withHeader ? 0x80000000u : 0;
  auto block = [&](uint32_t isHeader) {
    return "APETAGEX" + LittleEndian(versionField, 4) + LittleEndian(itemsSize + 32, 4) + LittleEndian(1, 4) +
           LittleEndian(flags | isHeader, 4) + std::string(8, '\0');
  };
  return (withHeader ? block(0x20000000u) : "") + std::string(itemsSize, 'i') + block(0);
}

std::string Lyrics3v1(uint32_t lyricsSize) { return "LYRICSBEGIN" + std::string(lyricsSize, 'l') + "LYRICSEND"; }

std::string Lyrics3v2(uint32_t fieldsSize) {
  char size[8];
  std::snprintf(size, sizeof size, "%06u", fieldsSize + 11);
  return "LYRICSBEGIN" + std::string(fieldsSize, 'f') + size + "LYRICS200";
}

std::string MusicMatch(const char* version, uint32_t metadataSize, uint32_t imageSize, bool withHeader) {
  const std::string sync = "18273645";
  const uint32_t imageOffset = 5000;  // where the image data would lie in the file; only differences count
  std::string out;
  if (withHeader) out += sync + std::string(248, 'h');
  out += std::string(imageSize, 'p');
  out += sync + std::string(248, 'v');
  out += std::string(metadataSize, 'm');
  out += LittleEndian(imageOffset, 4) + LittleEndian(imageOffset + 4, 4) + LittleEndian(0, 4) +
         LittleEndian(imageOffset + imageSize, 4) + LittleEndian(imageOffset + imageSize + 256, 4);
  out += "Brava Software Inc.             " + std::string(version, 4) + std::string(12, ' ');
  return out;
}

std::string Xing(const XingFields& fields) {
  std::string out = std::string(fields.identifier, 4) + BigEndian(fields.flags, 4);
  if (fields.flags & 1) out += BigEndian(fields.frames, 4);
  if (fields.flags & 2) out += BigEndian(fields.bytes, 4);
  if (fields.flags & 4) {
    for (int i = 0; i < 100; ++i) out.push_back(static_cast<char>(i));
  }
  if (fields.flags & 8) out += BigEndian(fields.quality, 4);
  return out;
}

std::string Lame(const char* version, char ninth, uint8_t revisionAndMethod, uint8_t lowpass, uint8_t bitrate) {
  return "LAME" + std::string(version, 4) + ninth + static_cast<char>(revisionAndMethod) +
         static_cast<char>(lowpass) + std::string(9, '\0') + static_cast<char>(bitrate);
}

std::string Vbri(uint32_t frames, uint32_t bytes, uint16_t storedEntries, uint16_t entrySize) {
  std::string out = "VBRI" + BigEndian(1, 2) + BigEndian(1000, 2) + BigEndian(75, 2) + BigEndian(bytes, 4) +
                    BigEndian(frames, 4) + BigEndian(storedEntries, 2) + BigEndian(1, 2) + BigEndian(entrySize, 2) +
                    BigEndian(100, 2);
  for (uint32_t i = 1; i <= storedEntries + 1u; ++i) out += BigEndian(i, entrySize <= 4 ? entrySize : 4);
  return out;
}

}  // namespace brelixtest
