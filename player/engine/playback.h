// The state the host and the engine's threads share, the per-track playback
// object, and the operations the host performs on them from its own thread.
//
// Every shared field has one writer at a time and is an atomic (or a
// SharedSlot for the shared pointers); playback objects are shared-owned, so
// whichever thread drops the last reference frees one, and nobody ever
// touches a freed one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/direct_sound_player.h"
#include "engine/engine_host.h"
#include "engine/mp3_decoder.h"
#include "engine/player_events.h"
#include "engine/shared_slot.h"
#include "platform/file.h"
#include "platform/sync.h"

namespace engine {

// One track request, from the download thread's creation of it to the last
// reference dropped.
struct CPlayback {
  uint8_t pcm[CMp3Decoder::kMaxFrameBytes] = {};
  uint32_t pcmBytes = 0;
  CMp3Decoder decoder;
  CDirectSoundPlayer player;
  // Stored by the download thread just before it wakes the decode thread.
  std::atomic<uint32_t> sampleRate{0};
  // The download thread's last access to this object.
  std::atomic<bool> downloadDone{false};
  // A pending seek as a byte offset in the cache file; 0 means none.
  std::atomic<int32_t> seekOffset{0};
  // The cache file; null until the download thread has created it.
  SharedSlot<platform::File> file;
  std::atomic<int32_t> contentLength{0};
  // Bytes in the cache file; grows only after they are written.
  std::atomic<uint32_t> downloaded{0};
  // A newer request has taken this one's place.
  std::atomic<bool> superseded{false};
};

struct PlaybackState {
  // Set by the host before the engine threads start.
  std::string cacheFolder;    // ends with a separator; holds the track's cache file
  std::string libraryFolder;  // ends with a separator; holds the Brelix library
  EngineHost* host = nullptr;
  PlayerEventSink eventSink = nullptr;

  platform::Semaphore decodeSemaphore{0, 1};
  platform::Semaphore downloadSemaphore{0, 1};
  // A new string object for every request, so a request for the same
  // address as the last one is still a new request.
  SharedSlot<const std::string> trackUrl;
  std::atomic<bool> stopDecode{true};
  std::atomic<bool> stopDownload{true};
  std::atomic<bool> paused{false};
  std::atomic<bool> buffering{false};
  // The playback object of the most recent request; null until the first.
  SharedSlot<CPlayback> playback;
  // Brelix's figures for the most recent track that had them.
  std::atomic<int32_t> allFramesSize{0};
  std::atomic<int32_t> framesBegin{0};
  std::atomic<int32_t> framesEnd{0};
  std::atomic<int32_t> bytesPerSec{0};
  // Written by the host as engine messages 2, 1 and 5 arrive.
  std::atomic<int32_t> contentLength{0};
  std::atomic<int32_t> totalSeconds{0};
  std::atomic<int32_t> elapsedSeconds{0};

  // The playback object the decode semaphore was last released for.
  SharedSlot<CPlayback> decodeTarget;
  // The engine threads are to end.
  std::atomic<bool> shutdown{false};
};

// The address of the most recent request; empty before the first.
std::string TrackUrl(const PlaybackState& state);

// 1. Request a track: replaces the one playing, if any.
void RequestTrack(PlaybackState& state, const std::string& url);
// 2. Pause; nothing when already paused or nothing was requested.
void PauseTrack(PlaybackState& state);
// 3. Resume after the user's pause or while buffering. False (nothing done)
// when neither holds or nothing was requested.
bool ResumeTrack(PlaybackState& state);
// 4. Resume once enough has arrived after the output ran dry.
void ResumeAfterBuffering(PlaybackState& state);
// 5. Seek to `value` of a slider whose maximum is `maximum`.
void SeekTrack(PlaybackState& state, int32_t value, int32_t maximum);
// 6. Volume from a slider value 0 … 100.
void SetTrackVolume(PlaybackState& state, int32_t value);

// The buffering check the host makes on every engine message 3 while the
// output waits for data: resumes (operation 4) once five seconds beyond the
// played position have arrived, else gives the percentage of those five
// seconds that have.
enum class BufferingCheck { kNotWaiting, kWaiting, kResumed };
BufferingCheck CheckBuffering(PlaybackState& state, uint32_t downloaded, int32_t* percent);

// The seconds a player event 5 stands for, with the figures of the current
// track's output; 0 when it has none.
uint32_t PositionSeconds(const PlaybackState& state, uint32_t segments);

}  // namespace engine
