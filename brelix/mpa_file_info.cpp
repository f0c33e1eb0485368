#include "mpa_file_info.h"

namespace {

// A stream starting at or below this bitrate is measured at a later frame.
constexpr uint32_t kSlowBitrate = 48000;
constexpr int kMaxWalkSteps = 27;

}  // namespace

std::unique_ptr<CMPAFileInfo> CMPAFileInfo::Create(const char* location, bool isLocal, Failure* failure) {
  Failure ignored;
  Failure& outcome = failure ? *failure : ignored;
  std::unique_ptr<CMPAFileInfo> info(new CMPAFileInfo);
  info->stream_ = std::make_unique<CMPAFileStream>(location, isLocal);
  if (!info->stream_->InitStream()) {
    outcome = Failure::kCannotOpen;
    return nullptr;
  }
  info->tagList_ = std::make_unique<CTagList>(*info->stream_);
  auto first = std::make_unique<CMPAFrame>(*info->stream_, info->tagList_->GetBegin());
  if (!first->Locate(false, false, nullptr)) {
    outcome = Failure::kNoFrame;
    return nullptr;
  }
  info->firstFrame_ = std::move(first);
  info->vbrHeader_ = info->firstFrame_->FindVBRHeader();
  info->bytesPerSec_ = info->ComputeBytesPerSecond();
  outcome = Failure::kNone;
  return info;
}

CMPAFileInfo::~CMPAFileInfo() = default;

uint32_t CMPAFileInfo::GetMusicTime() const { return GetAllFramesSize() / bytesPerSec_; }

uint32_t CMPAFileInfo::GetAllFramesSize() const {
  return GetFramesEnd() > GetFramesBegin() ? GetFramesEnd() - GetFramesBegin() : 0;
}

// From the VBR header's counts when it states frames lasting a second or more
// (a missing byte count is taken as the audio size), else from a frame's bitrate.
uint32_t CMPAFileInfo::ComputeBytesPerSecond() {
  if (vbrHeader_ && vbrHeader_->GetFrames() != 0) {
    if (vbrHeader_->GetBytes() == 0) vbrHeader_->SetBytes(GetAllFramesSize());
    const uint32_t rate =
        firstFrame_->GetHeader().GetAverageBytesPerSecond(vbrHeader_->GetFrames(), vbrHeader_->GetBytes());
    if (rate != 0) return rate;
  }
  return MeasureAtFirstFastFrame();
}

// A stream that starts slowly (silence, a low-rate intro) is measured at its
// first frame above 48 kbit/s, looking at most 27 frames ahead; when the walk
// runs out of frames, at the first frame.
uint32_t CMPAFileInfo::MeasureAtFirstFastFrame() const {
  const CMPAFrame* current = firstFrame_.get();
  std::unique_ptr<CMPAFrame> walked;
  for (int steps = 0; current && current->GetHeader().bitrate <= kSlowBitrate && steps < kMaxWalkSteps; ++steps) {
    walked = GetFrame(FrameKind::kNext, current, 0);
    current = walked.get();
  }
  if (!current) current = firstFrame_.get();
  return current->GetHeader().GetBytesPerSecond();
}

std::unique_ptr<CMPAFrame> CMPAFileInfo::GetFrame(FrameKind kind, const CMPAFrame* current, uint32_t start) const {
  if (kind == FrameKind::kNext) {
    if (!current) return nullptr;
    start = current->GetNextOffset();
  }
  auto frame = std::make_unique<CMPAFrame>(*stream_, start);
  const bool exact = kind == FrameKind::kNext;
  if (frame->Locate(exact, false, exact ? &firstFrame_->GetHeader() : nullptr)) return frame;
  return kind == FrameKind::kNext ? GetFrame(FrameKind::kResync, current, start) : nullptr;
}
