// The sound seam over DirectSound itself: one device per process, a real
// looping secondary buffer per SoundBuffer, and DirectSound's position
// notifications passed on to the seam's events by a thread per buffer.
#include "platform/sound.h"

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <string>

#include "std/sound_format.h"

namespace platform {
namespace {

SoundResult ResultOf(HRESULT result) {
  if (SUCCEEDED(result)) return SoundResult::Ok;
  return result == DSERR_BUFFERLOST ? SoundResult::BufferLost : SoundResult::Failed;
}

WAVEFORMATEX WaveOf(const WaveFormat& f) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = f.channels;
  wave.nSamplesPerSec = f.samplesPerSec;
  wave.nAvgBytesPerSec = f.samplesPerSec * f.blockAlign;
  wave.nBlockAlign = f.blockAlign;
  wave.wBitsPerSample = f.bitsPerSample;
  return wave;
}

}  // namespace

// What one SoundBuffer holds: its DirectSound buffer and the thread that
// turns DirectSound's notification events into the seam's events.
struct SoundBufferState {
  ~SoundBufferState() {
    StopForwarding();
    if (buffer) buffer->Release();
  }

  void StopForwarding() {
    if (forwarder) {
      SetEvent(stopForwarding);
      WaitForSingleObject(forwarder, INFINITE);
      CloseHandle(forwarder);
      forwarder = nullptr;
    }
    if (stopForwarding) CloseHandle(stopForwarding);
    stopForwarding = nullptr;
    for (HANDLE event : events) CloseHandle(event);
    events.clear();
    targets.clear();
  }

  static DWORD WINAPI Forward(void* parameter) {
    auto* self = static_cast<SoundBufferState*>(parameter);
    std::vector<HANDLE> waited = self->events;
    waited.push_back(self->stopForwarding);
    for (;;) {
      const DWORD which = WaitForMultipleObjects(static_cast<DWORD>(waited.size()), waited.data(), FALSE, INFINITE);
      const DWORD index = which - WAIT_OBJECT_0;
      if (index >= self->events.size()) return 0;
      self->targets[index]->Set();
    }
  }

  IDirectSoundBuffer* buffer = nullptr;
  WaveFormat format;
  uint32_t size = 0;
  std::vector<HANDLE> events;  // one per notification position
  std::vector<AutoResetEvent*> targets;
  HANDLE stopForwarding = nullptr;
  HANDLE forwarder = nullptr;
};

namespace {

constexpr int kDeviceStartMs = 250;

// The process's DirectSound object, kept for the life of the process, and
// the buffers alive on it (so that ShutdownSound can silence them).
class Device {
 public:
  IDirectSound* Open() {
    std::lock_guard lock(mutex_);
    if (sound_) return sound_;
    IDirectSound* sound = nullptr;
    HRESULT result = DirectSoundCreate(nullptr, &sound, nullptr);
    // A program without a window of its own (the console tools) plays on the
    // desktop's focus; global-focus buffers are heard whatever has focus.
    if (SUCCEEDED(result)) result = sound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY);
    if (FAILED(result)) {
      if (sound) sound->Release();
      ReportNoDeviceOnce(("DirectSound error " + std::to_string(static_cast<unsigned long>(result))).c_str());
      return nullptr;
    }
    DSBUFFERDESC description{};
    description.dwSize = sizeof description;
    description.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (SUCCEEDED(sound->CreateSoundBuffer(&description, &primary_, nullptr))) StartMixing();
    sound_ = sound;
    return sound_;
  }

  // The primary buffer mixes secondary buffers of any format, so its own is
  // a preference: one that it refuses while it plays is set with the
  // primary buffer stopped, which then plays on.
  bool SetFormat(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    if (!primary_) return sound_ != nullptr;  // the device converts on its own
    const WAVEFORMATEX wave = WaveOf(format);
    if (SUCCEEDED(primary_->SetFormat(&wave))) return true;
    primary_->Stop();
    const bool set = SUCCEEDED(primary_->SetFormat(&wave));
    StartMixing();
    return set;
  }

