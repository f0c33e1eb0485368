// Tarvoni: the entry point. Sets up the skin, opens the main window and runs
// the message loop until the player quits.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>

#include "app/music_box.h"
#include "catalogue/catalogue_file.h"

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

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    const std::string option = argv[1];
    if (option == "--help" && argc == 2) {
      std::fputs(kUsageText, stdout);
      return 0;
    }
    if (option == "--version" && argc == 2) {
      std::printf("tarvoni %s\n", TARVONI_VERSION);
      return 0;
    }
    std::fprintf(stderr, "tarvoni: unknown argument %s\n%s", argv[1], kUsageText);
    return 2;
  }
  if (!HaveDisplay()) {
    std::fprintf(stderr, "tarvoni: no display to show the player on (is DISPLAY set to a running X server?)\n");
    return 1;
  }
  CPaintManagerUI::SetInstance(nullptr);
  MusicBoxSettings settings = DefaultMusicBoxSettings();
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
  CPaintManagerUI::MessageLoop();
  EndProcess(0);
}
