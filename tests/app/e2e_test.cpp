// The real program, as a user meets it: build/dist/tarvoni on an Xvfb
// desktop with trayer as the system tray, driven with xdotool, playing to
// SDL's disk sound driver, against an HTTP server in this process. The
// tests named WindowsE2eTest do the same with the Windows build's
// tarvoni.exe under Wine, its sound going to a PulseAudio null sink.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_harness.h"
#include "catalogue/catalogue_doc.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "support/mp3_fixture.h"
#include "uihost/skin_window.h"
#include "uilib/ui_snapshot.h"

// Last: Xlib's macros clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

extern char** environ;

namespace apptest {
namespace {

// Generous: the program is built with sanitizers and the machine is shared.
constexpr int kWaitMs = 60000;

bool WaitFor(const std::function<bool()>& done, int timeoutMs = kWaitMs) {
  const uint64_t deadline = platform::MonotonicMs() + static_cast<uint64_t>(timeoutMs);
  while (!done() && platform::MonotonicMs() < deadline) platform::SleepMs(100);
  return done();
}

// A program started by a test, ended (by its id) with this object if it still runs.
class ChildProcess {
 public:
  // Starts `argv`, looked up on PATH, with this process's environment and its
  // output going to `logPath`. `keepFd`, when not negative, becomes its descriptor 3.
  ChildProcess(const std::vector<std::string>& argv, const std::string& logPath, int keepFd = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (keepFd >= 0) posix_spawn_file_actions_adddup2(&actions, keepFd, 3);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    started_ = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ChildProcess() {
    if (!Running()) return;
    kill(pid_, SIGTERM);
    if (WaitExit(5000) < 0) kill(pid_, SIGKILL);
    WaitExit(5000);
  }

  bool Started() const { return started_; }
  pid_t Pid() const { return pid_; }
  bool Running() {
    int raw = 0;
    if (started_ && status_ < 0 && waitpid(pid_, &raw, WNOHANG) == pid_) {
      status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    }
    return started_ && status_ < 0;
  }
  // Waits up to `timeoutMs` for the end: the exit code, 128 + the signal that
  // ended it, or -1 while it still runs.
  int WaitExit(int timeoutMs) {
    WaitFor([&] { return !Running(); }, timeoutMs);
    return status_;
  }

 private:
  pid_t pid_ = 0;
  bool started_ = false;
  int status_ = -1;
};

// The seconds of sound (10 ms blocks louder than silence) in 16-bit PCM at
// 44,100 Hz, stereo, and their root mean square.
std::pair<double, double> MeasureSound(const int16_t* samples, size_t count) {
  constexpr size_t kBlock = 441 * 2;
  size_t loudBlocks = 0;
  double loudEnergy = 0;
  for (size_t at = 0; at + kBlock <= count; at += kBlock) {
    double energy = 0;
    for (size_t i = at; i < at + kBlock; ++i) energy += static_cast<double>(samples[i]) * samples[i];
    if (energy / kBlock < 100 * 100) continue;
    ++loudBlocks;
    loudEnergy += energy;
  }
  return {loudBlocks / 100.0, loudBlocks > 0 ? std::sqrt(loudEnergy / (loudBlocks * kBlock)) : 0};
}

// Where the controls of a skin layout lie in its window: the layout is built
// here on the offscreen driver and laid out at its own size, as the program
// lays it out on the desktop.
class LayoutProbe : public CWindowWnd {
 public:
  explicit LayoutProbe(LPCTSTR layout) : layout_(layout) {
    Create(nullptr, "", WS_POPUP, 0);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    CaptureWindow(m_hWnd, &pixels, &width, &height);
  }
  ~LayoutProbe() override { DestroyWindow(m_hWnd); }
  LPCTSTR GetWindowClassName() const override { return "LayoutProbe"; }
  RECT Place(LPCTSTR name) {
    CControlUI* control = m_pm.FindControl(name);
    EXPECT_NE(control, nullptr) << name << " in " << layout_.GetData();
    return control != nullptr ? control->GetPos() : RECT{0, 0, 0, 0};
  }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    LRESULT result = 0;
    // As the program's windows are made: without the system frame.
    if (uMsg == WM_CREATE) return uihost::AttachLayout(m_pm, m_hWnd, layout_, false, nullptr, nullptr) ? 0 : -1;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  }

