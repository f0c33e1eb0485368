// Control behaviour that the player leans on: lists, options, progress
// markers, focus and keys, notifier and filter order.
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
    window_ = std::make_unique<UiTestWindow>(R"(<Window size="300,200"><VerticalLayout>
        <Option name="a" group="g" height="20"/><Option name="b" group="g" height="20"/>
        <Progress name="bar" height="10" max="200"/>
        <VerticalLayout name="area" vscrollbar="true"><List name="list"/></VerticalLayout>
      </VerticalLayout></Window>)");
    ASSERT_TRUE(window_->Open());
    list_ = static_cast<CListUI*>(window_->Find("list"));
  }
  void TearDown() override {
    if (IsWindow(*window_)) DestroyWindow(*window_);
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
    window_->manager().UpdateLayout();
  }

  // Rows alive; declared first, so that it outlives the window's rows.
  int alive_ = 0;
  std::unique_ptr<UiTestWindow> window_;
  CListUI* list_ = nullptr;
};

TEST_F(ControlsTest, RemovingRowsFreesThemAndKeepsTheSelectionOnItsRow) {
  AddRows(5);
  EXPECT_EQ(alive_, 5);
  list_->SelectItem(3);
  list_->RemoveAt(1);
  EXPECT_EQ(alive_, 4);
  EXPECT_EQ(list_->GetCurSel(), 2) << "the selected row moved up with the rows after the removed one";
  EXPECT_EQ(list_->GetItemAt(2)->GetUserData(), "row3");
  auto* item = static_cast<IListItemUI*>(list_->GetItemAt(2)->GetInterface("ListItem"));
  EXPECT_EQ(item->GetIndex(), 2);
  EXPECT_TRUE(item->IsSelected());

  list_->RemoveAt(2);
  EXPECT_EQ(list_->GetCurSel(), -1) << "removing the selected row leaves none selected";
  list_->RemoveAll();
  EXPECT_EQ(alive_, 0);
  EXPECT_EQ(list_->GetCount(), 0);
  EXPECT_EQ(list_->GetCurSel(), -1);
}

TEST_F(ControlsTest, SelectingThroughTheRowOrTheListIsTheSame) {
  AddRows(3);
  auto* first = static_cast<IListItemUI*>(list_->GetItemAt(0)->GetInterface("ListItem"));
  auto* last = static_cast<IListItemUI*>(list_->GetItemAt(2)->GetInterface("ListItem"));
  EXPECT_EQ(list_->GetCurSel(), -1);
  first->Select();
  EXPECT_EQ(list_->GetCurSel(), 0);
  last->Select();
  EXPECT_EQ(list_->GetCurSel(), 2);
  EXPECT_FALSE(first->IsSelected());
  EXPECT_FALSE(list_->SelectItem(3)) << "no such row";
  EXPECT_EQ(list_->GetCurSel(), 2);
  last->Select(false);
  EXPECT_EQ(list_->GetCurSel(), -1);
}

TEST_F(ControlsTest, SelectingARowOutOfSightScrollsTheAreaAroundTheList) {
  AddRows(20);
  auto* area = static_cast<CContainerUI*>(window_->Find("area"));
  ASSERT_GT(area->GetScrollRange().cy, 0);
  list_->SelectItem(19);
  window_->manager().UpdateLayout();
  const RECT& row = list_->GetItemAt(19)->GetPos();
  EXPECT_LE(row.bottom, area->GetPos().bottom);
  EXPECT_GE(row.top, area->GetPos().top);
  list_->SelectItem(0);
  window_->manager().UpdateLayout();
  EXPECT_EQ(area->GetScrollPos().cy, 0);
}

