// The skin as built into the program folder: every layout builds from the
// archive and carries the names and classes the player looks up. Pictures
// of the three layouts are written beside the test (skin-MusicBox.png, …).
#include <gtest/gtest.h>

#include "ui_test_window.h"
#include "uilib/ui_snapshot.h"

namespace {

struct Expected {
  const char* name;
  const char* className;
};

class SkinTest : public testing::Test {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetResourcePath(TARVONI_SKIN_FOLDER);
    CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);
  }

  // Builds `layout` from the archive in a window and saves its picture as
  // `picture` (when given); the stderr said meanwhile goes to `said`.
  UiTestWindow* Open(const char* layout, std::string* said, const char* picture = nullptr) {
    std::string xml;
    EXPECT_TRUE(CPaintManagerUI::LoadResource(layout, &xml)) << layout;
    auto* window = new UiTestWindow(xml);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->Open());
    if (picture) EXPECT_TRUE(SaveWindowPng(*window, picture));
    *said = testing::internal::GetCapturedStderr();
    return window;
  }

  void ExpectControls(UiTestWindow& window, const std::vector<Expected>& expected) {
    for (const Expected& control : expected) {
      CControlUI* found = window.Find(control.name);
      ASSERT_NE(found, nullptr) << control.name;
      EXPECT_STREQ(found->GetClass(), control.className) << control.name;
      EXPECT_EQ(found->GetName(), control.name) << "names are matched exactly by some lookups";
    }
  }

  void Close(UiTestWindow* window) {
    DestroyWindow(*window);
    delete window;
  }
};

TEST_F(SkinTest, MainWindowCarriesEveryControlThePlayerUses) {
  std::string said;
  UiTestWindow* window = Open("MusicBox.xml", &said, "skin-MusicBox.png");
  EXPECT_EQ(said, "") << "every image and font of the layout loads";
  ExpectControls(*window, {{"VolumeSlider", "SliderUI"},
                           {"ProgressSlider", "SliderUI"},
                           {"musiclength", "LabelUI"},
                           {"title", "LabelUI"},
                           {"maker", "LabelUI"},
                           {"desc", "LabelUI"},
                           {"play", "ButtonUI"},
                           {"pause", "ButtonUI"},
                           {"prev", "ButtonUI"},
                           {"next", "ButtonUI"},
                           {"workspace", "VerticalLayoutUI"},
                           {"musics", "ListUI"},
                           {"closebtn", "ButtonUI"},
                           {"minbtn", "ButtonUI"},
                           {"playall", "ButtonUI"},
                           {"website", "ButtonUI"}});
  const char* const texts[] = {"中文舞曲", "英文舞曲", "慢摇串烧", "电音House", "车载DJ", "经典怀旧"};
  for (int i = 0; i < 6; ++i) {
    std::string name = "DjSorts" + std::to_string(i + 1);
    auto* option = static_cast<COptionUI*>(window->Find(name.c_str()));
    ASSERT_NE(option, nullptr) << name;
    EXPECT_STREQ(option->GetClass(), "OptionUI");
    EXPECT_STREQ(option->GetGroup(), "DjSorts");
    EXPECT_EQ(option->GetText(), texts[i]);
    EXPECT_FALSE(option->IsSelected()) << "selecting DjSorts1 at start must be a change, so that it fills the list";
  }
  EXPECT_TRUE(window->Find("play")->IsVisible());
  EXPECT_FALSE(window->Find("pause")->IsVisible());
  EXPECT_EQ(window->Find("workspace")->GetFixedHeight(), 222) << "the list's rows add to 222";
  // The workspace sits in a scrolling area.
  auto* area = static_cast<CContainerUI*>(window->Find("workspace")->GetParent());
  EXPECT_TRUE(area->IsScrollEnabled());
  EXPECT_GT(window->manager().GetCaptionRect().bottom, 0);
  EXPECT_GT(window->manager().GetRoundCorner().cx, 0);
  Close(window);
}

