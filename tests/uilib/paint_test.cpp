// What windows show: pixels of rendered layouts, shapes, text and icons.
#include <gtest/gtest.h>

#include "ui_test_window.h"
#include "uilib/ui_tray.h"

namespace {

TEST(PaintTest, ColoursLandWhereTheLayoutPutsThem) {
  UiTestWindow window(R"(<Window size="120,80"><VerticalLayout bkcolor="#FF204060">
      <Control height="20" bkcolor="#FFFF0000"/>
      <HorizontalLayout height="30"><Control width="40" bkcolor="#FF00FF00"/><Control bkcolor="#800000FF"/></HorizontalLayout>
      <Control bkcolor="#FF000000" bkcolor2="#FFFFFFFF"/>
    </VerticalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  Picture picture = Capture(window);
  ASSERT_EQ(picture.width, 120);
  ASSERT_EQ(picture.height, 80);
  EXPECT_EQ(picture.At(5, 5), 0xFFFF0000u);
  EXPECT_EQ(picture.At(10, 30), 0xFF00FF00u);
  // Half-transparent blue over the background: (0x20, 0x40, 0x60) halfway to blue.
  uint32_t blended = picture.At(100, 30);
  EXPECT_NEAR(static_cast<int>((blended >> 16) & 0xFF), 0x10, 2);
  EXPECT_NEAR(static_cast<int>((blended >> 8) & 0xFF), 0x20, 2);
  EXPECT_NEAR(static_cast<int>(blended & 0xFF), 0xAF, 2);
  // The gradient runs from black at its top to white at its bottom.
  EXPECT_LT(picture.At(60, 51) & 0xFF, 0x20u);
  EXPECT_GT(picture.At(60, 79) & 0xFF, 0xE0u);
}

TEST(PaintTest, RoundedRegionCutsTheCornersOnlyAndBelongsToTheWindow) {
  UiTestWindow window(R"(<Window size="100,60" roundcorner="20,20"><VerticalLayout bkcolor="#FF336699"/></Window>)");
  ASSERT_TRUE(window.Open());
  HRGN region = CreateRoundRectRgn(0, 0, 101, 61, 20, 20);
  EXPECT_EQ(SetWindowRgn(window, region, TRUE), 1);
  EXPECT_FALSE(DeleteObject(region)) << "the window owns it now";
  Picture picture = Capture(window);
  EXPECT_EQ(picture.At(0, 0) >> 24, 0u);
  EXPECT_EQ(picture.At(99, 59) >> 24, 0u);
  EXPECT_EQ(picture.At(50, 0), 0xFF336699u);
  EXPECT_EQ(picture.At(0, 30), 0xFF336699u);
  EXPECT_EQ(picture.At(99, 30), 0xFF336699u) << "the +1 of the region reaches the last column";
}

TEST(PaintTest, ChineseAndLatinTextIsDrawnAndLongTextEndsWithAnEllipsisInsideItsLabel) {
  UiTestWindow window(R"(<Window size="300,60"><Font name="sans" size="20" default="true"/>
      <HorizontalLayout bkcolor="#FF000000">
        <Label name="zh" text="中文舞曲" textcolor="#FFFFFFFF" width="100"/>
        <Label name="en" text="House" textcolor="#FFFFFFFF" width="80"/>
        <Label name="long" width="80" text="一首名字非常非常非常长的舞曲 extended mix" textcolor="#FFFFFFFF"/>
        <Control/>
      </HorizontalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  Picture picture = Capture(window);
  EXPECT_GT(picture.CountNot(window.Find("zh")->GetPos(), 0xFF000000u), 100) << "glyphs need a font covering Chinese";
  EXPECT_GT(picture.CountNot(window.Find("en")->GetPos(), 0xFF000000u), 50);
  EXPECT_EQ(picture.CountNot(RECT{260, 0, 300, 60}, 0xFF000000u), 0) << "nothing spills past the label";
  EXPECT_GT(picture.CountNot(RECT{250, 0, 260, 60}, 0xFF000000u), 0) << "the ellipsis fills the end";
}

TEST(ProgramIconsTest, IconsBuiltIntoTheProgramLoad) {
  EXPECT_NE(LoadIcon(nullptr, MAKEINTRESOURCE(107)), nullptr);
  EXPECT_NE(LoadIcon(nullptr, MAKEINTRESOURCE(108)), nullptr);
  EXPECT_EQ(LoadIcon(nullptr, MAKEINTRESOURCE(999)), nullptr);
}

// On Windows the shell always has a notification area (see win32_window_test.cpp).
#ifndef _WIN32
TEST(TrayTest, WithoutATrayHostAddingFailsAndSaysSoOnce) {
  UiTestWindow window(R"(<Window size="40,40"><Control/></Window>)");
  ASSERT_TRUE(window.Open());
  NOTIFYICONDATA data{};
  data.hWnd = window;
  data.uID = 108;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = WM_USER + 50;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_MODIFY, &data)) << "there is no icon to change";
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("tray"), std::string::npos);
  EXPECT_FALSE(IsSystemTrayAvailable());
}
#endif

}  // namespace
