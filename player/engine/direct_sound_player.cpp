#include "engine/direct_sound_player.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace engine {
namespace {

using platform::SoundResult;

uint8_t SilenceByte(const platform::WaveFormat& format) { return format.bitsPerSample == 8 ? 0x80 : 0; }

// Audio kept queued ahead of the play cursor, in segments.
constexpr uint32_t kLeadSegments = 3;
// How often the notification thread looks at the ring buffer while the
// output waits for data or runs low.
constexpr uint32_t kPollMs = 10;
// How long one top-up waits for each block the decode thread is producing.
constexpr uint32_t kBlockWaitMs = 5;
// The notification thread's longest sleep while the output sounds with
// enough queued (notifications normally wake it every segment).
constexpr uint32_t kPlayingWaitMs = 250;
// How often a starting output looks whether it has enough to start: the
// first sound, and the next track after the last, follow closely.
constexpr uint32_t kStartPollMs = 5;
// An output asked to sound that gets no segment of audio within this long
// counts as run dry, so that the host shows it waits for data.
constexpr uint64_t kStartPatienceMs = 500;

}  // namespace

// Events gathered under the lock, raised after it is released.
struct CDirectSoundPlayer::Events {
  std::vector<uint32_t> positions;
  bool ranDry = false;
  bool resumed = false;
};

CDirectSoundPlayer::~CDirectSoundPlayer() { Close(); }

bool CDirectSoundPlayer::Init(uint32_t samplesPerSecond) {
  StopThread();
  {
    std::lock_guard lock(mutex_);
    output_ = Output::kIdle;
    started_ = false;
    written_ = played_ = silencedTo_ = 0;
    lastCursor_ = 0;
    ringEnded_ = false;
    positionBase_ = 0;
    positionOrigin_ = segmentsRaised_ = 0;
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
    std::lock_guard lock(mutex_);
    if (buffer_ && RestoreLocked()) {
      ok = true;
      if (!started_) {
        ok = FreshStartLocked();
      } else if (output_ == Output::kIdle || output_ == Output::kDry) {
        output_ = Output::kStarting;
        startingSinceMs_ = platform::MonotonicMs();
        patient_ = true;
        announceResume_ = false;
      }
      if (ok) {
        buffer_->SetVolume(platform::kVolumeMin);
        buffer_->SetVolume(volume_);
        SetMuteLocked(mute_);
        SetVolumeLocked(volume_);
      }
    }
  }
  // The notification thread starts the output once enough is queued.
  notifyEvent_.Set();
  Raise(kEventPlaying, 0);
  return ok;
}

bool CDirectSoundPlayer::FreshStartLocked() {
  buffer_->Stop();
  buffer_->SetCurrentPosition(0);
  if (!WriteSilenceLocked(0, bufferBytes_)) return false;
  silencedTo_ = bufferBytes_;
  started_ = true;
  output_ = Output::kStarting;
  startingSinceMs_ = platform::MonotonicMs();
  patient_ = true;
  written_ = played_ = 0;
  lastCursor_ = 0;
  return true;
}

bool CDirectSoundPlayer::RestoreLocked() {
  platform::SoundBufferStatus status;
  if (buffer_->GetStatus(&status) != SoundResult::Ok) return false;
  if (!status.lost) return true;
  // The buffer keeps its bytes: once restored, it goes on where it was.
  while (buffer_->Restore() == SoundResult::BufferLost && !quit_) platform::SleepMs(10);
  return true;
}

void CDirectSoundPlayer::StartLocked() {
  uint32_t cursor = 0;
  buffer_->GetCurrentPosition(&cursor, nullptr);
  lastCursor_ = cursor;
  buffer_->Play(true);
  output_ = Output::kPlaying;
}

void CDirectSoundPlayer::Pause() {
  std::lock_guard lock(mutex_);
  if (!buffer_) return;
  TrackCursorLocked();
  buffer_->Stop();
  if (output_ != Output::kFinished) output_ = Output::kIdle;
}

void CDirectSoundPlayer::SetVolume(int32_t volume) {
  std::lock_guard lock(mutex_);
  SetVolumeLocked(volume);
}

void CDirectSoundPlayer::SetVolumeLocked(int32_t volume) {
  if (!buffer_) return;
  volume_ = volume;
  if (!mute_) buffer_->SetVolume(volume);
}

void CDirectSoundPlayer::SetMute(bool mute) {
  std::lock_guard lock(mutex_);
  SetMuteLocked(mute);
}

