#include "engine/direct_sound_player.h"

#include <cstring>
#include <vector>

namespace engine {
namespace {

using platform::SoundResult;

uint8_t SilenceByte(const platform::WaveFormat& format) { return format.bitsPerSample == 8 ? 0x80 : 0; }

}  // namespace

CDirectSoundPlayer::~CDirectSoundPlayer() { Close(); }

bool CDirectSoundPlayer::Init(uint32_t samplesPerSecond) {
  ended_ = false;
  writeOffset_ = 0;
  playedOutAt_ = 0;
  StopThread();
  {
    std::lock_guard control(controlMutex_);
    if (buffer_) buffer_->Stop();
    buffer_.reset();
    device_.reset();
    device_ = platform::SoundDevice::Create();
    if (!device_) return false;

    format_ = platform::WaveFormat{platform::kWaveFormatPcm, 2, samplesPerSecond, samplesPerSecond * 4, 4, 16};
    if (device_->SetPrimaryFormat(format_) != SoundResult::Ok) return false;
    const uint32_t segment = format_.avgBytesPerSec / kSegmentCount / format_.blockAlign * format_.blockAlign;
    avgBytesPerSec_ = format_.avgBytesPerSec;
    segmentBytes_ = segment;
    bufferBytes_ = segment * kSegmentCount;

    std::unique_ptr<platform::SoundBuffer> buffer = device_->CreateBuffer(format_, bufferBytes_);
    if (!buffer) return false;
    std::vector<platform::NotificationPosition> positions;
    for (uint32_t i = 0; i < kSegmentCount; ++i) {
      positions.push_back({bufferBytes_ / kSegmentCount * (i + 1) - 1, &notifyEvent_});
    }
    if (buffer->SetNotificationPositions(positions) != SoundResult::Ok) return false;
    buffer_ = std::move(buffer);
  }
  quit_ = false;
  threadRunning_ = true;
  thread_ = platform::Thread::Start([this] { NotificationLoop(); });
  if (!thread_) threadRunning_ = false;
  return thread_ != nullptr;
}

bool CDirectSoundPlayer::Play() {
  bool ok = false;
  {
    std::lock_guard control(controlMutex_);
    if (buffer_) {
      if (paused_) {
        platform::SoundBufferStatus status;
        ok = buffer_->GetStatus(&status) == SoundResult::Ok;
        if (ok && status.lost) {
          std::lock_guard refill(refillMutex_);
          ok = RestoreBufferLocked();
        }
        if (ok) {
          paused_ = false;
          dryStopped_ = false;
        }
      } else {
        ok = FreshStartLocked();
      }
      if (ok) {
        buffer_->SetVolume(platform::kVolumeMin);
        buffer_->SetVolume(volume_);
        SetMuteLocked(mute_);
        SetVolumeLocked(volume_);
        buffer_->Play(true);
      }
    }
  }
  Raise(kEventPlaying, 0);
  return ok;
}

bool CDirectSoundPlayer::FreshStartLocked() {
  platform::SoundBufferStatus status;
  if (buffer_->GetStatus(&status) != SoundResult::Ok) return false;
  if (status.playing && !status.lost) return true;
  std::lock_guard refill(refillMutex_);
  ended_ = false;
  writeOffset_ = 0;
  playedOutAt_ = 0;
  if (status.lost) {
    while (buffer_->Restore() == SoundResult::BufferLost) platform::SleepMs(10);
  }
  buffer_->Stop();
  buffer_->SetCurrentPosition(0);
  void* region = nullptr;
  void* wrapped = nullptr;
  uint32_t bytes = 0;
  uint32_t wrappedBytes = 0;
  if (buffer_->Lock(0, bufferBytes_, &region, &bytes, &wrapped, &wrappedBytes) != SoundResult::Ok) return false;
  std::memset(region, SilenceByte(format_), bytes);
  return buffer_->Unlock(region, bytes, wrapped, wrappedBytes) == SoundResult::Ok;
}

bool CDirectSoundPlayer::RestoreBufferLocked() {
  platform::SoundBufferStatus status;
  if (buffer_->GetStatus(&status) != SoundResult::Ok) return false;
  if (!status.lost) return true;
  while (buffer_->Restore() == SoundResult::BufferLost && !quit_) platform::SleepMs(10);
  void* region = nullptr;
  void* wrapped = nullptr;
  uint32_t bytes = 0;
  uint32_t wrappedBytes = 0;
  if (buffer_->Lock(0, bufferBytes_, &region, &bytes, &wrapped, &wrappedBytes) != SoundResult::Ok) return false;
  auto* out = static_cast<uint8_t*>(region);
  const uint32_t got = ring_.Read(out, bytes);
  std::memset(out + got, SilenceByte(format_), bytes - got);
  return buffer_->Unlock(region, bytes, wrapped, wrappedBytes) == SoundResult::Ok;
}

void CDirectSoundPlayer::Pause() {
  std::lock_guard control(controlMutex_);
  if (!buffer_) return;
  buffer_->Stop();
  paused_ = true;
  dryStopped_ = false;
}

void CDirectSoundPlayer::UnderrunStop() {
  buffer_->Stop();
  paused_ = true;
  dryStopped_ = true;
  Raise(kEventRanDry, 0);
}

void CDirectSoundPlayer::SetVolume(int32_t volume) {
  std::lock_guard control(controlMutex_);
  SetVolumeLocked(volume);
}

void CDirectSoundPlayer::SetVolumeLocked(int32_t volume) {
  if (!buffer_) return;
  volume_ = volume;
  if (!mute_) buffer_->SetVolume(volume);
}

void CDirectSoundPlayer::SetMute(bool mute) {
  std::lock_guard control(controlMutex_);
  SetMuteLocked(mute);
}

void CDirectSoundPlayer::SetMuteLocked(bool mute) {
  if (!buffer_) return;
  mute_ = mute;
  buffer_->SetVolume(mute ? platform::kVolumeMin : volume_.load());
}

void CDirectSoundPlayer::SetPosition(uint32_t seconds) {
  ticks_ = 0;
  const uint32_t segment = segmentBytes_;
  // 64 bits: a position of hours would overflow the byte count in 32.
  positionBase_ = segment == 0 ? 0 : static_cast<uint32_t>(uint64_t{seconds} * avgBytesPerSec_ / segment);
}

uint32_t CDirectSoundPlayer::SegmentsToSeconds(uint32_t segments) const {
  const uint32_t rate = avgBytesPerSec_;
  return rate == 0 ? 0 : static_cast<uint32_t>(uint64_t{segments} * segmentBytes_ / rate);
}

void CDirectSoundPlayer::Close() {
  // The writer is done: a reader waiting for blocks gives up at once.
  ring_.SetEnd();
  StopThread();
  std::lock_guard control(controlMutex_);
  if (buffer_) buffer_->Stop();
  buffer_.reset();
  device_.reset();
}

bool CDirectSoundPlayer::HasPlayedOut() const {
  if (!threadRunning_) return true;
  const uint64_t at = playedOutAt_;
  return at != 0 && notifications_ >= at;
}

void CDirectSoundPlayer::StopThread() {
  if (!thread_) return;
  quit_ = true;
  notifyEvent_.Set();
  thread_->Join();
  thread_.reset();
}

void CDirectSoundPlayer::Raise(int event, uint32_t value) const {
  if (PlayerEventSink sink = sink_.load()) sink(event, value);
}

void CDirectSoundPlayer::NotificationLoop() {
  for (;;) {
    notifyEvent_.Wait();
    if (quit_) break;
    ++notifications_;
    Raise(kEventPosition, positionBase_ + ++ticks_);
    if (!RefillSegment()) break;
    // With the end marked no more data can come: an output that stopped
    // itself to wait for data plays its remainder out.
    if (ended_ && dryStopped_ && !quit_) Play();
  }
  threadRunning_ = false;
}

bool CDirectSoundPlayer::RefillSegment() {
  std::lock_guard refill(refillMutex_);
  if (!RestoreBufferLocked()) return false;
  const uint32_t segment = segmentBytes_;
  void* region = nullptr;
  void* wrapped = nullptr;
  uint32_t bytes = 0;
  uint32_t wrappedBytes = 0;
  if (buffer_->Lock(writeOffset_, segment, &region, &bytes, &wrapped, &wrappedBytes) != SoundResult::Ok) return false;
  if (wrappedBytes != 0) {
    buffer_->Unlock(region, bytes, wrapped, wrappedBytes);
    return false;
  }
  auto* out = static_cast<uint8_t*>(region);
  if (ended_) {
    std::memset(out, SilenceByte(format_), bytes);
  } else {
    std::memset(out, 0, bytes);
    uint32_t got = ring_.Read(out, bytes);
    while (got < bytes && !ring_.IsEnd() && !quit_) {
      if (!paused_) UnderrunStop();
      platform::SleepMs(kDryRetryMs);
      got += ring_.Read(out + got, bytes - got);
    }
    if (got < bytes && ring_.IsEnd()) {
      std::memset(out + got, SilenceByte(format_), bytes - got);
      ended_ = true;
      // This segment comes round again after the other seven: once the cursor
      // has passed it, everything before the end mark has been heard.
      playedOutAt_ = notifications_ + kSegmentCount;
    }
  }
  if (buffer_->Unlock(region, bytes, wrapped, wrappedBytes) != SoundResult::Ok) return false;
  uint32_t play = 0;
  uint32_t write = 0;
  if (buffer_->GetCurrentPosition(&play, &write) != SoundResult::Ok) return false;
  writeOffset_ = (writeOffset_ + segment) % bufferBytes_;
  return true;
}

}  // namespace engine
