#include "cover_art.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace demo {
namespace {

constexpr size_t kMaxStoredBlock = 65535;

void PutBigEndian32(std::string* out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>((value >> shift) & 0xFF));
}

uint32_t Adler32(const std::string& bytes) {
  uint32_t a = 1;
  uint32_t b = 0;
  for (unsigned char byte : bytes) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

// A zlib stream of stored (uncompressed) deflate blocks.
std::string StoredZlib(const std::string& data) {
  std::string out = "\x78\x01";  // deflate, 32 KiB window, no preset dictionary, check bits
  size_t offset = 0;
  do {
    size_t length = std::min(kMaxStoredBlock, data.size() - offset);
    bool last = offset + length == data.size();
    out += static_cast<char>(last ? 1 : 0);  // BFINAL, BTYPE 00
    out += static_cast<char>(length & 0xFF);
    out += static_cast<char>(length >> 8);
    out += static_cast<char>(~length & 0xFF);
    out += static_cast<char>((~length >> 8) & 0xFF);
    out.append(data, offset, length);
    offset += length;
  } while (offset < data.size());
  PutBigEndian32(&out, Adler32(data));
  return out;
}

std::string Chunk(const char* type, const std::string& data) {
  std::string out;
  PutBigEndian32(&out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type, 4) + data;
  out += typed;
  PutBigEndian32(&out, Crc32(typed));
  return out;
}

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Hue(double turn) {
  auto channel = [&](double offset) { return 0.5 + 0.5 * std::cos(6.283185307179586 * (turn + offset)); };
  return {channel(0.0), channel(2.0 / 3.0), channel(1.0 / 3.0)};
}

// The colour of the pixel at (x, y) in a picture of `side` pixels.
Rgb CoverPixel(int x, int y, int side, uint32_t seed) {
  double hue = (seed % 360) / 360.0;
  Rgb top = Hue(hue);
  Rgb bottom = Mix(Hue(hue + 0.35), {0.05, 0.02, 0.1}, 0.5);
  Rgb background = Mix(top, bottom, static_cast<double>(y) / side);
  double cx = side * 0.5;
  double cy = side * 0.5;
  double radius = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / (side * 0.5);
  if (radius > 0.86) return background;
  if (radius < 0.035) return background;                                               // spindle hole
  if (radius < 0.3) return Mix(Hue(hue + 0.5), {1, 1, 1}, radius < 0.1 ? 0.6 : 0.15);  // label
  double groove = 0.08 + 0.04 * std::sin(radius * side * 1.9);
  double sheen = 0.12 * std::pow(std::max(0.0, std::cos(std::atan2(y - cy, x - cx) * 2.0)), 8.0);
  double shade = groove + sheen;
  return {shade, shade, shade * 1.1};
}

uint8_t ToByte(double value) { return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0)); }

}  // namespace

uint32_t Crc32(const std::string& bytes) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::string CoverPng(int side, uint32_t seed) {
  std::string pixels;
  pixels.reserve(static_cast<size_t>(side) * (1 + 3 * side));
  for (int y = 0; y < side; ++y) {
    pixels += '\0';  // filter type None
    for (int x = 0; x < side; ++x) {
      Rgb colour = CoverPixel(x, y, side, seed);
      pixels += static_cast<char>(ToByte(colour.r));
      pixels += static_cast<char>(ToByte(colour.g));
      pixels += static_cast<char>(ToByte(colour.b));
    }
  }
  std::string header;
  PutBigEndian32(&header, static_cast<uint32_t>(side));
  PutBigEndian32(&header, static_cast<uint32_t>(side));
  header += "\x08\x02";            // 8 bits per channel, RGB
  header += std::string(3, '\0');  // deflate, adaptive filtering, no interlace
  return std::string("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) + Chunk("IDAT", StoredZlib(pixels)) +
         Chunk("IEND", "");
}

}  // namespace demo