 private:
  CStdString layout_;
  CPaintManagerUI m_pm;
};

// A desktop of the test's own and a program folder holding a copy of the
// real program (it finds its files beside the executable), the Brelix
// library and the skin.
class E2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Xvfb picks a free display itself and writes its number to descriptor 3.
    // It keeps running as it is when its last client leaves (-noreset): a
    // server that resets refuses the clients that come meanwhile. Its root
    // is black (-br), as is a window that has not painted yet.
    int displayPipe[2];
    ASSERT_EQ(pipe2(displayPipe, O_CLOEXEC), 0);
    xvfb_ = std::make_unique<ChildProcess>(std::vector<std::string>{"Xvfb", "-displayfd", "3", "-noreset", "-br",
                                                                    "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                                           logs_.Path("xvfb.log"), displayPipe[1]);
    close(displayPipe[1]);
    pollfd ready{displayPipe[0], POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, 30000) > 0 && read(displayPipe[0], &c, 1) == 1 && c != '\n') display_ += c;
    close(displayPipe[0]);
    if (!xvfb_->Started()) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it)";
    ASSERT_FALSE(display_.empty()) << "Xvfb did not start; see " << logs_.Path("xvfb.log");
    display_ = ":" + display_;
    x_ = XOpenDisplay(display_.c_str());
    ASSERT_NE(x_, nullptr);
    XSetErrorHandler([](::Display*, XErrorEvent*) { return 0; });  // a window that went away is no failure here
    ASSERT_FALSE(Xdotool({"version"}).empty()) << "xdotool is not installed (scripts/setup installs it)";
    trayer_ = std::make_unique<ChildProcess>(OnDesktop({"trayer", "--edge", "bottom", "--align", "right", "--widthtype",
                                                        "request", "--height", "32", "--transparent", "false"}),
                                             logs_.Path("trayer.log"));
    ASSERT_TRUE(WaitFor([&] { return HasSystemTray() || !trayer_->Running(); }) && trayer_->Running())
        << "trayer did not become the system tray; its output:\n"
        << Contents(logs_.Path("trayer.log"));

    mkdir(RuntimeFolder().c_str(), 0700);
    mkdir(folder_.Path("skin").c_str(), 0755);
    InstallProgram();
  }