  void Attach(SoundBufferState* buffer) {
    std::lock_guard lock(mutex_);
    buffers_.insert(buffer);
  }
  void Detach(SoundBufferState* buffer) {
    std::lock_guard lock(mutex_);
    buffers_.erase(buffer);
  }
  void SilenceAll() {
    std::lock_guard lock(mutex_);
    for (SoundBufferState* buffer : buffers_) buffer->buffer->Stop();
  }

 private:
  // Keeps the device running from here on, mixing silence while no buffer
  // plays, and waits (a little) until it runs: a device that a buffer's Play
  // has only just started drops that buffer's first milliseconds.
  void StartMixing() {
    if (FAILED(primary_->Play(0, 0, DSBPLAY_LOOPING))) return;
    DWORD started = 0;
    primary_->GetCurrentPosition(&started, nullptr);
    for (int waited = 0; waited < kDeviceStartMs; waited += 5) {
      Sleep(5);
      DWORD now = started;
      if (FAILED(primary_->GetCurrentPosition(&now, nullptr)) || now != started) return;
    }
  }

  std::mutex mutex_;
  IDirectSound* sound_ = nullptr;
  IDirectSoundBuffer* primary_ = nullptr;
  std::set<SoundBufferState*> buffers_;
};

// Never destroyed: buffers may outlive every other object of the program.
Device& TheDevice() {
  static Device* device = new Device;
  return *device;
}

}  // namespace

SoundBuffer::SoundBuffer(std::shared_ptr<SoundBufferState> state) : state_(std::move(state)) {
  TheDevice().Attach(state_.get());
}

SoundBuffer::~SoundBuffer() {
  TheDevice().Detach(state_.get());
  state_->buffer->Stop();
}

uint32_t SoundBuffer::Size() const { return state_->size; }

const WaveFormat& SoundBuffer::Format() const { return state_->format; }

SoundResult SoundBuffer::GetStatus(SoundBufferStatus* status) {
  DWORD flags = 0;
  const SoundResult result = ResultOf(state_->buffer->GetStatus(&flags));
  status->playing = flags & DSBSTATUS_PLAYING;
  status->looping = flags & DSBSTATUS_LOOPING;
  status->lost = flags & DSBSTATUS_BUFFERLOST;
  return result;
}

SoundResult SoundBuffer::Restore() { return ResultOf(state_->buffer->Restore()); }

SoundResult SoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region1, uint32_t* bytes1, void** region2,
                              uint32_t* bytes2) {
  DWORD size1 = 0;
  DWORD size2 = 0;
  const SoundResult result = ResultOf(state_->buffer->Lock(offset, bytes, region1, &size1, region2, &size2, 0));
  *bytes1 = size1;
  *bytes2 = size2;
  return result;
}

SoundResult SoundBuffer::Unlock(void* region1, uint32_t bytes1, void* region2, uint32_t bytes2) {
  return ResultOf(state_->buffer->Unlock(region1, bytes1, region2, bytes2));
}

SoundResult SoundBuffer::Play(bool looping) {
  return ResultOf(state_->buffer->Play(0, 0, looping ? DSBPLAY_LOOPING : 0));
}

SoundResult SoundBuffer::Stop() { return ResultOf(state_->buffer->Stop()); }

SoundResult SoundBuffer::SetCurrentPosition(uint32_t offset) {
  if (offset >= state_->size) return SoundResult::Failed;
  return ResultOf(state_->buffer->SetCurrentPosition(offset - offset % state_->format.blockAlign));
}

SoundResult SoundBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
  DWORD playCursor = 0;
  DWORD writeCursor = 0;
  const SoundResult result = ResultOf(state_->buffer->GetCurrentPosition(&playCursor, &writeCursor));
  if (play) *play = playCursor;
  if (write) *write = writeCursor;
  return result;
}

