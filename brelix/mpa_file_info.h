// Everything Brelix learns about one MPEG audio resource: its tags, the byte
// range of the audio data, the first frame, any VBR header, and from these
// the duration and the average byte rate.
#pragma once

#include <cstdint>
#include <memory>

#include "mpa_file_stream.h"
#include "mpa_frame.h"
#include "tag_list.h"
#include "vbr_header.h"

class CMPAFileInfo {
 public:
  enum class Failure { kNone, kCannotOpen, kNoFrame };

  // Opens `location` (a path when `isLocal`, else a URL) and inspects it.
  // Null when it cannot be opened or no valid frame header lies at or after
  // the audio begin; `failure` (may be null) then says which.
  static std::unique_ptr<CMPAFileInfo> Create(const char* location, bool isLocal, Failure* failure = nullptr);
  ~CMPAFileInfo();
  CMPAFileInfo(const CMPAFileInfo&) = delete;
  CMPAFileInfo& operator=(const CMPAFileInfo&) = delete;

  // Audio size / bytes per second, in whole seconds.
  uint32_t GetMusicTime() const;
  uint32_t GetSampleRate() const { return firstFrame_->GetHeader().sampleRate; }
  uint32_t GetFramesBegin() const { return tagList_->GetBegin(); }
  uint32_t GetFramesEnd() const { return tagList_->GetEnd(); }
  // 0 when the leading tags reach past the start of the trailing ones.
  uint32_t GetAllFramesSize() const;
  uint32_t GetBytesOneSec() const { return bytesPerSec_; }

  const CMPAFileStream& GetStream() const { return *stream_; }
  const CTagList& GetTagList() const { return *tagList_; }
  const CMPAFrame& GetFirstFrame() const { return *firstFrame_; }
  // Null when the first frame holds none.
  const CVBRHeader* GetVBRHeader() const { return vbrHeader_.get(); }

  enum class FrameKind {
    kNext,    // exactly after `current` (within 3 bytes), compatible with the first frame; else a resync from there
    kResync,  // the first header of any kind from `start`
  };
  // A frame located from `current` or `start`, or null.
  std::unique_ptr<CMPAFrame> GetFrame(FrameKind kind, const CMPAFrame* current, uint32_t start) const;

 private:
  CMPAFileInfo() = default;
  uint32_t ComputeBytesPerSecond();
  uint32_t MeasureAtFirstFastFrame() const;

  // Declared in this order so that they are released in the reverse one: the
  // stream last, since the others read through it.
  std::unique_ptr<CMPAFileStream> stream_;
  uint32_t bytesPerSec_ = 0;
  std::unique_ptr<CTagList> tagList_;
  std::unique_ptr<CMPAFrame> firstFrame_;
  std::unique_ptr<CVBRHeader> vbrHeader_;
};
