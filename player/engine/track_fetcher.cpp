// The download thread: one track request at a time, fetched over HTTP into
// the cache file in 1 KiB chunks, each reported as it lands. The body comes
// by byte ranges: the audio first, then wherever the decoding waits (a
// seek), then the gaps. A body that breaks off (reset, silence, short) is
// resumed from the byte it stopped at; only when that keeps failing is the
// track given up. While a complete track ends, the start of the next one the
// host named is fetched into the other cache file.
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/playback.h"
#include "engine/stream_info.h"
#include "platform/http.h"

namespace engine {
namespace {

constexpr uint32_t kChunkBytes = 1024;
// A tag before the audio at least this large is fetched after the audio.
constexpr uint64_t kTagSkipBytes = 64 * 1024;
// A byte the decoding waits for this close ahead of the download is waited for.
constexpr uint64_t kNearBytes = 16 * 1024;
// What a prefetch takes of the next track's audio: enough for its first seconds.
constexpr uint64_t kPrefetchBytes = 64 * 1024;
// The next track is prefetched once the one playing has this little left.
constexpr int32_t kPrefetchSecondsBeforeEnd = 10;
// The two cache file names, the one playing and the one being prefetched.
constexpr const char* kCacheNames[] = {"tmp.mp3", "tmp2.mp3"};
// How often a pause before a resumption looks at the stop request.
constexpr uint32_t kStopPollMs = 20;

class TrackFetch {
 public:
  TrackFetch(PlaybackState& state, const std::string& url, const std::string& cacheName)
      : state_(state),
        playback_(std::make_shared<CPlayback>(&state)),
        url_(url),
        cacheName_(cacheName),
        rangesIgnored_(!state.settings.byteRanges) {}

  const std::string& Url() const { return url_; }
  const std::string& CacheName() const { return cacheName_; }
  const std::shared_ptr<CPlayback>& Playback() const { return playback_; }
  // The whole body arrived.
  bool Complete() const { return complete_; }

  // The next track's first part, fetched while the current one ends: the
  // status, Brelix's figures, the cache file and the first bytes of audio.
  // Nothing is posted; a failure is kept for when the track is asked for.
  void Prefetch() {
    prefetching_ = true;
    // Cut short by a request, it is begun again if it is asked for.
    began_ = Begin() ? kBegun : Stopped() ? kNotYet : kFailed;
    if (began_ == kBegun && !Stopped()) ReadBody();
    prefetching_ = false;
  }

  // Runs the request to its end, from where a prefetch left off; the
  // playback object is then done with.
  void Run() {
    const bool playable = Fetch();
    if (!playable && !Stopped()) PostFailure(state_, failure_);
    if (playable && bodyFailed_ && !Stopped()) {
      // What arrived is played; the decode thread then reports the failure.
      playback_->failureReason = failure_;
      playback_->downloadFailed.store(true, std::memory_order_release);
    }
    playback_->downloadDone.store(true, std::memory_order_release);
  }

 private:
  enum Began { kNotYet, kBegun, kFailed };

  // True when the request was stopped or got far enough to play; false when
  // it can never play.
  bool Fetch() {
    if (began_ == kBegun) {
      // Prefetched: what Begin would have said, said now.
      AnnounceFigures();
      Post(kMessageContentLength, static_cast<uint32_t>(contentLength_));
    } else if (began_ == kNotYet) {
      began_ = Begin() ? kBegun : kFailed;
    }
    if (began_ == kFailed) return Stopped();
    if (Stopped()) return true;
    if (!decodeReleased_ && DecodeMayStart()) ReleaseDecode();
    if (Stopped()) return true;
    ReadBody();
    // A body that broke off before the start rule fired leaves nothing to play.
    return decodeReleased_ || Stopped() || Fail(bodyFailed_ ? failure_ : "the body ended before any audio");
  }

