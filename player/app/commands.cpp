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
    m_controller.Previous();
  } else if (NameIs(name, "next")) {
    m_controller.Next();
  } else if (NameIs(name, "play")) {
    Play();
  } else if (NameIs(name, "pause")) {
    Pause();
  } else if (NameIsNoCase(name, "playall")) {
    m_controller.PlayAll();
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
  if (m_controller.Play()) ShowPause();
}

void CMusicBox::Pause() {
  if (m_controller.Pause()) ShowPlay();
}

void CMusicBox::StartRowTrack(CControlUI* row) {
  const int index = row != nullptr && m_pMusics != nullptr ? m_pMusics->GetItemIndex(row) : -1;
  // A row without an address has nothing to play; the track in hand goes on.
  if (!m_controller.CanStart(index)) return;

  std::string title = m_controller.TrackTitle();
  if (CControlUI* songName = m_pm.FindSubControlByName(row, "songname")) {
    title = songName->GetText().str();
    CStdString text;
    text.Format("正在播放-%s", title.c_str());
    ShowPlayingTitle(text);
    if (m_pTitle != nullptr) m_pTitle->SetText(title.c_str());
  }
  ShowPlay();
  if (m_pProgressSlider != nullptr && m_pMusicLength != nullptr) {
    m_pProgressSlider->SetValue(0);
    m_pProgressSlider->SetMidValue(0);
    m_pMusicLength->SetText("正在定位舞曲...");
  }
  m_controller.StartRow(index, title);
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

int CMusicBox::RowCount() const { return m_pMusics != nullptr ? m_pMusics->GetCount() : 0; }

std::string CMusicBox::RowAddress(int row) const {
  CControlUI* item = m_pMusics != nullptr ? m_pMusics->GetItemAt(row) : nullptr;
  return item != nullptr ? item->GetUserData().str() : std::string();
}

int CMusicBox::SelectedRow() const { return m_pMusics != nullptr ? m_pMusics->GetCurSel() : -1; }

void CMusicBox::ActivateRow(int index) {
  CControlUI* row = m_pMusics != nullptr ? m_pMusics->GetItemAt(index) : nullptr;
  if (row == nullptr) return;
  if (auto* item = dynamic_cast<IListItemUI*>(row)) item->Select();
  m_pm.SendNotify(row, "itemactivate");
}