  // Puts the program into the program folder: the Linux build's, with the
  // skin linked in (the folder holds the Brelix library already).
  virtual void InstallProgram() {
    std::string program;
    ASSERT_TRUE(platform::ReadWholeFile(TARVONI_PROGRAM, &program)) << TARVONI_PROGRAM;
    chmod(folder_.Write("tarvoni", program).c_str(), 0755);
    symlink(TARVONI_SKIN_FOLDER "DefaultSkin.dll", folder_.Path("skin/DefaultSkin.dll").c_str());
  }
  virtual std::string ProgramPath() const { return folder_.Path("tarvoni"); }
  // How `program` runs, and the variables it needs to play: its sound goes
  // to SoundPath().
  virtual std::vector<std::string> ProgramCommand(const std::string& program) const { return {program}; }
  virtual std::vector<std::string> SoundVariables() const {
    return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + SoundPath()};
  }
  // The xdotool search conditions that find the player's windows.
  virtual std::vector<std::string> OfThePlayer() const { return {"--pid", std::to_string(player_->Pid())}; }
  // Where an installed player keeps its files in the user's folders.
  virtual std::vector<std::string> UsersFoldersOfThePlayer() const {
    return {home_.Path(".local/share/tarvoni"), home_.Path(".cache/tarvoni"), home_.Path(".config/tarvoni")};
  }
  // The tray icons shown now: windows named as the program that are none of its own windows.
  virtual std::vector<std::string> TrayIcons() const {
    std::vector<std::string> icons = Xdotool({"search", "--name", "^Tarvoni$"});
    const std::vector<std::string> windows = VisibleWindows();
    std::erase_if(icons, [&](const std::string& w) { return std::find(windows.begin(), windows.end(), w) != windows.end(); });
    return icons;
  }
  // The player's tray icon, once it shows; empty if none came.
  std::string WaitForTrayIcon() {
    std::string icon;
    WaitFor([&] {
      const std::vector<std::string> icons = TrayIcons();
      if (!icons.empty()) icon = icons.front();
      return !icon.empty();
    });
    return icon;
  }
  // Searches for the player's windows with xdotool's `conditions`.
  std::vector<std::string> PlayerSearch(const std::vector<std::string>& conditions) const {
    std::vector<std::string> search = {"search", "--all", "--onlyvisible"};
    const std::vector<std::string> player = OfThePlayer();
    search.insert(search.end(), player.begin(), player.end());
    search.insert(search.end(), conditions.begin(), conditions.end());
    return search;
  }

  ~E2eTest() override {
    if (x_ != nullptr) XCloseDisplay(x_);
  }

  // `argv` run on this desktop with no SDL driver chosen, the test's own home
  // folder, and the variables `extra` ("NAME=value").
  std::vector<std::string> OnDesktop(const std::vector<std::string>& argv, std::vector<std::string> extra = {}) {
    extra.insert(extra.begin(), {"env", "-u", "SDL_VIDEODRIVER", "-u", "SDL_AUDIODRIVER", "-u", "DBUS_SESSION_BUS_ADDRESS",
                                 "-u", "XDG_DATA_HOME", "-u",
                                 "XDG_CACHE_HOME", "-u", "XDG_CONFIG_HOME", "DISPLAY=" + display_,
                                 "HOME=" + home_.Folder(), "XDG_RUNTIME_DIR=" + RuntimeFolder()});
    extra.insert(extra.end(), argv.begin(), argv.end());
    return extra;
  }
  bool HasSystemTray() const {
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x_));
    return XGetSelectionOwner(x_, XInternAtom(x_, selection.c_str(), False)) != None;
  }
  // Whether `window` has painted, and so laid out, its content: its centre is no longer black.
  bool Painted(const std::string& window) const {
    XImage* image = XGetImage(x_, std::stoul(window), 450, 320, 1, 1, AllPlanes, ZPixmap);
    const bool painted = image != nullptr && XGetPixel(image, 0, 0) != 0;
    if (image != nullptr) XDestroyImage(image);
    return painted;
  }
  static std::string Contents(const std::string& path) {
    std::string log;
    platform::ReadWholeFile(path, &log);
    return log;
  }

  // Runs xdotool with `arguments` (window ids, numbers, patterns and key
  // names, quoted whole) on this desktop: the lines it printed, none when it failed.
  std::vector<std::string> Xdotool(const std::vector<std::string>& arguments) const {
    std::string command = "DISPLAY=" + display_ + " xdotool";
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    FILE* output = popen((command + " 2>/dev/null").c_str(), "r");
    if (output == nullptr) return {};
    std::vector<std::string> lines;
    char line[4096];
    while (fgets(line, sizeof line, output) != nullptr) lines.emplace_back(line, strcspn(line, "\n"));
    if (pclose(output) != 0) lines.clear();
    return lines;
  }
  std::vector<std::string> VisibleWindows() const { return Xdotool(PlayerSearch({})); }
  // The first window found by the xdotool search `arguments` that is none of
  // `known`; empty when none came within `timeoutMs`.
  std::string WaitForWindow(const std::vector<std::string>& arguments, const std::vector<std::string>& known = {},
                            int timeoutMs = kWaitMs) {
    std::string found;
    WaitFor(
        [&] {
          for (const std::string& w : Xdotool(arguments)) {
            if (found.empty() && std::find(known.begin(), known.end(), w) == known.end()) found = w;
          }
          return !found.empty();
        },
        timeoutMs);
    return found;
  }

  // Writes a catalogue of one category whose tracks are titled `titles` at
  // "/<title>.mp3" and starts the program: its main window, once it shows.
  std::string StartOnRows(const std::vector<std::string>& titles) {
    CategoryEntry category{TabNames()[0], {}};
    for (const std::string& title : titles) category.tracks.push_back({title, server_.Url("/" + title + ".mp3"), ""});
    folder_.WriteCatalogue(CatalogueXml({category}));
    return Start();
  }
  // Starts the program (by default the copy in the program folder), its
  // sound going to the file "sound.raw" of the home folder: its main window,
  // once it shows. `asUser` runs it through setpriv or the like.
  std::string Start(const std::string& program = "", const std::vector<std::string>& asUser = {}) {
    std::vector<std::string> command = asUser;
    const std::vector<std::string> run = ProgramCommand(program.empty() ? ProgramPath() : program);
    command.insert(command.end(), run.begin(), run.end());
    std::vector<std::string> variables = SoundVariables();
    variables.push_back("TARVONI_VENDOR_BASE_URL=" + server_.Url(""));
    player_ = std::make_unique<ChildProcess>(OnDesktop(command, variables), logs_.Path("tarvoni.log"));
    // --all (in PlayerSearch): xdotool's search otherwise takes windows that
    // meet any one condition, the tray icon (named as the program) among them.
    const std::string window = WaitForWindow(PlayerSearch({"--name", "^Tarvoni$"}));
    // Clicks that come before the first paint find no controls where they land.
    EXPECT_TRUE(!window.empty() && WaitFor([&] { return Painted(window); }))
        << "the main window did not appear or paint; log:\n"
        << PlayerLog();
    return window;
  }
  std::string PlayerLog() const { return Contents(logs_.Path("tarvoni.log")); }
  std::string SoundPath() const { return home_.Path("sound.raw"); }
  // The user's runtime folder, where the running player holds its claim.
  std::string RuntimeFolder() const { return home_.Path("run"); }
  // The seconds of sound the player made so far.
  double SecondsHeard() const {
    const std::string sound = Contents(SoundPath());
    return MeasureSound(reinterpret_cast<const int16_t*>(sound.data()), sound.size() / 2).first;
  }

  // Right-clicks the tray icon until the menu shows: on a loaded machine a
  // click can land while the program is still settling the focus of the
  // window closed just before. The menu window, or empty.
  std::string OpenTrayMenu(const std::string& icon, const std::string& mainWindow) {
    std::string menu;
    for (int attempt = 0; attempt < 3 && menu.empty(); ++attempt) {
      Click(icon, 8, 8, 3);
      menu = WaitForWindow(PlayerSearch({}), {mainWindow}, 15000);
    }
    return menu;
  }
  // Clicks `button` (1 left, 3 right) `count` times at x, y of `window`.
  void Click(const std::string& window, int x, int y, int button = 1, int count = 1) const {
    Xdotool({"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "--repeat",
             std::to_string(count), "--delay", "120", std::to_string(button)});
  }
  void ClickControl(const std::string& window, LPCTSTR layout, LPCTSTR control) {
    const RECT rc = LayoutProbe(layout).Place(control);
    Click(window, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
  }
  void DoubleClickRow(const std::string& window, int index) {
    const RECT list = LayoutProbe("MusicBox.xml").Place("musics");
    Click(window, list.left + 120, list.top + index * 30 + 15, 1, 2);
  }
  bool Requested(const std::string& path) const {
    const auto requests = server_.Requests();
    return std::any_of(requests.begin(), requests.end(), [&](const auto& request) { return request.path == path; });
  }

  // What a user does and meets, the same with either build of the program.
  void DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts();
  void AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits();
  void NextStartShowsTheCatalogueTheVendorPublished();
  void SecondStartShowsTheRunningPlayersWindowAndEndsWithZero();
  void AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack();

  testsupport::TempDir logs_;
  testsupport::TempDir home_;  // the user's home folder
  std::string display_;
  ::Display* x_ = nullptr;  // this test's own connection to the desktop
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> trayer_;  // ended before the display it runs on
  ProgramFolder folder_;
  testsupport::TestHttpServer server_;
  std::unique_ptr<ChildProcess> player_;
};