  // Everything before the body: the status, Brelix's figures, the cache file
  // and the length. False (failure_ says why) when the track cannot play.
  bool Begin() {
    if (Stopped()) return false;
    std::string error;
    response_ = session_.Open(url_, RequestOptions(), &error);
    if (!response_) return Fail(error);
    if (strcasecmp(response_->StatusText().c_str(), "200") != 0) return Fail("HTTP status " + response_->StatusText());
    if (Stopped()) return false;
    if (!BindStreamInfo(state_.settings.programFolder, url_, &info_)) {
      return Fail("no MPEG audio found (or Brelix missing)");
    }
    audioStart_ = static_cast<uint64_t>(std::max(info_.figures.framesBegin, 0));
    playback_->readPosition = audioStart_;
    if (Stopped()) return false;
    if (!prefetching_) AnnounceFigures();

    const std::string& cacheFolder = state_.settings.cacheFolder;
    if (!platform::DirectoryExists(cacheFolder) && !platform::CreateDirectory(cacheFolder)) {
      return Fail("cannot make the cache folder " + cacheFolder);
    }
    platform::FileOpenOptions create;
    create.access = platform::FileAccess::ReadWrite;
    create.disposition = platform::FileDisposition::CreateAlways;
    create.deleteOnClose = true;
    file_ = platform::File::Open(cacheFolder + "/" + cacheName_, create);
    if (!file_) return Fail("cannot create the cache file in " + cacheFolder);
    playback_->file.store(file_);

    std::string lengthText;
    if (!response_->ContentLengthText(&lengthText)) return Fail("the server sent no Content-Length");
    contentLength_ = std::atoi(lengthText.c_str());
    playback_->contentLength = contentLength_;
    if (!prefetching_) Post(kMessageContentLength, static_cast<uint32_t>(contentLength_));
    return true;
  }

  // Brelix's figures become the current track's, and its duration is posted.
  void AnnounceFigures() {
    state_.allFramesSize = info_.figures.allFramesSize;
    state_.framesBegin = info_.figures.framesBegin;
    state_.framesEnd = info_.figures.framesEnd;
    state_.bytesPerSec = info_.figures.bytesPerSec;
    Post(kMessageDuration, info_.seconds);
  }

  platform::HttpRequestOptions RequestOptions() const {
    platform::HttpRequestOptions options;
    options.noCache = true;
    options.stallTimeoutMs = state_.settings.stallTimeoutMs;
    options.cancel = &state_.stopDownload;
    return options;
  }

  // Copies the body into the cache file until it holds everything from the
  // first audio frame on: from the first frame first (a large tag before it
  // is skipped), then wherever the decoding waits, then the gaps left. A
  // break is resumed where it happened. Sets bodyFailed_ when the body
  // cannot be had whole. A prefetch stops once the start of the audio is in.
  void ReadBody() {
    if (!tagSkipTried_ && !rangesIgnored_ && audioStart_ >= kTagSkipBytes) {
      // One try: without it the body simply comes in order.
      tagSkipTried_ = true;
      std::string error;
      std::unique_ptr<platform::HttpResponse> audio = session_.Open(url_, RangeOptions(audioStart_), &error);
      if (audio && StartsAt(*audio, audioStart_, 0, &error, &cursor_)) response_ = std::move(audio);
    }
    uint8_t chunk[kChunkBytes];
    for (;;) {
      if (prefetching_ && playback_->HeldFrom(audioStart_) >= audioStart_ + kPrefetchBytes) return;
      const uint64_t next = NextToFetch(cursor_);
      if (next >= BodyEnd()) {
        complete_ = true;
        return;
      }
      if (next != cursor_ || !response_) {
        response_ = Reposition(next, cursor_, false, "", &cursor_);
        if (!response_) return;
      }
      size_t got = 0;
      const bool ok = response_->Read(chunk, sizeof chunk, &got);
      if (Stopped()) return;
      if (!ok || got == 0) {
        const std::string why = ok ? "the body ended early" : response_->Error();
        response_ = Reposition(cursor_, cursor_, true, why, &cursor_);
        if (!response_) return;
        continue;
      }
      size_t written = 0;
      const bool stored = file_->WriteAt(cursor_, chunk, got, &written) && written == got;
      playback_->MarkHeld(cursor_, cursor_ + written);
      cursor_ += written;
      if (!prefetching_) {
        Post(kMessageDownloaded, static_cast<uint32_t>(playback_->HeldAhead()));
        if (!decodeReleased_ && DecodeMayStart()) ReleaseDecode();
      }
      if (!stored) {
        bodyFailed_ = true;
        failure_ = "cannot write the cache file in " + state_.settings.cacheFolder + " (disk full or folder gone)";
        return;
      }
    }
  }

