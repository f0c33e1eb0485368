#include "win32_probe.h"

#include <windows.h>

namespace probe {

namespace {

struct BoxWait {
  bool (*done)(void*) = nullptr;
  void* context = nullptr;
  DWORD deadline = 0;
  bool held = false;
};

BoxWait g_wait;
constexpr wchar_t kBoxTitle[] = L"probe modal loop";

void CALLBACK CheckBox(HWND, UINT, UINT_PTR, DWORD) {
  g_wait.held = g_wait.done(g_wait.context);
  if (!g_wait.held && GetTickCount() < g_wait.deadline) return;
  if (HWND box = FindWindowW(nullptr, kBoxTitle)) PostMessageW(box, WM_COMMAND, IDOK, 0);
}

BOOL CALLBACK FindTrayIcons(HWND window, LPARAM found) {
  wchar_t name[64] = L"";
  GetClassNameW(window, name, 64);
  if (lstrcmpW(name, L"__winex11_tray_icon") == 0) {
    reinterpret_cast<std::vector<void*>*>(found)->push_back(window);
  } else {
    EnumChildWindows(window, FindTrayIcons, found);
  }
  return TRUE;
}

}  // namespace

bool IsSystemWindow(void* window) { return IsWindow(static_cast<HWND>(window)) != FALSE; }

std::wstring ClassName(void* window) {
  wchar_t name[256] = L"";
  GetClassNameW(static_cast<HWND>(window), name, 256);
  return name;
}

std::wstring Title(void* window) {
  wchar_t title[256] = L"";
  GetWindowTextW(static_cast<HWND>(window), title, 256);
  return title;
}

bool RegionHolds(void* window, int x, int y) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  const bool shaped = GetWindowRgn(static_cast<HWND>(window), region) != ERROR;
  const bool holds = !shaped || PtInRegion(region, x, y);
  DeleteObject(region);
  return holds;
}

bool PostSystemMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

void SetKeyDown(int key, bool down) {
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[key] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

bool RunMessageBoxUntil(bool (*done)(void*), void* context, int timeoutMs) {
  g_wait = BoxWait{done, context, GetTickCount() + static_cast<DWORD>(timeoutMs), false};
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, CheckBox);
  MessageBoxW(nullptr, L"waiting", kBoxTitle, MB_OK);
  KillTimer(nullptr, timer);
  return g_wait.held;
}

std::vector<void*> WineTrayIconWindows() {
  std::vector<void*> found;
  EnumWindows(FindTrayIcons, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace probe