// The Windows build (build-windows/dist, made by scripts/build-windows) run
// under Wine in the build's own Wine prefix, on the same desktop. Its sound
// goes to a PulseAudio server of the test's own with a null sink as its only
// output; parec records the sink's monitor into SoundPath(). Wine's desktop
// process stays on the display it started on, so each test starts and ends
// the prefix's Wine server, and the tests run one at a time.
class WindowsE2eTest : public E2eTest {
 protected:
  void SetUp() override {
    EndWine();
    E2eTest::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    PinWineAudioToPulse();
    // The sink before the socket: a client that finds the socket finds the sink.
    pulse_ = std::make_unique<ChildProcess>(
        OnDesktop({"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--use-pid-file=no",
                   "--disable-shm=yes", "--realtime=no", "--high-priority=no", "-L",
                   "module-null-sink sink_name=heard rate=44100 format=s16le channels=2", "-L",
                   "module-native-protocol-unix auth-anonymous=1 socket=" + PulseSocket()}),
        logs_.Path("pulseaudio.log"));
    ASSERT_TRUE(WaitFor([&] { return platform::PathExists(PulseSocket()) || !pulse_->Running(); }, 20000) &&
                pulse_->Running())
        << "pulseaudio did not start; its output:\n" << Contents(logs_.Path("pulseaudio.log"));
    recorder_ = std::make_unique<ChildProcess>(
        OnDesktop({"sh", "-c", "exec parec --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 "
                               "--device=heard.monitor >'" + SoundPath() + "'"},
                  {"PULSE_SERVER=unix:" + PulseSocket()}),
        logs_.Path("parec.log"));
    // The sink plays silence while nothing else plays: once that is being
    // recorded, everything played after it will be.
    ASSERT_TRUE(WaitFor([&] { return !Contents(SoundPath()).empty() || !recorder_->Running(); }, 20000) &&
                recorder_->Running())
        << "parec records nothing; its output:\n" << Contents(logs_.Path("parec.log"));
  }
  // The player first, while its sound server is still there.
  void TearDown() override {
    player_.reset();
    EndWine();
    recorder_.reset();
    pulse_.reset();
  }

