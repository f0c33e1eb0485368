// Tarvoni: the entry point. Sets up the skin, opens the main window and runs
// the message loop until the player quits.
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "app/music_box.h"
#include "catalogue/catalogue_file.h"
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

}  // namespace

int main() {
  CPaintManagerUI::SetInstance(nullptr);
  const CStdString skinFolder = CPaintManagerUI::GetInstancePath() + "skin" + CStdString(platform::kPathSeparator);
  CPaintManagerUI::SetResourcePath(skinFolder);
  CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);

  auto* musicBox = new CMusicBox(DefaultMusicBoxSettings());
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
