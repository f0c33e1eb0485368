#include "app_harness.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "catalogue/catalogue_doc.h"
#include "platform/dynlib.h"
#include "platform/sync.h"

namespace apptest {
namespace {

std::string Attribute(const char* name, const std::string& value) {
  return value.empty() ? std::string() : " " + std::string(name) + "=\"" + value + "\"";
}

}  // namespace

std::string CatalogueXml(const std::vector<CategoryEntry>& categories, int version) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalogue>\n";
  for (const CategoryEntry& category : categories) {
    xml += "  <l" + Attribute("name", category.name) + Attribute("maker", category.maker) +
           Attribute("desc", category.desc) + ">\n";
    for (const TrackEntry& track : category.tracks) {
      xml += "    <t" + Attribute("src", track.src) + Attribute("time", track.time) + ">" + track.title + "</t>\n";
    }
    xml += "  </l>\n";
  }
  xml += "</catalogue>\n<version>" + std::to_string(version) + "</version>\n<end/>\n";
  return xml;
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
  const std::string library = dir_.Path(platform::SharedLibraryFileName("brelix"));
  EXPECT_EQ(symlink(BRELIX_LIBRARY_PATH, library.c_str()), 0) << "cannot link " << BRELIX_LIBRARY_PATH;
}

void ProgramFolder::WriteCatalogue(const std::string& xml) const { dir_.Write("datams.dll", Scramble(xml)); }

MusicBoxHarness::MusicBoxHarness(const ProgramFolder& folder, const std::string& vendorBaseUrl) {
  box_ = new CMusicBox(MusicBoxSettings{folder.Path(), vendorBaseUrl});
  window_ = box_->Create(nullptr, "", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0, nullptr);
  // A window that could not be made has deleted its object, or never had one to delete it.
  if (window_ == nullptr) ADD_FAILURE() << "the main window could not be created";
  PumpFor(50);
}

MusicBoxHarness::~MusicBoxHarness() {
  if (window_ != nullptr && IsWindow(window_)) DestroyWindow(window_);
  PumpFor(20);
}

CListUI& MusicBoxHarness::List() { return *ControlOf<CListUI>("musics"); }

std::vector<std::string> MusicBoxHarness::RowTexts(int index) {
  std::vector<std::string> texts;
  auto* layout = dynamic_cast<CContainerUI*>(dynamic_cast<CContainerUI*>(Row(index))->GetItemAt(0));
  for (int i = 0; i < layout->GetCount(); ++i) texts.push_back(layout->GetItemAt(i)->GetText().str());
  return texts;
}

void MusicBoxHarness::Click(LPCTSTR name) {
  CControlUI* control = Control(name);
  ASSERT_NE(control, nullptr) << name;
  Manager().SendNotify(control, "click");
}

void MusicBoxHarness::Activate(int index) {
  CControlUI* row = Row(index);
  ASSERT_NE(row, nullptr) << "row " << index;
  dynamic_cast<IListItemUI*>(row)->Select();
  Manager().SendNotify(row, "itemactivate");
}

void MusicBoxHarness::EngineMessage(uint32_t type, uint32_t value) {
  ::SendMessage(window_, kEngineMessage, value, static_cast<LPARAM>(type));
}

bool MusicBoxHarness::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
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

void MusicBoxHarness::PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

bool MusicBoxHarness::PumpUntilQuit(int timeoutMs) {
  PumpUntil([] { return false; }, timeoutMs);
  return quitPosted_;
}

}  // namespace apptest
