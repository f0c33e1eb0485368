// Sound output shaped like a DirectSound device with looping secondary buffers.
//
// A SoundDevice is the process's default output device; SoundBuffers created
// on it are mixed into it while they play. Each buffer is a ring of PCM bytes
// read from its play cursor by the device in real time; the owner writes
// behind the cursor through Lock/Unlock and learns where the cursor is from
// notification positions, which signal an event as the cursor passes them.
//
// On Linux this is SDL2 audio: SDL_AUDIODRIVER picks pulseaudio, pipewire or
// alsa for real sound, or dummy (real-time clock, no sound) and disk (writes
// what would be heard to SDL_DISKAUDIOFILE) for headless runs.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sync.h"

namespace platform {

inline constexpr uint16_t kWaveFormatPcm = 1;

// Interleaved PCM: 8-bit unsigned or 16-bit signed little-endian samples.
struct WaveFormat {
  uint16_t formatTag = kWaveFormatPcm;
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
};

// Buffer volumes are attenuations in hundredths of a decibel.
inline constexpr int32_t kVolumeMax = 0;
inline constexpr int32_t kVolumeMin = -10000;  // silent

enum class SoundResult {
  Ok,
  Failed,
  BufferLost,  // the device went away; Restore brings the buffer back
};

struct SoundBufferStatus {
  bool playing = false;
  bool looping = false;
  bool lost = false;
};

// The event is signalled each time the play cursor moves past `offset`.
struct NotificationPosition {
  uint32_t offset = 0;
  AutoResetEvent* event = nullptr;
};

struct SoundBufferState;

class SoundBuffer {
 public:
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  uint32_t Size() const;
  const WaveFormat& Format() const;

  SoundResult GetStatus(SoundBufferStatus* status);
  // Reattaches a lost buffer to a fresh device. The buffer's bytes are kept.
  // Failed when no device can be opened.
  SoundResult Restore();

  // Hands out `bytes` bytes from `offset` for writing, holding their current
  // contents: region 1 up to the end of the buffer and, when the span wraps,
  // region 2 from offset 0 (null and 0 otherwise). The bytes reach the buffer
  // at Unlock, which takes the pointers Lock gave. One lock at a time.
  SoundResult Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                   uint32_t* bytes2);
  SoundResult Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2);

  // Plays from the play cursor; a looping buffer wraps to offset 0 at its end,
  // any other stops there.
  SoundResult Play(bool looping);
  // Stops at the play cursor. Once Stop returns the device reads no more bytes.
  SoundResult Stop();
  SoundResult SetCurrentPosition(uint32_t offset);
  // The play cursor, and the write cursor just ahead of what the device has
  // already taken (the first byte that is safe to change).
  SoundResult GetCurrentPosition(uint32_t* play, uint32_t* write);
  // kVolumeMin … kVolumeMax; anything else is Failed.
  SoundResult SetVolume(int32_t hundredthsOfDecibel);
  SoundResult GetVolume(int32_t* hundredthsOfDecibel);
  // Replaces the notification positions; offsets must lie inside the buffer.
  SoundResult SetNotificationPositions(const std::vector<NotificationPosition>& positions);

 private:
  friend class SoundDevice;
  explicit SoundBuffer(std::shared_ptr<SoundBufferState> state);
  std::shared_ptr<SoundBufferState> state_;
};

class SoundDevice {
 public:
  // Opens the default output device. Null when none can be opened; the first
  // such failure in the process is reported once on standard error.
  static std::unique_ptr<SoundDevice> Create();
  ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // Sets the format the device runs at (the primary buffer's format).
  SoundResult SetPrimaryFormat(const WaveFormat& format);
  // A stopped buffer of `bytes` bytes of silence, cursor at 0, full volume.
  // Buffers play in the device's format: a different format switches the
  // device to it, which fails while other buffers exist. Null on failure.
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat& format, uint32_t bytes);

 private:
  SoundDevice() = default;
};

// Closes the output device for a program that is ending; what was handed to
// it is played (or, for the disk driver, written) first. Buffers still alive
// go silent, and the next SoundDevice::Create opens the device again.
void ShutdownSound();

}  // namespace platform
