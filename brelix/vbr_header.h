// Headers inside the first frame that state the stream's frame and byte
// counts and a seek table: Xing (also written "Info") and VBRI.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMPAFileStream;
class CMPAFrame;
class CLAMETag;

class CVBRHeader {
 public:
  virtual ~CVBRHeader();
  CVBRHeader(const CVBRHeader&) = delete;
  CVBRHeader& operator=(const CVBRHeader&) = delete;

  // The header inside `frame`: "Xing" or "Info" right after the frame's side
  // information, else "VBRI" 32 bytes after the frame header; else null.
  static std::unique_ptr<CVBRHeader> Find(CMPAFileStream& stream, const CMPAFrame& frame);

  // "Xing", "Info" or "VBRI".
  const std::string& GetIdentifier() const { return identifier_; }
  uint32_t GetOffset() const { return offset_; }
  // 0 when the header does not state them.
  uint32_t GetBytes() const { return bytes_; }
  uint32_t GetFrames() const { return frames_; }
  uint32_t GetQuality() const { return quality_; }
  void SetBytes(uint32_t bytes) { bytes_ = bytes; }
  const std::vector<uint32_t>& GetTable() const { return table_; }

 protected:
  CVBRHeader(std::string identifier, uint32_t offset) : offset_(offset), identifier_(std::move(identifier)) {}

  uint32_t bytes_ = 0;
  uint32_t frames_ = 0;
  uint32_t offset_;
  uint32_t quality_ = 0;
  std::vector<uint32_t> table_;

 private:
  std::string identifier_;
};

// Big-endian from the identifier: flags, then frames, bytes, a 100-byte TOC
// and quality, each present when its flag bit (0 to 3) is set.
class CXINGHeader : public CVBRHeader {
 public:
  CXINGHeader(CMPAFileStream& stream, std::string identifier, uint32_t offset);
  ~CXINGHeader() override;
  // The LAME block 120 bytes after the identifier, or null.
  const CLAMETag* GetLAMETag() const { return lameTag_.get(); }

 private:
  std::unique_ptr<CLAMETag> lameTag_;
};

// Big-endian from the identifier: version, delay, quality, bytes, frames,
// table entries - 1, scale, entry size, frames per entry, then the table.
class CVBRIHeader : public CVBRHeader {
 public:
  CVBRIHeader(CMPAFileStream& stream, uint32_t offset);

  float GetDelay() const { return delay_; }
  uint32_t GetScale() const { return scale_; }
  uint32_t GetEntrySize() const { return entrySize_; }
  uint32_t GetFramesPerEntry() const { return framesPerEntry_; }
  uint32_t GetVersion() const { return version_; }

 private:
  float delay_ = 0;
  uint32_t scale_ = 0;
  uint32_t entrySize_ = 0;
  uint32_t framesPerEntry_ = 0;
  uint32_t version_ = 0;
};
