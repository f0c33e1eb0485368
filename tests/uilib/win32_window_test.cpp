// What is particular to the Win32 backend: the toolkit's windows are the
// system's, with UTF-16 titles and real regions; posted messages survive the
// system's own modal loops; typed text and the shell's tray icon reach the
// window as they do on Linux.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>
#include <utility>
#include <vector>

#include "ui_test_window.h"
#include "uilib/ui_tray.h"
#include "win32_probe.h"

namespace {

constexpr UINT kPing = WM_USER + 120;
constexpr UINT kTrayMessage = WM_USER + 50;

const char* const kPlain = R"(<Window size="100,60"><VerticalLayout bkcolor="#FF336699"/></Window>)";

void* Native(HWND window) { return reinterpret_cast<void*>(window); }

TEST(Win32WindowTest, AToolkitWindowIsASystemWindowWithItsClassAndAUtf16Title) {
  UiTestWindow window(kPlain);
  ASSERT_TRUE(window.Open());
  HWND handle = window;
  EXPECT_TRUE(probe::IsSystemWindow(Native(handle)));
  EXPECT_EQ(probe::ClassName(Native(handle)), L"UITestFrame");
  EXPECT_EQ(probe::Title(Native(handle)), L"uilib test");
  ASSERT_TRUE(SetWindowText(window, "正在播放-舞曲 \xF0\x9F\x8E\xB5"));
  EXPECT_EQ(probe::Title(Native(handle)), L"正在播放-舞曲 \U0001F3B5");
  DestroyWindow(window);
  EXPECT_FALSE(probe::IsSystemWindow(Native(handle)));
}

TEST(Win32WindowTest, TheRoundRegionLeavesTheCornersAndTheRightAndBottomEdgesOutsideTheWindow) {
  UiTestWindow window(kPlain);
  ASSERT_TRUE(window.Open());
  ASSERT_EQ(SetWindowRgn(window, CreateRoundRectRgn(0, 0, 101, 61, 20, 20), TRUE), 1);
  const std::pair<POINT, bool> points[] = {
      {{0, 0}, false},  {{99, 0}, false}, {{0, 59}, false}, {{99, 59}, false}, {{3, 3}, true},
      {{50, 0}, true},  {{0, 30}, true},  {{99, 30}, true}, {{50, 59}, true},  {{50, 30}, true}};
  for (const auto& [point, inside] : points) {
    EXPECT_EQ(probe::RegionHolds(Native(window), point.x, point.y), inside) << point.x << "," << point.y;
  }
  ASSERT_EQ(SetWindowRgn(window, CreateRectRgn(0, 0, 50, 60), TRUE), 1);
  EXPECT_TRUE(probe::RegionHolds(Native(window), 49, 10));
  EXPECT_FALSE(probe::RegionHolds(Native(window), 50, 10)) << "a rectangle region's right edge is outside";
}

struct Flood {
  std::atomic<int> received{0};
};

bool AllArrived(void* context) { return static_cast<Flood*>(context)->received.load() == 2000; }

// A message box runs the system's own loop, which knows nothing of the
// toolkit's queue: window messages posted from a thread still arrive, in
// order, and a quit posted meanwhile waits for the toolkit's loop.
TEST(Win32WindowTest, PostedMessagesArriveInOrderDuringASystemModalLoopAndTheQuitWaitsForOurLoop) {
  UiTestWindow window(kPlain);
  ASSERT_TRUE(window.Open());
  Flood flood;
  bool ordered = true;
  window.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg != kPing) return;
    if (static_cast<int>(wParam) != flood.received.load()) ordered = false;
    ++flood.received;
  };
  HWND target = window;
  std::thread producer([target] {
    for (int i = 0; i < 2000; ++i) PostMessage(target, kPing, static_cast<WPARAM>(i), 0);
    PostQuitMessage(7);
  });
  EXPECT_TRUE(probe::RunMessageBoxUntil(AllArrived, &flood, 20000)) << flood.received.load();
  producer.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
}

