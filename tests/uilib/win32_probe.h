// What the Windows tests ask of the system directly, past the toolkit: the
// window system's own view of a window, keys, a system modal loop, and the
// shell's tray icon windows. Plain C++ on both sides of the firewall
// between the toolkit's Win32-shaped names and <windows.h>.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace probe {

// Whether the system knows `window` as a window, and its class and title.
bool IsSystemWindow(void* window);
std::wstring ClassName(void* window);
std::wstring Title(void* window);
// Whether the window's region holds the window point (x, y); true for
// every point inside a window without a region.
bool RegionHolds(void* window, int x, int y);
// Posts a message through the system's own queue.
bool PostSystemMessage(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Presses or releases a key in the thread's keyboard state.
void SetKeyDown(int key, bool down);
// Runs a message box (a modal loop of the system's, which knows nothing of
// the toolkit) until `done(context)` holds or `timeoutMs` pass; true when it held.
bool RunMessageBoxUntil(bool (*done)(void*), void* context, int timeoutMs);
// The shell's windows of the tray icons that Wine shows (docked in an X
// tray, or in its own small tray window when none runs); none elsewhere.
std::vector<void*> WineTrayIconWindows();

}  // namespace probe
