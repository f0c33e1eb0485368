// The player's main window inside a test process: a program folder of its
// own (catalogue, cache, the Brelix library), the window on SDL's offscreen
// video driver with the dummy sound driver, and the means to drive it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/music_box.h"
#include "support/temp_dir.h"

namespace apptest {

struct TrackEntry {
  std::string title;
  std::string src;
  std::string time;  // omitted when empty
};

struct CategoryEntry {
  std::string name;
  std::string maker;
  std::string desc;
  std::vector<TrackEntry> tracks;
};

// The plain catalogue text: the categories, then "version" and "end".
std::string CatalogueXml(const std::vector<CategoryEntry>& categories, int version = 1);
// The stored form of a catalogue text (XOR with the catalogue key).
std::string Scramble(const std::string& text);

// The names of the skin's six category tabs, DjSorts1 first.
const std::vector<std::string>& TabNames();

// A program folder: the Brelix library linked in, and a catalogue file when
// one is written.
class ProgramFolder {
 public:
  ProgramFolder();
  // With a separator at the end, as the window expects it.
  std::string Path() const { return dir_.Folder() + "/"; }
  std::string CataloguePath() const { return dir_.Path("datams.dll"); }
  void WriteCatalogue(const std::string& xml) const;

 private:
  testsupport::TempDir dir_;
};

class MusicBoxHarness {
 public:
  // Opens the main window on `folder` with `vendorBaseUrl` as the vendor's
  // web server, and lets it settle.
  MusicBoxHarness(const ProgramFolder& folder, const std::string& vendorBaseUrl);
  // Destroys the window, which ends its engine threads.
  ~MusicBoxHarness();

  CMusicBox& Box() { return *box_; }
  HWND Window() const { return window_; }
  CPaintManagerUI& Manager() { return box_->PaintManager(); }
  engine::PlaybackState& Playback() { return box_->Playback(); }

  CControlUI* Control(LPCTSTR name) { return Manager().FindControl(name); }
  template <class T>
  T* ControlOf(LPCTSTR name) {
    return dynamic_cast<T*>(Control(name));
  }
  CListUI& List();
  int RowCount() { return List().GetCount(); }
  CControlUI* Row(int index) { return List().GetItemAt(index); }
  // The texts of a row's three labels: number, title, time.
  std::vector<std::string> RowTexts(int index);
  std::string Status() { return Control("musiclength")->GetText().str(); }
  bool PlayShown() { return Control("play")->IsVisible() && !Control("pause")->IsVisible(); }
  bool PauseShown() { return Control("pause")->IsVisible() && !Control("play")->IsVisible(); }
  std::string TrackUrl() { return engine::TrackUrl(Playback()); }

  // Sends what a click on the control named `name` sends.
  void Click(LPCTSTR name);
  // What a double-click on row `index` sends.
  void Activate(int index);
  // Handles an engine message now, as if a worker had posted it.
  void EngineMessage(uint32_t type, uint32_t value);

  // Handles messages until `done` holds; false when `timeoutMs` passed first
  // or the quit message came (see QuitPosted).
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  // Handles whatever arrives during `ms`.
  void PumpFor(int ms);
  // Handles messages until the quit message comes; false when it does not
  // within `timeoutMs`.
  bool PumpUntilQuit(int timeoutMs = 10000);
  // The quit message came; it is taken off the queue, so later tests do not see it.
  bool QuitPosted() const { return quitPosted_; }

 private:
  CMusicBox* box_ = nullptr;
  HWND window_ = nullptr;
  bool quitPosted_ = false;
};

}  // namespace apptest
