#include <gtest/gtest.h>

#include "uilib/UIlib.h"

namespace {

// Lays out `xml` in a w x h client area without a window.
class LayoutTest : public testing::Test {
 protected:
  CControlUI* Lay(const std::string& xml, int w, int h) {
    CDialogBuilder builder;
    manager_.AttachDialog(builder.CreateFromText(xml, "layout.xml", &manager_));
    manager_.SetInitSize(w, h);
    manager_.UpdateLayout();
    return manager_.GetRoot();
  }
  RECT Pos(const char* name) { return manager_.FindControl(name)->GetPos(); }
  CControlUI* At(int x, int y) { return manager_.FindControl(POINT{x, y}); }

  CPaintManagerUI manager_;
};

void ExpectRect(const RECT& rc, int left, int top, int right, int bottom) {
  EXPECT_EQ(rc.left, left);
  EXPECT_EQ(rc.top, top);
  EXPECT_EQ(rc.right, right);
  EXPECT_EQ(rc.bottom, bottom);
}

TEST_F(LayoutTest, NestedRowsAndColumnsShareWhatFixedChildrenLeave) {
  Lay(R"(<Window><VerticalLayout inset="10,10,10,10" childpadding="5">
      <HorizontalLayout name="top" height="40" childpadding="4">
        <Control name="fixedA" width="50"/><Control name="stretchA"/><Control name="stretchB"/>
        <Control name="fixedB" width="30" padding="2,3,4,5"/>
      </HorizontalLayout>
      <VerticalLayout name="middle"><Control name="inner" height="20"/><Control name="rest"/></VerticalLayout>
      <Control name="hidden" height="100" visible="false"/>
      <Control name="bottom" height="25"/>
    </VerticalLayout></Window>)",
      400, 300);
  ExpectRect(Pos("top"), 10, 10, 390, 50);
  ExpectRect(Pos("fixedA"), 10, 10, 60, 50);
  // 380 wide: 50 + 30 + 2 + 4 padding + 3 gaps of 4 = 98 fixed, 282 for two.
  ExpectRect(Pos("stretchA"), 64, 10, 205, 50);
  ExpectRect(Pos("stretchB"), 209, 10, 350, 50);
  ExpectRect(Pos("fixedB"), 356, 13, 386, 45);
  // 280 tall: 40 + 25 + 2 gaps of 5; the hidden child takes nothing.
  ExpectRect(Pos("middle"), 10, 55, 390, 260);
  ExpectRect(Pos("inner"), 10, 55, 390, 75);
  ExpectRect(Pos("rest"), 10, 75, 390, 260);
  ExpectRect(Pos("bottom"), 10, 265, 390, 290);
}

TEST_F(LayoutTest, MinimumAndMaximumBoundStretchingChildren) {
  Lay(R"(<Window><HorizontalLayout>
      <Control name="capped" maxwidth="50"/><Control name="free"/><Control name="wide" minwidth="300"/>
    </HorizontalLayout></Window>)",
      600, 10);
  EXPECT_EQ(Pos("capped").right - Pos("capped").left, 50);
  EXPECT_GE(Pos("wide").right - Pos("wide").left, 300);
  EXPECT_EQ(Pos("wide").right, 600) << "the last stretching child takes what division leaves";
}

TEST_F(LayoutTest, FloatingChildrenSitAtTheirOffsetAndTakeNoSpace) {
  Lay(R"(<Window><HorizontalLayout inset="5,5,5,5">
      <Control name="a"/><Button name="float" float="true" pos="20,30,60,50"/>
    </HorizontalLayout></Window>)",
      200, 100);
  ExpectRect(Pos("a"), 5, 5, 195, 95);
  ExpectRect(Pos("float"), 20, 30, 60, 50);
  EXPECT_EQ(At(25, 35), manager_.FindControl("float")) << "a floating child lies above its siblings";
}

TEST_F(LayoutTest, WorkspaceGrowsWithItsListInsideAScrollingArea) {
  Lay(R"(<Window><VerticalLayout name="area" vscrollbar="true">
      <VerticalLayout name="workspace" height="222"><Control height="222"/><List name="musics"/></VerticalLayout>
    </VerticalLayout></Window>)",
      300, 400);
  auto* area = static_cast<CContainerUI*>(manager_.FindControl("area"));
  auto* list = static_cast<CListUI*>(manager_.FindControl("musics"));
  for (int i = 0; i < 20; ++i) {
    auto* row = new CListContainerElementUI;
    row->ApplyAttributeList("height=\"30\"");
    list->Add(row);
  }
  manager_.FindControl("workspace")->SetFixedHeight(20 * 30 + 222);
  manager_.UpdateLayout();
  EXPECT_EQ(Pos("musics").bottom - Pos("musics").top, 600);
  EXPECT_EQ(area->GetScrollRange().cy, 822 - 400);

  area->SetScrollPos(SIZE{0, 10000});
  manager_.UpdateLayout();
  EXPECT_EQ(area->GetScrollPos().cy, 422) << "scrolling stops at the end";
  EXPECT_EQ(Pos("workspace").top, -422);

  // Fewer rows: the range shrinks and the position follows it.
  list->RemoveAll();
  manager_.FindControl("workspace")->SetFixedHeight(222);
  manager_.UpdateLayout();
  EXPECT_EQ(area->GetScrollRange().cy, 0);
  EXPECT_EQ(area->GetScrollPos().cy, 0);
  EXPECT_EQ(Pos("workspace").top, 0);
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
  EXPECT_EQ(At(10, 10), manager_.FindControl("bar")) << "a label that ignores the mouse leaves it to its parent";
  EXPECT_STREQ(At(10, 10)->GetClass(), "HorizontalLayoutUI");
  EXPECT_EQ(At(230, 10), manager_.FindControl("badge"));
  EXPECT_STREQ(At(280, 10)->GetClass(), "ButtonUI");
  EXPECT_STREQ(At(150, 45)->GetClass(), "SliderUI");
  EXPECT_EQ(At(150, 150), manager_.FindControl("root")) << "a container ignoring the mouse passes it up";
  EXPECT_EQ(At(400, 10), nullptr);
  EXPECT_EQ(manager_.GetCaptionRect().bottom, 40);
}

TEST_F(LayoutTest, ControlsScrolledOutOfTheirAreaCannotBeHit) {
  Lay(R"(<Window><VerticalLayout><Control name="spacer" height="50"/>
      <VerticalLayout name="area" vscrollbar="true" height="100">
        <Button name="first" height="80"/><Button name="second" height="80"/>
      </VerticalLayout></VerticalLayout></Window>)",
      200, 200);
  auto* area = static_cast<CContainerUI*>(manager_.FindControl("area"));
  area->SetScrollPos(SIZE{0, 60});
  manager_.UpdateLayout();
  EXPECT_LT(Pos("first").top, 50);
  EXPECT_EQ(At(100, 45), manager_.FindControl("spacer")) << "above its area the scrolled button is hidden";
  EXPECT_EQ(At(100, 60), manager_.FindControl("first"));
  EXPECT_EQ(At(100, 90), manager_.FindControl("second"));
}

}  // namespace
