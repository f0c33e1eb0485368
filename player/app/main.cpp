// Tarvoni: the entry point. Sets up the skin, opens the main window and runs
// the message loop until the player quits.
#include <cstdio>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/music_box.h"
#include "catalogue/catalogue_file.h"
#include "platform/console.h"
#include "platform/instance.h"
#include "platform/paths.h"

namespace {

// Ends the process at once. The engine and update threads are still running
// and are never told; ending here runs no destructor under them. A catalogue
// replacement in progress is let finish first, so the file is left whole.
[[noreturn]] void EndProcess(int code) {
  const std::lock_guard<std::mutex> catalogueWrites(catalogue::CatalogueFileLock());
  std::fflush(nullptr);
  std::_Exit(code);
}

constexpr char kUsageText[] =
    "usage: tarvoni [--help | --version]\n"
    "\n"
    "  Plays the dance tracks of the catalogue while they download, in a window\n"
    "  of its own and from the system tray. Without a display it cannot start.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// The main window, for a later start that asks it to show itself.
std::atomic<HWND> g_mainWindow{nullptr};

// Makes this the user's one running player. When another one runs, it is
// asked to show its window and this process ends: 0 when it did, 1 when it
// did not answer. Where no claim can be made the player runs anyway.
std::unique_ptr<platform::SingleInstance> ClaimTheOnlyPlayer(const PlayerFolders& folders) {
  std::string folder = platform::UserFolderPath(platform::UserFolder::kRuntime);
  if (folder.empty()) folder = folders.cacheFolder;
  if (folder.empty()) return nullptr;
  platform::SingleInstance::Outcome outcome;
  std::string error;
  auto claim = platform::SingleInstance::Claim(
      folder, "tarvoni",
      [] {
        if (HWND window = g_mainWindow.load()) ::PostMessage(window, kShowMessage, 0, 0);
      },
      &outcome, &error);
  switch (outcome) {
    case platform::SingleInstance::Outcome::kFirst:
      break;
    case platform::SingleInstance::Outcome::kOtherAnswered:
      std::printf("tarvoni: already running; its window is shown\n");
      EndProcess(0);
    case platform::SingleInstance::Outcome::kOtherSilent:
      std::fprintf(stderr, "tarvoni: another tarvoni is running (claimed in %s) but does not answer\n", folder.c_str());
      EndProcess(1);
    case platform::SingleInstance::Outcome::kUnavailable:
      std::fprintf(stderr, "tarvoni: cannot make sure this is the only player running (%s)\n", error.c_str());
      break;
  }
  return claim;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::StartConsoleProgram(argc, argv);
  if (!arguments.empty()) {
    const std::string& option = arguments[0];
    if (option == "--help" && arguments.size() == 1) {
      std::fputs(kUsageText, stdout);
      return 0;
    }
    if (option == "--version" && arguments.size() == 1) {
      std::printf("tarvoni %s\n", TARVONI_VERSION);
      return 0;
    }
    std::fprintf(stderr, "tarvoni: unknown argument %s\n%s", option.c_str(), kUsageText);
    return 2;
  }
  if (!HaveDisplay()) {
    std::fprintf(stderr, "tarvoni: no display to show the player on (is DISPLAY set to a running X server?)\n");
    return 1;
  }
  CPaintManagerUI::SetInstance(nullptr);
  MusicBoxSettings settings = DefaultMusicBoxSettings();
  std::unique_ptr<platform::SingleInstance> onlyPlayer = ClaimTheOnlyPlayer(settings.folders);
  const CStdString skinFolder(settings.folders.skinFolder);
  CPaintManagerUI::SetResourcePath(skinFolder);
  CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);

  auto* musicBox = new CMusicBox(std::move(settings));
  if (musicBox->Create(nullptr, "", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0, nullptr) == nullptr) {
    std::fprintf(stderr, "tarvoni: cannot open the main window (its layout MusicBox.xml is read from %sDefaultSkin.dll)\n",
                 skinFolder.GetData());
    EndProcess(1);
  }
  musicBox->CenterWindow();
  ShowWindow(*musicBox, SW_SHOWNORMAL);
  g_mainWindow.store(*musicBox);
  musicBox->OfferMediaControls();
  CPaintManagerUI::MessageLoop();
  // The claim's socket goes with it; the process then ends at once.
  onlyPlayer.reset();
  EndProcess(0);
}