  uint64_t BodyEnd() const { return static_cast<uint64_t>(std::max(contentLength_, 0)); }

  // Where to read next: where the decoding waits, when that is not held and
  // not just ahead; else on from the cursor past what is held; else the
  // first gap after the first audio frame. BodyEnd() when all is held.
  uint64_t NextToFetch(uint64_t cursor) {
    if (rangesIgnored_) return cursor;
    const int64_t wanted = playback_->wanted.exchange(-1);
    if (wanted >= 0 && playback_->HeldFrom(wanted) == static_cast<uint64_t>(wanted) &&
        (static_cast<uint64_t>(wanted) < cursor || static_cast<uint64_t>(wanted) >= cursor + kNearBytes)) {
      return static_cast<uint64_t>(wanted);
    }
    const uint64_t on = playback_->HeldFrom(cursor);
    if (on < BodyEnd()) return on;
    return std::min(playback_->HeldFrom(audioStart_), BodyEnd());
  }

  // Asks for the body from byte `from` (after a pause first when `pauseFirst`),
  // retrying after growing pauses. A server that ignores ranges answers with
  // the whole body: it is then read forward to `front`, the end of what is
  // held from the start, and fetched in order from there on. `*cursor` is
  // where the response's next byte lands. Null when every attempt failed or
  // a stop request came; bodyFailed_ is then set unless stopped.
  std::unique_ptr<platform::HttpResponse> Reposition(uint64_t from, uint64_t front, bool pauseFirst,
                                                    const std::string& why, uint64_t* cursor) {
    failure_ = why.empty() ? "cannot fetch the body from byte " + std::to_string(from)
                           : "the download broke off at byte " + std::to_string(from) + " of " +
                                 std::to_string(contentLength_) + " (" + why + ")";
    const auto& pauses = state_.settings.resumePausesMs;
    for (size_t attempt = 0; attempt < std::size(pauses); ++attempt) {
      if ((pauseFirst || attempt > 0) && !PauseUnlessStopped(pauses[pauseFirst ? attempt : attempt - 1])) {
        return nullptr;
      }
      std::string error;
      std::unique_ptr<platform::HttpResponse> response = session_.Open(url_, RangeOptions(from), &error);
      if (Stopped()) return nullptr;
      if (response && StartsAt(*response, from, front, &error, cursor)) return response;
      failure_ += "; " + error;
    }
    failure_ += "; gave up";
    bodyFailed_ = true;
    return nullptr;
  }

  platform::HttpRequestOptions RangeOptions(uint64_t from) const {
    platform::HttpRequestOptions options = RequestOptions();
    options.headers.push_back("Range: bytes=" + std::to_string(from) + "-");
    return options;
  }

  // A 206 must start at `from`; a 200 (a server that ignores ranges) is
  // read forward to `front`, and the body is fetched in order from then on.
  bool StartsAt(platform::HttpResponse& response, uint64_t from, uint64_t front, std::string* error,
                uint64_t* cursor) {
    const std::string status = response.StatusText();
    if (status == "206") {
      uint64_t first = 0;
      if (response.ContentRangeFirst(&first) && first == from) {
        *cursor = from;
        return true;
      }
      *error = "the server resumed at another byte";
      return false;
    }
    if (status != "200") {
      *error = "HTTP status " + status;
      return false;
    }
    rangesIgnored_ = true;
    uint8_t skipped[kChunkBytes];
    for (uint64_t left = front; left > 0;) {
      size_t got = 0;
      if (!response.Read(skipped, std::min<uint64_t>(left, kChunkBytes), &got) || got == 0) {
        *error = got == 0 ? "the body ended early" : response.Error();
        return false;
      }
      left -= got;
    }
    *cursor = front;
    return true;
  }

