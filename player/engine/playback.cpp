#include "engine/playback.h"

#include <algorithm>

namespace engine {
namespace {

constexpr int32_t kSecondsAheadToResume = 5;

}  // namespace

std::string TrackUrl(const PlaybackState& state) {
  std::shared_ptr<const std::string> url = state.trackUrl.load();
  return url ? *url : std::string();
}

void RequestTrack(PlaybackState& state, const std::string& url) {
  state.trackUrl.store(std::make_shared<const std::string>(url));
  state.paused = false;
  state.buffering = false;
  if (state.playback.load()) {
    state.stopDecode = true;
    state.stopDownload = true;
  }
  state.downloadSemaphore.Release();
}

void PauseTrack(PlaybackState& state) {
  std::shared_ptr<CPlayback> playback = state.playback.load();
  if (state.paused || !playback) return;
  playback->player.Pause();
  state.paused = true;
}

bool ResumeTrack(PlaybackState& state) {
  std::shared_ptr<CPlayback> playback = state.playback.load();
  if (!(state.paused || state.buffering) || !playback) return false;
  playback->player.Play();
  state.paused = false;
  return true;
}

void ResumeAfterBuffering(PlaybackState& state) {
  if (std::shared_ptr<CPlayback> playback = state.playback.load()) playback->player.Play();
  state.buffering = false;
}

void SeekTrack(PlaybackState& state, int32_t value, int32_t maximum) {
  if (maximum <= 0) return;
  const int32_t seconds = static_cast<int32_t>(int64_t{value} * state.totalSeconds / maximum);
  std::shared_ptr<CPlayback> playback = state.playback.load();
  if (!playback) return;
  const int64_t offset = int64_t{seconds} * state.bytesPerSec + state.framesBegin;
  playback->seekOffset = static_cast<int32_t>(std::clamp<int64_t>(offset, INT32_MIN, INT32_MAX));
  playback->player.SetPosition(static_cast<uint32_t>(std::max(seconds, 0)));
}

void SetTrackVolume(PlaybackState& state, int32_t value) {
  if (std::shared_ptr<CPlayback> playback = state.playback.load()) playback->player.SetVolume((value - 100) * 30);
}

BufferingCheck CheckBuffering(PlaybackState& state, uint32_t downloaded, int32_t* percent) {
  const int32_t begin = state.framesBegin;
  const int32_t rate = state.bytesPerSec;
  if (!state.buffering || int64_t{downloaded} <= begin || !state.playback.load() || rate <= 0) {
    return BufferingCheck::kNotWaiting;
  }
  const int64_t ahead = (int64_t{downloaded} - begin) / rate - state.elapsedSeconds;
  if (ahead < kSecondsAheadToResume) {
    *percent = static_cast<int32_t>(std::clamp<int64_t>(ahead * 100 / kSecondsAheadToResume, 0, 100));
    return BufferingCheck::kWaiting;
  }
  ResumeAfterBuffering(state);
  return BufferingCheck::kResumed;
}

uint32_t PositionSeconds(const PlaybackState& state, uint32_t segments) {
  std::shared_ptr<CPlayback> playback = state.playback.load();
  return playback ? playback->player.SegmentsToSeconds(segments) : 0;
}

}  // namespace engine