// Rows built as the player builds them: the list grows the workspace, the
// rows alternate their two greys, and the picture shows a filled window.
TEST_F(SkinTest, TrackRowsAlternateTheirBackgroundsInTheMainWindow) {
  std::string said;
  UiTestWindow* window = Open("MusicBox.xml", &said);
  auto* list = static_cast<CListUI*>(window->Find("musics"));
  const char* const titles[] = {"夜店舞曲 - 午夜狂欢 (DJ Remix)", "Summer Night House Mix", "慢摇串烧 第二季",
                                "车载低音炮 超重低音版", "经典怀旧 80年代串烧"};
  for (int i = 0; i < 12; ++i) {
    auto* row = new CListContainerElementUI;
    row->ApplyAttributeList(i % 2 == 0 ? "height=\"30\" inset=\"0,0,50,0\" bkcolor=\"#FFf5f5f5\""
                                       : "height=\"30\" inset=\"0,0,50,0\" bkcolor=\"#FFfAfAfA\"");
    auto* line = new CHorizontalLayoutUI;
    row->Add(line);
    auto* number = new CLabelUI;
    number->ApplyAttributeList("align=\"center\" mouse=\"false\" textcolor=\"#FFFC9505\" width=\"70\"");
    number->SetText(std::to_string(i + 1).c_str());
    line->Add(number);
    auto* title = new CLabelUI;
    title->ApplyAttributeList("name=\"songname\" align=\"left\" mouse=\"false\" textcolor=\"#FF666666\"");
    title->SetText(titles[i % 5]);
    line->Add(title);
    auto* time = new CLabelUI;
    time->ApplyAttributeList("align=\"right\" mouse=\"false\" textcolor=\"#FF666666\" width=\"60\"");
    time->SetText(i == 3 ? "03:30" : "04:05");
    line->Add(time);
    list->Add(row);
  }
  window->Find("workspace")->SetFixedHeight(12 * 30 + 222);
  window->Find("title")->SetText(titles[0]);
  window->Find("musiclength")->SetText("01:15 / 04:05");
  auto* progress = static_cast<CSliderUI*>(window->Find("ProgressSlider"));
  progress->SetMidValue(progress->GetMaxValue() * 6 / 10);
  progress->SetValue(progress->GetMaxValue() * 3 / 10);
  list->SelectItem(2);
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  ASSERT_TRUE(CaptureWindow(*window, &pixels, &w, &h));
  SaveWindowPng(*window, "skin-MusicBox-rows.png");
  RECT first = list->GetItemAt(0)->GetPos();
  RECT second = list->GetItemAt(1)->GetPos();
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * w + x)]; };
  // A spot of each row away from its text: inside the right inset.
  EXPECT_EQ(at(first.right - 20, first.top + 3), 0xFFF5F5F5u);
  EXPECT_EQ(at(second.right - 20, second.top + 3), 0xFFFAFAFAu);
  EXPECT_EQ(list->GetPos().bottom - list->GetPos().top, 360);
  Close(window);
}

TEST_F(SkinTest, MenuAndAboutWindowCarryTheirControls) {
  std::string said;
  UiTestWindow* menu = Open("menutray.xml", &said, "skin-menutray.png");
  EXPECT_EQ(said, "");
  ExpectControls(*menu, {{"menu_about", "ButtonUI"}, {"menu_exit", "ButtonUI"}});
  Close(menu);
  UiTestWindow* about = Open("aboutDlg.xml", &said, "skin-aboutDlg.png");
  EXPECT_EQ(said, "");
  ExpectControls(*about, {{"closebtn", "ButtonUI"}});
  Close(about);
}

TEST_F(SkinTest, CaptionBandHoldsNoSliderAndItsButtonsAreButtons) {
  std::string said;
  UiTestWindow* window = Open("MusicBox.xml", &said);
  const RECT& caption = window->manager().GetCaptionRect();
  RECT client;
  GetClientRect(*window, &client);
  int buttons = 0;
  int draggable = 0;
  for (int x = client.left + caption.left; x < client.right - caption.right; x += 4) {
    for (int y = caption.top; y < caption.bottom; y += 4) {
      CControlUI* control = window->manager().FindControl(POINT{x, y});
      ASSERT_NE(control, nullptr);
      EXPECT_STRNE(control->GetClass(), "SliderUI");
      if (std::string(control->GetClass()) == "ButtonUI") ++buttons;
      else ++draggable;
    }
  }
  EXPECT_GT(buttons, 0);
  EXPECT_GT(draggable, buttons) << "most of the band drags the window";
  Close(window);
}

}  // namespace
