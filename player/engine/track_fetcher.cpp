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

  // Copies the body into the cache file until it is complete, resuming it
  // where it broke off. Sets bodyFailed_ when it cannot be had whole.
  void ReadBody(platform::HttpSession& session, std::unique_ptr<platform::HttpResponse> response) {
    uint8_t chunk[kChunkBytes];
    uint32_t downloaded = 0;
    for (;;) {
      size_t got = 0;
      const bool ok = response->Read(chunk, sizeof chunk, &got);
      if (Stopped()) return;
      if (ok && got == 0 && (contentLength_ <= 0 || int64_t{downloaded} >= contentLength_)) return;
      if (!ok || got == 0) {
        const std::string why = ok ? "the body ended early" : response->Error();
        response = Resume(session, downloaded, why);
        if (!response) {
          bodyFailed_ = true;
          return;
        }
        continue;
      }
      size_t written = 0;
      const bool stored = file_->WriteAt(downloaded, chunk, got, &written) && written == got;
      downloaded += static_cast<uint32_t>(written);
      playback_->downloaded.store(downloaded, std::memory_order_release);
      Post(kMessageDownloaded, downloaded);
      if (!decodeReleased_ && DecodeMayStart(downloaded)) ReleaseDecode();
      if (!stored) {
        bodyFailed_ = true;
        failure_ = "cannot write the cache file in " + state_.settings.cacheFolder + " (disk full or folder gone)";
        return;
      }
    }
  }

  // Asks for the rest of the body from byte `from`, after a growing pause,
  // up to as many times as there are pauses. Null when every attempt failed
  // or a stop request came.
  std::unique_ptr<platform::HttpResponse> Resume(platform::HttpSession& session, uint32_t from,
                                                 const std::string& why) {
    failure_ = "the download broke off at byte " + std::to_string(from) + " of " + std::to_string(contentLength_) +
               " (" + why + ")";
    for (uint32_t pauseMs : state_.settings.resumePausesMs) {
      if (!PauseUnlessStopped(pauseMs)) return nullptr;
      platform::HttpRequestOptions options = RequestOptions();
      options.headers.push_back("Range: bytes=" + std::to_string(from) + "-");
      std::string error;
      std::unique_ptr<platform::HttpResponse> response = session.Open(url_, options, &error);
      if (Stopped()) return nullptr;
      if (response && ResumesAt(*response, from, &error)) return response;
      failure_ += "; resuming: " + error;
    }
    failure_ += "; gave up";
    return nullptr;
  }

  // A 206 must start at `from`; a 200 (a server that ignores ranges) is
  // read forward to it.
  bool ResumesAt(platform::HttpResponse& response, uint32_t from, std::string* error) {
    const std::string status = response.StatusText();
    if (status == "206") {
      uint64_t first = 0;
      if (response.ContentRangeFirst(&first) && first == from) return true;
      *error = "the server resumed at another byte";
      return false;
    }
    if (status != "200") {
      *error = "HTTP status " + status;
      return false;
    }
    uint8_t skipped[kChunkBytes];
    for (uint32_t left = from; left > 0;) {
      size_t got = 0;
      if (!response.Read(skipped, std::min(left, kChunkBytes), &got) || got == 0) {
        *error = got == 0 ? "the body ended early" : response.Error();
        return false;
      }
      left -= static_cast<uint32_t>(got);
    }
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

  bool DecodeMayStart(uint32_t downloaded) const {
    const int64_t audioBytes = int64_t{contentLength_} - framesBegin_;
    return audioBytes <= kDecodeStartBytes || int64_t{downloaded} - framesBegin_ >= kDecodeStartBytes;
  }

  void ReleaseDecode() {
    playback_->sampleRate = sampleRate_;
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