  void InstallProgram() override {
    for (const char* file : {"tarvoni.exe", "brelix.dll", "skin/DefaultSkin.dll"}) {
      std::string bytes;
      ASSERT_TRUE(platform::ReadWholeFile(std::string(TARVONI_WINDOWS_DIST) + file, &bytes))
          << TARVONI_WINDOWS_DIST << file << " is missing: scripts/build-windows makes it";
      folder_.Write(file, bytes);
    }
  }
  std::string ProgramPath() const override { return folder_.Path("tarvoni.exe"); }
  std::vector<std::string> ProgramCommand(const std::string& program) const override {
    return {"WINEPREFIX=" TARVONI_SOURCE_DIR "/build-windows/wine", TARVONI_SOURCE_DIR "/scripts/wine-run", program};
  }
  std::vector<std::string> SoundVariables() const override { return {"PULSE_SERVER=unix:" + PulseSocket()}; }
  // Wine marks the windows with the process that runs the program: the
  // child of the time limit scripts/wine-run puts on it, once it is there.
  std::vector<std::string> OfThePlayer() const override {
    std::string pid;
    WaitFor([&] {
      FILE* children = popen(("pgrep -P " + std::to_string(player_->Pid())).c_str(), "r");
      if (children == nullptr) return false;
      char line[32];
      if (fgets(line, sizeof line, children) != nullptr) pid.assign(line, strcspn(line, "\n"));
      pclose(children);
      return !pid.empty();
    });
    return {"--pid", pid.empty() ? "0" : pid};
  }
  // Wine's desktop process (explorer.exe) shows the icons docked in the tray.
  std::vector<std::string> TrayIcons() const override {
    return Xdotool({"search", "--onlyvisible", "--classname", "^explorer\\.exe$"});
  }

  std::vector<std::string> UsersFoldersOfThePlayer() const override {
    const std::string profile = TARVONI_SOURCE_DIR "/build-windows/wine/drive_c/users/" + UserName() + "/";
    return {profile + "AppData/Local/tarvoni", profile + "AppData/Roaming/tarvoni"};
  }
  // Wine names the profile after the Unix user.
  static std::string UserName() {
    const passwd* user = getpwuid(getuid());
    return user != nullptr ? user->pw_name : "root";
  }

  std::string PulseSocket() const { return home_.Path("pulse-native"); }
  // Ends the Wine server of the build's prefix and every Windows process on it.
  static void EndWine() {
    std::system("WINEPREFIX='" TARVONI_SOURCE_DIR "/build-windows/wine' wineserver -k >/dev/null 2>&1");
    std::system("WINEPREFIX='" TARVONI_SOURCE_DIR "/build-windows/wine' wineserver -w >/dev/null 2>&1");
  }
  // Wine's sound goes through PulseAudio (not ALSA's default device). Run
  // on this test's desktop: the first Windows program starts Wine's desktop
  // process on the display it has.
  void PinWineAudioToPulse() {
    const std::string command = "DISPLAY=" + display_ + " WINEPREFIX='" TARVONI_SOURCE_DIR "/build-windows/wine' '" +
                                std::string(TARVONI_SOURCE_DIR) +
                                "/scripts/wine-run' reg add 'HKCU\\Software\\Wine\\Drivers' /v Audio /d pulse /f "
                                ">/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "cannot set Wine's audio driver";
  }

  std::unique_ptr<ChildProcess> pulse_;
  std::unique_ptr<ChildProcess> recorder_;
};

