// What the user does in the main window, and the tray menu's two commands.
#include <cstdio>

#include "app/music_box.h"
#include "platform/shell.h"
#include "windows/about_dlg.h"
#include "windows/menu_wnd.h"

namespace {

bool NameIs(const CStdString& name, LPCTSTR wanted) { return name == wanted; }
bool NameIsNoCase(const CStdString& name, LPCTSTR wanted) { return name.CompareNoCase(wanted) == 0; }

}  // namespace

void CMusicBox::Notify(TNotifyUI& msg) {
  if (msg.sType == "click") {
    OnClick(msg);
  } else if (msg.sType == "itemactivate") {
    StartRowTrack(msg.pSender);
    RememberSettings();
  } else if (msg.sType == "valuechanging" || msg.sType == "valuechanged") {
    // The volume follows the slider whether it is dragged or clicked.
    if (msg.pSender != nullptr && msg.pSender == m_pVolumeSlider) ApplyVolume();
    if (msg.sType == "valuechanged" && msg.pSender != nullptr && msg.pSender == m_pVolumeSlider) RememberSettings();
    if (msg.sType == "valuechanged" && msg.pSender != nullptr && msg.pSender == m_pProgressSlider) Seek();
  } else if (msg.sType == "selectchanged") {
    auto* tab = dynamic_cast<COptionUI*>(msg.pSender);
    if (tab != nullptr && CompareNoCase(tab->GetGroup(), "DjSorts") == 0) {
      OnCategorySelected(tab);
      ApplyFilter();
      RememberSettings();
    }
  }
  PublishMediaState(false);
}

void CMusicBox::OnClick(TNotifyUI& msg) {
  if (msg.pSender == nullptr) {
    if (msg.wParam == windows::kMenuCommandAbout) {
      OpenAbout();
    } else if (msg.wParam == windows::kMenuCommandExit) {
      Quit();
    }
    return;
  }
  const CStdString name = msg.pSender->GetName();
  if (NameIsNoCase(name, "closebtn")) {
    Quit();
  } else if (NameIsNoCase(name, "minbtn")) {
    HideToTray();
  } else if (NameIs(name, "prev")) {
    StepRow(-1);
  } else if (NameIs(name, "next")) {
    StepRow(1);
  } else if (NameIs(name, "play")) {
    Play();
  } else if (NameIs(name, "pause")) {
    Pause();
  } else if (NameIsNoCase(name, "playall")) {
    if (m_pMusics != nullptr && m_pMusics->GetCount() > 0) ActivateRow(0);
  } else if (NameIsNoCase(name, "website")) {
    if (!platform::OpenInBrowser(m_settings.vendorBaseUrl)) {
      std::fprintf(stderr, "tarvoni: cannot show the web site %s: no web browser opener (xdg-open) was found\n",
                   m_settings.vendorBaseUrl.c_str());
    }
  }
}

void CMusicBox::OpenAbout() {
  auto* about = new CAboutDlg();
  if (!about->ShowModal()) delete about;
}

void CMusicBox::Play() {
  if (m_engine == nullptr) return;
  const bool waiting = m_engine->Paused() || m_engine->Buffering();
  if (!m_engine->TrackUrl().empty() && !waiting) return;
  if (waiting && m_engine->HasTrack()) {
    m_engine->Resume();
  } else {
    const int selected = m_pMusics != nullptr ? m_pMusics->GetCurSel() : -1;
    if (selected < 0) return;
    if (CControlUI* row = m_pMusics->GetItemAt(selected)) m_pm.SendNotify(row, "itemactivate");
  }
  ShowPause();
}

void CMusicBox::Pause() {
  if (m_engine == nullptr || m_engine->Paused() || !m_engine->HasTrack()) return;
  m_engine->Pause();
  ShowPlay();
}

// The buttons change only when a row is activated (which shows "play"):
// with no row to step to, the track in hand sounds on and "pause" stays.
void CMusicBox::StepRow(int step) {
  const int count = m_pMusics != nullptr ? m_pMusics->GetCount() : 0;
  if (count < 1) return;
  const int playing = FindPlayingRow();
  if (playing < 0) return;
  ActivateRow((playing + count + step) % count);
}

void CMusicBox::StartRowTrack(CControlUI* row) {
  if (row == nullptr) return;
  const CStdString url = row->GetUserData();
  // A row without an address has nothing to play; the track in hand goes on.
  if (url.IsEmpty()) return;
  if (!m_autoAdvancing) m_failuresInARow = 0;

  if (CControlUI* songName = m_pm.FindSubControlByName(row, "songname")) {
    const CStdString title = songName->GetText();
    CStdString text;
    text.Format("正在播放-%s", title.GetData());
    ShowPlayingTitle(text);
    m_currentTitle = title;
    if (m_pTitle != nullptr) m_pTitle->SetText(title);
  }
  ShowPlay();
  if (m_pProgressSlider != nullptr && m_pMusicLength != nullptr) {
    m_pProgressSlider->SetValue(0);
    m_pProgressSlider->SetMidValue(0);
    m_pMusicLength->SetText("正在定位舞曲...");
  }
  if (m_engine != nullptr) m_engine->RequestTrack(url.str());
}

void CMusicBox::ApplyVolume() {
  if (m_pVolumeSlider != nullptr && m_engine != nullptr) m_engine->SetVolume(m_pVolumeSlider->GetValue());
}

void CMusicBox::Seek() {
  const int maximum = m_pProgressSlider->GetMaxValue();
  if (maximum <= 0 || m_engine == nullptr) return;
  m_engine->Seek(m_pProgressSlider->GetValue(), maximum);
}

void CMusicBox::ShowPlay() {
  if (m_pPlay == nullptr || m_pPause == nullptr) return;
  m_pPlay->SetVisible(true);
  m_pPause->SetVisible(false);
}

void CMusicBox::ShowPause() {
  if (m_pPlay == nullptr || m_pPause == nullptr) return;
  m_pPlay->SetVisible(false);
  m_pPause->SetVisible(true);
}

void CMusicBox::ActivateRow(int index) {
  CControlUI* row = m_pMusics->GetItemAt(index);
  if (row == nullptr) return;
  if (auto* item = dynamic_cast<IListItemUI*>(row)) item->Select();
  m_pm.SendNotify(row, "itemactivate");
}

int CMusicBox::FindPlayingRow() const {
  if (m_pMusics == nullptr || m_engine == nullptr) return -1;
  const std::string url = m_engine->TrackUrl();
  for (int i = 0; i < m_pMusics->GetCount(); ++i) {
    if (m_pMusics->GetItemAt(i)->GetUserData() == url.c_str()) return i;
  }
  return -1;
}
