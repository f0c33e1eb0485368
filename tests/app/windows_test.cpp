// The main window's own messages and keys, the tray menu and the about
// window. SDL's offscreen driver has no system tray, so the main window
// minimises where it would hide to the tray.
#include "app_harness.h"
#include "windows/about_dlg.h"
#include "windows/menu_wnd.h"

namespace apptest {
namespace {

class WindowsTest : public MainWindowTest {
 protected:
  void SetUp() override { OpenRows({"one"}); }
  // What the window answers to WM_NCHITTEST at `pt` of its client area.
  LRESULT HitTest(POINT pt) {
    ClientToScreen(window_, &pt);
    return ::SendMessage(window_, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
  }
  LRESULT HitTest(LPCTSTR control) {
    const RECT& rc = Control(control)->GetPos();
    return HitTest(POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2});
  }
  RECT MenuAt(int x, int y) {
    auto* menu = new CMenuWnd();
    RECT rc{};
    EXPECT_TRUE(menu->ShowMenu(&box_->PaintManager(), x, y, "menutray.xml"));
    GetWindowRect(menu->GetHWND(), &rc);
    ::SendMessage(menu->GetHWND(), WM_CLOSE, 0, 0);
    return rc;
  }
};

// Hidden without a tray icon, the window could never be brought back: it is
// minimised instead, so it stays visible to the system.
TEST_F(WindowsTest, SystemCloseAndMinimiseButtonKeepTheWindowReachableWithoutATray) {
  ASSERT_FALSE(box_->TrayIconShown());
  ::SendMessage(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
  Click("minbtn");
  PumpFor(200);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_FALSE(quitPosted_);
}

TEST_F(WindowsTest, CaptionBandDragsByAnyControlButButtonsAndSliders) {
  const RECT band = box_->PaintManager().GetCaptionRect();
  const POINT overLabel{band.left + 120, (band.top + band.bottom) / 2};
  ASSERT_STREQ(box_->PaintManager().FindControl(overLabel)->GetClass(), "LabelUI");
  EXPECT_EQ(HitTest(overLabel), HTCAPTION);
  EXPECT_EQ(HitTest("musiclength"), HTCLIENT);  // a label below the band

  // With the whole window as the band, sliders and buttons still keep the mouse.
  RECT client{};
  GetClientRect(window_, &client);
  box_->PaintManager().SetCaptionRect(RECT{0, 0, 0, client.bottom});
  EXPECT_EQ(HitTest("musiclength"), HTCAPTION);
  EXPECT_EQ(HitTest("VolumeSlider"), HTCLIENT);
  EXPECT_EQ(HitTest("play"), HTCLIENT);
}

TEST_F(WindowsTest, MenuOpensAtTheCursorAndLeftOrAboveItWhereTheScreenEnds) {
  const RECT free = MenuAt(10, 20);
  EXPECT_EQ(free.left, 10);
  EXPECT_EQ(free.top, 20);
  ASSERT_TRUE(free.right > free.left && free.bottom > free.top);
  const int right = GetSystemMetrics(SM_CXSCREEN) - 1;
  const int bottom = GetSystemMetrics(SM_CYSCREEN) - 1;
  const RECT corner = MenuAt(right, bottom);
  EXPECT_EQ(corner.left, right - (free.right - free.left));
  EXPECT_EQ(corner.top, bottom - (free.bottom - free.top));
}

TEST_F(WindowsTest, MenuClosesWhenItLosesTheFocusWithoutACommand) {
  auto* menu = new CMenuWnd();
  ASSERT_TRUE(menu->ShowMenu(&box_->PaintManager(), 10, 10, "menutray.xml"));
  const HWND menuWindow = menu->GetHWND();
  ::SendMessage(menuWindow, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window_), 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(menuWindow); }, 5000));
  EXPECT_FALSE(quitPosted_);
}

// The about window without its modal loop: the test's pumping runs it.
TEST_F(WindowsTest, EnterClosesTheAboutWindowAndEscapeEndsTheProgram) {
  HWND about = (new CAboutDlg())->Create(nullptr, "", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0);
  PostMessage(about, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(about); }, 5000));
  EXPECT_FALSE(quitPosted_);

  about = (new CAboutDlg())->Create(nullptr, "", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0);
  PostMessage(about, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(PumpUntil([&] { return quitPosted_; }, 10000));
  if (IsWindow(about)) DestroyWindow(about);
}

}  // namespace
}  // namespace apptest
