#include "engine/engine.h"

#include <algorithm>

#include "engine/playback.h"

namespace engine {
namespace {

constexpr int32_t kSecondsAheadToResume = 5;

}  // namespace

void Post(PlaybackState& state, uint32_t type, uint32_t value) { state.host.PostEngineMessage(type, value); }

void PostFailure(PlaybackState& state, const std::string& reason) {
  {
    std::lock_guard lock(state.failureMutex);
    state.failureReason = reason;
  }
  Post(state, kMessageFailed, 0);
}

int32_t SliderToVolume(int32_t sliderValue) { return (std::clamp(sliderValue, 0, 100) - 100) * 30; }

PlaybackState& StateOf(Engine& engine) { return *engine.state_; }

void CPlayback::MarkHeld(uint64_t begin, uint64_t end) {
  std::lock_guard lock(heldMutex_);
  held_.Add(begin, end);
}

uint64_t CPlayback::HeldFrom(uint64_t offset) const {
  std::lock_guard lock(heldMutex_);
  return held_.HeldFrom(offset);
}

void CPlayback::OnPlayerEvent(int event, uint32_t value) {
  if (state == nullptr || superseded) return;
  switch (event) {
    case kEventTrackEnd:
      Post(*state, kMessageTrackEnd, 0);
      break;
    case kEventPosition:
      Post(*state, kMessagePosition, player.SegmentsToSeconds(value));
      break;
    case kEventRanDry:
      state->buffering = true;
      Post(*state, kMessageRanDry, 0);
      break;
    case kEventPlaying:
      if (value == kResumedByItself) state->buffering = false;
      Post(*state, kMessagePlaying, 0);
      break;
    default:
      break;
  }
}

std::unique_ptr<Engine> Engine::Start(EngineHost& host, const EngineSettings& settings) {
  std::unique_ptr<Engine> engine(new Engine(std::make_unique<PlaybackState>(host, settings)));
  PlaybackState& state = *engine->state_;
  state.decodeThread = platform::Thread::Start([&state] { DecodeThreadProc(state); });
  if (!state.decodeThread) return nullptr;
  state.downloadThread = platform::Thread::Start([&state] { DownloadThreadProc(state); });
  if (!state.downloadThread) return nullptr;
  return engine;
}

Engine::Engine(std::unique_ptr<PlaybackState> state) : state_(std::move(state)) {}

Engine::~Engine() {
  PlaybackState& state = *state_;
  state.shutdown = true;
  state.stopDownload = true;
  state.stopDecode = true;
  state.downloadSemaphore.Release();
  state.decodeSemaphore.Release();
  if (state.downloadThread) state.downloadThread->Join();
  if (state.decodeThread) state.decodeThread->Join();
}

void Engine::RequestTrack(const std::string& url) {
  PlaybackState& state = *state_;
  state.trackUrl.store(std::make_shared<const std::string>(url));
  state.paused = false;
  state.buffering = false;
  if (state.playback.load()) {
    state.stopDecode = true;
    state.stopDownload = true;
  }
  state.downloadSemaphore.Release();
}

void Engine::Pause() {
  std::shared_ptr<CPlayback> playback = state_->playback.load();
  if (state_->paused || !playback) return;
  playback->player.Pause();
  state_->paused = true;
}

bool Engine::Resume() {
  std::shared_ptr<CPlayback> playback = state_->playback.load();
  if (!(state_->paused || state_->buffering) || !playback) return false;
  playback->player.Play();
  state_->paused = false;
  return true;
}

void Engine::Seek(int32_t value, int32_t maximum) {
  PlaybackState& state = *state_;
  if (maximum <= 0) return;
  const int32_t seconds = static_cast<int32_t>(int64_t{value} * state.totalSeconds / maximum);
  std::shared_ptr<CPlayback> playback = state.playback.load();
  if (!playback) return;
  const int64_t offset = int64_t{seconds} * state.bytesPerSec + state.framesBegin;
  playback->seekOffset = static_cast<int32_t>(std::clamp<int64_t>(offset, INT32_MIN, INT32_MAX));
  playback->player.SetPosition(static_cast<uint32_t>(std::max(seconds, 0)));
}

void Engine::SetVolume(int32_t sliderValue) {
  state_->volumeSlider = sliderValue;
  if (std::shared_ptr<CPlayback> playback = state_->playback.load()) {
    playback->player.SetVolume(SliderToVolume(sliderValue));
  }
}

void Engine::SetNextTrack(const std::string& url) {
  state_->nextUrl.store(std::make_shared<const std::string>(url));
}

EngineReport Engine::Digest(uint32_t type, uint32_t value) {
  PlaybackState& state = *state_;
  EngineReport report;
  report.type = type;
  report.value = value;
  const auto amount = static_cast<int32_t>(value);
  switch (type) {
    case kMessageDuration:
      state.totalSeconds = amount;
      break;
    case kMessageContentLength:
      state.contentLength = amount;
      break;
    case kMessagePosition: {
      // The output may hold a little more than the whole seconds Brelix
      // counts; the time shown never passes the total.
      const int32_t total = state.totalSeconds;
      state.elapsedSeconds = total > 0 ? std::min(amount, total) : amount;
      report.value = static_cast<uint32_t>(state.elapsedSeconds.load());
      break;
    }
    case kMessageDownloaded:
    case kMessageRanDry: {
      std::shared_ptr<CPlayback> playback = state.playback.load();
      const int32_t begin = state.framesBegin;
      const int32_t rate = state.bytesPerSec;
      const uint64_t downloaded = type == kMessageDownloaded ? value : (playback ? playback->HeldAhead() : 0);
      if (!state.buffering || static_cast<int64_t>(downloaded) <= begin || !playback || rate <= 0) break;
      const int64_t ahead = (static_cast<int64_t>(downloaded) - begin) / rate - state.elapsedSeconds;
      // Once the whole body is there, the rest of the track is all there is
      // to wait for.
      const bool complete = state.contentLength > 0 && static_cast<int64_t>(downloaded) >= state.contentLength;
      if (ahead >= kSecondsAheadToResume || complete) {
        playback->player.Play();
        state.buffering = false;
        report.resumed = true;
      } else if (type == kMessageDownloaded) {
        report.bufferingShown = true;
        report.bufferingPercent =
            static_cast<int32_t>(std::clamp<int64_t>(ahead * 100 / kSecondsAheadToResume, 0, 100));
      }
      break;
    }
    default:
      break;
  }
  return report;
}

std::string Engine::TrackUrl() const {
  std::shared_ptr<const std::string> url = state_->trackUrl.load();
  return url ? *url : std::string();
}

bool Engine::HasTrack() const { return state_->playback.load() != nullptr; }
bool Engine::Paused() const { return state_->paused; }
bool Engine::Buffering() const { return state_->buffering; }

bool Engine::SeekPending() const {
  std::shared_ptr<CPlayback> playback = state_->playback.load();
  return playback && playback->seekOffset.load() != 0;
}

bool Engine::DownloadStopping() const { return state_->stopDownload; }
bool Engine::DecodeStopping() const { return state_->stopDecode; }
int32_t Engine::TotalSeconds() const { return state_->totalSeconds; }
int32_t Engine::ElapsedSeconds() const { return state_->elapsedSeconds; }
int32_t Engine::ContentLength() const { return state_->contentLength; }

StreamFigures Engine::Figures() const {
  return {state_->framesBegin, state_->framesEnd, state_->bytesPerSec, state_->allFramesSize};
}

std::string Engine::FailureReason() const {
  std::lock_guard lock(state_->failureMutex);
  return state_->failureReason;
}

}  // namespace engine
