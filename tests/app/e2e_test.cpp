// The real program, as a user meets it: build/dist/tarvoni on an Xvfb
// desktop with trayer as the system tray, driven with xdotool, playing to
// SDL's disk sound driver, against an HTTP server in this process.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app_harness.h"
#include "platform/dynlib.h"
#include "platform/file.h"
#include "platform/sync.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"
#include "uilib/ui_snapshot.h"
#include "x_desktop.h"

namespace apptest {
namespace {

using testsupport::TestHttpServer;

// Generous: the program is built with sanitizers and the machine is shared.
constexpr int kWaitMs = 60000;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
  const uint64_t deadline = platform::MonotonicMs() + static_cast<uint64_t>(timeoutMs);
  while (!done()) {
    if (platform::MonotonicMs() > deadline) return false;
    platform::SleepMs(100);
  }
  return true;
}

// Where the controls of a skin layout lie in its window: the layout is built
// here on the offscreen driver and laid out at its own size, as the program
// lays it out on the desktop.
class LayoutProbe : public CWindowWnd {
 public:
  explicit LayoutProbe(LPCTSTR layout) : layout_(layout) {
    Create(nullptr, "", WS_POPUP, 0);
    std::vector<uint32_t> pixels;
    int width = 0;
    int height = 0;
    CaptureWindow(m_hWnd, &pixels, &width, &height);
  }
  ~LayoutProbe() override {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
  }

  LPCTSTR GetWindowClassName() const override { return "LayoutProbe"; }
  RECT Place(LPCTSTR name) {
    CControlUI* control = m_pm.FindControl(name);
    EXPECT_NE(control, nullptr) << name << " in " << layout_.GetData();
    return control != nullptr ? control->GetPos() : RECT{0, 0, 0, 0};
  }
  POINT Centre(LPCTSTR name) {
    const RECT rc = Place(name);
    return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg == WM_CREATE) {
      m_pm.Init(m_hWnd);
      CDialogBuilder builder;
      m_pm.AttachDialog(builder.Create(layout_, &m_pm));
      return 0;
    }
    LRESULT result = 0;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  }

 private:
  CStdString layout_;
  CPaintManagerUI m_pm;
};

// Row `index` of the track list, in the main window.
POINT RowCentre(int index) {
  LayoutProbe probe("MusicBox.xml");
  const RECT list = probe.Place("musics");
  return POINT{list.left + 120, list.top + index * 30 + 15};
}

// A program folder of its own holding a copy of the real program (it finds
// its files beside the executable), the Brelix library and the skin.
class InstalledPlayer {
 public:
  InstalledPlayer() {
    std::string program;
    EXPECT_TRUE(platform::ReadWholeFile(TARVONI_PROGRAM, &program)) << TARVONI_PROGRAM;
    dir_.Write("tarvoni", program);
    chmod(dir_.Path("tarvoni").c_str(), 0755);
    symlink(BRELIX_LIBRARY_PATH, dir_.Path(platform::SharedLibraryFileName("brelix")).c_str());
    mkdir(dir_.Path("skin").c_str(), 0755);
    symlink(TARVONI_SKIN_FOLDER "DefaultSkin.dll", dir_.Path("skin/DefaultSkin.dll").c_str());
  }

  std::string Path(const std::string& name) const { return dir_.Path(name); }
  void WriteCatalogue(const std::string& xml) const { dir_.Write("datams.dll", Scramble(xml)); }

  // Starts the program on `desktop`, its sound going to the file "sound.raw".
  std::unique_ptr<ChildProcess> Start(const XDesktop& desktop, const std::string& vendorBaseUrl) const {
    auto player = ChildProcess::Start(
        {Path("tarvoni")},
        desktop.Environment({"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + Path("sound.raw"),
                             "TARVONI_VENDOR_BASE_URL=" + vendorBaseUrl}),
        Path("tarvoni.log"));
    EXPECT_NE(player, nullptr);
    return player;
  }

  std::string Log() const {
    std::string log;
    platform::ReadWholeFile(Path("tarvoni.log"), &log);
    return log;
  }

 private:
  testsupport::TempDir dir_;
};

