// Control behaviour that the player leans on: lists and scrolling areas.
#include <gtest/gtest.h>

#include "ui_test_window.h"

namespace {

// A row that counts its own destruction.
class CountedRow : public CListContainerElementUI {
 public:
  explicit CountedRow(int* alive) : alive_(alive) { ++*alive_; }
  ~CountedRow() override { --*alive_; }

 private:
  int* alive_;
};

class ControlsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Open());
    list_ = window_.Find<CListUI>("list");
    area_ = window_.Find<CContainerUI>("area");
  }
  // Rows of 30 pixels with user data "row<i>".
  void AddRows(int count) {
    for (int i = 0; i < count; ++i) {
      auto* row = new CountedRow(&alive_);
      row->SetFixedHeight(30);
      row->SetUserData(("row" + std::to_string(list_->GetCount())).c_str());
      list_->Add(row);
    }
    // The list is as tall as its rows, inside the scrolling area.
    list_->SetFixedHeight(list_->GetCount() * 30);
    window_.manager().UpdateLayout();
  }
  IListItemUI* Row(int index) { return static_cast<IListItemUI*>(list_->GetItemAt(index)->GetInterface("ListItem")); }

  // Rows alive; declared first, so that it outlives the window's rows.
  int alive_ = 0;
  UiTestWindow window_{R"(<Window size="300,200"><VerticalLayout>
        <VerticalLayout name="area" vscrollbar="true"><List name="list"/></VerticalLayout>
      </VerticalLayout></Window>)"};
  CListUI* list_ = nullptr;
  CContainerUI* area_ = nullptr;
};

TEST_F(ControlsTest, RemovingRowsFreesThemAndKeepsTheSelectionOnItsRow) {
  AddRows(5);
  EXPECT_EQ(alive_, 5);
  list_->SelectItem(3);
  list_->RemoveAt(1);
  EXPECT_EQ(alive_, 4);
  EXPECT_EQ(list_->GetCurSel(), 2) << "the selected row moved up with the rows after the removed one";
  EXPECT_EQ(list_->GetItemAt(2)->GetUserData(), "row3");
  EXPECT_EQ(Row(2)->GetIndex(), 2);
  EXPECT_TRUE(Row(2)->IsSelected());

  list_->RemoveAt(2);
  EXPECT_EQ(list_->GetCurSel(), -1) << "removing the selected row leaves none selected";
  list_->RemoveAll();
  EXPECT_EQ(alive_, 0);
  EXPECT_EQ(list_->GetCount(), 0);
}

// Selecting through a row or through the list is the same, and a selected
// row out of sight is scrolled into it.
TEST_F(ControlsTest, SelectingThroughTheRowOrTheListIsTheSameAndBringsTheRowIntoSight) {
  AddRows(20);
  ASSERT_GT(area_->GetScrollRange().cy, 0);
  EXPECT_EQ(list_->GetCurSel(), -1);
  Row(19)->Select();
  EXPECT_EQ(list_->GetCurSel(), 19);
  window_.manager().UpdateLayout();
  const RECT& row = list_->GetItemAt(19)->GetPos();
  EXPECT_LE(row.bottom, area_->GetPos().bottom);
  EXPECT_GE(row.top, area_->GetPos().top);
  EXPECT_FALSE(list_->SelectItem(20)) << "no such row";
  list_->SelectItem(0);
  EXPECT_FALSE(Row(19)->IsSelected());
  window_.manager().UpdateLayout();
  EXPECT_EQ(area_->GetScrollPos().cy, 0);
  Row(0)->Select(false);
  EXPECT_EQ(list_->GetCurSel(), -1);
}

TEST_F(ControlsTest, WheelAndScrollBarThumbScrollTheAreaHoldingTheRows) {
  AddRows(30);
  POINT screen = CenterOf(list_->GetItemAt(2));
  ClientToScreen(window_, &screen);
  window_.SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-WHEEL_DELTA)) << 16,
                      MAKELPARAM(screen.x, screen.y));
  EXPECT_GT(area_->GetScrollPos().cy, 0) << "the wheel over a row scrolls the area holding it";

  area_->SetScrollPos(SIZE{0, 0});
  window_.manager().UpdateLayout();
  const RECT& pos = area_->GetPos();
  POINT thumb{pos.right - 6, pos.top + 10};
  window_.Mouse(WM_MOUSEMOVE, thumb);
  window_.Mouse(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
  window_.Mouse(WM_MOUSEMOVE, POINT{thumb.x, pos.bottom + 200}, MK_LBUTTON);
  window_.Mouse(WM_LBUTTONUP, POINT{thumb.x, pos.bottom + 200});
  EXPECT_EQ(area_->GetScrollPos().cy, area_->GetScrollRange().cy) << "dragged to the end";
}

}  // namespace