void CDirectSoundPlayer::SetMuteLocked(bool mute) {
  if (!buffer_) return;
  mute_ = mute;
  buffer_->SetVolume(mute ? platform::kVolumeMin : volume_);
}

void CDirectSoundPlayer::SetPosition(uint32_t seconds) {
  std::lock_guard lock(mutex_);
  const uint32_t segment = segmentBytes_;
  // 64 bits: a position of hours would overflow the byte count in 32.
  positionBase_ = segment == 0 ? 0 : static_cast<uint32_t>(uint64_t{seconds} * avgBytesPerSec_ / segment);
  positionOrigin_ = HeardLocked();
  segmentsRaised_ = 0;
}

void CDirectSoundPlayer::Flush() {
  std::lock_guard lock(mutex_);
  uint8_t dropped[Ring_Buffer::kBlockBytes];
  while (ring_.Read(dropped, sizeof dropped, 0) > 0) {
  }
  if (!buffer_ || !started_ || output_ == Output::kFinished) return;
  TrackCursorLocked();
  // What the device took is heard; everything after it goes.
  written_ = played_ + deviceAhead_;
  StopAtAudioEndLocked();
  WriteSilenceLocked(written_, bufferBytes_);
  silencedTo_ = written_ + bufferBytes_;
  if (output_ == Output::kDry) announceResume_ = true;
  if (output_ != Output::kIdle) {
    output_ = Output::kStarting;
    patient_ = false;
  }
  notifyEvent_.Set();
}

uint32_t CDirectSoundPlayer::SegmentsToSeconds(uint32_t segments) const {
  const uint32_t rate = avgBytesPerSec_;
  return rate == 0 ? 0 : static_cast<uint32_t>(uint64_t{segments} * segmentBytes_ / rate);
}

void CDirectSoundPlayer::Close() {
  // The writer is done: a reader waiting for blocks gives up at once.
  ring_.SetEnd();
  StopThread();
  std::lock_guard lock(mutex_);
  if (buffer_) buffer_->Stop();
  buffer_.reset();
  device_.reset();
}

bool CDirectSoundPlayer::HasPlayedOut() const {
  if (!threadRunning_) return true;
  std::lock_guard lock(mutex_);
  return output_ == Output::kFinished;
}

bool CDirectSoundPlayer::IsSounding() const {
  std::lock_guard lock(mutex_);
  return output_ == Output::kPlaying;
}

void CDirectSoundPlayer::StopThread() {
  if (!thread_) return;
  quit_ = true;
  notifyEvent_.Set();
  thread_->Join();
  thread_.reset();
}

void CDirectSoundPlayer::Raise(int event, uint32_t value) const {
  if (PlayerEventSink* sink = sink_.load()) sink->OnPlayerEvent(event, value);
}

void CDirectSoundPlayer::NotificationLoop() {
  uint32_t waitMs = kPollMs;
  for (;;) {
    notifyEvent_.Wait(waitMs);
    if (quit_) break;
    Events events;
    bool ok = false;
    {
      std::lock_guard lock(mutex_);
      ok = buffer_ && Service(&events);
      const bool wellFed = output_ == Output::kPlaying && written_ >= played_ + 2 * segmentBytes_;
      const bool waiting = output_ == Output::kIdle || output_ == Output::kFinished;
      // Closely while it starts and while the track's last audio plays, so
      // that its end is known, and the next track follows, at once.
      const bool closely = output_ == Output::kStarting || (ringEnded_ && output_ == Output::kPlaying);
      waitMs = closely ? kStartPollMs : wellFed || waiting ? kPlayingWaitMs : kPollMs;
    }
    for (uint32_t position : events.positions) Raise(kEventPosition, position);
    if (events.ranDry) Raise(kEventRanDry, 0);
    if (events.resumed) Raise(kEventPlaying, kResumedByItself);
    if (!ok) break;
  }
  threadRunning_ = false;
}

