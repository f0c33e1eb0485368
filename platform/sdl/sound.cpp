#include "platform/sound.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "std/sound_format.h"

namespace platform {
namespace {

constexpr int32_t kUnityGain = 1 << 16;
// Frames per device callback: about 23 ms at 44.1 kHz, small enough that the
// play cursor moves in fine steps.
constexpr uint16_t kDeviceFrames = 1024;
constexpr WaveFormat kDefaultFormat{kWaveFormatPcm, 2, 44100, 176400, 4, 16};

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
  return a.channels == b.channels && a.samplesPerSec == b.samplesPerSec && a.bitsPerSample == b.bitsPerSample;
}

// Samples on the mixing scale are 16-bit values held in 32 bits.
int32_t LoadSample(const uint8_t* p, uint16_t bits) {
  if (bits == 8) return (static_cast<int32_t>(p[0]) - 128) << 8;
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

void StoreSample(uint8_t* p, uint16_t bits, int32_t value) {
  value = std::clamp(value, -32768, 32767);
  if (bits == 8) {
    p[0] = static_cast<uint8_t>((value >> 8) + 128);
    return;
  }
  p[0] = static_cast<uint8_t>(value & 0xFF);
  p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

int32_t GainOf(int32_t hundredthsOfDecibel) {
  if (hundredthsOfDecibel <= kVolumeMin) return 0;
  return static_cast<int32_t>(std::lround(kUnityGain * std::pow(10.0, hundredthsOfDecibel / 2000.0)));
}

bool InitAudioOnce() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    // The host program decides what a signal does, not the sound layer.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_DEFAULT);
    ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!ok) ReportNoDeviceOnce(SDL_GetError());
  });
  return ok;
}

}  // namespace

struct SoundBufferState {
  explicit SoundBufferState(const WaveFormat& f, uint32_t size) : format(f), bytes(size, f.bitsPerSample == 8 ? 0x80 : 0) {}

  // Adds what the buffer plays next to `mix` (`samples` samples of the
  // device's format) and moves the play cursor on.
  void MixInto(int32_t* mix, size_t samples, uint32_t devicePeriodBytes);

  std::mutex mutex;  // guards everything below; the device holds it while mixing
  const WaveFormat format;
  std::vector<uint8_t> bytes;
  std::vector<uint8_t> staging;  // what Lock hands out
  bool locked = false;
  uint32_t lockOffset = 0;
  uint32_t cursor = 0;
  uint32_t writeLead = 0;  // bytes the device takes per callback
  bool playing = false;
  bool looping = false;
  int32_t volume = kVolumeMax;
  int32_t gain = kUnityGain;
  std::vector<NotificationPosition> notifications;
};

void SoundBufferState::MixInto(int32_t* mix, size_t samples, uint32_t devicePeriodBytes) {
  std::lock_guard lock(mutex);
  writeLead = devicePeriodBytes;
  if (!playing) return;
  const uint32_t sampleBytes = format.bitsPerSample / 8;
  const uint32_t size = static_cast<uint32_t>(bytes.size());
  size_t done = 0;
  while (done < samples && playing) {
    const uint32_t span = std::min<uint32_t>(size - cursor, static_cast<uint32_t>((samples - done) * sampleBytes));
    const uint8_t* p = bytes.data() + cursor;
    for (uint32_t i = 0; i < span; i += sampleBytes) {
      const int32_t s = LoadSample(p + i, format.bitsPerSample);
      mix[done++] += gain == kUnityGain ? s : static_cast<int32_t>((static_cast<int64_t>(s) * gain) >> 16);
    }
    for (const NotificationPosition& n : notifications) {
      if (n.offset >= cursor && n.offset < cursor + span) n.event->Set();
    }
    cursor += span;
    if (cursor >= size) {
      cursor = 0;
      playing = looping;
    }
  }
}

namespace {

// The process's one output device, mixing every attached buffer. It is opened
// on first use and kept open, so a track change does not reopen the device.
// The device callback runs under SDL's device lock; `buffers_` and `mix_`
// change only while that lock is held.
class Mixer {
 public:
  // Opens the device at `format` unless it already runs at it. Switching
  // format fails while buffers are attached.
  bool Open(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (device_ != 0 && SameFormat(format, format_) && !LostLocked()) return true;
    if (device_ != 0 && !SameFormat(format, format_) && !buffers_.empty()) return false;
    return ReopenLocked(format);
  }

