// The decode thread: plays each track from the cache file as its byte ranges
// arrive, one piece of at most 1 KiB at a time, through the decoder into the
// output's ring buffer, and ends it once the body is read and heard.
#include <algorithm>

#include "engine/playback.h"

namespace engine {
namespace {

constexpr uint32_t kPieceBytes = 1024;
// How often a read waiting for bytes looks again.
constexpr uint32_t kDataPollMs = 10;
// How often the end of a track looks at its stop request while the output
// plays out.
constexpr uint32_t kPlayOutPollMs = 5;

class TrackPlay {
 public:
  TrackPlay(PlaybackState& state, CPlayback& playback) : state_(state), playback_(playback) {}

  void Run() {
    CPlayback& p = playback_;
    p.player.SetEventSink(&p);
    p.decoder.Init();
    p.player.Init(p.sampleRate);
    p.player.SetVolume(SliderToVolume(state_.volumeSlider));
    file_ = p.file.load();
    if (file_) {
      p.player.Play();
      if (ReadToEnd() && PlayOut()) {
        // Once done is seen the failure, if any, is final.
        if (p.downloadFailed.load(std::memory_order_acquire)) {
          if (!p.superseded) PostFailure(state_, p.failureReason);
        } else {
          p.OnPlayerEvent(kEventTrackEnd, 0);
        }
      }
    }
    TearDown();
  }

 private:
  // Follows the cache file from the first audio frame until the body is
  // read and decoded, or the download gave up. False when a stop request or
  // a failing read ended it first.
  bool ReadToEnd() {
    uint8_t piece[kPieceBytes];
    uint64_t position = playback_.readPosition;
    const uint64_t end = static_cast<uint64_t>(std::max(playback_.contentLength.load(), 0));
    for (;;) {
      if (playback_.seekOffset.load() > 0) {
        const int32_t seek = playback_.seekOffset.exchange(0);
        if (seek > 0) {
          position = static_cast<uint64_t>(seek);
          // The old position stops at once: what was queued of it is dropped
          // and the decoder starts afresh on the new bytes.
          playback_.player.Flush();
          playback_.decoder.Finish();
          playback_.decoder.Init();
        }
      }
      playback_.readPosition = position;
      // Done first: once it is set, what is held is final.
      const bool done = playback_.downloadDone.load(std::memory_order_acquire);
      const uint64_t held = playback_.HeldFrom(position);
      if (held == position) {
        if (Stopped()) return false;
        if (position >= end || done) return FinishDecoding();
        playback_.wanted = static_cast<int64_t>(position);
        platform::SleepMs(kDataPollMs);
        continue;
      }
      size_t got = 0;
      if (!file_->ReadAt(position, piece, std::min<uint64_t>(held - position, kPieceBytes), &got)) return false;
      if (got == 0) continue;
      position += got;
      if (Stopped()) return false;
      playback_.decoder.Feed(piece, static_cast<uint32_t>(got));
      if (!DecodeFed()) return false;
    }
  }

  // libmad decodes a frame only once it sees what follows it: the end of
  // the input lets the last frame out.
  bool FinishDecoding() {
    playback_.decoder.FeedEnd();
    return DecodeFed();
  }

  // Decodes every whole frame fed so far into the ring buffer.
  bool DecodeFed() {
    CPlayback& p = playback_;
    while (p.decoder.Decode(p.pcm, &p.pcmBytes) == CMp3Decoder::kFrame) {
      if (Stopped()) return false;
      uint32_t written = 0;
      while (written < p.pcmBytes) {
        if (Stopped()) return false;
        // A seek drops what is decoded here anyway: it is taken at once
        // rather than after the output has room again.
        if (p.seekOffset.load() > 0) return true;
        written += p.player.Write(p.pcm + written, p.pcmBytes - written);
      }
    }
    return true;
  }

  // Marks the end of the track's PCM and waits until the output has played
  // it all, so that the track is heard to its end.
  bool PlayOut() {
    Ring_Buffer& ring = playback_.player.RingBuffer();
    ring.FlushPartial();
    ring.SetEnd();
    while (!playback_.player.HasPlayedOut()) {
      if (Stopped()) return false;
      platform::SleepMs(kPlayOutPollMs);
    }
    return true;
  }

  void TearDown() {
    playback_.decoder.Finish();
    playback_.file.store(nullptr);
    file_.reset();
    playback_.player.Close();
  }

  bool Stopped() const { return state_.stopDecode || playback_.superseded || state_.shutdown; }

  PlaybackState& state_;
  CPlayback& playback_;
  std::shared_ptr<platform::File> file_;
};

}  // namespace

void DecodeThreadProc(PlaybackState& state) {
  for (;;) {
    state.decodeSemaphore.Wait();
    if (state.shutdown) return;
    std::shared_ptr<CPlayback> playback = state.decodeTarget.exchange(nullptr);
    state.stopDecode = false;
    if (!playback || playback->superseded) continue;
    TrackPlay(state, *playback).Run();
  }
}

}  // namespace engine