// The volume is set before any track plays, so the track that then starts
// must take it from the slider.
void E2eTest::DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts() {
  const testsupport::Mp3Fixture track = testsupport::EncodeMp3({.seconds = 3});
  server_.Serve("/first.mp3", track.bytes);
  server_.Inject("/second.mp3", testsupport::Fault::kStallHeaders);
  const std::string window = StartOnRows({"first", "second"});
  ASSERT_FALSE(window.empty());

  ClickControl(window, "MusicBox.xml", "VolumeSlider");  // half way along: about -15 dB
  DoubleClickRow(window, 0);
  // The next row's start is fetched while the first ends; it starts when the first has ended.
  ASSERT_TRUE(WaitFor([&] { return Xdotool({"getwindowname", window}) == std::vector<std::string>{"正在播放-second"}; }))
      << PlayerLog();
  EXPECT_TRUE(Requested("/second.mp3"));
  // The output keeps running on silence, which pushes what was played into the file.
  platform::SleepMs(1500);
  const std::string sound = Contents(SoundPath());
  const auto [seconds, rms] = MeasureSound(reinterpret_cast<const int16_t*>(sound.data()), sound.size() / 2);
  EXPECT_NEAR(seconds, 3.0, 0.15);
  const double level = rms / MeasureSound(track.pcm.data(), track.pcm.size()).second;
  EXPECT_TRUE(level > 0.08 && level < 0.4) << level;

  server_.ReleaseStalls();
  ClickControl(window, "MusicBox.xml", "closebtn");
  EXPECT_EQ(player_->WaitExit(kWaitMs), 0) << PlayerLog();
}

void E2eTest::AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits() {
  const std::string window = StartOnRows({"one"});
  ASSERT_FALSE(window.empty());
  const std::string icon = WaitForTrayIcon();
  ASSERT_FALSE(icon.empty()) << "no tray icon";

  // A key goes to the window with the focus: on a busy machine the focus may
  // still be on its way when the first one is typed, so it is typed again,
  // after a click on the empty part of the list (with no window manager,
  // Wine takes a click as the sure sign that a window is the active one).
  const RECT list = LayoutProbe("MusicBox.xml").Place("musics");
  bool hidden = false;
  for (int attempt = 0; attempt < 5 && !hidden; ++attempt) {
    Xdotool({"windowfocus", window});
    if (attempt > 0) Click(window, (list.left + list.right) / 2, list.bottom - 10);
    platform::SleepMs(200);
    Xdotool({"key", "alt+F4"});
    hidden = WaitFor([&] { return VisibleWindows().empty(); }, 10000);
  }
  EXPECT_TRUE(hidden);
  EXPECT_TRUE(player_->Running());
  Click(icon, 8, 8);
  EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == std::vector<std::string>{window}; }));

  const std::string menu = OpenTrayMenu(icon, window);
  ASSERT_FALSE(menu.empty()) << "the tray menu did not open; log:\n" << PlayerLog();
  ClickControl(menu, "menutray.xml", "menu_about");
  const std::string about = WaitForWindow(PlayerSearch({}), {window, menu});
  ASSERT_FALSE(about.empty()) << "the about window did not open; log:\n" << PlayerLog();
  ClickControl(about, "aboutDlg.xml", "closebtn");
  EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == std::vector<std::string>{window}; }));

  const std::string secondMenu = OpenTrayMenu(icon, window);
  ASSERT_FALSE(secondMenu.empty()) << "the tray menu did not open again; log:\n" << PlayerLog();
  ClickControl(secondMenu, "menutray.xml", "menu_exit");
  EXPECT_EQ(player_->WaitExit(kWaitMs), 0) << PlayerLog();
  EXPECT_TRUE(TrayIcons().empty()) << "the tray icon stayed";
}

void E2eTest::NextStartShowsTheCatalogueTheVendorPublished() {
  const std::string published = CatalogueXml({{TabNames()[0], {{"new", server_.Url("/new.mp3"), ""}}}}, 2);
  server_.Serve("/update/datams.dll", Scramble(published));
  std::string window = StartOnRows({"old"});
  ASSERT_FALSE(window.empty());
  ASSERT_TRUE(WaitFor([&] { return Contents(folder_.Path("datams.dll")) == Scramble(published); }))
      << "the published catalogue did not replace the local one";
  ClickControl(window, "MusicBox.xml", "closebtn");
  ASSERT_EQ(player_->WaitExit(kWaitMs), 0);

  window = Start();
  ASSERT_FALSE(window.empty());
  DoubleClickRow(window, 0);
  EXPECT_TRUE(WaitFor([&] { return Requested("/new.mp3"); })) << PlayerLog();
  // A writable program folder keeps everything beside the program.
  EXPECT_TRUE(platform::PathExists(folder_.Path("cache/data_cache.dll")));
  for (const std::string& folder : UsersFoldersOfThePlayer()) {
    EXPECT_FALSE(platform::PathExists(folder)) << "nothing in the user's folders: " << folder;
  }
}

