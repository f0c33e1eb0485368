#include "app/music_box.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/text.h"
#include "platform/thread.h"
#include "windows/menu_wnd.h"

namespace {

constexpr char kProgramName[] = "Tarvoni";

}  // namespace

MusicBoxSettings DefaultMusicBoxSettings() {
  MusicBoxSettings settings;
  settings.folders = FindPlayerFolders(CPaintManagerUI::GetInstancePath().str());
  PrepareUserFolders(settings.folders);
  const char* vendor = std::getenv("TARVONI_VENDOR_BASE_URL");
  settings.vendorBaseUrl = vendor != nullptr && *vendor != '\0' ? vendor : TARVONI_VENDOR_BASE_URL;
  while (!settings.vendorBaseUrl.empty() && settings.vendorBaseUrl.back() == '/') settings.vendorBaseUrl.pop_back();
  return settings;
}

CMusicBox::CMusicBox(MusicBoxSettings settings) : m_settings(std::move(settings)) {}

CMusicBox::~CMusicBox() = default;

LRESULT CMusicBox::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  bool handled = true;
  switch (uMsg) {
    case WM_CREATE:
      result = OnCreate();
      break;
    case WM_SYSCOMMAND:
      handled = wParam == SC_CLOSE;
      if (handled) HideToTray();
      break;
    case kTrayMessage:
      result = OnTrayNotify(lParam);
      break;
    case kEngineMessage:
      result = OnEngineMessage(wParam, lParam);
      break;
    case kShowMessage:
      ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
      SetForegroundWindow(m_hWnd);
      break;
    case kMediaCommandMessage:
      OnMediaCommand(wParam, lParam);
      break;
    default:
      handled = uihost::HandleFrameMessage(m_pm, m_hWnd, uMsg, wParam, lParam,
                                           uihost::CaptionControls::kButtonsAndSliders, &result);
  }
  if (handled) return result;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CMusicBox::OnCreate() {
  // Without its layout the window has nothing to offer: creation fails.
  if (!uihost::AttachLayout(m_pm, m_hWnd, "MusicBox.xml", true, this, this)) return -1;
  Initialise();
  return 0;
}

void CMusicBox::Initialise() {
  m_postTarget = m_hWnd;
  FindControls();
  SetWindowText(m_hWnd, kProgramName);
  AddTrayIcon();
  RestoreVolume();

  if (!m_catalogue.LoadFile(m_settings.folders.cataloguePath, true)) return;
  auto* firstTab = uihost::FindControlOf<COptionUI>(m_pm, "DjSorts1");
  if (firstTab == nullptr) return;
  firstTab = RememberedTab(firstTab);
  // Selecting the tab fills the list through its "selectchanged"; a skin
  // that has it selected already sends none.
  if (firstTab->IsSelected()) {
    OnCategorySelected(firstTab);
  } else {
    firstTab->Selected(true);
  }
  SelectRememberedRow();

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIcon(nullptr, MAKEINTRESOURCE(kIconBig))));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadIcon(nullptr, MAKEINTRESOURCE(kIconSmall))));
  StartWorkers();
}

void CMusicBox::FindControls() {
  m_pVolumeSlider = uihost::FindControlOf<CSliderUI>(m_pm, "VolumeSlider");
  m_pProgressSlider = uihost::FindControlOf<CSliderUI>(m_pm, "ProgressSlider");
  m_pMusicLength = uihost::FindControlOf<CLabelUI>(m_pm, "musiclength");
  m_pTitle = uihost::FindControlOf<CLabelUI>(m_pm, "title");
  m_pMaker = uihost::FindControlOf<CLabelUI>(m_pm, "maker");
  m_pDesc = uihost::FindControlOf<CLabelUI>(m_pm, "desc");
  m_pPlay = m_pm.FindControl("play");
  m_pPause = m_pm.FindControl("pause");
  m_pWorkspace = m_pm.FindControl("workspace");
  m_pMusics = uihost::FindControlOf<CListUI>(m_pm, "musics");
}