TEST(Win32WindowTest, TypedCharactersArriveAsCodePointsOnlyWhileTextInputIsOn) {
  UiTestWindow window(kPlain);
  ASSERT_TRUE(window.Open());
  std::vector<WPARAM> typed;
  window.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_CHAR) typed.push_back(wParam);
  };
  auto type = [&](std::initializer_list<uintptr_t> units) {
    for (uintptr_t unit : units) probe::PostSystemMessage(Native(window), WM_CHAR, unit, 1);
    PumpFor(100);
  };
  ASSERT_TRUE(EnableTextInput(TRUE));
  // a, 中, U+1F3B5 as a surrogate pair, then Backspace, Enter and DEL, which are keys, not text.
  type({'a', 0x4E2D, 0xD83C, 0xDFB5, 0x08, 0x0D, 0x7F, 0xDFB5, 'z'});
  EXPECT_EQ(typed, (std::vector<WPARAM>{'a', 0x4E2D, 0x1F3B5, 'z'})) << "a lone low surrogate is dropped too";
  typed.clear();
  ASSERT_TRUE(EnableTextInput(FALSE));
  type({'b'});
  EXPECT_TRUE(typed.empty());
}

TEST(Win32WindowTest, KeysArriveWithTheirVirtualKeyCodesAndTheKeyboardStateIsTheSystems) {
  UiTestWindow window(kPlain);
  ASSERT_TRUE(window.Open());
  std::vector<WPARAM> keys;
  window.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_KEYDOWN) keys.push_back(wParam);
  };
  for (WPARAM key : {VK_ADD, VK_OEM_MINUS, VK_MEDIA_PLAY_PAUSE, VK_F4}) {
    probe::PostSystemMessage(Native(window), WM_KEYDOWN, key, 1);
  }
  ASSERT_TRUE(PumpUntil([&] { return keys.size() == 4; }));
  EXPECT_EQ(keys, (std::vector<WPARAM>{VK_ADD, VK_OEM_MINUS, VK_MEDIA_PLAY_PAUSE, VK_F4}));
  probe::SetKeyDown(static_cast<int>(VK_CONTROL), true);
  EXPECT_NE(GetKeyState(VK_CONTROL) & 0x8000, 0);
  EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8000, 0);
  probe::SetKeyDown(static_cast<int>(VK_CONTROL), false);
  EXPECT_EQ(GetKeyState(VK_CONTROL) & 0x8000, 0);
}

// Wine's shell shows the icon in an X tray, or in a small tray window of its
// own when none runs: a tray is there either way, and a click on the icon
// reaches the window as (uID, mouse message).
TEST(Win32WindowTest, TheTrayIconCallsTheWindowBackWithItsNumberAndTheMouseMessage) {
  auto* window = new UiTestWindow(R"(<Window size="40,40"><Control/></Window>)");
  ASSERT_TRUE(window->Open());
  std::vector<std::pair<WPARAM, LPARAM>> calls;
  window->onMessage = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kTrayMessage) calls.emplace_back(wParam, lParam);
  };
  EXPECT_TRUE(IsSystemTrayAvailable());
  const std::vector<void*> before = probe::WineTrayIconWindows();
  NOTIFYICONDATA data{};
  data.hWnd = *window;
  data.uID = 108;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kTrayMessage;
  data.hIcon = LoadIcon(nullptr, MAKEINTRESOURCE(108));
  std::snprintf(data.szTip, sizeof data.szTip, "%s", "正在播放-中文舞曲");
  ASSERT_TRUE(Shell_NotifyIcon(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIcon(NIM_ADD, &data)) << "one icon per window and number";
  data.uFlags = NIF_TIP;
  std::snprintf(data.szTip, sizeof data.szTip, "%s", "Tarvoni");
  EXPECT_TRUE(Shell_NotifyIcon(NIM_MODIFY, &data));

  // Ours is the icon window that was not there before.
  std::vector<void*> icons = probe::WineTrayIconWindows();
  std::erase_if(icons, [&before](void* icon) { return std::find(before.begin(), before.end(), icon) != before.end(); });
  if (icons.empty()) {
    delete window;
    GTEST_SKIP() << "not Wine's shell: no icon window to click";
  }
  ASSERT_EQ(icons.size(), 1u);
  void* icon = icons.front();
  for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP}) {
    probe::PostSystemMessage(icon, mouse, 0, MAKELPARAM(4, 4));
  }
  ASSERT_TRUE(PumpUntil([&] { return calls.size() >= 4; })) << calls.size();
  EXPECT_EQ(calls, (std::vector<std::pair<WPARAM, LPARAM>>{
                       {108, WM_LBUTTONDOWN}, {108, WM_LBUTTONUP}, {108, WM_RBUTTONDOWN}, {108, WM_RBUTTONUP}}));

  delete window;
  EXPECT_EQ(probe::WineTrayIconWindows(), before) << "a window that goes takes its icons with it";
  EXPECT_FALSE(Shell_NotifyIcon(NIM_DELETE, &data));
}

}  // namespace
