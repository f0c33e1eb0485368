// 16-bit stereo PCM out through a looping sound buffer of about one second,
// refilled one eighth at a time by the player's own notification thread from
// its ring buffer, which the decode thread fills through Write.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/player_events.h"
#include "engine/ring_buffer.h"
#include "platform/sound.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace engine {

class CDirectSoundPlayer {
 public:
  static constexpr uint32_t kSegmentCount = 8;
  static constexpr uint32_t kDryRetryMs = 100;

  CDirectSoundPlayer() = default;
  virtual ~CDirectSoundPlayer();
  CDirectSoundPlayer(const CDirectSoundPlayer&) = delete;
  CDirectSoundPlayer& operator=(const CDirectSoundPlayer&) = delete;

  // Before Init.
  void SetEventSink(PlayerEventSink sink) { sink_.store(sink); }
  // Opens the output at `samplesPerSecond` (16-bit stereo) with a stopped,
  // silent buffer and starts the notification thread. False on the first
  // step that fails; a rate of 0 always fails.
  bool Init(uint32_t samplesPerSecond);
  // Resumes a paused output where it stopped, or starts a stopped one afresh
  // from a silent buffer; an output already sounding just keeps playing.
  // Raises event 7 in every case. False without an output.
  bool Play();
  void Pause();
  // Hundredths of a decibel, 0 (full) … -10000 (silent). Ignored, and not
  // remembered, before a successful Init.
  void SetVolume(int32_t volume);
  void SetMute(bool mute);
  // Position events continue from `seconds`.
  void SetPosition(uint32_t seconds);
  // The decode thread's side of the ring buffer.
  uint32_t Write(const uint8_t* bytes, uint32_t count) { return ring_.Write(bytes, count); }
  Ring_Buffer& RingBuffer() { return ring_; }

  // Ends the notification thread and releases the output. Afterwards the
  // player acts as one whose Init never succeeded. Not from the sink.
  void Close();
  // True once the output has played everything up to the ring buffer's end
  // mark, or when nothing more will be played (no output, or its notification
  // thread has ended). False while the output is paused before that.
  bool HasPlayedOut() const;

  // The seconds that `segments` position events stand for; 0 before Init.
  uint32_t SegmentsToSeconds(uint32_t segments) const;
  uint32_t SegmentBytes() const { return segmentBytes_.load(); }
  uint32_t AverageBytesPerSecond() const { return avgBytesPerSec_.load(); }

 private:
  void NotificationLoop();
  // Refills the segment at the write offset; false ends the thread.
  bool RefillSegment();
  // Restores a lost buffer and refills all of it from the ring buffer.
  // The caller holds refillMutex_.
  bool RestoreBufferLocked();
  bool FreshStartLocked();
  void UnderrunStop();
  void SetVolumeLocked(int32_t volume);
  void SetMuteLocked(bool mute);
  void StopThread();
  void Raise(int event, uint32_t value) const;

  Ring_Buffer ring_;
  platform::WaveFormat format_;
  std::atomic<uint32_t> avgBytesPerSec_{0};
  std::atomic<uint32_t> segmentBytes_{0};
  uint32_t bufferBytes_ = 0;

  // Guards device_ and buffer_ against Close while the main thread plays,
  // pauses or sets the volume. Taken before refillMutex_, never after it.
  mutable std::mutex controlMutex_;
  std::unique_ptr<platform::SoundDevice> device_;
  std::unique_ptr<platform::SoundBuffer> buffer_;
  // One ring buffer reader at a time: the notification thread's refill or
  // the main thread's refill of a lost buffer on resume.
  std::mutex refillMutex_;

  std::atomic<int32_t> volume_{0};
  std::atomic<bool> paused_{false};
  std::atomic<bool> dryStopped_{false};  // paused by an underrun, not by the user
  std::atomic<bool> mute_{false};
  std::atomic<bool> ended_{false};
  std::atomic<uint32_t> writeOffset_{0};
  std::atomic<uint32_t> positionBase_{0};
  std::atomic<uint32_t> ticks_{0};
  std::atomic<uint64_t> notifications_{0};
  // The notification by which the last real segment has been played; 0 until
  // the end mark was reached.
  std::atomic<uint64_t> playedOutAt_{0};
  std::atomic<PlayerEventSink> sink_{nullptr};

  platform::AutoResetEvent notifyEvent_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> threadRunning_{false};
  std::unique_ptr<platform::Thread> thread_;
};

}  // namespace engine
