// CMusicBox: the player's main window. It lists the catalogue's categories
// and tracks, turns what the user does into requests to the audio engine,
// shows the engine's reports (status text, position and download markers),
// moves on to the next row by itself, and lives in the notification area.
#pragma once

#include <memory>
#include <string>

#include "app/player_controller.h"
#include "app/player_folders.h"
#include "app/player_settings.h"
#include "catalogue/catalogue_doc.h"
#include "catalogue/catalogue_update.h"
#include "engine/engine.h"
#include "engine/engine_host.h"
#include "platform/media_controls.h"
#include "uihost/skin_window.h"

// Window messages of the main window.
inline constexpr UINT kTrayMessage = WM_USER + 50;     // the tray icon's callback; lParam: mouse message
inline constexpr UINT kEngineMessage = WM_USER + 120;  // lParam: engine message type; wParam: its value
// Another start of the player asks this one to show its window.
inline constexpr UINT kShowMessage = WM_USER + 122;
// The desktop's media controls ask; wParam: what, lParam: its value (media_controls.cpp).
inline constexpr UINT kMediaCommandMessage = WM_USER + 123;

inline constexpr int kIconBig = 107;
inline constexpr int kIconSmall = 108;

// Where the window finds its files and the vendor's web server.
struct MusicBoxSettings {
  PlayerFolders folders;
  std::string vendorBaseUrl;  // the vendor's web server, without a final '/'
};

// The folders of the program in its program folder, ready for use, and the
// vendor address built in at configure time unless the environment variable
// TARVONI_VENDOR_BASE_URL names another.
MusicBoxSettings DefaultMusicBoxSettings();

class CMusicBox : public CWindowWnd,
                  public INotifyUI,
                  public IMessageFilterUI,
                  public engine::EngineHost,
                  public PlaylistView {
 public:
  explicit CMusicBox(MusicBoxSettings settings);
  // Ends the engine when it was started (the program itself never destroys
  // its main window: it quits with the engine running).
  ~CMusicBox() override;

  LPCTSTR GetWindowClassName() const override { return "UIMusicFrame"; }
  UINT GetClassStyle() const override { return uihost::kSkinWindowClassStyle; }
  void Notify(TNotifyUI& msg) override;
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  void PostEngineMessage(uint32_t type, uint32_t value) override;

  // Refills the track list with the tracks of `category`.
  void BuildTrackList(const CStdString& category);

  // The rows listed, for the controller.
  int RowCount() const override;
  std::string RowAddress(int row) const override;
  int SelectedRow() const override;
  // Selects row `index` and sends "itemactivate" for it synchronously.
  void ActivateRow(int index) override;

  CPaintManagerUI& PaintManager() { return m_pm; }
  // Null until the window has started it.
  engine::Engine* Engine() { return m_engine.get(); }
  bool EngineStarted() const { return m_engine != nullptr; }
  bool TrayIconShown() const { return m_trayIconShown; }
  const NOTIFYICONDATA& TrayIcon() const { return m_trayIcon; }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  // Start-up (music_box.cpp).
  LRESULT OnCreate();
  void Initialise();
  void FindControls();
  void AddTrayIcon();
  void StartWorkers();
  // Hides the window to the tray, or minimises it when there is no tray.
  void HideToTray();
  // Deletes the tray icon and ends the message loop.
  void Quit();
  // Window title and tray tip.
  void ShowPlayingTitle(const CStdString& text);
  LRESULT OnTrayNotify(LPARAM mouseMessage);

  // Track list (track_list.cpp).
  void OnCategorySelected(CControlUI* tab);

  // Commands (commands.cpp).
  void OnClick(TNotifyUI& msg);
  void OpenAbout();
  // The controller's play and pause, with the buttons that show them.
  void Play();
  void Pause();
  void StartRowTrack(CControlUI* row);
  void Seek();
  // The volume slider's value on the current track's output.
  void ApplyVolume();
  void ShowPlay();
  void ShowPause();

  // Keys (keys.cpp): true when `key` is one of the window's own.
  bool OnKey(WPARAM key);
  void MoveSelection(int step);
  void StepVolume(int step);
  // Seeks `seconds` from the played position, within the track.
  void SeekBy(int seconds);

  // The filter box (filter.cpp).
  void OpenFilter();
  void CloseFilter();
  // True when `key` belongs to the filter box while it is open.
  bool OnFilterKey(WPARAM key);
  void OnFilterCharacter(WPARAM codePoint);
  // Shows the rows whose titles hold the filter text (all when closed).
  void ApplyFilter();

 public:
  // Offers the player to the desktop's media controls (MPRIS); without a
  // session bus it says so once on stderr and the player runs on.
  void OfferMediaControls();

 private:
  // The desktop's media controls (media_controls.cpp).
  void OnMediaCommand(WPARAM command, LPARAM value);
  // Tells the media controls what the window shows now; `seeked` when the position jumped.
  void PublishMediaState(bool seeked);

  // Remembered settings (remembered.cpp).
  // Reads the settings file and gives the volume slider its remembered value.
  void RestoreVolume();
  // The tab of the remembered category; `firstTab` when there is none.
  COptionUI* RememberedTab(COptionUI* firstTab);
  // Selects the row of the remembered track, when listed, without playing it.
  void SelectRememberedRow();
  // Saves the settings when the volume, the category or the track changed.
  void RememberSettings();

  // Progress (progress.cpp).
  LRESULT OnEngineMessage(WPARAM value, LPARAM type);
  void ShowDownloaded(uint32_t downloaded);
  void ShowBuffering(const engine::EngineReport& report);
  void ShowPosition(uint32_t seconds);
  void ShowStatus(LPCTSTR text);

  const MusicBoxSettings m_settings;
  CStdString m_currentCategory;
  CPaintManagerUI m_pm;
  NOTIFYICONDATA m_trayIcon{};
  bool m_trayIconShown = false;

  CSliderUI* m_pVolumeSlider = nullptr;
  CSliderUI* m_pProgressSlider = nullptr;
  CLabelUI* m_pMusicLength = nullptr;
  CLabelUI* m_pTitle = nullptr;
  CLabelUI* m_pMaker = nullptr;
  CLabelUI* m_pDesc = nullptr;
  CControlUI* m_pPlay = nullptr;
  CControlUI* m_pPause = nullptr;
  CControlUI* m_pWorkspace = nullptr;
  CListUI* m_pMusics = nullptr;
  CControlUI* m_pFilter = nullptr;
  bool m_filtering = false;
  std::string m_filterText;

  CCatalogueDoc m_catalogue;
  CPlayerController m_controller{*this, m_catalogue};
  PlayerSettings m_remembered;
  // Declared before the controls, which call it until they end.
  std::unique_ptr<platform::MediaCommands> m_mediaCommands;
  std::unique_ptr<platform::MediaControls> m_mediaControls;
  std::string m_mediaUrl;
  std::string m_mediaAlbum;
  int m_mediaTrackNumber = 0;
  bool m_settingsUnsaved = false;

  // Where the worker threads post to: set before they start and never changed
  // (the toolkit clears m_hWnd when the window goes; a dead handle just
  // refuses the message).
  HWND m_postTarget = nullptr;
  // What the update thread reads; shared with it, since it may outlive the window.
  std::shared_ptr<CatalogueUpdateSource> m_updateSource;
  std::unique_ptr<engine::Engine> m_engine;
};
