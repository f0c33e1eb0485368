// The engine's reports: status text, the position and download markers of
// the progress slider, the resumption after buffering, the duration written
// into the catalogue, and the move to the next row.
#include <cstdint>

#include "app/music_box.h"

namespace {

constexpr char kTrackEndedText[] = "即将播放下一首舞曲";
constexpr char kTrackFailedText[] = "定位文件失败,即将播放下一首舞曲";

CStdString TimesText(int32_t elapsed, int32_t total) {
  CStdString text;
  text.Format("%02d:%02d / %02d:%02d", elapsed / 60, elapsed % 60, total / 60, total % 60);
  return text;
}

}  // namespace

LRESULT CMusicBox::OnEngineMessage(WPARAM value, LPARAM type) {
  const auto amount = static_cast<uint32_t>(value);
  switch (type) {
    case engine::kMessageDuration:
      m_playback.totalSeconds.store(static_cast<int32_t>(amount));
      ShowStatus(TimesText(0, static_cast<int32_t>(amount)));
      m_catalogue.SetTrackTime(m_currentCategory.str(), m_currentTitle.str(), static_cast<int>(amount));
      break;
    case engine::kMessageContentLength:
      m_playback.contentLength.store(static_cast<int32_t>(amount));
      break;
    case engine::kMessageDownloaded:
      ShowDownloaded(amount);
      CheckBuffering(amount);
      break;
    case engine::kMessageTrackEnd:
      m_failuresInARow = 0;
      ShowPlay();
      AutoAdvance();
      ShowStatus(kTrackEndedText);
      break;
    case engine::kMessagePosition:
      m_playback.elapsedSeconds.store(static_cast<int32_t>(amount));
      ShowStatus(TimesText(static_cast<int32_t>(amount), m_playback.totalSeconds.load()));
      ShowPosition(amount);
      break;
    case engine::kMessageFailed:
      ShowStatus(kTrackFailedText);
      ShowPlay();
      ++m_failuresInARow;
      // Once every row has failed in a row (no network, server gone) the
      // player stops walking the dead addresses and waits for the user.
      if (m_pMusics == nullptr || m_failuresInARow < m_pMusics->GetCount()) AutoAdvance();
      break;
    default:
      break;
  }
  return 0;
}

void CMusicBox::ShowDownloaded(uint32_t downloaded) {
  const int64_t begin = m_playback.framesBegin.load();
  const int64_t end = m_playback.framesEnd.load();
  if (m_pProgressSlider == nullptr || m_playback.contentLength.load() <= 0 || downloaded <= begin ||
      m_playback.stopDownload.load() || end <= begin) {
    return;
  }
  const int64_t maximum = m_pProgressSlider->GetMaxValue();
  m_pProgressSlider->SetMidValue(static_cast<int>(maximum * (downloaded - begin) / (end - begin)));
}

void CMusicBox::CheckBuffering(uint32_t downloaded) {
  if (m_pMusicLength == nullptr) return;
  int32_t percent = 0;
  switch (engine::CheckBuffering(m_playback, downloaded, &percent)) {
    case engine::BufferingCheck::kWaiting: {
      CStdString text;
      text.Format("缓冲%d%%", percent);
      ShowStatus(text);
      break;
    }
    case engine::BufferingCheck::kResumed:
      ShowPause();
      break;
    case engine::BufferingCheck::kNotWaiting:
      break;
  }
}

void CMusicBox::ShowPosition(uint32_t seconds) {
  const int64_t total = m_playback.totalSeconds.load();
  if (m_pProgressSlider == nullptr || m_playback.stopDecode.load() || m_playback.buffering.load() ||
      m_pProgressSlider->IsSliding() || total <= 0) {
    return;
  }
  const auto playback = m_playback.playback.load();
  if (playback == nullptr || playback->seekOffset.load() != 0) return;
  const int64_t maximum = m_pProgressSlider->GetMaxValue();
  m_pProgressSlider->SetValue(static_cast<int>(maximum * static_cast<int64_t>(seconds) / total));
}

void CMusicBox::ShowStatus(LPCTSTR text) {
  if (m_pMusicLength != nullptr) m_pMusicLength->SetText(text);
}

void CMusicBox::AutoAdvance() {
  const int count = m_pMusics != nullptr ? m_pMusics->GetCount() : 0;
  if (count <= 0) return;
  // When the track's row is not listed (another category is shown), the
  // next row is the first.
  int playing = FindPlayingRow();
  if (playing < 0) playing = count - 1;
  m_autoAdvancing = true;
  ActivateRow((playing + 1) % count);
  m_autoAdvancing = false;
}

void CMusicBox::OnPlayerEvent(LPARAM event) {
  if (event == engine::kEventRanDry) {
    ShowPlay();
  } else if (event == engine::kEventPlaying) {
    m_failuresInARow = 0;
    // Every track's output starts at full volume; the slider's value is
    // given to it before its first sound (it starts on a silent buffer).
    ApplyVolume();
    ShowPause();
  }
}

void PlayerEventSink(int event, uint32_t value) {
  CMusicBox* window = MainWindow();
  if (window == nullptr) return;
  switch (event) {
    case engine::kEventTrackEnd:
      window->PostEngineMessage(engine::kMessageTrackEnd, 0);
      break;
    case engine::kEventPosition:
      if (window->m_playback.playback.load() != nullptr) {
        window->PostEngineMessage(engine::kMessagePosition, engine::PositionSeconds(window->m_playback, value));
      }
      break;
    case engine::kEventRanDry:
      window->m_playback.buffering.store(true);
      ::PostMessage(window->m_postTarget, kPlayerEventMessage, 0, event);
      break;
    case engine::kEventPlaying:
      ::PostMessage(window->m_postTarget, kPlayerEventMessage, 0, event);
      break;
    default:
      break;
  }
}
