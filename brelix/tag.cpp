#include "tag.h"

#include <cstring>

#include "mpa_file_stream.h"

void CTag::SetVersion(uint8_t major, uint8_t minor, uint8_t revision) {
  version_ = major;
  version_ = version_ + minor * 0.1f;
  version_ = version_ + revision * 0.01f;
}

bool HasSignature(CMPAFileStream& stream, uint32_t offset, const char* signature, uint32_t length) {
  const uint8_t* bytes = stream.ReadBuffer(length, offset, false, false);
  return bytes && std::memcmp(bytes, signature, length) == 0;
}
