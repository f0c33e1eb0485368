// The download thread: one track request at a time, fetched over HTTP into
// the cache file in 1 KiB chunks, each reported as it lands. A body that
// breaks off (reset, silence, short) is resumed with a byte-range request
// from the byte it stopped at; only when that keeps failing is the track
// given up.
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
constexpr int32_t kTagSkipBytes = 64 * 1024;
// A byte the decoding waits for this close ahead of the download is waited for.
constexpr uint64_t kNearBytes = 16 * 1024;
// How often a pause before a resumption looks at the stop request.
constexpr uint32_t kStopPollMs = 20;

class TrackFetch {
 public:
  TrackFetch(PlaybackState& state, std::shared_ptr<CPlayback> playback, const std::string& url)
      : state_(state), playback_(std::move(playback)), url_(url) {}

  // Runs the request to its end; the playback object is then done with.
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
  // True when the request was stopped or got far enough to play; false when
  // it can never play.
  bool Fetch() {
    platform::HttpSession session;
    if (Stopped()) return true;
    std::string error;
    std::unique_ptr<platform::HttpResponse> response = session.Open(url_, RequestOptions(), &error);
    if (!response) return Stopped() || Fail(error);
    if (strcasecmp(response->StatusText().c_str(), "200") != 0) return Fail("HTTP status " + response->StatusText());
    if (Stopped()) return true;
    if (!BindStreamInfo(state_, url_, &sampleRate_, &seconds_)) return Fail("no MPEG audio found (or Brelix missing)");
    framesBegin_ = state_.framesBegin;
    playback_->readPosition = static_cast<uint64_t>(std::max(framesBegin_, 0));
    if (Stopped()) return true;
    Post(kMessageDuration, seconds_);

    const std::string& cacheFolder = state_.settings.cacheFolder;
    if (!platform::DirectoryExists(cacheFolder) && !platform::CreateDirectory(cacheFolder)) {
      return Fail("cannot make the cache folder " + cacheFolder);
    }
    platform::FileOpenOptions create;
    create.access = platform::FileAccess::ReadWrite;
    create.disposition = platform::FileDisposition::CreateAlways;
    create.deleteOnClose = true;
    file_ = platform::File::Open(cacheFolder + "/tmp.mp3", create);
    if (!file_) return Fail("cannot create the cache file in " + cacheFolder);
    playback_->file.store(file_);
    if (Stopped()) return true;

    std::string lengthText;
    if (!response->ContentLengthText(&lengthText)) return Fail("the server sent no Content-Length");
    contentLength_ = std::atoi(lengthText.c_str());
    playback_->contentLength = contentLength_;
    Post(kMessageContentLength, static_cast<uint32_t>(contentLength_));
    if (Stopped()) return true;

    ReadBody(session, std::move(response));
    // A body that broke off before the start rule fired leaves nothing to play.
    return decodeReleased_ || Stopped() || Fail(bodyFailed_ ? failure_ : "the body ended before any audio");
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
  // cannot be had whole.
  void ReadBody(platform::HttpSession& session, std::unique_ptr<platform::HttpResponse> response) {
    uint64_t cursor = 0;
    if (framesBegin_ >= kTagSkipBytes) {
      // One try: without it the body simply comes in order.
      std::string error;
      std::unique_ptr<platform::HttpResponse> audio = session.Open(url_, RangeOptions(framesBegin_), &error);
      if (audio && StartsAt(*audio, framesBegin_, 0, &error, &cursor)) response = std::move(audio);
    }
    uint8_t chunk[kChunkBytes];
    for (;;) {
      const uint64_t next = NextToFetch(cursor);
      if (next >= BodyEnd()) return;
      if (next != cursor) {
        response = Reposition(session, next, cursor, false, "", &cursor);
        if (!response) return;
      }
      size_t got = 0;
      const bool ok = response->Read(chunk, sizeof chunk, &got);
      if (Stopped()) return;
      if (!ok || got == 0) {
        const std::string why = ok ? "the body ended early" : response->Error();
        response = Reposition(session, cursor, cursor, true, why, &cursor);
        if (!response) return;
        continue;
      }
      size_t written = 0;
      const bool stored = file_->WriteAt(cursor, chunk, got, &written) && written == got;
      playback_->MarkHeld(cursor, cursor + written);
      cursor += written;
      Post(kMessageDownloaded, static_cast<uint32_t>(playback_->HeldAhead()));
      if (!decodeReleased_ && DecodeMayStart()) ReleaseDecode();
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
    return std::min(playback_->HeldFrom(static_cast<uint64_t>(framesBegin_)), BodyEnd());
  }

  // Asks for the body from byte `from` (after a pause first when `pauseFirst`),
  // retrying after growing pauses. A server that ignores ranges answers with
  // the whole body: it is then read forward to `front`, the end of what is
  // held from the start, and fetched in order from there on. `*cursor` is
  // where the response's next byte lands. Null when every attempt failed or
  // a stop request came; bodyFailed_ is then set unless stopped.
  std::unique_ptr<platform::HttpResponse> Reposition(platform::HttpSession& session, uint64_t from, uint64_t front,
                                                    bool pauseFirst, const std::string& why, uint64_t* cursor) {
    failure_ = why.empty() ? "cannot fetch the body from byte " + std::to_string(from)
                           : "the download broke off at byte " + std::to_string(from) + " of " +
                                 std::to_string(contentLength_) + " (" + why + ")";
    const auto& pauses = state_.settings.resumePausesMs;
    for (size_t attempt = 0; attempt < std::size(pauses); ++attempt) {
      if ((pauseFirst || attempt > 0) && !PauseUnlessStopped(pauses[pauseFirst ? attempt : attempt - 1])) {
        return nullptr;
      }
      std::string error;
      std::unique_ptr<platform::HttpResponse> response = session.Open(url_, RangeOptions(from), &error);
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
    const int64_t audioBytes = int64_t{contentLength_} - framesBegin_;
    const auto held = static_cast<int64_t>(playback_->HeldFrom(static_cast<uint64_t>(framesBegin_)));
    return held > framesBegin_ && (audioBytes <= kDecodeStartBytes || held - framesBegin_ >= kDecodeStartBytes);
  }

  void ReleaseDecode() {
    playback_->sampleRate = sampleRate_;
    playback_->startOffset = static_cast<uint64_t>(std::max(framesBegin_, 0));
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
  std::shared_ptr<platform::File> file_;
  uint32_t sampleRate_ = 0;
  uint32_t seconds_ = 0;
  int32_t framesBegin_ = 0;
  int32_t contentLength_ = 0;
  bool decodeReleased_ = false;
  bool bodyFailed_ = false;
  bool rangesIgnored_ = false;
  std::string failure_;
};

}  // namespace

void DownloadThreadProc(PlaybackState& state) {
  std::shared_ptr<const std::string> served;
  for (;;) {
    state.downloadSemaphore.Wait();
    if (state.shutdown) return;
    state.stopDownload = false;
    // A wake-up left over from a request already served brings nothing new.
    std::shared_ptr<const std::string> url = state.trackUrl.load();
    if (!url || url == served) continue;
    served = url;
    auto playback = std::make_shared<CPlayback>(&state);
    if (std::shared_ptr<CPlayback> previous = state.playback.exchange(playback)) previous->superseded = true;
    TrackFetch(state, std::move(playback), *url).Run();
  }
}

}  // namespace engine