SoundResult SoundBuffer::SetVolume(int32_t hundredthsOfDecibel) {
  if (hundredthsOfDecibel < kVolumeMin || hundredthsOfDecibel > kVolumeMax) return SoundResult::Failed;
  return ResultOf(state_->buffer->SetVolume(hundredthsOfDecibel));
}

SoundResult SoundBuffer::GetVolume(int32_t* hundredthsOfDecibel) {
  LONG volume = 0;
  const SoundResult result = ResultOf(state_->buffer->GetVolume(&volume));
  *hundredthsOfDecibel = volume;
  return result;
}

// DirectSound takes notification positions only while the buffer is
// stopped, and waits on at most 64 events per thread (one is the stop).
SoundResult SoundBuffer::SetNotificationPositions(const std::vector<NotificationPosition>& positions) {
  if (positions.size() >= MAXIMUM_WAIT_OBJECTS) return SoundResult::Failed;
  for (const NotificationPosition& p : positions) {
    if (p.offset >= Size() || p.event == nullptr) return SoundResult::Failed;
  }
  SoundBufferState& s = *state_;
  IDirectSoundNotify* notify = nullptr;
  if (FAILED(s.buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)))) {
    return SoundResult::Failed;
  }
  s.StopForwarding();
  std::vector<DSBPOSITIONNOTIFY> marks;
  for (const NotificationPosition& p : positions) {
    s.events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    s.targets.push_back(p.event);
    marks.push_back({p.offset, s.events.back()});
  }
  HRESULT result = notify->SetNotificationPositions(static_cast<DWORD>(marks.size()), marks.data());
  notify->Release();
  if (SUCCEEDED(result) && !marks.empty()) {
    s.stopForwarding = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    s.forwarder = CreateThread(nullptr, 0, &SoundBufferState::Forward, &s, 0, nullptr);
    if (!s.forwarder) result = E_FAIL;
  }
  if (FAILED(result)) s.StopForwarding();
  return ResultOf(result);
}

std::unique_ptr<SoundDevice> SoundDevice::Create() {
  if (!TheDevice().Open()) return nullptr;
  return std::unique_ptr<SoundDevice>(new SoundDevice);
}

SoundDevice::~SoundDevice() = default;

SoundResult SoundDevice::SetPrimaryFormat(const WaveFormat& format) {
  if (!IsPlayableFormat(format)) return SoundResult::Failed;
  return TheDevice().SetFormat(format) ? SoundResult::Ok : SoundResult::Failed;
}

std::unique_ptr<SoundBuffer> SoundDevice::CreateBuffer(const WaveFormat& format, uint32_t bytes) {
  IDirectSound* sound = TheDevice().Open();
  if (!sound || !IsPlayableFormat(format) || bytes < format.blockAlign) return nullptr;
  auto state = std::make_shared<SoundBufferState>();
  state->format = format;
  state->size = bytes - bytes % format.blockAlign;
  WAVEFORMATEX wave = WaveOf(format);
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_GETCURRENTPOSITION2 |
                        DSBCAPS_GLOBALFOCUS;
  description.dwBufferBytes = state->size;
  description.lpwfxFormat = &wave;
  if (FAILED(sound->CreateSoundBuffer(&description, &state->buffer, nullptr))) return nullptr;
  // A new buffer holds silence.
  void* region = nullptr;
  DWORD regionBytes = 0;
  if (SUCCEEDED(state->buffer->Lock(0, state->size, &region, &regionBytes, nullptr, nullptr, DSBLOCK_ENTIREBUFFER))) {
    std::memset(region, format.bitsPerSample == 8 ? 0x80 : 0, regionBytes);
    state->buffer->Unlock(region, regionBytes, nullptr, 0);
  }
  return std::unique_ptr<SoundBuffer>(new SoundBuffer(std::move(state)));
}

void ShutdownSound() { TheDevice().SilenceAll(); }

}  // namespace platform
