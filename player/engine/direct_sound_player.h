// 16-bit stereo PCM out through a looping sound buffer of about one second
// in eight segments, kept topped up from the player's ring buffer (which the
// decode thread fills through Write) by the player's own notification thread.
//
// The output keeps a few segments of audio queued ahead of its play cursor
// and silence after them, so that it never plays audio twice: when the ring
// buffer runs dry it stops where the audio ends (event 6) and, once resumed,
// goes on from exactly there. It starts sounding as soon as one segment of
// audio is queued, not after a lap of silence.
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

  CDirectSoundPlayer() = default;
  virtual ~CDirectSoundPlayer();
  CDirectSoundPlayer(const CDirectSoundPlayer&) = delete;
  CDirectSoundPlayer& operator=(const CDirectSoundPlayer&) = delete;

  // Before Init.
  void SetEventSink(PlayerEventSink* sink) { sink_.store(sink); }
  // Opens the output at `samplesPerSecond` (16-bit stereo) with a stopped,
  // silent buffer and starts the notification thread. False on the first
  // step that fails; a rate of 0 always fails.
  bool Init(uint32_t samplesPerSecond);
  // The first Play starts the output: it sounds as soon as a segment of
  // audio is queued. Later calls resume a paused or dry output where its
  // audio stopped; an output already sounding keeps playing. Raises event 7
  // in every case. False without an output.
  bool Play();
  void Pause();
  // Hundredths of a decibel, 0 (full) … -10000 (silent). Ignored, and not
  // remembered, before a successful Init.
  void SetVolume(int32_t volume);
  void SetMute(bool mute);
  // Position events continue from `seconds`.
  void SetPosition(uint32_t seconds);
  // The writer's call after a seek: drops the audio queued but not yet taken
  // by the device and what the ring buffer holds. An output that was not
  // paused by the user sounds again as soon as a segment of new audio is
  // queued, however long that takes; one that had run dry says so with
  // event 7 (value 1) when it does.
  void Flush();
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
  // The output is playing audio now (not starting, paused, dry or finished).
  bool IsSounding() const;


  // The seconds that `segments` position events stand for; 0 before Init.
  uint32_t SegmentsToSeconds(uint32_t segments) const;
  uint32_t SegmentBytes() const { return segmentBytes_.load(); }
  uint32_t AverageBytesPerSecond() const { return avgBytesPerSec_.load(); }

 private:
  enum class Output {
    kIdle,      // never played, or paused by the user
    kStarting,  // to sound once enough audio is queued
    kPlaying,
    kDry,       // stopped where the audio ran out; waits for Play
    kFinished,  // everything up to the end mark was played
  };
  struct Events;

  void NotificationLoop();
  // One pass of the notification thread; false ends the thread.
  bool Service(Events* events);
  bool RestoreLocked();
  bool FreshStartLocked();
  void StartLocked();
  // Moves the played count on by how far the cursor went.
  void TrackCursorLocked();
  // Reads the ring buffer into the output up to the lead ahead of the
  // cursor, then writes silence after the audio.
  bool TopUpLocked();
  bool WriteSilenceLocked(uint64_t at, uint32_t bytes);
  void StopAtAudioEndLocked();
  uint64_t HeardLocked() const { return played_ < written_ ? played_ : written_; }
  void SetVolumeLocked(int32_t volume);
  void SetMuteLocked(bool mute);
  void StopThread();
  void Raise(int event, uint32_t value) const;

  Ring_Buffer ring_;
  platform::WaveFormat format_;
  std::atomic<uint32_t> avgBytesPerSec_{0};
  std::atomic<uint32_t> segmentBytes_{0};
  uint32_t bufferBytes_ = 0;

  // Guards the device, the buffer and everything below it: the notification
  // thread's passes against Play, Pause, the volume and Close on other threads.
  mutable std::mutex mutex_;
  std::unique_ptr<platform::SoundDevice> device_;
  std::unique_ptr<platform::SoundBuffer> buffer_;
  int32_t volume_ = 0;
  bool mute_ = false;
  Output output_ = Output::kIdle;
  bool started_ = false;
  uint64_t startingSinceMs_ = 0;
  // A start that waits too long counts as run dry; not after a seek.
  bool patient_ = true;
  // The output resumes by itself after running dry; event 7 says so.
  bool announceResume_ = false;
  // Audio bytes written into the buffer and bytes the play cursor has
  // passed, both counted from the start.
  uint64_t written_ = 0;
  uint64_t played_ = 0;
  // Everything from the audio's end up to here is silence.
  uint64_t silencedTo_ = 0;
  uint32_t lastCursor_ = 0;
  // How far ahead of its cursor the device has already taken bytes.
  uint32_t deviceAhead_ = 0;
  bool ringEnded_ = false;
  // Position events: `positionBase_` segments at `positionOrigin_` bytes heard.
  uint32_t positionBase_ = 0;
  uint64_t positionOrigin_ = 0;
  uint64_t segmentsRaised_ = 0;

  std::atomic<PlayerEventSink*> sink_{nullptr};
  platform::AutoResetEvent notifyEvent_;
  std::atomic<bool> quit_{false};
  std::atomic<bool> threadRunning_{false};
  std::unique_ptr<platform::Thread> thread_;
};

}  // namespace engine