  bool Lost() {
    std::lock_guard lock(mutex_);
    return LostLocked();
  }

  // Opens the device at its last format (at first the default one) unless it
  // is open and working.
  bool EnsureOpen() {
    std::lock_guard lock(mutex_);
    return (device_ != 0 && !LostLocked()) || ReopenLocked(format_);
  }

  void Close() {
    std::lock_guard lock(mutex_);
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
  }

  bool Attach(const std::shared_ptr<SoundBufferState>& buffer) {
    std::lock_guard lock(mutex_);
    if (device_ == 0 || !SameFormat(buffer->format, format_)) return false;
    SDL_LockAudioDevice(device_);
    buffers_.push_back(buffer.get());
    SDL_UnlockAudioDevice(device_);
    return true;
  }

  void Detach(SoundBufferState* buffer) {
    std::lock_guard lock(mutex_);
    if (device_ != 0) SDL_LockAudioDevice(device_);
    buffers_.erase(std::remove(buffers_.begin(), buffers_.end(), buffer), buffers_.end());
    if (device_ != 0) SDL_UnlockAudioDevice(device_);
  }

 private:
  static void Callback(void* self, Uint8* out, int length) { static_cast<Mixer*>(self)->Mix(out, length); }

  void Mix(uint8_t* out, int length) {
    const uint32_t sampleBytes = format_.bitsPerSample / 8;
    const size_t samples = static_cast<size_t>(length) / sampleBytes;
    std::fill(mix_.begin(), mix_.begin() + samples, 0);
    for (SoundBufferState* buffer : buffers_) buffer->MixInto(mix_.data(), samples, static_cast<uint32_t>(length));
    for (size_t i = 0; i < samples; ++i) StoreSample(out + i * sampleBytes, format_.bitsPerSample, mix_[i]);
  }

  bool LostLocked() const { return device_ != 0 && SDL_GetAudioDeviceStatus(device_) == SDL_AUDIO_STOPPED; }

