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
  if (m_engine == nullptr) return 0;
  const engine::EngineReport report = m_engine->Digest(static_cast<uint32_t>(type), static_cast<uint32_t>(value));
  const auto amount = static_cast<int32_t>(report.value);
  switch (report.type) {
    case engine::kMessageDuration:
      ShowStatus(TimesText(0, amount));
      m_controller.OnDuration(amount, m_currentCategory.str());
      break;
    case engine::kMessageDownloaded:
      ShowDownloaded(report.value);
      ShowBuffering(report);
      break;
    case engine::kMessageTrackEnd:
      ShowPlay();
      m_controller.OnTrackEnded();
      ShowStatus(kTrackEndedText);
      break;
    case engine::kMessagePosition:
      ShowStatus(TimesText(amount, m_engine->TotalSeconds()));
      ShowPosition(report.value);
      break;
    case engine::kMessageRanDry:
      if (report.resumed) {
        ShowPause();
      } else {
        ShowPlay();
      }
      break;
    case engine::kMessagePlaying:
      m_controller.OnSounding();
      ShowPause();
      break;
    case engine::kMessageFailed:
      ShowStatus(kTrackFailedText);
      ShowPlay();
      m_controller.OnTrackFailed();
      break;
    default:
      break;
  }
  PublishMediaState(false);
  return 0;
}

void CMusicBox::ShowDownloaded(uint32_t downloaded) {
  const engine::StreamFigures figures = m_engine->Figures();
  const int64_t begin = figures.framesBegin;
  const int64_t end = figures.framesEnd;
  if (m_pProgressSlider == nullptr || m_engine->ContentLength() <= 0 || downloaded <= begin ||
      m_engine->DownloadStopping() || end <= begin) {
    return;
  }
  const int64_t maximum = m_pProgressSlider->GetMaxValue();
  m_pProgressSlider->SetMidValue(static_cast<int>(maximum * (downloaded - begin) / (end - begin)));
}

void CMusicBox::ShowBuffering(const engine::EngineReport& report) {
  if (m_pMusicLength == nullptr) return;
  if (report.bufferingShown) {
    CStdString text;
    text.Format("缓冲%d%%", report.bufferingPercent);
    ShowStatus(text);
  } else if (report.resumed) {
    ShowPause();
  }
}

void CMusicBox::ShowPosition(uint32_t seconds) {
  const int64_t total = m_engine->TotalSeconds();
  if (m_pProgressSlider == nullptr || m_engine->DecodeStopping() || m_engine->Buffering() ||
      m_pProgressSlider->IsSliding() || total <= 0 || !m_engine->HasTrack() || m_engine->SeekPending()) {
    return;
  }
  const int64_t maximum = m_pProgressSlider->GetMaxValue();
  m_pProgressSlider->SetValue(static_cast<int>(maximum * static_cast<int64_t>(seconds) / total));
}

void CMusicBox::ShowStatus(LPCTSTR text) {
  if (m_pMusicLength != nullptr) m_pMusicLength->SetText(text);
}
