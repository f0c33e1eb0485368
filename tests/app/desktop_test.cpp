// The main window as a desktop program: where an installed player keeps its
// files, and what it says when the desktop lacks something it needs.
#include <cstdlib>
#include <string>
#include <tuple>

#include <SDL.h>

#include "app/player_folders.h"
#include "app_harness.h"
#include "catalogue/catalogue_doc.h"
#include "platform/file.h"
#include "platform/paths.h"

namespace apptest {
namespace {

using DesktopTest = MainWindowTest;

// The version of the catalogue at `path`; -1 when there is none.
int VersionAt(const std::string& path) {
  CCatalogueDoc catalogue;
  return catalogue.LoadFile(path, true) ? catalogue.GetVersion() : -1;
}

// An installation in <prefix>/bin, share/tarvoni and lib/tarvoni, and a user
// whose XDG folders are under a home of the test's own.
class InstalledFolders : public ::testing::Test {
 protected:
  InstalledFolders() {
    for (const char* name : {"XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME", "HOME"}) {
      const char* value = std::getenv(name);
      saved_.emplace_back(name, value != nullptr ? value : "", value != nullptr);
      unsetenv(name);
    }
    setenv("HOME", home_.Folder().c_str(), 1);
    platform::CreateFolders(prefix_.Path("share/tarvoni"), nullptr);
    platform::CreateFolders(prefix_.Path("bin"), nullptr);
    prefix_.Write("share/tarvoni/datams.dll", Scramble(CatalogueXml({{TabNames()[0], {}}}, 3)));
  }
  ~InstalledFolders() override {
    for (const auto& [name, value, set] : saved_) set ? setenv(name.c_str(), value.c_str(), 1) : unsetenv(name.c_str());
  }
  PlayerFolders Folders() const { return FindPlayerFolders(prefix_.Path("bin/")); }

