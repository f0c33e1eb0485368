// Mouse and keyboard input turned into notifications, in a real (offscreen) window.
#include <gtest/gtest.h>

#include <SDL.h>

#include "ui_test_window.h"

namespace {

const char* const kControls = R"(<Window size="400,300">
  <VerticalLayout>
    <HorizontalLayout height="40">
      <Button name="go" text="Go" width="80"/>
      <Option name="tab1" group="tabs" text="1" width="60"/>
      <Option name="tab2" group="tabs" text="2" width="60"/>
      <Option name="check" text="c" width="60"/>
    </HorizontalLayout>
    <Slider name="seek" height="20" min="0" max="100" value="0" thumbsize="10,10"/>
    <List name="rows"/>
  </VerticalLayout></Window>)";

class InputTest : public testing::Test {
 protected:
  void SetUp() override {
    window_ = new UiTestWindow(kControls);
    ASSERT_TRUE(window_->Open());
    window_->manager().UpdateLayout();
  }
  void TearDown() override {
    if (IsWindow(*window_)) DestroyWindow(*window_);
    delete window_;
  }
  CControlUI* Find(const char* name) { return window_->Find(name); }
  void Send(UINT msg, POINT pt, WPARAM keys = 0) { window_->SendMessage(msg, keys, MAKELPARAM(pt.x, pt.y)); }

  UiTestWindow* window_ = nullptr;
};

TEST_F(InputTest, ButtonClicksOnlyWhenReleasedOverIt) {
  POINT center = CenterOf(Find("go"));
  window_->Click(center);
  ASSERT_EQ(window_->notifications().size(), 1u);
  EXPECT_EQ(window_->notifications()[0].type, "click");
  EXPECT_EQ(window_->notifications()[0].senderName, "go");

  window_->notifications().clear();
  Send(WM_LBUTTONDOWN, center, MK_LBUTTON);
  Send(WM_MOUSEMOVE, POINT{300, 200}, MK_LBUTTON);
  Send(WM_LBUTTONUP, POINT{300, 200});
  EXPECT_TRUE(window_->notifications().empty()) << "pressed, dragged away and released elsewhere";

  Find("go")->SetEnabled(false);
  window_->Click(center);
  EXPECT_TRUE(window_->notifications().empty()) << "a disabled button stays quiet";
}

TEST_F(InputTest, GroupedOptionsKeepOneSelectedAndTellOnlyTheNewOne) {
  auto* tab1 = static_cast<COptionUI*>(Find("tab1"));
  auto* tab2 = static_cast<COptionUI*>(Find("tab2"));
  tab1->Selected(true);
  ASSERT_EQ(window_->NotificationTypes(), std::vector<std::string>{"selectchanged"})
      << "Selected sends at once, before it returns";
  EXPECT_EQ(window_->notifications()[0].senderName, "tab1");

  window_->notifications().clear();
  window_->Click(CenterOf(tab2));
  EXPECT_TRUE(tab2->IsSelected());
  EXPECT_FALSE(tab1->IsSelected());
  ASSERT_EQ(window_->NotificationTypes(), (std::vector<std::string>{"selectchanged", "click"}));
  EXPECT_EQ(window_->notifications()[0].senderName, "tab2");

  window_->notifications().clear();
  window_->Click(CenterOf(tab2));
  EXPECT_TRUE(tab2->IsSelected()) << "clicking the selected tab keeps it";
  EXPECT_EQ(window_->NotificationTypes(), std::vector<std::string>{"click"});

  auto* check = static_cast<COptionUI*>(Find("check"));
  window_->Click(CenterOf(check));
  window_->Click(CenterOf(check));
  EXPECT_FALSE(check->IsSelected()) << "an option without a group toggles";
  EXPECT_TRUE(tab2->IsSelected());
}