TEST_F(ControlsTest, ArrowKeysMoveTheSelectionOfTheFocusedList) {
  AddRows(4);
  window_->Click(CenterOf(list_->GetItemAt(1)));
  window_->SendMessage(WM_KEYDOWN, VK_DOWN, 1);
  window_->SendMessage(WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(list_->GetCurSel(), 3);
  window_->SendMessage(WM_KEYDOWN, VK_DOWN, 1);
  EXPECT_EQ(list_->GetCurSel(), 3) << "the last row stays";
  window_->SendMessage(WM_KEYDOWN, VK_HOME, 1);
  EXPECT_EQ(list_->GetCurSel(), 0);
  window_->notifications().clear();
  window_->SendMessage(WM_KEYDOWN, VK_RETURN, 1);
  ASSERT_EQ(window_->NotificationTypes(), std::vector<std::string>{"itemactivate"});
  EXPECT_EQ(window_->notifications()[0].sender->GetUserData(), "row0");
}

TEST_F(ControlsTest, OptionsLeavingTheirGroupAreForgotten) {
  auto* a = static_cast<COptionUI*>(window_->Find("a"));
  auto* root = static_cast<CContainerUI*>(window_->manager().GetRoot());
  a->Selected(true);
  root->Remove(a);
  ASSERT_EQ(window_->manager().GetOptionGroup("g")->size(), 1u);
  auto* b = static_cast<COptionUI*>(window_->Find("b"));
  b->Selected(true);
  EXPECT_TRUE(b->IsSelected());
  b->SetGroup("other");
  EXPECT_EQ(window_->manager().GetOptionGroup("g"), nullptr);
  EXPECT_EQ(window_->manager().GetOptionGroup("other")->size(), 1u);
}

TEST_F(ControlsTest, ProgressKeepsBothMarkersInsideItsRange) {
  auto* bar = static_cast<CProgressUI*>(window_->Find("bar"));
  EXPECT_EQ(bar->GetMaxValue(), 200);
  bar->SetValue(250);
  EXPECT_EQ(bar->GetValue(), 200);
  bar->SetMidValue(-5);
  EXPECT_EQ(bar->GetMidValue(), 0);
  bar->SetMidValue(120);
  EXPECT_EQ(bar->GetMidValue(), 120);
  bar->SetMaxValue(100);
  EXPECT_EQ(bar->GetValue(), 100) << "a smaller range pulls the value in";
}

// Notifies in turn, recording who was told.
class Recorder : public INotifyUI {
 public:
  Recorder(std::vector<std::string>* log, std::string name) : log_(log), name_(std::move(name)) {}
  void Notify(TNotifyUI& msg) override {
    log_->push_back(name_ + ":" + msg.sType.str());
    if (onNotify) onNotify();
  }
  std::function<void()> onNotify;

 private:
  std::vector<std::string>* log_;
  std::string name_;
};

TEST_F(ControlsTest, NotifiersAreToldInTheOrderTheyJoinedAndMayLeaveWhileTold) {
  std::vector<std::string> log;
  Recorder first(&log, "first");
  Recorder second(&log, "second");
  CPaintManagerUI& manager = window_->manager();
  manager.RemoveNotifier(window_.get());
  manager.AddNotifier(&first);
  manager.AddNotifier(&second);
  EXPECT_FALSE(manager.AddNotifier(&first)) << "a notifier joins once";
  first.onNotify = [&] { manager.RemoveNotifier(&second); };
  manager.SendNotify(nullptr, "click");
  manager.SendNotify(nullptr, "menu");
  EXPECT_EQ(log, (std::vector<std::string>{"first:click", "first:menu"}));
  manager.RemoveNotifier(&first);
}

// Consumes the keys it is given.
class KeyFilter : public IMessageFilterUI {
 public:
  explicit KeyFilter(WPARAM key) : key_(key) {}
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool& handled) override {
    seen.push_back(uMsg);
    if (uMsg == WM_KEYDOWN && wParam == key_) handled = true;
    return 0;
  }
  std::vector<UINT> seen;

 private:
  WPARAM key_;
};

TEST_F(ControlsTest, PreMessageFiltersSeeQueuedMessagesFirstAndCanEndThem) {
  KeyFilter escape(VK_ESCAPE);
  window_->manager().AddPreMessageFilter(&escape);
  window_->messages().clear();
  window_->PostMessage(WM_KEYDOWN, VK_ESCAPE, 1);
  window_->PostMessage(WM_KEYDOWN, 'A', 1);
  PumpUntil([&] { return escape.seen.size() >= 2; });
  PumpPending();
  EXPECT_EQ(window_->messages(), std::vector<UINT>{WM_KEYDOWN}) << "only the key the filter let pass reached the window";
  escape.seen.clear();
  window_->SendMessage(WM_KEYDOWN, VK_ESCAPE, 1);
  EXPECT_TRUE(escape.seen.empty()) << "a sent message goes straight to the window";
  window_->manager().RemovePreMessageFilter(&escape);
}

TEST_F(ControlsTest, HiddenOrDisabledControlsLoseTheFocus) {
  auto* a = window_->Find("a");
  a->SetFocus();
  EXPECT_EQ(window_->manager().GetFocus(), a);
  a->SetVisible(false);
  EXPECT_EQ(window_->manager().GetFocus(), nullptr);
  auto* b = window_->Find("b");
  b->SetEnabled(false);
  b->SetFocus();
  EXPECT_EQ(window_->manager().GetFocus(), nullptr);
}

TEST_F(ControlsTest, ScrollBarThumbDragsTheArea) {
  AddRows(30);
  auto* area = static_cast<CContainerUI*>(window_->Find("area"));
  const RECT& pos = area->GetPos();
  POINT thumb{pos.right - 6, pos.top + 10};
  window_->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(thumb.x, thumb.y));
  window_->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(thumb.x, thumb.y));
  window_->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(thumb.x, pos.bottom + 200));
  window_->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(thumb.x, pos.bottom + 200));
  EXPECT_EQ(area->GetScrollPos().cy, area->GetScrollRange().cy) << "dragged to the end";
}

}  // namespace
