// The skin as built into the program folder: every layout builds from the
// archive and carries the names and classes the player looks up. Pictures
// of the three layouts are written beside the test (skin-MusicBox.png, …).
#include <gtest/gtest.h>

#include <memory>

#include "ui_test_window.h"
#include "uilib/ui_snapshot.h"

namespace {

class SkinTest : public testing::Test {
 protected:
  void SetUp() override {
    CPaintManagerUI::SetResourcePath(TARVONI_SKIN_FOLDER);
    CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);
  }

  // Builds `layout` from the archive in a window, saves its picture as
  // `picture` (when given) and expects nothing said on stderr meanwhile:
  // every image and font of the layout loads.
  std::unique_ptr<UiTestWindow> Open(const char* layout, const char* picture = nullptr) {
    std::string xml;
    EXPECT_TRUE(CPaintManagerUI::LoadResource(layout, &xml)) << layout;
    auto window = std::make_unique<UiTestWindow>(xml);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(window->Open());
    if (picture) {
      EXPECT_TRUE(SaveWindowPng(*window, picture));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << layout;
    return window;
  }

  // Each of `names` is found under its exact name and is of class `className`.
  static void ExpectControls(UiTestWindow& window, const char* className, const Strings& names) {
    for (const std::string& name : names) {
      CControlUI* found = window.Find(name.c_str());
      ASSERT_NE(found, nullptr) << name;
      EXPECT_STREQ(found->GetClass(), className) << name;
      EXPECT_EQ(found->GetName(), name.c_str()) << "names are matched exactly by some lookups";
    }
  }
};

TEST_F(SkinTest, MainWindowCarriesEveryControlThePlayerUses) {
  auto window = Open("MusicBox.xml", "skin-MusicBox.png");
  ExpectControls(*window, "SliderUI", {"VolumeSlider", "ProgressSlider"});
  ExpectControls(*window, "LabelUI", {"musiclength", "title", "maker", "desc"});
  ExpectControls(*window, "ButtonUI", {"play", "pause", "prev", "next", "closebtn", "minbtn", "playall", "website"});
  ExpectControls(*window, "VerticalLayoutUI", {"workspace"});
  ExpectControls(*window, "ListUI", {"musics"});
  ExpectControls(*window, "OptionUI", {"DjSorts1", "DjSorts2", "DjSorts3", "DjSorts4", "DjSorts5", "DjSorts6"});
  const char* const texts[] = {"中文舞曲", "英文舞曲", "慢摇串烧", "电音House", "车载DJ", "经典怀旧"};
  for (int i = 0; i < 6; ++i) {
    auto* option = window->Find<COptionUI>(("DjSorts" + std::to_string(i + 1)).c_str());
    EXPECT_STREQ(option->GetGroup(), "DjSorts");
    EXPECT_EQ(option->GetText(), texts[i]);
    EXPECT_FALSE(option->IsSelected()) << "selecting DjSorts1 at start must be a change, so that it fills the list";
  }
  EXPECT_TRUE(window->Find("play")->IsVisible());
  EXPECT_FALSE(window->Find("pause")->IsVisible());
  EXPECT_EQ(window->Find("workspace")->GetFixedHeight(), 222) << "the list's rows add to 222";
  EXPECT_TRUE(static_cast<CContainerUI*>(window->Find("workspace")->GetParent())->IsScrollEnabled())
      << "the workspace sits in a scrolling area";
  EXPECT_GT(window->manager().GetRoundCorner().cx, 0);
}

TEST_F(SkinTest, MenuAndAboutWindowCarryTheirControls) {
  ExpectControls(*Open("menutray.xml", "skin-menutray.png"), "ButtonUI", {"menu_about", "menu_exit"});
  ExpectControls(*Open("aboutDlg.xml", "skin-aboutDlg.png"), "ButtonUI", {"closebtn"});
}

TEST_F(SkinTest, ArchiveEntriesAreFoundWhateverTheCaseOrSeparator) {
  std::string exact;
  std::string folded;
  ASSERT_TRUE(CPaintManagerUI::LoadResource("img/logo.png", &exact));
  EXPECT_TRUE(CPaintManagerUI::LoadResource("IMG\\Logo.PNG", &folded)) << "names written for Windows";
  EXPECT_EQ(folded, exact);
  EXPECT_FALSE(CPaintManagerUI::LoadResource("absent.xml", &folded));
  CPaintManagerUI::SetResourceZip("Missing.dll");
  EXPECT_FALSE(CPaintManagerUI::LoadResource("MusicBox.xml", &folded));
}

// Rows built as the player builds them: the list grows the workspace, the
// rows alternate their two greys, and the picture shows a filled window.
TEST_F(SkinTest, TrackRowsAlternateTheirBackgroundsInTheMainWindow) {
  auto window = Open("MusicBox.xml");
  auto* list = window->Find<CListUI>("musics");
  const char* const titles[] = {"夜店舞曲 - 午夜狂欢 (DJ Remix)", "Summer Night House Mix", "慢摇串烧 第二季",
                                "车载低音炮 超重低音版", "经典怀旧 80年代串烧"};
  for (int i = 0; i < 12; ++i) AddTrackRow(list, titles[i % 5]);
  window->Find("workspace")->SetFixedHeight(12 * 30 + 222);
  window->Find("title")->SetText(titles[0]);
  window->Find("musiclength")->SetText("01:15 / 04:05");
  auto* progress = window->Find<CSliderUI>("ProgressSlider");
  progress->SetMidValue(progress->GetMaxValue() * 6 / 10);
  progress->SetValue(progress->GetMaxValue() * 3 / 10);
  list->SelectItem(2);
  Picture picture = Capture(*window);
  EXPECT_TRUE(SaveWindowPng(*window, "skin-MusicBox-rows.png"));
  RECT first = list->GetItemAt(0)->GetPos();
  RECT second = list->GetItemAt(1)->GetPos();
  // A spot of each row away from its text: inside the right inset.
  EXPECT_EQ(picture.At(first.right - 20, first.top + 3), 0xFFF5F5F5u);
  EXPECT_EQ(picture.At(second.right - 20, second.top + 3), 0xFFFAFAFAu);
  EXPECT_EQ(list->GetPos().bottom - list->GetPos().top, 360);
}

}  // namespace
