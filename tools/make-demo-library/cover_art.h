// A generated front cover: a record on a coloured gradient, written as a PNG
// whose pixels are stored uncompressed (deflate's stored blocks), so that the
// picture has the size of its pixels, as a photo-sized cover would.
#pragma once

#include <cstdint>
#include <string>

namespace demo {

// An RGB PNG of `side` × `side` pixels; `seed` picks the colours.
std::string CoverPng(int side, uint32_t seed);

// The PNG chunk checksum (CRC-32, polynomial 0xEDB88320) of `bytes`.
uint32_t Crc32(const std::string& bytes);

}  // namespace demo