  testsupport::TempDir prefix_;
  testsupport::TempDir home_;
  std::vector<std::tuple<std::string, std::string, bool>> saved_;
};

TEST_F(InstalledFolders, ReadFromTheInstallationWrittenToTheUsersFolders) {
  const PlayerFolders folders = Folders();
  EXPECT_EQ(folders.skinFolder, prefix_.Path("bin/../share/tarvoni/skin/"));
  EXPECT_EQ(folders.libraryFolder, prefix_.Path("bin/../lib/tarvoni/"));
  EXPECT_EQ(folders.cataloguePath, home_.Path(".local/share/tarvoni/datams.dll"));
  EXPECT_EQ(folders.cacheFolder, home_.Path(".cache/tarvoni/"));
  EXPECT_EQ(folders.settingsPath, home_.Path(".config/tarvoni/settings.ini"));
  setenv("XDG_CACHE_HOME", prefix_.Path("cache-home").c_str(), 1);
  setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(Folders().cacheFolder, prefix_.Path("cache-home/tarvoni/"));
  EXPECT_EQ(Folders().cataloguePath, home_.Path(".local/share/tarvoni/datams.dll"));
}

TEST_F(InstalledFolders, TheShippedCatalogueSeedsTheUsersAndReplacesOnlyAnOlderOrUnreadableOne) {
  const std::string users = home_.Path(".local/share/tarvoni/datams.dll");
  // The user's catalogue before the start (none when empty), its version after.
  const std::pair<std::string, int> cases[] = {{"", 3},
                                               {Scramble(CatalogueXml({}, 2)), 3},
                                               {Scramble(CatalogueXml({}, 5)), 5},
                                               {"not a catalogue", 3}};
  for (const auto& [before, after] : cases) {
    SCOPED_TRACE(before);
    platform::RemoveFile(users);
    if (!before.empty()) {
      platform::CreateFolders(home_.Path(".local/share/tarvoni"), nullptr);
      home_.Write(".local/share/tarvoni/datams.dll", before);
    }
    PrepareUserFolders(Folders());
    EXPECT_EQ(VersionAt(users), after);
    EXPECT_TRUE(platform::DirectoryExists(home_.Path(".cache/tarvoni")));
    EXPECT_TRUE(platform::DirectoryExists(home_.Path(".config/tarvoni")));
  }
}

TEST_F(InstalledFolders, AFolderThatCannotBeMadeIsSaidOnStandardError) {
  home_.Write("blocked", "a file where the cache folder's parent belongs");
  setenv("XDG_CACHE_HOME", home_.Path("blocked").c_str(), 1);
  testing::internal::CaptureStderr();
  PrepareUserFolders(Folders());
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "tarvoni: cannot create the folder " + home_.Path("blocked/tarvoni/") +
                " for the track cache (" + home_.Path("blocked/tarvoni") + ": Not a directory)\n");
}

// Two categories of three tracks each, at "/<category><n>.mp3".
std::vector<CategoryEntry> TwoCategories(const testsupport::TestHttpServer& server) {
  std::vector<CategoryEntry> categories;
  for (int c = 0; c < 2; ++c) {
    CategoryEntry category{TabNames()[c], {}};
    for (int n = 1; n <= 3; ++n) {
      const std::string title = "c" + std::to_string(c) + "t" + std::to_string(n);
      category.tracks.push_back({title, server.Url("/" + title + ".mp3"), ""});
    }
    categories.push_back(category);
  }
  return categories;
}

// The track requests wait for an answer that comes only at the end: the
// track asked for stays the one being located.
TEST_F(DesktopTest, VolumeCategoryAndLastTrackAreRememberedAndTheTrackIsOnlySelected) {
  const std::vector<CategoryEntry> categories = TwoCategories(server_);
  for (const CategoryEntry& category : categories) {
    for (const TrackEntry& track : category.tracks) {
      server_.Inject(track.src.substr(server_.Url("").size()), testsupport::Fault::kStallHeaders);
    }
  }
  Open(categories);
  auto* volume = ControlOf<CSliderUI>("VolumeSlider");
  volume->SetValue(30);
  box_->PaintManager().SendNotify(volume, "valuechanged");
  ControlOf<COptionUI>("DjSorts2")->Selected(true);
  Activate(1);
  std::string stored;
  ASSERT_TRUE(platform::ReadWholeFile(folder_.Path("settings.ini"), &stored));
  EXPECT_EQ(stored, "[tarvoni]\nvolume=30\ncategory=" + TabNames()[1] + "\ntrack=" + server_.Url("/c1t2.mp3") + "\n");

  auto trackRequests = [&] {
    int count = 0;
    for (const auto& request : server_.Requests()) count += request.path != "/update/datams.dll" ? 1 : 0;
    return count;
  };
  ASSERT_TRUE(PumpUntil([&] { return trackRequests() == 1; }));
  DestroyWindow(window_);
  PumpFor(20);
  Open({});
  EXPECT_EQ(ControlOf<CSliderUI>("VolumeSlider")->GetValue(), 30);
  EXPECT_TRUE(ControlOf<COptionUI>("DjSorts2")->IsSelected());
  EXPECT_EQ(List().GetCurSel(), 1);
  PumpFor(200);
  EXPECT_EQ(TrackUrl(), "") << "the remembered track is not played";
  EXPECT_EQ(trackRequests(), 1) << "only the first window's";
  server_.ReleaseStalls();
}

TEST_F(DesktopTest, CorruptOrUnreadableSettingsAreIgnoredWithOneLineOnStandardError) {
  // Settings file, what is said about it.
  const std::pair<std::string, std::string> cases[] = {
      {"volume=30\n", "line 1 is not the heading [tarvoni]"},
      {"[tarvoni]\nvolume=loud\n", "line 2: volume is not 0 to 100"},
      {"[tarvoni]\ncategory\n", "line 2 is not name=value"},
      {"[tarvoni]\ncategory=\xB5\xE7\n", "it is not UTF-8 text"},
      {"", "it has no heading [tarvoni]"},
  };
  const int defaultVolume = [&] {
    Open({});
    const int value = ControlOf<CSliderUI>("VolumeSlider")->GetValue();
    DestroyWindow(window_);
    PumpFor(20);
    return value;
  }();
  for (const auto& [text, said] : cases) {
    SCOPED_TRACE(text);
    folder_.Write("settings.ini", text);
    testing::internal::CaptureStderr();
    Open(TwoCategories(server_));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tarvoni: ignoring the settings file " + folder_.Path("settings.ini") + ": " + said + "\n");
    EXPECT_EQ(ControlOf<CSliderUI>("VolumeSlider")->GetValue(), defaultVolume);
    EXPECT_TRUE(ControlOf<COptionUI>("DjSorts1")->IsSelected());
    DestroyWindow(window_);
    PumpFor(20);
  }
}

// Every track request waits for an answer that comes only at the end, so
// that the track asked for stays the one being located.
class KeysTest : public DesktopTest {
 protected:
  void OpenStalledRows(const std::vector<std::string>& titles) {
    for (const std::string& title : titles) server_.Inject("/" + title + ".mp3", testsupport::Fault::kStallHeaders);
    OpenRows(titles);
  }
  ~KeysTest() override { server_.ReleaseStalls(); }

