#include <gtest/gtest.h>

#include "ui_test_window.h"

namespace {

// Lays out `xml` in a w x h client area without a window.
class LayoutTest : public testing::Test {
 protected:
  void Lay(const std::string& xml, int w, int h) {
    CDialogBuilder builder;
    manager_.AttachDialog(builder.CreateFromText(xml, "layout.xml", &manager_));
    manager_.SetInitSize(w, h);
    manager_.UpdateLayout();
  }
  CControlUI* Find(const char* name) { return manager_.FindControl(name); }
  void ExpectRect(const char* name, RECT expected) {
    const RECT& rc = Find(name)->GetPos();
    EXPECT_TRUE(rc.left == expected.left && rc.top == expected.top && rc.right == expected.right &&
                rc.bottom == expected.bottom)
        << name << ": " << rc.left << "," << rc.top << "," << rc.right << "," << rc.bottom;
  }
  CControlUI* At(int x, int y) { return manager_.FindControl(POINT{x, y}); }

  CPaintManagerUI manager_;
};

TEST_F(LayoutTest, NestedRowsAndColumnsShareWhatFixedChildrenLeave) {
  Lay(R"(<Window><VerticalLayout inset="10,10,10,10" childpadding="5">
      <HorizontalLayout name="top" height="40" childpadding="4">
        <Control name="fixedA" width="50"/><Control name="stretchA"/><Control name="stretchB"/>
        <Control name="fixedB" width="30" padding="2,3,4,5"/>
        <Button name="float" float="true" pos="20,30,60,50"/>
      </HorizontalLayout>
      <VerticalLayout name="middle"><Control name="inner" height="20"/><Control name="rest"/></VerticalLayout>
      <Control name="hidden" height="100" visible="false"/>
      <Control name="bottom" height="25"/>
    </VerticalLayout></Window>)",
      400, 300);
  ExpectRect("top", {10, 10, 390, 50});
  ExpectRect("fixedA", {10, 10, 60, 50});
  // 380 wide: 50 + 30 + 2 + 4 padding + 3 gaps of 4 = 98 fixed, 282 for two;
  // the floating child takes no share.
  ExpectRect("stretchA", {64, 10, 205, 50});
  ExpectRect("stretchB", {209, 10, 350, 50});
  ExpectRect("fixedB", {356, 13, 386, 45});
  // 280 tall: 40 + 25 + 2 gaps of 5; the hidden child takes nothing.
  ExpectRect("middle", {10, 55, 390, 260});
  ExpectRect("inner", {10, 55, 390, 75});
  ExpectRect("rest", {10, 75, 390, 260});
  ExpectRect("bottom", {10, 265, 390, 290});
  // A floating child sits at its offset from its parent, above its siblings.
  ExpectRect("float", {30, 40, 70, 60});
  EXPECT_EQ(At(35, 45), Find("float"));
}

TEST_F(LayoutTest, PointsFindTheTopmostControlThatTakesTheMouse) {
  Lay(R"(<Window caption="0,0,0,40"><VerticalLayout name="root">
      <HorizontalLayout name="bar" height="40">
        <Label name="caption" text="title" mouse="false"/>
        <Label name="badge" width="50"/>
        <Button name="closebtn" width="40"/>
      </HorizontalLayout>
      <HorizontalLayout name="body" mouse="false"><Slider name="slider" height="20"/><Control name="pad" visible="false"/></HorizontalLayout>
    </VerticalLayout></Window>)",
      300, 200);
  EXPECT_EQ(manager_.GetCaptionRect().bottom, 40);
  EXPECT_EQ(At(10, 10), Find("bar")) << "a label that ignores the mouse leaves it to its parent";
  EXPECT_EQ(At(230, 10), Find("badge"));
  EXPECT_STREQ(At(280, 10)->GetClass(), "ButtonUI");
  EXPECT_STREQ(At(150, 45)->GetClass(), "SliderUI");
  EXPECT_EQ(At(150, 150), Find("root")) << "a container ignoring the mouse passes it up";
  EXPECT_EQ(At(400, 10), nullptr);
}

// The player's workspace: as tall as its rows, inside a scrolling area
// below a fixed band.
TEST_F(LayoutTest, WorkspaceGrowsWithItsListAndScrollsOnlyInsideItsArea) {
  Lay(R"(<Window><VerticalLayout><Control name="band" height="50"/>
      <VerticalLayout name="area" vscrollbar="true">
        <VerticalLayout name="workspace" height="222"><Control height="222"/><List name="musics"/></VerticalLayout>
      </VerticalLayout></VerticalLayout></Window>)",
      300, 450);
  auto* area = static_cast<CContainerUI*>(Find("area"));
  auto* list = static_cast<CListUI*>(Find("musics"));
  for (int i = 0; i < 20; ++i) AddTrackRow(list, "track");
  Find("workspace")->SetFixedHeight(20 * 30 + 222);
  manager_.UpdateLayout();
  EXPECT_EQ(Find("musics")->GetPos().bottom - Find("musics")->GetPos().top, 600);
  EXPECT_EQ(area->GetScrollRange().cy, 822 - 400);

  area->SetScrollPos(SIZE{0, 10000});
  manager_.UpdateLayout();
  EXPECT_EQ(area->GetScrollPos().cy, 422) << "scrolling stops at the end";
  EXPECT_EQ(Find("workspace")->GetPos().top, 50 - 422);
  EXPECT_EQ(At(100, 45), Find("band")) << "what is scrolled out of its area cannot be hit";

  // Fewer rows: the range shrinks and the position follows it.
  list->RemoveAll();
  Find("workspace")->SetFixedHeight(222);
  manager_.UpdateLayout();
  EXPECT_EQ(area->GetScrollRange().cy, 0);
  EXPECT_EQ(area->GetScrollPos().cy, 0);
  EXPECT_EQ(Find("workspace")->GetPos().top, 50);
}

}  // namespace