bool CDirectSoundPlayer::Service(Events* events) {
  if (!RestoreLocked()) return false;
  TrackCursorLocked();
  const uint32_t segment = segmentBytes_;
  const uint64_t heardSegments = (HeardLocked() - std::min(HeardLocked(), positionOrigin_)) / segment;
  while (segmentsRaised_ < heardSegments) {
    events->positions.push_back(positionBase_ + static_cast<uint32_t>(++segmentsRaised_));
  }
  if (output_ != Output::kFinished && !TopUpLocked()) return false;

  // With the end marked no more data can come: an output that stopped to
  // wait for data plays its remainder out.
  if (output_ == Output::kDry && ringEnded_) {
    output_ = Output::kStarting;
    events->resumed = true;
  }
  if (output_ == Output::kStarting) {
    if (written_ >= played_ + segment || ringEnded_) {
      if (written_ > played_) {
        StartLocked();
        events->resumed = events->resumed || announceResume_;
        announceResume_ = false;
      } else {
        output_ = Output::kFinished;
      }
    } else if (patient_ && platform::MonotonicMs() - startingSinceMs_ >= kStartPatienceMs) {
      output_ = Output::kDry;
      events->ranDry = true;
    }
  }
  if (output_ == Output::kPlaying && played_ >= written_) {
    if (ringEnded_) {
      buffer_->Stop();
      output_ = Output::kFinished;
    } else {
      StopAtAudioEndLocked();
      output_ = Output::kDry;
      events->ranDry = true;
    }
  }
  return true;
}

void CDirectSoundPlayer::TrackCursorLocked() {
  deviceAhead_ = 0;
  if (output_ != Output::kPlaying) return;
  uint32_t cursor = 0;
  uint32_t safe = 0;
  if (buffer_->GetCurrentPosition(&cursor, &safe) != SoundResult::Ok) return;
  played_ += (cursor + bufferBytes_ - lastCursor_) % bufferBytes_;
  lastCursor_ = cursor;
  deviceAhead_ = (safe + bufferBytes_ - cursor) % bufferBytes_;
}

// Stops the output with its cursor where the audio written ends: it may
// have gone a little into the silence after it, and is set back so that
// nothing is skipped.
void CDirectSoundPlayer::StopAtAudioEndLocked() {
  buffer_->Stop();
  const auto at = static_cast<uint32_t>(written_ % bufferBytes_);
  buffer_->SetCurrentPosition(at);
  lastCursor_ = at;
  played_ = written_;
}

bool CDirectSoundPlayer::TopUpLocked() {
  const uint64_t target = played_ + uint64_t{kLeadSegments} * segmentBytes_;
  // The device may already have taken the silence after the audio: what
  // comes now goes after what it took, never behind it, where it would be
  // lost.
  const uint64_t safe = played_ + deviceAhead_;
  while (!ringEnded_ && written_ < target) {
    const uint64_t at = std::max(written_, safe);
    const auto offset = static_cast<uint32_t>(at % bufferBytes_);
    const auto span = static_cast<uint32_t>(std::min<uint64_t>(target - at, bufferBytes_ - offset));
    void* region = nullptr;
    void* wrapped = nullptr;
    uint32_t bytes = 0;
    uint32_t wrappedBytes = 0;
    if (buffer_->Lock(offset, span, &region, &bytes, &wrapped, &wrappedBytes) != SoundResult::Ok) return false;
    // Once the end is marked no block can follow: a short read then means
    // the ring buffer is drained.
    const bool endMarked = ring_.IsEnd();
    const uint32_t got = ring_.Read(static_cast<uint8_t*>(region), bytes, kBlockWaitMs);
    if (buffer_->Unlock(region, bytes, wrapped, wrappedBytes) != SoundResult::Ok) return false;
    if (got > 0) written_ = at + got;
    if (got < bytes) {
      ringEnded_ = endMarked;
      break;
    }
  }
  // Whatever lies after the audio up to the cursor was played a lap ago:
  // silence it (what the cursor passed since the last time), so that a late
  // refill or the end of the track is heard as silence, never as old audio.
  const uint64_t from = std::max(written_, silencedTo_);
  const uint64_t to = std::min(played_, written_) + bufferBytes_;
  if (from >= to) return true;
  silencedTo_ = to;
  return WriteSilenceLocked(from, static_cast<uint32_t>(std::min<uint64_t>(to - from, bufferBytes_)));
}

bool CDirectSoundPlayer::WriteSilenceLocked(uint64_t at, uint32_t bytes) {
  if (bytes == 0) return true;
  void* region = nullptr;
  void* wrapped = nullptr;
  uint32_t first = 0;
  uint32_t second = 0;
  if (buffer_->Lock(static_cast<uint32_t>(at % bufferBytes_), bytes, &region, &first, &wrapped, &second) !=
      SoundResult::Ok) {
    return false;
  }
  std::memset(region, SilenceByte(format_), first);
  if (wrapped != nullptr) std::memset(wrapped, SilenceByte(format_), second);
  return buffer_->Unlock(region, first, wrapped, second) == SoundResult::Ok;
}

}  // namespace engine