  // The key as the toolkit delivers it: queued for the window, through its
  // key filter; `control` held down meanwhile.
  void Key(WPARAM key, bool control = false) {
    SDL_SetModState(control ? KMOD_LCTRL : KMOD_NONE);
    ::PostMessage(window_, WM_KEYDOWN, key, 1);
    PumpFor(30);
    SDL_SetModState(KMOD_NONE);
  }
};

TEST_F(KeysTest, ArrowsMoveTheSelectionEnterAndSpacePlayItMediaKeysStep) {
  OpenStalledRows({"a", "b", "c"});
  Key(VK_SPACE);
  EXPECT_EQ(TrackUrl(), "") << "nothing selected, nothing played";
  const std::pair<WPARAM, int> moves[] = {{VK_DOWN, 0}, {VK_DOWN, 1}, {VK_DOWN, 2}, {VK_DOWN, 2},
                                          {VK_UP, 1},   {VK_UP, 0},   {VK_UP, 0}};
  for (const auto& [key, selected] : moves) {
    Key(key);
    EXPECT_EQ(List().GetCurSel(), selected);
  }
  EXPECT_EQ(TrackUrl(), "") << "moving the selection plays nothing";
  Key(VK_DOWN);
  Key(VK_RETURN);
  EXPECT_EQ(TrackUrl(), server_.Url("/b.mp3"));
  Key(VK_MEDIA_NEXT_TRACK);
  EXPECT_EQ(TrackUrl(), server_.Url("/c.mp3"));
  Key(VK_MEDIA_PREV_TRACK);
  Key(VK_MEDIA_PREV_TRACK);
  EXPECT_EQ(TrackUrl(), server_.Url("/a.mp3"));
  Key(VK_UP);
  Key(VK_SPACE);
  EXPECT_EQ(TrackUrl(), server_.Url("/a.mp3")) << "Space does not start another row while one is located";
}

TEST_F(KeysTest, CtrlFFiltersTheRowsByTypedTextSkippedByTheKeysAndEscapeClearsIt) {
  OpenStalledRows({"Neon Night", "月光舞池", "neon dawn", "Sun"});
  auto shown = [&] {
    std::vector<int> rows;
    for (int i = 0; i < List().GetCount(); ++i) {
      if (List().GetItemAt(i)->IsVisible()) rows.push_back(i);
    }
    return rows;
  };
  auto type = [&](const std::u32string& text) {
    for (char32_t c : text) ::PostMessage(window_, WM_CHAR, c, 1);
    PumpFor(30);
  };
  const int fullHeight = Control("workspace")->GetFixedHeight();
  Key('F', true);
  ASSERT_TRUE(Control("filter")->IsVisible());
  type(U"NEO");
  EXPECT_EQ(shown(), (std::vector<int>{0, 2}));
  EXPECT_EQ(Control("filter")->GetText(), "筛选: NEO");
  EXPECT_EQ(Control("workspace")->GetFixedHeight(), fullHeight - 2 * 30) << "the list ends with the last row shown";
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(List().GetCurSel(), 2) << "the hidden row is skipped";
  type(U"N D");
  EXPECT_EQ(shown(), (std::vector<int>{2}));
  EXPECT_EQ(TrackUrl(), "") << "Space typed into the filter plays nothing";
  Key(VK_RETURN);
  EXPECT_EQ(TrackUrl(), server_.Url("/neon dawn.mp3"));
  for (int i = 0; i < 6; ++i) Key(VK_BACK);
  type(U"光");
  EXPECT_EQ(shown(), (std::vector<int>{1}));
  Key(VK_ESCAPE);
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_FALSE(Control("filter")->IsVisible());
  EXPECT_EQ(Control("workspace")->GetFixedHeight(), fullHeight);
  type(U"x");
  EXPECT_EQ(shown(), (std::vector<int>{0, 1, 2, 3})) << "typing goes nowhere once the filter is closed";
}

TEST_F(KeysTest, SpacePausesASoundingTrackAndResumesIt) {
  OpenStalledRows({"a"});
  Activate(0);
  Playback().playback.store(std::make_shared<engine::CPlayback>());
  EngineMessage(engine::kMessagePlaying, 0);
  ASSERT_TRUE(PauseShown());
  Key(VK_SPACE);
  EXPECT_TRUE(Playback().paused.load());
  EXPECT_TRUE(PlayShown());
  Key(VK_MEDIA_PLAY_PAUSE);
  EXPECT_FALSE(Playback().paused.load());
  EXPECT_TRUE(PauseShown());
}

TEST_F(KeysTest, PlusMinusAndControlArrowsStepTheVolumeWithinItsRangeAndRememberIt) {
  OpenRows({"a"});
  auto* volume = ControlOf<CSliderUI>("VolumeSlider");
  volume->SetValue(50);
  // Key, Ctrl held, the slider's value after it.
  const std::tuple<WPARAM, bool, int> steps[] = {{VK_OEM_PLUS, false, 55}, {VK_ADD, false, 60},
                                                 {VK_OEM_MINUS, false, 55}, {VK_SUBTRACT, false, 50},
                                                 {VK_UP, true, 55},         {VK_DOWN, true, 50}};
  for (const auto& [key, control, value] : steps) {
    Key(key, control);
    EXPECT_EQ(volume->GetValue(), value) << key;
  }
  EXPECT_EQ(List().GetCurSel(), -1) << "Ctrl+arrows leave the selection";
  volume->SetValue(volume->GetMaxValue() - 2);
  Key(VK_OEM_PLUS);
  EXPECT_EQ(volume->GetValue(), volume->GetMaxValue());
  std::string stored;
  ASSERT_TRUE(platform::ReadWholeFile(folder_.Path("settings.ini"), &stored));
  EXPECT_NE(stored.find("volume=" + std::to_string(volume->GetMaxValue()) + "\n"), std::string::npos) << stored;
}

// A 300 s track at 16000 bytes per second whose audio starts at byte 417,
// playing at second 100.
TEST_F(KeysTest, LeftAndRightSeekFiveSecondsWithinTheTrack) {
  OpenRows({"a"});
  auto playback = std::make_shared<engine::CPlayback>();
  Playback().playback.store(playback);
  Playback().bytesPerSec.store(16000);
  Playback().framesBegin.store(417);
  EngineMessage(engine::kMessageDuration, 300);
  EngineMessage(engine::kMessagePosition, 100);
  auto secondSought = [&] { return (playback->seekOffset.load() - 417) / 16000; };
  Key(VK_RIGHT);
  EXPECT_EQ(secondSought(), 105);
  Key(VK_LEFT);
  EXPECT_EQ(secondSought(), 95);
  EngineMessage(engine::kMessagePosition, 298);
  Key(VK_RIGHT);
  EXPECT_EQ(secondSought(), 300) << "not past the end";
  EngineMessage(engine::kMessagePosition, 2);
  Key(VK_LEFT);
  EXPECT_EQ(playback->seekOffset.load(), 417) << "not before the start";
}

TEST_F(DesktopTest, WebSiteWithoutABrowserOpenerIsSaidOnStandardError) {
  OpenRows({"one"});
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  testsupport::TempDir empty;
  setenv("PATH", empty.Folder().c_str(), 1);
  testing::internal::CaptureStderr();
  Click("website");
  const std::string said = testing::internal::GetCapturedStderr();
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(said, "tarvoni: cannot show the web site " + server_.Url("") +
                      ": no web browser opener (xdg-open) was found\n");
}

}  // namespace
}  // namespace apptest
