// The audio engine as its host sees it: one object that owns the download
// and decode threads, the current track's playback and its bookkeeping, and
// reports to the host through the host's own interface.
//
// Every operation is called on the host's thread. The engine's threads never
// wait for the host: they post (type, value) messages through
// EngineHost::PostEngineMessage, and the host hands each one back to Digest
// on its own thread, in the order posted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine_host.h"

namespace engine {

struct PlaybackState;

// Brelix's figures of the current track (the last track that had them).
struct StreamFigures {
  int32_t framesBegin = 0;
  int32_t framesEnd = 0;
  int32_t bytesPerSec = 0;
  int32_t allFramesSize = 0;
};

// What a digested message means for the host's display.
struct EngineReport {
  uint32_t type = 0;
  // The message's value; for kMessagePosition the seconds heard, never more
  // than the track's total.
  uint32_t value = 0;
  // kMessageDownloaded while the output waits for data: either the share of
  // the five seconds ahead that has arrived, or the output resumed.
  bool bufferingShown = false;
  int32_t bufferingPercent = 0;
  bool resumed = false;
};

struct EngineSettings {
  std::string programFolder;  // ends with a separator: the Brelix library
  std::string cacheFolder;    // where the track's cache file goes; created when missing
  // An interrupted download is resumed after this long without a byte.
  uint32_t stallTimeoutMs = 8000;
  // Pauses before the successive attempts to resume an interrupted download.
  uint32_t resumePausesMs[5] = {500, 1000, 2000, 4000, 8000};
  // False: every body is fetched in order from its first byte, as from a
  // server that ignores ranges, and no next track is fetched ahead (the
  // benchmarks' measure of what byte ranges bring).
  bool byteRanges = true;
};

class Engine {
 public:
  // Starts the decode thread, then the download thread. Null when a thread
  // cannot be started. `host` must outlive the engine.
  static std::unique_ptr<Engine> Start(EngineHost& host, const EngineSettings& settings);
  // Ends the track in hand without any message and joins both threads.
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // The host's operations.
  // Replaces the track in hand, if any, with the one at `url`.
  void RequestTrack(const std::string& url);
  // Nothing when already paused or nothing was requested.
  void Pause();
  // Resumes after the user's pause or while buffering; false (nothing done)
  // when neither holds or nothing was requested.
  bool Resume();
  // Seeks to `value` of a slider whose maximum is `maximum`.
  void Seek(int32_t value, int32_t maximum);
  // Volume from a slider value 0 … 100, for the track in hand and every
  // later one.
  void SetVolume(int32_t sliderValue);
  // The track the host will ask for when the one in hand ends: its first
  // seconds are fetched during the last seconds of this one, so that it
  // follows without a gap and a failure shows before the end. Empty: none.
  void SetNextTrack(const std::string& url);

  // Books a message posted by the engine and says what it means.
  EngineReport Digest(uint32_t type, uint32_t value);

  // The state the host shows.
  std::string TrackUrl() const;  // empty before the first request
  bool HasTrack() const;         // a track was requested
  bool Paused() const;
  bool Buffering() const;
  bool SeekPending() const;
  // The track in hand is being let go for a newer request (its download,
  // its decoding), or no request was made yet.
  bool DownloadStopping() const;
  bool DecodeStopping() const;
  int32_t TotalSeconds() const;
  int32_t ElapsedSeconds() const;
  int32_t ContentLength() const;
  StreamFigures Figures() const;
  // Why the last request failed (after kMessageFailed), in a few words.
  std::string FailureReason() const;

 private:
  friend PlaybackState& StateOf(Engine& engine);
  explicit Engine(std::unique_ptr<PlaybackState> state);
  std::unique_ptr<PlaybackState> state_;
};

}  // namespace engine
