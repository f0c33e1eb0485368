// The player as the desktop's media controls see it (MPRIS on Linux): the
// desktop's requests arrive on the controls' thread and are posted to the
// window, which carries them out as its own buttons would; what the window
// shows is published back after every change.
#include <cmath>
#include <cstdio>

#include "app/music_box.h"
#include "platform/media_controls.h"

namespace {

constexpr char kBusName[] = "tarvoni";
constexpr char kIdentity[] = "Tarvoni";
constexpr char kDesktopEntry[] = "tarvoni";
constexpr int64_t kMicroseconds = 1000000;

enum MediaCommand : WPARAM {
  kRaise,
  kQuit,
  kPlayPause,
  kPlay,
  kPause,
  kStop,
  kNext,
  kPrevious,
  kSetPosition,  // lParam: seconds
  kSetVolume,    // lParam: slider value 0 to 100
};

// Hands each request to the window's thread.
class MediaCommandPoster : public platform::MediaCommands {
 public:
  explicit MediaCommandPoster(HWND window) : window_(window) {}
  void Raise() override { Post(kRaise); }
  void Quit() override { Post(kQuit); }
  void PlayPause() override { Post(kPlayPause); }
  void Play() override { Post(kPlay); }
  void Pause() override { Post(kPause); }
  void Stop() override { Post(kStop); }
  void Next() override { Post(kNext); }
  void Previous() override { Post(kPrevious); }
  void SetPosition(const std::string&, int64_t positionUs) override {
    Post(kSetPosition, static_cast<LPARAM>(positionUs / kMicroseconds));
  }
  void SetVolume(double volume) override { Post(kSetVolume, static_cast<LPARAM>(std::lround(volume * 100))); }

 private:
  void Post(WPARAM command, LPARAM value = 0) { ::PostMessage(window_, kMediaCommandMessage, command, value); }
  HWND window_;
};

}  // namespace

void CMusicBox::OfferMediaControls() {
  m_mediaCommands = std::make_unique<MediaCommandPoster>(m_postTarget);
  std::string error;
  m_mediaControls =
      platform::MediaControls::Start(kBusName, kIdentity, kDesktopEntry, m_mediaCommands.get(), &error);
  if (m_mediaControls == nullptr) {
    std::fprintf(stderr, "tarvoni: media keys and the desktop's player controls are unavailable (%s)\n",
                 error.c_str());
    return;
  }
  PublishMediaState(false);
}

void CMusicBox::OnMediaCommand(WPARAM command, LPARAM value) {
  switch (command) {
    case kRaise:
      ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
      SetForegroundWindow(m_hWnd);
      break;
    case kQuit:
      Quit();
      break;
    case kPlayPause:
      if (m_pPause != nullptr && m_pPause->IsVisible()) {
        Pause();
      } else {
        Play();
      }
      break;
    case kPlay:
      Play();
      break;
    case kPause:
    case kStop:
      Pause();
      break;
    case kNext:
      m_controller.Next();
      break;
    case kPrevious:
      m_controller.Previous();
      break;
    case kSetPosition:
      SeekBy(static_cast<int>(value) - (m_engine != nullptr ? m_engine->ElapsedSeconds() : 0));
      PublishMediaState(true);
      return;
    case kSetVolume:
      if (m_pVolumeSlider != nullptr) {
        m_pVolumeSlider->SetValue(static_cast<int>(value));
        ApplyVolume();
        RememberSettings();
      }
      break;
    default:
      break;
  }
  PublishMediaState(false);
}

void CMusicBox::PublishMediaState(bool seeked) {
  if (m_mediaControls == nullptr) return;
  platform::MediaState state;
  state.volume = m_pVolumeSlider != nullptr ? m_pVolumeSlider->GetValue() / 100.0 : 1.0;
  const std::string url = m_engine != nullptr ? m_engine->TrackUrl() : std::string();
  if (!url.empty()) {
    // Another address is another track, of the category listed when it was asked for.
    if (url != m_mediaUrl) {
      ++m_mediaTrackNumber;
      m_mediaUrl = url;
      m_mediaAlbum = m_currentCategory.str();
    }
    state.trackId = "/org/tarvoni/track/" + std::to_string(m_mediaTrackNumber);
    state.title = m_controller.TrackTitle();
    state.album = m_mediaAlbum;
    state.url = url;
    state.lengthUs = int64_t{m_engine->TotalSeconds()} * kMicroseconds;
    state.positionUs = int64_t{m_engine->ElapsedSeconds()} * kMicroseconds;
    state.canSeek = m_engine->TotalSeconds() > 0;
    state.status = m_engine->Paused()                    ? platform::MediaState::Status::kPaused
                   : m_controller.StoppedAfterFailures() ? platform::MediaState::Status::kStopped
                                                         : platform::MediaState::Status::kPlaying;
  }
  state.canGoNext = state.canGoPrevious = m_controller.PlayingRow() >= 0;
  m_mediaControls->Update(state, seeked);
}