void CMusicBox::AddTrayIcon() {
  m_trayIcon = NOTIFYICONDATA{};
  m_trayIcon.cbSize = sizeof(NOTIFYICONDATA);
  m_trayIcon.hWnd = m_hWnd;
  m_trayIcon.uID = kIconSmall;
  m_trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  m_trayIcon.uCallbackMessage = kTrayMessage;
  m_trayIcon.hIcon = LoadIcon(nullptr, MAKEINTRESOURCE(kIconSmall));
  platform::CopyUtf8(m_trayIcon.szTip, sizeof(m_trayIcon.szTip), kProgramName);
  m_trayIconShown = Shell_NotifyIcon(NIM_ADD, &m_trayIcon) != FALSE;
  static bool reported = false;
  if (!m_trayIconShown && !reported) {
    reported = true;
    std::fprintf(stderr, "tarvoni: without a system tray the window is minimised where it would hide in the tray\n");
  }
}

void CMusicBox::StartWorkers() {
  engine::EngineSettings settings;
  settings.programFolder = m_settings.folders.libraryFolder;
  // The engine names its cache file below the folder itself.
  settings.cacheFolder = m_settings.folders.cacheFolder.substr(0, m_settings.folders.cacheFolder.size() - 1);
  m_engine = engine::Engine::Start(*this, settings);
  m_controller.SetEngine(m_engine.get());
  ApplyVolume();

  m_updateSource = std::make_shared<CatalogueUpdateSource>();
  m_updateSource->cacheFolder = m_settings.folders.cacheFolder;
  m_updateSource->updateUrl = m_settings.vendorBaseUrl + "/update/datams.dll";
  m_updateSource->localVersion = m_catalogue.GetVersion();
  m_updateSource->cataloguePath = m_settings.folders.cataloguePath;
  platform::StartDetachedThread([source = m_updateSource] { CatalogueUpdateThread(source.get()); });
}

void CMusicBox::HideToTray() {
  ::ShowWindow(m_hWnd, m_trayIconShown ? SW_HIDE : SW_MINIMIZE);
}

void CMusicBox::Quit() {
  Shell_NotifyIcon(NIM_DELETE, &m_trayIcon);
  m_trayIconShown = false;
  PostQuitMessage(0);
}

void CMusicBox::ShowPlayingTitle(const CStdString& text) {
  SetWindowText(m_hWnd, text);
  // The tip has a fixed size: it is cut at a character boundary, never inside one.
  platform::CopyUtf8(m_trayIcon.szTip, sizeof(m_trayIcon.szTip), text.str());
  m_trayIcon.uFlags |= NIF_TIP;
  if (m_trayIconShown) Shell_NotifyIcon(NIM_MODIFY, &m_trayIcon);
}

LRESULT CMusicBox::OnTrayNotify(LPARAM mouseMessage) {
  if (mouseMessage == WM_LBUTTONDOWN) {
    ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
  } else if (mouseMessage == WM_RBUTTONUP) {
    POINT cursor{};
    GetCursorPos(&cursor);
    auto* menu = new CMenuWnd();
    if (!menu->ShowMenu(&m_pm, cursor.x, cursor.y, "menutray.xml")) delete menu;
  }
  return 0;
}

LRESULT CMusicBox::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  // Escape does nothing in the main window, and is kept from the controls.
  if (uMsg == WM_KEYDOWN) {
    bHandled = (m_filtering && OnFilterKey(wParam)) || wParam == VK_ESCAPE || OnKey(wParam);
    PublishMediaState(false);
  } else if (uMsg == WM_CHAR) {
    OnFilterCharacter(wParam);
    bHandled = m_filtering;
  }
  return 0;
}

void CMusicBox::PostEngineMessage(uint32_t type, uint32_t value) {
  ::PostMessage(m_postTarget, kEngineMessage, value, static_cast<LPARAM>(type));
}

void CMusicBox::OnFinalMessage(HWND hWnd) {
  m_pm.RemovePreMessageFilter(this);
  m_pm.RemoveNotifier(this);
  delete this;
}