class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    desktop_ = XDesktop::Start(WithTray(), logs_.Folder(), &why);
    if (desktop_ == nullptr) GTEST_SKIP() << why;
  }
  virtual bool WithTray() const { return true; }

  // The program's main window once it shows; empty when it does not.
  std::string MainWindow(ChildProcess& player) {
    std::string window;
    WaitFor([&] {
      for (const std::string& w : desktop_->VisibleWindows(player.Pid())) {
        if (desktop_->Xdotool({"getwindowname", w}) == "Tarvoni\n") window = w;
      }
      return !window.empty() || !player.Running();
    });
    EXPECT_FALSE(window.empty()) << "the main window did not appear; log:\n" << installed_.Log();
    return window;
  }

  // The tray icon: the other window that carries the tip as its name.
  std::string TrayIcon(const std::string& mainWindow) {
    std::string icon;
    WaitFor([&] {
      for (const std::string& w : desktop_->WindowsNamed("Tarvoni")) {
        if (w != mainWindow) icon = w;
      }
      return !icon.empty();
    });
    EXPECT_FALSE(icon.empty()) << "no tray icon";
    return icon;
  }

  // A visible window of the program that is none of `known`.
  std::string NewWindow(ChildProcess& player, const std::vector<std::string>& known) {
    std::string found;
    WaitFor([&] {
      for (const std::string& w : desktop_->VisibleWindows(player.Pid())) {
        if (std::find(known.begin(), known.end(), w) == known.end()) found = w;
      }
      return !found.empty();
    });
    return found;
  }

  // Right-clicks the tray icon until the menu shows: on a loaded machine a
  // click can land while the program is still settling the focus of the
  // window closed just before. The menu window, or empty.
  std::string OpenTrayMenu(ChildProcess& player, const std::string& icon, const std::string& mainWindow) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      desktop_->Click(icon, 8, 8, 3);
      std::string menu;
      WaitFor(
          [&] {
            for (const std::string& w : desktop_->VisibleWindows(player.Pid())) {
              if (w != mainWindow) menu = w;
            }
            return !menu.empty();
          },
          15000);
      if (!menu.empty()) return menu;
    }
    return {};
  }

  void ClickControl(const std::string& window, LPCTSTR layout, LPCTSTR control, int button = 1) {
    LayoutProbe probe(layout);
    const POINT at = probe.Centre(control);
    desktop_->Click(window, at.x, at.y, button);
  }

  testsupport::TempDir logs_;
  std::unique_ptr<XDesktop> desktop_;
  InstalledPlayer installed_;
};

double Rms(const int16_t* samples, size_t count) {
  double energy = 0;
  for (size_t i = 0; i < count; ++i) energy += static_cast<double>(samples[i]) * samples[i];
  return count > 0 ? std::sqrt(energy / static_cast<double>(count)) : 0;
}

struct Loudness {
  double seconds = 0;  // of 10 ms blocks that carry sound
  double rms = 0;      // over those blocks
};

// What 16-bit stereo PCM at 44,100 Hz holds apart from silence.
Loudness MeasureSound(const std::string& bytes) {
  constexpr size_t kBlockSamples = 441 * 2;
  std::vector<int16_t> pcm(bytes.size() / 2);
  std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  size_t blocks = 0;
  double energy = 0;
  for (size_t at = 0; at + kBlockSamples <= pcm.size(); at += kBlockSamples) {
    const double rms = Rms(pcm.data() + at, kBlockSamples);
    if (rms < 100) continue;
    ++blocks;
    energy += rms * rms;
  }
  return Loudness{static_cast<double>(blocks) / 100.0, blocks > 0 ? std::sqrt(energy / blocks) : 0};
}

// The volume is set before any track plays, so the track that then starts
// must take it from the slider.
TEST_F(E2eTest, DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts) {
  TestHttpServer server;
  testsupport::Mp3Options options;
  options.seconds = 3;
  const testsupport::Mp3Fixture track = testsupport::EncodeMp3(options);
  server.Serve("/first.mp3", track.bytes);
  server.Inject("/second.mp3", testsupport::Fault::kStallHeaders);
  installed_.WriteCatalogue(CatalogueXml(
      {{TabNames()[0], "", "", {{"First", server.Url("/first.mp3"), ""}, {"Second", server.Url("/second.mp3"), ""}}}}));
  auto player = installed_.Start(*desktop_, server.Url(""));
  const std::string window = MainWindow(*player);
  ASSERT_FALSE(window.empty());

  // Half way along the volume slider: about -15 dB.
  ClickControl(window, "MusicBox.xml", "VolumeSlider");
  const POINT row = RowCentre(0);
  desktop_->Click(window, row.x, row.y, 1, 2);
  const auto requested = [&server](const std::string& path) {
    for (const auto& request : server.Requests()) {
      if (request.path == path) return true;
    }
    return false;
  };
  ASSERT_TRUE(WaitFor([&] { return requested("/second.mp3"); })) << installed_.Log();
  EXPECT_EQ(desktop_->Xdotool({"getwindowname", window}), "正在播放-Second\n");
  // The output keeps running on silence, which pushes what was played into the file.
  platform::SleepMs(1500);
  std::string sound;
  ASSERT_TRUE(platform::ReadWholeFile(installed_.Path("sound.raw"), &sound));
  const Loudness heard = MeasureSound(sound);
  EXPECT_NEAR(heard.seconds, 3.0, 0.15);
  const double level = heard.rms / Rms(track.pcm.data(), track.pcm.size());
  EXPECT_GT(level, 0.08);
  EXPECT_LT(level, 0.4);

  server.ReleaseStalls();
  ClickControl(window, "MusicBox.xml", "closebtn");
  int status = -1;
  ASSERT_TRUE(player->WaitExit(kWaitMs, &status)) << "closebtn did not end the program";
  EXPECT_EQ(status, 0) << installed_.Log();
}

