// Mouse input turned into notifications, and keys and typed text into
// messages, in a real (offscreen) window.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "ui_test_window.h"

namespace {

class InputTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(window_.Open());
    for (int i = 0; i < 3; ++i)
      AddTrackRow(window_.Find<CListUI>("rows"), "track " + std::to_string(i), std::to_string(i) + ".mp3");
    window_.manager().UpdateLayout();
  }

  UiTestWindow window_{R"(<Window size="400,300"><VerticalLayout>
    <HorizontalLayout height="40">
      <Button name="go" text="Go" width="80"/>
      <Option name="tab1" group="tabs" text="1" width="60"/>
      <Option name="tab2" group="tabs" text="2" width="60"/>
    </HorizontalLayout>
    <Slider name="seek" height="20" min="0" max="100" value="0" thumbsize="10,10"/>
    <List name="rows"/>
  </VerticalLayout></Window>)"};
};

TEST_F(InputTest, ButtonClicksOnlyWhenReleasedOverItAndRightClickSendsMenu) {
  POINT go = CenterOf(window_.Find("go"));
  window_.Click(go);
  EXPECT_EQ(window_.Take(), Strings{"click:go"});

  window_.Mouse(WM_LBUTTONDOWN, go, MK_LBUTTON);
  window_.Mouse(WM_MOUSEMOVE, POINT{300, 200}, MK_LBUTTON);
  window_.Mouse(WM_LBUTTONUP, POINT{300, 200});
  EXPECT_EQ(window_.Take(), Strings{}) << "pressed, dragged away and released elsewhere";

  window_.Mouse(WM_RBUTTONDOWN, go, MK_RBUTTON);
  window_.Mouse(WM_RBUTTONUP, go);
  EXPECT_EQ(window_.Take(), Strings{"menu:go"});

  window_.Find("go")->SetEnabled(false);
  window_.Click(go);
  EXPECT_EQ(window_.Take(), Strings{}) << "a disabled button stays quiet";
}

TEST_F(InputTest, GroupedOptionsKeepOneSelectedAndTellOnlyTheNewOne) {
  auto* tab1 = window_.Find<COptionUI>("tab1");
  auto* tab2 = window_.Find<COptionUI>("tab2");
  tab1->Selected(true);
  EXPECT_EQ(window_.Take(), Strings{"selectchanged:tab1"}) << "Selected sends at once, before it returns";

  window_.Click(CenterOf(tab2));
  EXPECT_TRUE(tab2->IsSelected());
  EXPECT_FALSE(tab1->IsSelected());
  EXPECT_EQ(window_.Take(), (Strings{"selectchanged:tab2", "click:tab2"}));

  window_.Click(CenterOf(tab2));
  EXPECT_TRUE(tab2->IsSelected()) << "clicking the selected tab keeps it";
  EXPECT_EQ(window_.Take(), Strings{"click:tab2"});
}

