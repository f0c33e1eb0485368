// A metadata block found around (or, for LAME, inside) the audio frames:
// where it lies, how large it is and its format version. The metadata inside
// is never decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CMPAFileStream;

class CTag {
 public:
  virtual ~CTag() = default;
  CTag(const CTag&) = delete;
  CTag& operator=(const CTag&) = delete;

  uint32_t GetOffset() const { return offset_; }
  // First byte after the tag.
  uint32_t GetEnd() const { return offset_ + size_; }
  uint32_t GetSize() const { return size_; }
  const std::string& GetName() const { return name_; }
  // major + minor / 10 + revision / 100, e.g. 2.4 for ID3v2.4.0; 0 when unread.
  float GetVersion() const { return version_; }
  // Whether the tag was found at the end, as each format records it.
  bool IsAppended() const { return appended_; }

 protected:
  CTag(const char* name, bool appended, uint32_t offset, uint32_t size)
      : offset_(offset), size_(size), appended_(appended), name_(name) {}
  // Each partial sum is kept in single precision, as the version field is.
  void SetVersion(uint8_t major, uint8_t minor, uint8_t revision);

  uint32_t offset_;
  uint32_t size_;
  bool appended_;
  float version_ = 0;

 private:
  std::string name_;
};

// Every tag format's finder: looks for its signature at a probe position
// derived from `begin` (at the beginning) or `end` (with `atEnd`) and returns
// the tag found there, or null.
using TagFinder = std::unique_ptr<CTag> (*)(CMPAFileStream& stream, bool atEnd, uint32_t begin, uint32_t end);

// True when the `length` bytes at `offset` can be read and equal `signature`.
bool HasSignature(CMPAFileStream& stream, uint32_t offset, const char* signature, uint32_t length);
