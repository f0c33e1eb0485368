// The engine's inside: the state its threads share with the host's thread,
// and the per-track playback object.
//
// Every shared field has one writer at a time and is an atomic (or a
// SharedSlot for the shared pointers); playback objects are shared-owned, so
// whichever thread drops the last reference frees one, and nobody ever
// touches a freed one.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/byte_ranges.h"
#include "engine/direct_sound_player.h"
#include "engine/engine.h"
#include "engine/engine_host.h"
#include "engine/mp3_decoder.h"
#include "engine/player_events.h"
#include "engine/shared_slot.h"
#include "platform/file.h"
#include "platform/sync.h"
#include "platform/thread.h"

namespace engine {

struct PlaybackState;

// One track request, from the download thread's creation of it to the last
// reference dropped.
struct CPlayback : public PlayerEventSink {
  explicit CPlayback(PlaybackState* owner = nullptr) : state(owner) {}
  // Hands the player's events to the engine unless a newer request has
  // taken this one's place.
  void OnPlayerEvent(int event, uint32_t value) override;

  PlaybackState* const state;
  uint8_t pcm[CMp3Decoder::kMaxFrameBytes] = {};
  uint32_t pcmBytes = 0;
  CMp3Decoder decoder;
  CDirectSoundPlayer player;
  // Stored by the download thread just before it wakes the decode thread.
  std::atomic<uint32_t> sampleRate{0};
  // The download thread's last access to this object.
  std::atomic<bool> downloadDone{false};
  // Set before downloadDone when the body could not be fetched whole: what
  // arrived is played, then the track is reported failed for this reason.
  std::atomic<bool> downloadFailed{false};
  std::string failureReason;
  // A pending seek as a byte offset in the cache file; 0 means none.
  std::atomic<int32_t> seekOffset{0};
  // The cache file; null until the download thread has created it.
  SharedSlot<platform::File> file;
  std::atomic<int32_t> contentLength{0};
  // The byte ranges of the body in the cache file; a range is added only
  // after its bytes are written.
  void MarkHeld(uint64_t begin, uint64_t end);
  uint64_t HeldFrom(uint64_t offset) const;
  // What has arrived ahead of the decoding: the end of the held run the
  // decode thread reads in.
  uint64_t HeldAhead() const { return HeldFrom(readPosition); }
  // Where the decode thread reads: the first audio frame, set by the download
  // thread before it wakes the decode thread, which moves it on from there.
  // The download thread fetches from there first when it is not held.
  std::atomic<uint64_t> readPosition{0};
  // A byte the decode thread waits for and nothing is fetching; -1 when none.
  std::atomic<int64_t> wanted{-1};
  // A newer request has taken this one's place.
  std::atomic<bool> superseded{false};

 private:
  mutable std::mutex heldMutex_;
  ByteRanges held_;
};

struct PlaybackState {
  explicit PlaybackState(EngineHost& h, const EngineSettings& s) : host(h), settings(s) {}

  EngineHost& host;
  const EngineSettings settings;

  platform::Semaphore decodeSemaphore{0, 1};
  platform::Semaphore downloadSemaphore{0, 1};
  // A new string object for every request, so a request for the same
  // address as the last one is still a new request.
  SharedSlot<const std::string> trackUrl;
  // What the host will ask for when the track in hand ends.
  SharedSlot<const std::string> nextUrl;
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
  // Booked on the host's thread as messages 2, 1 and 5 are digested.
  std::atomic<int32_t> contentLength{0};
  std::atomic<int32_t> totalSeconds{0};
  std::atomic<int32_t> elapsedSeconds{0};
  // The volume slider's value, given to every track's output before it sounds.
  std::atomic<int32_t> volumeSlider{100};

  // The playback object the decode semaphore was last released for.
  SharedSlot<CPlayback> decodeTarget;
  // The engine threads are to end.
  std::atomic<bool> shutdown{false};

  // Why the last request failed; written by the engine's threads before they
  // post kMessageFailed.
  mutable std::mutex failureMutex;
  std::string failureReason;

  std::unique_ptr<platform::Thread> decodeThread;
  std::unique_ptr<platform::Thread> downloadThread;
};

// Bytes of audio past the first frame that must be in the cache file before
// decoding starts.
inline constexpr int64_t kDecodeStartBytes = 5120;

// Thread bodies; each serves requests until `state.shutdown` is set and its
// semaphore released.
void DownloadThreadProc(PlaybackState& state);
void DecodeThreadProc(PlaybackState& state);

// Posts a message to the host.
void Post(PlaybackState& state, uint32_t type, uint32_t value);
// Records why the request failed and posts kMessageFailed.
void PostFailure(PlaybackState& state, const std::string& reason);

// The output's attenuation for a volume slider value 0 … 100, in hundredths
// of a decibel.
int32_t SliderToVolume(int32_t sliderValue);

// Test access to the engine's inside.
PlaybackState& StateOf(Engine& engine);

}  // namespace engine
