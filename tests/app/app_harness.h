// The player's main window inside a test process: a program folder of its
// own (catalogue, cache, the Brelix library), the window on SDL's offscreen
// video driver with the dummy sound driver, a test HTTP server as the
// vendor's, and the means to drive the window.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/music_box.h"
#include "engine/playback.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace apptest {

struct TrackEntry {
  std::string title;
  std::string src;
  std::string time;
};

struct CategoryEntry {
  std::string name;
  std::vector<TrackEntry> tracks;
  std::string maker{};
  std::string desc{};
};

// The plain catalogue text: the categories, then "version" and "end".
std::string CatalogueXml(const std::vector<CategoryEntry>& categories, int version = 1);
// The stored form of a catalogue text (XOR with the catalogue key).
std::string Scramble(const std::string& text);
// The texts of the skin's six category tabs, DjSorts1 first.
const std::vector<std::string>& TabNames();

// A program folder with the Brelix library linked in.
class ProgramFolder {
 public:
  ProgramFolder();
  // `name` in the folder; for "" the folder with a separator at the end, as the window expects it.
  std::string Path(const std::string& name = "") const { return dir_.Path(name); }
  std::string Write(const std::string& name, const std::string& bytes) const { return dir_.Write(name, bytes); }
  void WriteCatalogue(const std::string& xml) const { Write("datams.dll", Scramble(xml)); }

 private:
  testsupport::TempDir dir_;
};

class MainWindowTest : public ::testing::Test {
 protected:
  // Destroys the window, which ends its engine threads.
  ~MainWindowTest() override;
  // Writes a catalogue of `categories` (no file when there are none), opens
  // the main window and lets it settle.
  void Open(const std::vector<CategoryEntry>& categories);
  // The same with one category, the first tab's, of tracks titled `titles` at "/<title>.mp3".
  void OpenRows(const std::vector<std::string>& titles);

  CControlUI* Control(LPCTSTR name) { return box_->PaintManager().FindControl(name); }
  template <class T>
  T* ControlOf(LPCTSTR name) {
    return dynamic_cast<T*>(Control(name));
  }
  CListUI& List() { return *ControlOf<CListUI>("musics"); }
  std::string Status() { return Control("musiclength")->GetText().str(); }
  bool PlayShown() { return Control("play")->IsVisible() && !Control("pause")->IsVisible(); }
  bool PauseShown() { return Control("pause")->IsVisible() && !Control("play")->IsVisible(); }
  std::string TrackUrl() { return box_->Engine() != nullptr ? box_->Engine()->TrackUrl() : std::string(); }
  engine::PlaybackState& Playback() { return engine::StateOf(*box_->Engine()); }

  // What a click on the control `name` sends.
  void Click(LPCTSTR name);
  // What a double-click on row `index` sends.
  void Activate(int index);
  // Handles an engine message now, as if a worker had posted it.
  void EngineMessage(uint32_t type, uint32_t value);
  // Handles messages until `done` holds; false when `timeoutMs` passed first
  // or the quit message came (which is taken off the queue, see quitPosted_).
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 30000);
  void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
  }

  testsupport::TestHttpServer server_;
  ProgramFolder folder_;
  CMusicBox* box_ = nullptr;
  HWND window_ = nullptr;
  bool quitPosted_ = false;
};

}  // namespace apptest
