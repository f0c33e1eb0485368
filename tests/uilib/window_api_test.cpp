// The Win32-shaped window functions over the toolkit's windows.
#include <gtest/gtest.h>

#include "ui_test_window.h"

namespace {

const char* const kLayout = R"(<Window size="200,100"><VerticalLayout><Button name="b" height="30"/></VerticalLayout></Window>)";

TEST(WindowApiTest, TheLayoutSizesTheWindowAndItsRectanglesAgree) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Open());
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right, 200);
  EXPECT_EQ(client.bottom, 100);
  SetWindowPos(window, nullptr, 40, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  RECT rect;
  ASSERT_TRUE(GetWindowRect(window, &rect));
  EXPECT_EQ(rect.left, 40);
  EXPECT_EQ(rect.top, 50);
  EXPECT_EQ(rect.right, 240);
  POINT pt{45, 60};
  ScreenToClient(window, &pt);
  EXPECT_EQ(pt.x, 5);
  EXPECT_EQ(pt.y, 10);
  ClientToScreen(window, &pt);
  EXPECT_EQ(pt.x, 45);
  DestroyWindow(window);
}

TEST(WindowApiTest, ResizingSendsWmSizeAtOnceAndRelaysTheTree) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Open());
  LPARAM sized = 0;
  window.onMessage = [&](UINT msg, WPARAM, LPARAM lParam) {
    if (msg == WM_SIZE) sized = lParam;
  };
  SetWindowPos(window, nullptr, 0, 0, 320, 150, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(LOWORD(static_cast<uintptr_t>(sized)), 320);
  EXPECT_EQ(HIWORD(static_cast<uintptr_t>(sized)), 150);
  window.manager().UpdateLayout();
  EXPECT_EQ(window.Find("b")->GetPos().right, 320);
  DestroyWindow(window);
}

TEST(WindowApiTest, ShowingAndHidingIsVisibleAndTold) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Open());
  std::vector<WPARAM> shown;
  window.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_SHOWWINDOW) shown.push_back(wParam);
  };
  EXPECT_FALSE(IsWindowVisible(window)) << "created without WS_VISIBLE";
  ShowWindow(window, SW_SHOWNOACTIVATE);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(GetWindowLong(window, GWL_STYLE) & WS_VISIBLE);
  ShowWindow(window, SW_HIDE);
  ShowWindow(window, SW_HIDE);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(shown, (std::vector<WPARAM>{TRUE, FALSE})) << "hiding a hidden window says nothing";
  DestroyWindow(window);
}

TEST(WindowApiTest, StyleChangesAreKept) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Create(nullptr, "styled", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, 0));
  LONG style = GetWindowLong(window, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  SetWindowLong(window, GWL_STYLE, (style & ~(WS_CAPTION | WS_MAXIMIZEBOX)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  style = GetWindowLong(window, GWL_STYLE);
  EXPECT_FALSE(style & WS_CAPTION);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_TRUE(style & WS_CLIPCHILDREN);
  EXPECT_TRUE(style & WS_THICKFRAME);
  SetWindowLong(window, GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  EXPECT_EQ(GetWindowLong(window, GWL_EXSTYLE), static_cast<LONG>(WS_EX_TOOLWINDOW));
  DestroyWindow(window);
}

TEST(WindowApiTest, ADisabledWindowTakesNoInput) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Open());
  EnableWindow(window, FALSE);
  EXPECT_FALSE(IsWindowEnabled(window));
  POINT pt = CenterOf(window.Find("b"));
  window.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  window.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  window.PostMessage(WM_USER);
  ASSERT_TRUE(PumpUntil([&] { return !window.messages().empty() && window.messages().back() == WM_USER; }));
  EXPECT_TRUE(window.notifications().empty());
  EnableWindow(window, TRUE);
  window.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  window.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
  ASSERT_TRUE(PumpUntil([&] { return !window.notifications().empty(); }));
  EXPECT_EQ(window.notifications()[0].type, "click");
  DestroyWindow(window);
}

TEST(WindowApiTest, CenteringPlacesTheWindowInTheMiddleOfTheScreen) {
  UiTestWindow window(kLayout);
  ASSERT_TRUE(window.Open());
  window.CenterWindow();
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - 200) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - 100) / 2);
  DestroyWindow(window);
}

TEST(WindowApiTest, OwnedWindowsGoWithTheirOwner) {
  UiTestWindow owner(kLayout);
  ASSERT_TRUE(owner.Open());
  UiTestWindow popup(kLayout);
  ASSERT_TRUE(popup.Open(owner));
  EXPECT_EQ(GetParent(popup), owner.GetHWND());
  HWND popupHandle = popup;
  DestroyWindow(owner);
  EXPECT_FALSE(IsWindow(popupHandle));
  EXPECT_EQ(SendMessage(popupHandle, WM_USER, 0, 0), 0);
}

// A window whose creation handler refuses.
class RefusingWindow : public CWindowWnd {
 public:
  LPCTSTR GetWindowClassName() const override { return "UIRefuse"; }
  bool finalRan = false;

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg == WM_CREATE) return -1;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  }
  void OnFinalMessage(HWND) override { finalRan = true; }
};

TEST(WindowApiTest, CreationRefusedByWmCreateFails) {
  RefusingWindow window;
  EXPECT_EQ(window.Create(nullptr, "no", WS_POPUP, 0, 0, 0, 10, 10), nullptr);
  EXPECT_EQ(window.GetHWND(), nullptr);
  EXPECT_TRUE(window.finalRan);
}

}  // namespace
