// Start-up and the track list: the rows built from the catalogue, the tabs,
// and a program folder without a catalogue.
#include "app_harness.h"

namespace apptest {
namespace {

using TrackListTest = MainWindowTest;

// The texts of a row's three labels: number, title, time.
std::vector<std::string> RowTexts(CListUI& list, int index) {
  std::vector<std::string> texts;
  auto* layout = dynamic_cast<CContainerUI*>(dynamic_cast<CContainerUI*>(list.GetItemAt(index))->GetItemAt(0));
  for (int i = 0; i < layout->GetCount(); ++i) texts.push_back(layout->GetItemAt(i)->GetText().str());
  return texts;
}

TEST_F(TrackListTest, StartUpListsTheFirstTabNumberedFromOneInAlternatingColoursAndTabsFindTheirCategoryInAnyCase) {
  Open({{TabNames()[0],
         {{"Neon Drive", server_.Url("/a.mp3"), "04:05"},
          {"无时长", server_.Url("/b.mp3"), ""},
          {"Odd Time", server_.Url("/c.mp3"), "三分钟"}},
         "DJ Lin",
         "夜店热播"},
        // Spelled in another case than the tab's text.
        {"电音HOUSE", {{"Deep One", server_.Url("/d.mp3"), "02:00"}}, "DJ Mo", ""}});

  ASSERT_EQ(List().GetCount(), 3);
  EXPECT_EQ(RowTexts(List(), 0), (std::vector<std::string>{"1", "Neon Drive", "04:05"}));
  // No time yet, or a time that does not start with a digit: the placeholder.
  EXPECT_EQ(RowTexts(List(), 1), (std::vector<std::string>{"2", "无时长", "03:30"}));
  EXPECT_EQ(RowTexts(List(), 2), (std::vector<std::string>{"3", "Odd Time", "03:30"}));
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(List().GetItemAt(row)->GetBkColor(), row % 2 == 0 ? 0xFFF5F5F5u : 0xFFFAFAFAu) << row;
    EXPECT_EQ(List().GetItemAt(row)->GetFixedHeight(), 30);
  }
  EXPECT_EQ(Control("workspace")->GetFixedHeight(), 3 * 30 + 222);
  EXPECT_EQ(Control("maker")->GetText(), "制作人: DJ Lin");
  EXPECT_EQ(Control("desc")->GetText(), "夜店热播");
  EXPECT_EQ(Control("category")->GetText(), TabNames()[0].c_str());
  // The update asks the vendor's server for the published catalogue.
  ASSERT_TRUE(server_.WaitForRequestCount(1));
  EXPECT_EQ(server_.Requests()[0].path, "/update/datams.dll");

  ControlOf<COptionUI>("DjSorts4")->Selected(true);  // "电音House"
  ASSERT_EQ(List().GetCount(), 1);
  EXPECT_EQ(RowTexts(List(), 0), (std::vector<std::string>{"1", "Deep One", "02:00"}));
  EXPECT_EQ(Control("workspace")->GetFixedHeight(), 30 + 222);
  EXPECT_EQ(Control("maker")->GetText(), "制作人: DJ Mo");
  ControlOf<COptionUI>("DjSorts2")->Selected(true);  // not in the catalogue
  EXPECT_EQ(List().GetCount(), 0);
  EXPECT_EQ(Control("workspace")->GetFixedHeight(), 222);
}

TEST_F(TrackListTest, MissingCatalogueGivesAnEmptyListNoWorkersAndNoNetwork) {
  Open({});
  PumpFor(500);
  EXPECT_EQ(List().GetCount(), 0);
  EXPECT_FALSE(box_->EngineStarted());
  Click("play");  // finds no row to start
  EXPECT_EQ(TrackUrl(), "");
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
}  // namespace apptest