// The files of a program folder the player may not write to are read where
// they are; what it writes goes to the user's folders. Root may write
// anywhere, so as root the player runs as the user "nobody".
TEST_F(E2eTest, ReadOnlyProgramFolderPlaysWithItsFilesInTheUsersFolders) {
  const testsupport::Mp3Fixture track = testsupport::EncodeMp3({.seconds = 2});
  server_.Serve("/first.mp3", track.bytes);
  server_.Inject("/second.mp3", testsupport::Fault::kStallHeaders);
  CategoryEntry category{TabNames()[0],
                         {{"first", server_.Url("/first.mp3"), ""}, {"second", server_.Url("/second.mp3"), ""}}};
  folder_.WriteCatalogue(CatalogueXml({category}));
  const std::string shipped = Contents(folder_.Path("datams.dll"));
  std::vector<std::string> asUser;
  if (geteuid() == 0) {
    asUser = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    ASSERT_EQ(chown(home_.Folder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(RuntimeFolder().c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(folder_.Path("").c_str(), 0755), 0);
  } else {
    ASSERT_EQ(chmod(folder_.Path("").c_str(), 0555), 0);
  }
  const std::string window = Start("", asUser);
  ASSERT_FALSE(window.empty());
  DoubleClickRow(window, 0);
  ASSERT_TRUE(WaitFor([&] { return Xdotool({"getwindowname", window}) == std::vector<std::string>{"正在播放-second"}; }))
      << PlayerLog();
  platform::SleepMs(1500);
  EXPECT_NEAR(SecondsHeard(), 2.0, 0.15) << PlayerLog();

  EXPECT_TRUE(platform::PathExists(home_.Path(".cache/tarvoni/data_cache.dll"))) << PlayerLog();
  CCatalogueDoc catalogue;
  ASSERT_TRUE(catalogue.LoadFile(home_.Path(".local/share/tarvoni/datams.dll"), true)) << "seeded from the shipped one";
  std::string title, src, time;
  ASSERT_TRUE(catalogue.GetTrackAt(TabNames()[0], 0, &title, &src, &time));
  EXPECT_EQ(time, "00:02") << "the duration learnt is written there";
  EXPECT_EQ(Contents(folder_.Path("datams.dll")), shipped);
  EXPECT_FALSE(platform::PathExists(folder_.Path("cache")));
  server_.ReleaseStalls();
  chmod(folder_.Path("").c_str(), 0700);
}

// `cmake --install` into a prefix of its own: bin/tarvoni finds the skin and
// Brelix there, and keeps the user's catalogue when it is newer than the
// shipped one.
TEST_F(E2eTest, InstalledPlayerFindsItsSkinAndBrelixAndKeepsTheUsersNewerCatalogue) {
  testsupport::TempDir prefix;
  const std::string install = "'" CMAKE_COMMAND "' --install '" TARVONI_BUILD_DIR "' --prefix '" + prefix.Folder() +
                              "' >'" + logs_.Path("install.log") + "' 2>&1";
  ASSERT_EQ(std::system(install.c_str()), 0) << Contents(logs_.Path("install.log"));
  for (const char* file : {"bin/brelix-info", "share/applications/tarvoni.desktop", "share/man/man1/tarvoni.1",
                           "share/icons/hicolor/48x48/apps/tarvoni.png", "share/tarvoni/datams.dll"}) {
    EXPECT_TRUE(platform::PathExists(prefix.Path(file))) << file;
  }
  const testsupport::Mp3Fixture track = testsupport::EncodeMp3({.seconds = 2});
  server_.Serve("/first.mp3", track.bytes);
  server_.Inject("/second.mp3", testsupport::Fault::kStallHeaders);
  const std::string users = Scramble(CatalogueXml(
      {{TabNames()[0], {{"first", server_.Url("/first.mp3"), ""}, {"second", server_.Url("/second.mp3"), ""}}}}, 90));
  ASSERT_TRUE(platform::CreateFolders(home_.Path(".local/share/tarvoni"), nullptr));
  home_.Write(".local/share/tarvoni/datams.dll", users);

  const std::string window = Start(prefix.Path("bin/tarvoni"));
  ASSERT_FALSE(window.empty());
  DoubleClickRow(window, 0);
  ASSERT_TRUE(WaitFor([&] { return Xdotool({"getwindowname", window}) == std::vector<std::string>{"正在播放-second"}; }))
      << PlayerLog();
  platform::SleepMs(1500);
  EXPECT_NEAR(SecondsHeard(), 2.0, 0.15) << PlayerLog();
  server_.ReleaseStalls();
}

// A second start shows the window of the one running, hidden in the tray,
// and ends without a window or a tray icon of its own.
void E2eTest::SecondStartShowsTheRunningPlayersWindowAndEndsWithZero() {
  const std::string window = StartOnRows({"one"});
  ASSERT_FALSE(window.empty());
  ASSERT_FALSE(WaitForTrayIcon().empty()) << "no tray icon";
  ClickControl(window, "MusicBox.xml", "minbtn");
  ASSERT_TRUE(WaitFor([&] { return VisibleWindows().empty(); })) << PlayerLog();

  ChildProcess second(OnDesktop(ProgramCommand(ProgramPath())), logs_.Path("second.log"));
  EXPECT_EQ(second.WaitExit(kWaitMs), 0) << Contents(logs_.Path("second.log"));
  EXPECT_EQ(Contents(logs_.Path("second.log")), "tarvoni: already running; its window is shown\n");
  EXPECT_TRUE(WaitFor([&] { return VisibleWindows() == std::vector<std::string>{window}; }));
  EXPECT_EQ(TrayIcons().size(), 1u) << "one tray icon";
  EXPECT_TRUE(player_->Running());
}


// A row whose server cannot be reached is reported and skipped; the next
// one plays, and its real duration replaces "03:30" in the catalogue.
void E2eTest::AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack() {
  const testsupport::Mp3Fixture track = testsupport::EncodeMp3({.seconds = 2});
  server_.Serve("/reachable.mp3", track.bytes);
  server_.Inject("/last.mp3", testsupport::Fault::kStallHeaders);
  CategoryEntry category{TabNames()[0],
                         {{"unreachable", "http://127.0.0.1:1/unreachable.mp3", ""},
                          {"reachable", server_.Url("/reachable.mp3"), ""},
                          {"last", server_.Url("/last.mp3"), ""}}};
  folder_.WriteCatalogue(CatalogueXml({category}));
  const std::string window = Start();
  ASSERT_FALSE(window.empty());
  DoubleClickRow(window, 0);
  ASSERT_TRUE(WaitFor([&] { return Xdotool({"getwindowname", window}) == std::vector<std::string>{"正在播放-last"}; }))
      << PlayerLog();
  platform::SleepMs(1500);
  EXPECT_NEAR(SecondsHeard(), 2.0, 0.15) << "the reachable track, once";
  CCatalogueDoc catalogue;
  ASSERT_TRUE(catalogue.LoadFile(folder_.Path("datams.dll"), true));
  std::string title, src, time;
  ASSERT_TRUE(catalogue.GetTrackAt(TabNames()[0], 1, &title, &src, &time));
  EXPECT_EQ(title, "reachable");
  EXPECT_EQ(time, "00:02");
  ASSERT_TRUE(catalogue.GetTrackAt(TabNames()[0], 0, &title, &src, &time));
  EXPECT_EQ(time, "") << "nothing learnt of the unreachable row";
  server_.ReleaseStalls();
  ClickControl(window, "MusicBox.xml", "closebtn");
  EXPECT_EQ(player_->WaitExit(kWaitMs), 0) << PlayerLog();
}

TEST_F(E2eTest, DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts) { DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts(); }
TEST_F(E2eTest, AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits) { AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits(); }
TEST_F(E2eTest, NextStartShowsTheCatalogueTheVendorPublished) { NextStartShowsTheCatalogueTheVendorPublished(); }
TEST_F(E2eTest, SecondStartShowsTheRunningPlayersWindowAndEndsWithZero) { SecondStartShowsTheRunningPlayersWindowAndEndsWithZero(); }
TEST_F(E2eTest, AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack) { AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack(); }
TEST_F(WindowsE2eTest, DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts) { DoubleClickedRowPlaysToItsEndAtTheSlidersVolumeAndTheNextRowStarts(); }
TEST_F(WindowsE2eTest, AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits) { AltF4HidesToTheTrayItsIconBringsItBackAndItsMenuOpensAboutThatClosesAloneAndExits(); }
TEST_F(WindowsE2eTest, NextStartShowsTheCatalogueTheVendorPublished) { NextStartShowsTheCatalogueTheVendorPublished(); }
TEST_F(WindowsE2eTest, SecondStartShowsTheRunningPlayersWindowAndEndsWithZero) { SecondStartShowsTheRunningPlayersWindowAndEndsWithZero(); }
TEST_F(WindowsE2eTest, AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack) { AnUnreachableRowIsSkippedAndThePlayedTracksDurationIsWrittenBack(); }

}  // namespace
}  // namespace apptest