  // False when a stop request came during the pause.
  bool PauseUnlessStopped(uint32_t ms) {
    for (uint32_t waited = 0; waited < ms; waited += kStopPollMs) {
      if (Stopped()) return false;
      platform::SleepMs(std::min(kStopPollMs, ms - waited));
    }
    return !Stopped();
  }

  // Once 5 KiB of audio from the first frame on are held, or all of it.
  bool DecodeMayStart() const {
    const auto start = static_cast<int64_t>(audioStart_);
    const auto held = static_cast<int64_t>(playback_->HeldFrom(audioStart_));
    return held > start && (contentLength_ - start <= kDecodeStartBytes || held - start >= kDecodeStartBytes);
  }

  void ReleaseDecode() {
    playback_->sampleRate = info_.sampleRate;
    state_.decodeTarget.store(playback_);
    state_.decodeSemaphore.Release();
    decodeReleased_ = true;
  }

  bool Stopped() const { return state_.stopDownload.load(); }

  void Post(uint32_t type, uint32_t value) { engine::Post(state_, type, value); }

  // Notes why the request cannot play; always false.
  bool Fail(const std::string& reason) {
    failure_ = reason;
    return false;
  }

  PlaybackState& state_;
  std::shared_ptr<CPlayback> playback_;
  const std::string url_;
  const std::string cacheName_;
  platform::HttpSession session_;
  std::unique_ptr<platform::HttpResponse> response_;
  // Where the response's next byte lands in the body.
  uint64_t cursor_ = 0;
  std::shared_ptr<platform::File> file_;
  StreamInfo info_;
  // The offset of the first audio frame.
  uint64_t audioStart_ = 0;
  int32_t contentLength_ = 0;
  Began began_ = kNotYet;
  bool prefetching_ = false;
  bool tagSkipTried_ = false;
  bool decodeReleased_ = false;
  bool bodyFailed_ = false;
  // The body comes in order: the server ignores ranges, or they are not to be used.
  bool rangesIgnored_ = false;
  bool complete_ = false;
  std::string failure_;
};

const char* OtherCacheName(const std::string& name) { return name == kCacheNames[0] ? kCacheNames[1] : kCacheNames[0]; }

// Waits while the track in hand plays until it has little left, then
// fetches the start of the next one the host named. Null when it named none
// or a request came first.
std::unique_ptr<TrackFetch> PrefetchNext(PlaybackState& state, const std::string& cacheName) {
  std::shared_ptr<const std::string> next = state.nextUrl.load();
  if (!next || next->empty()) return nullptr;
  while (!state.stopDownload) {
    const int32_t total = state.totalSeconds;
    if (total > 0 && total - state.elapsedSeconds <= kPrefetchSecondsBeforeEnd) break;
    platform::SleepMs(kStopPollMs * 5);
  }
  if (state.stopDownload) return nullptr;
  auto fetch = std::make_unique<TrackFetch>(state, *next, cacheName);
  fetch->Prefetch();
  return fetch;
}

}  // namespace

void DownloadThreadProc(PlaybackState& state) {
  std::shared_ptr<const std::string> served;
  std::unique_ptr<TrackFetch> prefetched;
  std::string lastCacheName = kCacheNames[1];
  for (;;) {
    state.downloadSemaphore.Wait();
    if (state.shutdown) return;
    state.stopDownload = false;
    // A wake-up left over from a request already served brings nothing new.
    std::shared_ptr<const std::string> url = state.trackUrl.load();
    if (!url || url == served) continue;
    served = url;
    std::unique_ptr<TrackFetch> fetch;
    if (prefetched && prefetched->Url() == *url) fetch = std::move(prefetched);
    prefetched.reset();
    if (!fetch) fetch = std::make_unique<TrackFetch>(state, *url, OtherCacheName(lastCacheName));
    lastCacheName = fetch->CacheName();
    if (std::shared_ptr<CPlayback> previous = state.playback.exchange(fetch->Playback())) previous->superseded = true;
    fetch->Run();
    if (fetch->Complete() && !state.stopDownload && state.settings.byteRanges) {
      prefetched = PrefetchNext(state, OtherCacheName(lastCacheName));
    }
  }
}

}  // namespace engine
