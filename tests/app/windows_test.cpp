// The main window's own messages and keys, the tray menu and the about
// window. SDL's offscreen driver has no system tray, so the main window
// minimises where it would hide to the tray.
#include <gtest/gtest.h>

#include "app_harness.h"
#include "support/http_test_server.h"
#include "windows/about_dlg.h"
#include "windows/menu_wnd.h"

namespace apptest {
namespace {

using testsupport::TestHttpServer;

class WindowsTest : public ::testing::Test {
 protected:
  WindowsTest() {
    folder_.WriteCatalogue(CatalogueXml({{TabNames()[0], "", "", {{"One", server_.Url("/1.mp3"), ""}}}}));
    box_ = std::make_unique<MusicBoxHarness>(folder_, server_.Url(""));
  }

  MusicBoxHarness& Box() { return *box_; }
  // The centre of a control, in screen coordinates, packed as WM_NCHITTEST wants it.
  LPARAM ScreenPoint(CControlUI* control) {
    const RECT& rc = control->GetPos();
    POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ClientToScreen(Box().Window(), &pt);
    return MAKELPARAM(pt.x, pt.y);
  }

  TestHttpServer server_;
  ProgramFolder folder_;
  std::unique_ptr<MusicBoxHarness> box_;
};

// Hidden without a tray icon, the window could never be brought back: it is
// minimised instead, so it stays visible to the system.
TEST_F(WindowsTest, SystemCloseAndMinimiseButtonKeepTheWindowReachableWithoutATray) {
  ASSERT_FALSE(Box().Box().TrayIconShown());
  ::SendMessage(Box().Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  Box().PumpFor(200);
  EXPECT_TRUE(IsWindow(Box().Window()));
  EXPECT_TRUE(IsWindowVisible(Box().Window()));
  EXPECT_FALSE(Box().QuitPosted());

  Box().Click("minbtn");
  Box().PumpFor(200);
  EXPECT_TRUE(IsWindowVisible(Box().Window()));
  EXPECT_FALSE(Box().QuitPosted());
}

TEST_F(WindowsTest, CaptionBandDragsByAnyControlButButtonsAndSliders) {
  CPaintManagerUI& manager = Box().Manager();
  const HWND window = Box().Window();
  // A point in the title bar over a label.
  const RECT band = manager.GetCaptionRect();
  POINT inBand{band.left + 120, (band.top + band.bottom) / 2};
  ASSERT_STREQ(manager.FindControl(inBand)->GetClass(), "LabelUI");
  ClientToScreen(window, &inBand);
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, MAKELPARAM(inBand.x, inBand.y)), HTCAPTION);
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, ScreenPoint(Box().Control("closebtn"))), HTCLIENT);
  // Below the band even a label keeps the mouse.
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, ScreenPoint(Box().Control("musiclength"))), HTCLIENT);

  // With the whole window as the band, sliders still keep the mouse.
  RECT client{};
  GetClientRect(window, &client);
  manager.SetCaptionRect(RECT{0, 0, 0, client.bottom});
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, ScreenPoint(Box().Control("musiclength"))), HTCAPTION);
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, ScreenPoint(Box().Control("VolumeSlider"))), HTCLIENT);
  EXPECT_EQ(::SendMessage(window, WM_NCHITTEST, 0, ScreenPoint(Box().Control("play"))), HTCLIENT);
}

TEST_F(WindowsTest, MenuOpensAtTheCursorAndLeftOrAboveItWhereTheScreenEnds) {
  auto* menu = new CMenuWnd();
  ASSERT_TRUE(menu->ShowMenu(&Box().Manager(), 10, 20, "menutray.xml"));
  RECT rc{};
  GetWindowRect(menu->GetHWND(), &rc);
  EXPECT_EQ(rc.left, 10);
  EXPECT_EQ(rc.top, 20);
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  EXPECT_GT(width, 0);
  EXPECT_GT(height, 0);
  ::SendMessage(menu->GetHWND(), WM_CLOSE, 0, 0);

  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  menu = new CMenuWnd();
  ASSERT_TRUE(menu->ShowMenu(&Box().Manager(), screenWidth - 1, screenHeight - 1, "menutray.xml"));
  GetWindowRect(menu->GetHWND(), &rc);
  EXPECT_EQ(rc.left, screenWidth - 1 - width);
  EXPECT_EQ(rc.top, screenHeight - 1 - height);
  ::SendMessage(menu->GetHWND(), WM_CLOSE, 0, 0);
}

TEST_F(WindowsTest, MenuClosesWhenItLosesTheFocusWithoutACommand) {
  auto* menu = new CMenuWnd();
  ASSERT_TRUE(menu->ShowMenu(&Box().Manager(), 10, 10, "menutray.xml"));
  const HWND menuWindow = menu->GetHWND();
  ::SendMessage(menuWindow, WM_KILLFOCUS, reinterpret_cast<WPARAM>(Box().Window()), 0);
  EXPECT_TRUE(Box().PumpUntil([&] { return !IsWindow(menuWindow); }, 5000));
  Box().PumpFor(100);
  EXPECT_FALSE(Box().QuitPosted());
  EXPECT_TRUE(IsWindow(Box().Window()));
}

// The about window without its modal loop: the test's pumping runs it.
HWND OpenAbout() { return (new CAboutDlg())->Create(nullptr, "", WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU, 0); }

TEST_F(WindowsTest, EnterClosesTheAboutWindowAndEscapeEndsTheProgram) {
  HWND aboutWindow = OpenAbout();
  PostMessage(aboutWindow, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(Box().PumpUntil([&] { return !IsWindow(aboutWindow); }, 5000));
  EXPECT_FALSE(Box().QuitPosted());

  aboutWindow = OpenAbout();
  PostMessage(aboutWindow, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(Box().PumpUntilQuit());
  if (IsWindow(aboutWindow)) DestroyWindow(aboutWindow);
}

}  // namespace
}  // namespace apptest