  bool ReopenLocked(const WaveFormat& format) {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_AudioSpec desired{};
    desired.freq = static_cast<int>(format.samplesPerSec);
    desired.format = format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    desired.channels = static_cast<Uint8>(format.channels);
    desired.samples = kDeviceFrames;
    desired.callback = &Mixer::Callback;
    desired.userdata = this;
    SDL_AudioSpec obtained{};
    // No changes allowed: SDL converts to whatever the hardware takes.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained, 0);
    if (device == 0) {
      ReportNoDeviceOnce(SDL_GetError());
      return false;
    }
    format_ = format;
    mix_.assign(static_cast<size_t>(obtained.size) / (format.bitsPerSample / 8), 0);
    device_ = device;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  std::mutex mutex_;  // serialises opening, closing and attaching
  SDL_AudioDeviceID device_ = 0;
  WaveFormat format_ = kDefaultFormat;
  std::vector<SoundBufferState*> buffers_;
  std::vector<int32_t> mix_;
};

// Never destroyed: the device thread may still call into it while the
// process exits.
Mixer& TheMixer() {
  static Mixer* mixer = new Mixer;
  return *mixer;
}

}  // namespace

SoundBuffer::SoundBuffer(std::shared_ptr<SoundBufferState> state) : state_(std::move(state)) {}

SoundBuffer::~SoundBuffer() { TheMixer().Detach(state_.get()); }

uint32_t SoundBuffer::Size() const { return static_cast<uint32_t>(state_->bytes.size()); }

const WaveFormat& SoundBuffer::Format() const { return state_->format; }

SoundResult SoundBuffer::GetStatus(SoundBufferStatus* status) {
  const bool lost = TheMixer().Lost();
  std::lock_guard lock(state_->mutex);
  status->playing = state_->playing;
  status->looping = state_->looping;
  status->lost = lost;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::Restore() { return TheMixer().EnsureOpen() ? SoundResult::Ok : SoundResult::Failed; }

SoundResult SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                              uint32_t* bytes2) {
  SoundBufferState& s = *state_;
  std::lock_guard lock(s.mutex);
  const uint32_t size = static_cast<uint32_t>(s.bytes.size());
  if (s.locked || offset >= size || bytes == 0 || bytes > size) return SoundResult::Failed;
  const uint32_t first = std::min(bytes, size - offset);
  s.staging.resize(bytes);
  std::memcpy(s.staging.data(), s.bytes.data() + offset, first);
  std::memcpy(s.staging.data() + first, s.bytes.data(), bytes - first);
  s.locked = true;
  s.lockOffset = offset;
  *region1 = s.staging.data();
  *bytes1 = first;
  *region2 = bytes > first ? s.staging.data() + first : nullptr;
  *bytes2 = bytes - first;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) {
  SoundBufferState& s = *state_;
  std::lock_guard lock(s.mutex);
  const uint32_t size = static_cast<uint32_t>(s.bytes.size());
  if (!s.locked || region1 != s.staging.data() || bytes1 > size - s.lockOffset ||
      bytes1 + bytes2 > s.staging.size() || (bytes2 > 0 && region2 != s.staging.data() + bytes1)) {
    return SoundResult::Failed;
  }
  std::memcpy(s.bytes.data() + s.lockOffset, s.staging.data(), bytes1);
  std::memcpy(s.bytes.data(), s.staging.data() + bytes1, bytes2);
  s.locked = false;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::Play(bool looping) {
  std::lock_guard lock(state_->mutex);
  state_->playing = true;
  state_->looping = looping;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::Stop() {
  std::lock_guard lock(state_->mutex);
  state_->playing = false;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard lock(state_->mutex);
  if (offset >= state_->bytes.size()) return SoundResult::Failed;
  state_->cursor = offset - offset % state_->format.blockAlign;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
  std::lock_guard lock(state_->mutex);
  const uint32_t size = static_cast<uint32_t>(state_->bytes.size());
  if (play) *play = state_->cursor;
  if (write) *write = (state_->cursor + (state_->playing ? state_->writeLead : 0)) % size;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::SetVolume(int32_t hundredthsOfDecibel) {
  if (hundredthsOfDecibel < kVolumeMin || hundredthsOfDecibel > kVolumeMax) return SoundResult::Failed;
  std::lock_guard lock(state_->mutex);
  state_->volume = hundredthsOfDecibel;
  state_->gain = GainOf(hundredthsOfDecibel);
  return SoundResult::Ok;
}

SoundResult SoundBuffer::GetVolume(int32_t* hundredthsOfDecibel) {
  std::lock_guard lock(state_->mutex);
  *hundredthsOfDecibel = state_->volume;
  return SoundResult::Ok;
}

SoundResult SoundBuffer::SetNotificationPositions(const std::vector<NotificationPosition>& positions) {
  for (const NotificationPosition& p : positions) {
    if (p.offset >= Size() || p.event == nullptr) return SoundResult::Failed;
  }
  std::lock_guard lock(state_->mutex);
  state_->notifications = positions;
  return SoundResult::Ok;
}

std::unique_ptr<SoundDevice> SoundDevice::Create() {
  if (!InitAudioOnce() || !TheMixer().EnsureOpen()) return nullptr;
  return std::unique_ptr<SoundDevice>(new SoundDevice);
}

SoundDevice::~SoundDevice() = default;

SoundResult SoundDevice::SetPrimaryFormat(const WaveFormat& format) {
  if (!IsPlayableFormat(format)) return SoundResult::Failed;
  return TheMixer().Open(format) ? SoundResult::Ok : SoundResult::Failed;
}

std::unique_ptr<SoundBuffer> SoundDevice::CreateBuffer(const WaveFormat& format, uint32_t bytes) {
  if (!IsPlayableFormat(format) || bytes < format.blockAlign || !TheMixer().Open(format)) return nullptr;
  auto state = std::make_shared<SoundBufferState>(format, bytes - bytes % format.blockAlign);
  if (!TheMixer().Attach(state)) return nullptr;
  return std::unique_ptr<SoundBuffer>(new SoundBuffer(std::move(state)));
}

void ShutdownSound() { TheMixer().Close(); }

}  // namespace platform