TEST_F(E2eTest, AltF4HidesToTheTrayAndALeftClickOnTheIconBringsTheWindowBack) {
  TestHttpServer server;
  installed_.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"One", server.Url("/1.mp3"), ""}}}}));
  auto player = installed_.Start(*desktop_, server.Url(""));
  const std::string window = MainWindow(*player);
  ASSERT_FALSE(window.empty());
  const std::string icon = TrayIcon(window);
  ASSERT_FALSE(icon.empty());

  // A key goes to the window with the focus: on a busy machine the focus may
  // still be on its way when the first one is typed, so it is typed again.
  bool hidden = false;
  for (int attempt = 0; attempt < 5 && !hidden; ++attempt) {
    desktop_->Key(window, "alt+F4");
    hidden = WaitFor([&] { return desktop_->VisibleWindows(player->Pid()).empty(); }, 10000);
  }
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(player->Running());

  desktop_->Click(icon, 8, 8);
  EXPECT_TRUE(WaitFor([&] { return !desktop_->VisibleWindows(player->Pid()).empty(); }));
  EXPECT_EQ(desktop_->VisibleWindows(player->Pid()), std::vector<std::string>{window});
}

TEST_F(E2eTest, TrayMenuOpensTheAboutWindowThatClosesAloneAndExitEndsTheProgram) {
  TestHttpServer server;
  installed_.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"One", server.Url("/1.mp3"), ""}}}}));
  auto player = installed_.Start(*desktop_, server.Url(""));
  const std::string window = MainWindow(*player);
  ASSERT_FALSE(window.empty());
  const std::string icon = TrayIcon(window);
  ASSERT_FALSE(icon.empty());

  const std::string menu = OpenTrayMenu(*player, icon, window);
  ASSERT_FALSE(menu.empty()) << "the tray menu did not open; log:\n" << installed_.Log();
  ClickControl(menu, "menutray.xml", "menu_about");
  const std::string about = NewWindow(*player, {window, menu});
  ASSERT_FALSE(about.empty()) << "the about window did not open; log:\n" << installed_.Log();
  ClickControl(about, "aboutDlg.xml", "closebtn");
  EXPECT_TRUE(WaitFor([&] { return desktop_->VisibleWindows(player->Pid()) == std::vector<std::string>{window}; }));
  EXPECT_TRUE(player->Running());

  const std::string secondMenu = OpenTrayMenu(*player, icon, window);
  ASSERT_FALSE(secondMenu.empty()) << "the tray menu did not open again; log:\n" << installed_.Log();
  ClickControl(secondMenu, "menutray.xml", "menu_exit");
  int status = -1;
  ASSERT_TRUE(player->WaitExit(kWaitMs, &status)) << "exit did not end the program";
  EXPECT_EQ(status, 0) << installed_.Log();
  EXPECT_TRUE(desktop_->WindowsNamed("Tarvoni").empty()) << "the tray icon stayed";
}

TEST_F(E2eTest, NextStartShowsTheCatalogueTheVendorPublished) {
  TestHttpServer server;
  installed_.WriteCatalogue(
      CatalogueXml({{TabNames()[0], "", "", {{"Old", server.Url("/old.mp3"), ""}}}}, 1));
  const std::string published = CatalogueXml({{TabNames()[0], "", "", {{"New", server.Url("/new.mp3"), ""}}}}, 2);
  server.Serve("/update/datams.dll", Scramble(published));
  const auto requested = [&server](const std::string& path) {
    for (const auto& request : server.Requests()) {
      if (request.path == path) return true;
    }
    return false;
  };

  auto player = installed_.Start(*desktop_, server.Url(""));
  std::string window = MainWindow(*player);
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] {
    std::string stored;
    return platform::ReadWholeFile(installed_.Path("datams.dll"), &stored) && stored == Scramble(published);
  })) << "the published catalogue did not replace the local one";
  // The running program keeps the catalogue it started with.
  const POINT row = RowCentre(0);
  desktop_->Click(window, row.x, row.y, 1, 2);
  EXPECT_TRUE(WaitFor([&] { return requested("/old.mp3"); }));
  ClickControl(window, "MusicBox.xml", "closebtn");
  int status = -1;
  ASSERT_TRUE(player->WaitExit(kWaitMs, &status));

  player = installed_.Start(*desktop_, server.Url(""));
  window = MainWindow(*player);
  ASSERT_FALSE(window.empty());
  desktop_->Click(window, row.x, row.y, 1, 2);
  EXPECT_TRUE(WaitFor([&] { return requested("/new.mp3"); })) << installed_.Log();
}

}  // namespace
}  // namespace apptest
