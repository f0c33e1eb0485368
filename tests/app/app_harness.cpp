#include "app_harness.h"

#include <unistd.h>

#include "catalogue/catalogue_doc.h"
#include "platform/dynlib.h"
#include "platform/sync.h"

namespace apptest {

std::string CatalogueXml(const std::vector<CategoryEntry>& categories, int version) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalogue>\n";
  for (const CategoryEntry& category : categories) {
    xml += "  <l name=\"" + category.name + "\" maker=\"" + category.maker + "\" desc=\"" + category.desc + "\">\n";
    for (const TrackEntry& track : category.tracks) {
      xml += "    <t src=\"" + track.src + "\" time=\"" + track.time + "\">" + track.title + "</t>\n";
    }
    xml += "  </l>\n";
  }
  return xml + "</catalogue>\n<version>" + std::to_string(version) + "</version>\n<end/>\n";
}

std::string Scramble(const std::string& text) {
  std::string stored(text.size(), '\0');
  CCatalogueDoc::ScrambleBytes(text.data(), text.size(), stored.data(), catalogue::kCatalogueKey);
  return stored;
}

const std::vector<std::string>& TabNames() {
  static const std::vector<std::string> names = {"中文舞曲", "英文舞曲", "慢摇串烧", "电音House", "车载DJ", "经典怀旧"};
  return names;
}

ProgramFolder::ProgramFolder() {
  const std::string library = Path(platform::SharedLibraryFileName("brelix"));
  EXPECT_EQ(symlink(BRELIX_LIBRARY_PATH, library.c_str()), 0) << "cannot link " << BRELIX_LIBRARY_PATH;
}

MainWindowTest::~MainWindowTest() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  PumpFor(20);
}

void MainWindowTest::Open(const std::vector<CategoryEntry>& categories) {
  if (!categories.empty()) folder_.WriteCatalogue(CatalogueXml(categories));
  box_ = new CMusicBox(MusicBoxSettings{PortableFolders(folder_.Path()), server_.Url("")});
  window_ = box_->Create(nullptr, "", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0, nullptr);
  // A window that could not be made has deleted its object.
  ASSERT_NE(window_, nullptr) << "the main window could not be created";
  PumpFor(50);
}

void MainWindowTest::OpenRows(const std::vector<std::string>& titles) {
  CategoryEntry category{TabNames()[0], {}};
  for (const std::string& title : titles) category.tracks.push_back({title, server_.Url("/" + title + ".mp3"), ""});
  Open({category});
}

void MainWindowTest::Click(LPCTSTR name) { box_->PaintManager().SendNotify(Control(name), "click"); }

void MainWindowTest::Activate(int index) {
  CControlUI* row = List().GetItemAt(index);
  dynamic_cast<IListItemUI*>(row)->Select();
  box_->PaintManager().SendNotify(row, "itemactivate");
}

void MainWindowTest::EngineMessage(uint32_t type, uint32_t value) {
  ::SendMessage(window_, kEngineMessage, value, static_cast<LPARAM>(type));
}

bool MainWindowTest::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const uint64_t deadline = platform::MonotonicMs() + static_cast<uint64_t>(timeoutMs);
  while (!done()) {
    if (quitPosted_ || platform::MonotonicMs() > deadline) return false;
    // A burst of messages (one per KiB downloaded) is handled before
    // sleeping, each followed by a look at `done`.
    for (int i = 0; i < 200; ++i) {
      if (!CPaintManagerUI::PumpMessages()) {
        quitPosted_ = true;
        CPaintManagerUI::MessageLoop();
        return done();
      }
      if (done()) return true;
    }
    platform::SleepMs(1);
  }
  return true;
}

}  // namespace apptest