TEST_F(InputTest, SliderIsSlidingOnlyWhileHeldOrUntilTheWindowLosesTheFocus) {
  auto* seek = window_.Find<CSliderUI>("seek");
  RECT track = seek->GetPos();
  const int y = (track.top + track.bottom) / 2;
  POINT thumb{(seek->GetThumbRect().left + seek->GetThumbRect().right) / 2, y};
  EXPECT_FALSE(seek->IsSliding());
  window_.Mouse(WM_MOUSEMOVE, thumb);
  window_.Mouse(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
  EXPECT_TRUE(seek->IsSliding());
  window_.Mouse(WM_MOUSEMOVE, POINT{(track.left + track.right) / 2, y}, MK_LBUTTON);
  EXPECT_TRUE(seek->IsSliding());
  EXPECT_NEAR(seek->GetValue(), 50, 2);
  window_.Mouse(WM_MOUSEMOVE, POINT{track.right + 50, y + 40}, MK_LBUTTON);
  EXPECT_EQ(seek->GetValue(), 100) << "dragging past the end holds at the maximum";
  window_.Mouse(WM_LBUTTONUP, POINT{track.right + 50, y + 40});
  EXPECT_FALSE(seek->IsSliding());
  EXPECT_EQ(window_.Take(), (Strings{"valuechanging:seek", "valuechanging:seek", "valuechanged:seek"}));

  window_.Click(POINT{track.left + (track.right - track.left) / 4, y});
  EXPECT_NEAR(seek->GetValue(), 25, 3) << "a click on the track sets the value there";
  EXPECT_EQ(window_.Take(), Strings{"valuechanged:seek"});
  EXPECT_FALSE(seek->IsSliding());

  thumb.x = (seek->GetThumbRect().left + seek->GetThumbRect().right) / 2;
  window_.Mouse(WM_LBUTTONDOWN, thumb, MK_LBUTTON);
  ASSERT_TRUE(seek->IsSliding());
  window_.SendMessage(WM_KILLFOCUS, 0, 0);
  EXPECT_FALSE(seek->IsSliding());
  EXPECT_EQ(window_.Take(), Strings{"valuechanged:seek"});
}

TEST_F(InputTest, RowsSelectOnClickAndActivateOnDoubleClick) {
  auto* list = window_.Find<CListUI>("rows");
  window_.Click(CenterOf(list->GetItemAt(1)));
  EXPECT_EQ(list->GetCurSel(), 1);
  EXPECT_EQ(window_.Take(), Strings{"itemselect:rows"});

  CControlUI* third = list->GetItemAt(2);
  window_.Click(CenterOf(third));
  window_.Mouse(WM_LBUTTONDBLCLK, CenterOf(third), MK_LBUTTON);
  window_.Mouse(WM_LBUTTONUP, CenterOf(third));
  EXPECT_EQ(list->GetCurSel(), 2);
  ASSERT_EQ(window_.notifications().size(), 2u);
  const SeenNotification& activate = window_.notifications()[1];
  EXPECT_EQ(activate.type, "itemactivate");
  EXPECT_EQ(activate.sender, third) << "the row itself is the sender";
  EXPECT_EQ(activate.sender->GetUserData(), "2.mp3");
  EXPECT_EQ(window_.manager().FindSubControlByName(activate.sender, "songname")->GetText(), "track 2");
}

}  // namespace

// How SDL's keys and text become Windows keys and characters; on Windows
// they are the system's own (see win32_window_test.cpp).
#ifndef _WIN32
#include <SDL.h>

namespace {

// The SDL window made last: the test's own.
uint32_t LastWindowId() {
  uint32_t last = 0;
  for (uint32_t id = 1; id < 1000; ++id) {
    if (SDL_GetWindowFromID(id) != nullptr) last = id;
  }
  return last;
}

TEST_F(InputTest, KeypadSignsMediaKeysAndTypedTextArriveAsWindowsKeysAndCharacters) {
  std::vector<std::pair<UINT, WPARAM>> keys;
  window_.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_KEYDOWN || msg == WM_CHAR) keys.emplace_back(msg, wParam);
  };
  const uint32_t id = LastWindowId();
  for (SDL_Keycode key : {SDLK_KP_PLUS, SDLK_MINUS, SDLK_EQUALS, SDLK_AUDIOPLAY, SDLK_AUDIONEXT, SDLK_AUDIOPREV}) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.windowID = id;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
  }
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = id;
  std::strcpy(text.text.text, "中a");
  SDL_PushEvent(&text);
  ASSERT_TRUE(PumpUntil([&] { return keys.size() >= 8; }));
  EXPECT_EQ(keys, (std::vector<std::pair<UINT, WPARAM>>{
                      {WM_KEYDOWN, VK_ADD}, {WM_KEYDOWN, VK_OEM_MINUS}, {WM_KEYDOWN, VK_OEM_PLUS},
                      {WM_KEYDOWN, VK_MEDIA_PLAY_PAUSE}, {WM_KEYDOWN, VK_MEDIA_NEXT_TRACK},
                      {WM_KEYDOWN, VK_MEDIA_PREV_TRACK}, {WM_CHAR, 0x4E2D}, {WM_CHAR, 'a'}}));

  SDL_SetModState(KMOD_LCTRL);
  EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
  SDL_SetModState(KMOD_NONE);
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
}

}  // namespace
#endif
