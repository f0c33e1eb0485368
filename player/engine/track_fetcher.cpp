// The download thread: one track request at a time, fetched over HTTP into
// the cache file in 1 KiB chunks, each reported as it lands.
#include <strings.h>

#include <cstdlib>

#include "engine/engine_threads.h"
#include "engine/stream_info.h"
#include "platform/http.h"

namespace engine {
namespace {

constexpr uint32_t kChunkBytes = 1024;

class TrackFetch {
 public:
  TrackFetch(PlaybackState& state, std::shared_ptr<CPlayback> playback, const std::string& url)
      : state_(state), playback_(std::move(playback)), url_(url) {}

  // Runs the request to its end; the playback object is then done with.
  void Run() {
    const bool playable = Fetch();
    if (!playable && !Stopped()) Post(kMessageFailed, 0);
    playback_->downloadDone.store(true, std::memory_order_release);
  }

 private:
  // True when the request was stopped or got far enough to play; false when
  // it can never play.
  bool Fetch() {
    platform::HttpSession session;
    if (Stopped()) return true;
    platform::HttpRequestOptions options;
    options.noCache = true;
    std::unique_ptr<platform::HttpResponse> response = session.Open(url_, options);
    if (!response || strcasecmp(response->StatusText().c_str(), "200") != 0) return false;
    if (Stopped()) return true;
    if (!BindStreamInfo(state_, url_, &sampleRate_, &seconds_)) return false;
    framesBegin_ = state_.framesBegin;
    if (Stopped()) return true;
    Post(kMessageDuration, seconds_);

    const std::string& cacheFolder = state_.cacheFolder;
    if (!platform::DirectoryExists(cacheFolder) && !platform::CreateDirectory(cacheFolder)) return false;
    platform::FileOpenOptions create;
    create.access = platform::FileAccess::ReadWrite;
    create.disposition = platform::FileDisposition::CreateAlways;
    create.deleteOnClose = true;
    file_ = platform::File::Open(cacheFolder + "tmp.mp3", create);
    if (!file_) return false;
    playback_->file.store(file_);
    if (Stopped()) return true;

    std::string lengthText;
    if (!response->ContentLengthText(&lengthText)) return false;
    contentLength_ = std::atoi(lengthText.c_str());
    playback_->contentLength = contentLength_;
    Post(kMessageContentLength, static_cast<uint32_t>(contentLength_));
    if (Stopped()) return true;

    ReadBody(*response);
    // A body that ended before the start rule fired leaves nothing to play.
    return decodeReleased_ || Stopped();
  }

  void ReadBody(platform::HttpResponse& response) {
    uint8_t chunk[kChunkBytes];
    uint32_t downloaded = 0;
    for (;;) {
      size_t got = 0;
      if (!response.Read(chunk, sizeof chunk, &got) || got == 0) return;
      if (Stopped()) return;
      size_t written = 0;
      file_->WriteAt(downloaded, chunk, got, &written);
      downloaded += static_cast<uint32_t>(written);
      playback_->downloaded.store(downloaded, std::memory_order_release);
      Post(kMessageDownloaded, downloaded);
      if (!decodeReleased_ && DecodeMayStart(downloaded)) ReleaseDecode();
    }
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

  void Post(uint32_t type, uint32_t value) {
    if (state_.host) state_.host->PostEngineMessage(type, value);
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
    auto playback = std::make_shared<CPlayback>();
    if (std::shared_ptr<CPlayback> previous = state.playback.exchange(playback)) previous->superseded = true;
    TrackFetch(state, std::move(playback), *url).Run();
  }
}

}  // namespace engine