TEST_F(InputTest, SliderIsSlidingOnlyWhileHeld) {
  auto* seek = static_cast<CSliderUI*>(Find("seek"));
  RECT track = seek->GetPos();
  POINT thumb = POINT{(seek->GetThumbRect().left + seek->GetThumbRect().right) / 2, (track.top + track.bottom) / 2};
  EXPECT_FALSE(seek->IsSliding());
  Send(WM_MOUSEMOVE, thumb);
  Send(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
  EXPECT_TRUE(seek->IsSliding());
  Send(WM_MOUSEMOVE, POINT{(track.left + track.right) / 2, thumb.y}, MK_LBUTTON);
  EXPECT_TRUE(seek->IsSliding());
  EXPECT_NEAR(seek->GetValue(), 50, 2);
  Send(WM_MOUSEMOVE, POINT{track.right + 50, thumb.y + 40}, MK_LBUTTON);
  EXPECT_EQ(seek->GetValue(), 100) << "dragging past the end holds at the maximum";
  EXPECT_EQ(window_->NotificationTypes(), (std::vector<std::string>{"valuechanging", "valuechanging"}));
  Send(WM_LBUTTONUP, POINT{track.right + 50, thumb.y + 40});
  EXPECT_FALSE(seek->IsSliding());
  EXPECT_EQ(window_->NotificationTypes().back(), "valuechanged");

  window_->notifications().clear();
  POINT quarter{track.left + (track.right - track.left) / 4, thumb.y};
  window_->Click(quarter);
  EXPECT_NEAR(seek->GetValue(), 25, 3) << "a click on the track sets the value there";
  EXPECT_EQ(window_->NotificationTypes(), std::vector<std::string>{"valuechanged"});
  EXPECT_FALSE(seek->IsSliding());
}

TEST_F(InputTest, SliderReleasedWhenTheWindowLosesTheFocus) {
  auto* seek = static_cast<CSliderUI*>(Find("seek"));
  POINT thumb = CenterOf(seek);
  thumb.x = (seek->GetThumbRect().left + seek->GetThumbRect().right) / 2;
  Send(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
  ASSERT_TRUE(seek->IsSliding());
  window_->SendMessage(WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(seek->IsSliding());
  EXPECT_EQ(window_->NotificationTypes().back(), "valuechanged");
}

TEST_F(InputTest, RowsSelectOnClickAndActivateOnDoubleClick) {
  auto* list = static_cast<CListUI*>(Find("rows"));
  for (int i = 0; i < 3; ++i) {
    auto* row = new CListContainerElementUI;
    row->ApplyAttributeList("height=\"30\"");
    auto* line = new CHorizontalLayoutUI;
    row->Add(line);
    auto* label = new CLabelUI;
    label->ApplyAttributeList("name=\"songname\" mouse=\"false\"");
    label->SetText(("track " + std::to_string(i)).c_str());
    line->Add(label);
    row->SetUserData(("http://host/" + std::to_string(i) + ".mp3").c_str());
    list->Add(row);
  }
  window_->manager().UpdateLayout();
  CControlUI* second = list->GetItemAt(1);
  window_->Click(CenterOf(second));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(window_->NotificationTypes(), std::vector<std::string>{"itemselect"});

  window_->notifications().clear();
  CControlUI* third = list->GetItemAt(2);
  window_->DoubleClick(CenterOf(third));
  EXPECT_EQ(list->GetCurSel(), 2);
  ASSERT_EQ(window_->NotificationTypes(), (std::vector<std::string>{"itemselect", "itemactivate"}));
  const SeenNotification& activate = window_->notifications()[1];
  EXPECT_EQ(activate.sender, third) << "the row itself is the sender";
  EXPECT_EQ(activate.sender->GetUserData(), "http://host/2.mp3");
  EXPECT_EQ(window_->manager().FindSubControlByName(activate.sender, "songname")->GetText(), "track 2");
}

TEST_F(InputTest, RightClickSendsMenu) {
  window_->Click(CenterOf(Find("go")));
  window_->notifications().clear();
  POINT pt = CenterOf(Find("go"));
  Send(WM_RBUTTONDOWN, pt, MK_RBUTTON);
  Send(WM_RBUTTONUP, pt);
  ASSERT_EQ(window_->NotificationTypes(), std::vector<std::string>{"menu"});
  EXPECT_EQ(window_->notifications()[0].senderName, "go");
}

TEST_F(InputTest, WheelScrollsTheNearestScrollingArea) {
  UiTestWindow window(R"(<Window size="200,100"><VerticalLayout name="area" vscrollbar="true">
      <Control height="80"/><Button name="deep" height="300"/></VerticalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  auto* area = static_cast<CContainerUI*>(window.Find("area"));
  window.manager().UpdateLayout();
  ASSERT_GT(area->GetScrollRange().cy, 0);
  POINT screen{50, 90};
  ClientToScreen(window, &screen);
  window.SendMessage(WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<WORD>(-WHEEL_DELTA)) << 16, MAKELPARAM(screen.x, screen.y));
  EXPECT_GT(area->GetScrollPos().cy, 0) << "the wheel over a button scrolls the area holding it";
  DestroyWindow(window);
}

// The SDL events of a real mouse become Win32-shaped messages, a second
// press of a double-click becoming WM_LBUTTONDBLCLK.
TEST_F(InputTest, SystemMouseEventsBecomeWindowMessages) {
  SDL_Window* sdl = nullptr;
  for (Uint32 id = 1; id < 64 && !sdl; ++id) {
    SDL_Window* candidate = SDL_GetWindowFromID(id);
    if (candidate && std::string(SDL_GetWindowTitle(candidate)) == "uilib test") sdl = candidate;
  }
  ASSERT_NE(sdl, nullptr);
  auto press = [sdl](Uint32 type, Uint8 clicks, int x, int y) {
    SDL_Event event{};
    event.type = type;
    event.button.windowID = SDL_GetWindowID(sdl);
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = clicks;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
  };
  POINT go = CenterOf(Find("go"));
  window_->messages().clear();
  press(SDL_MOUSEBUTTONDOWN, 1, go.x, go.y);
  press(SDL_MOUSEBUTTONUP, 1, go.x, go.y);
  press(SDL_MOUSEBUTTONDOWN, 2, go.x, go.y);
  press(SDL_MOUSEBUTTONUP, 2, go.x, go.y);
  ASSERT_TRUE(PumpUntil([&] { return window_->messages().size() >= 4; }));
  std::vector<UINT> mouse;
  for (UINT message : window_->messages()) {
    if (message >= WM_LBUTTONDOWN && message <= WM_LBUTTONDBLCLK) mouse.push_back(message);
  }
  EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  EXPECT_EQ(window_->NotificationTypes(), (std::vector<std::string>{"click", "click"}));
}

}  // namespace
