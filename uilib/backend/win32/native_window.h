// The Win32 window system, as the toolkit's Win32 backend reaches it.
//
// The firewall: the toolkit's public headers define Win32-shaped names of
// their own (HWND, RECT, WM_*, PostMessage, DrawText, ...) that collide with
// <windows.h>, so no translation unit includes both. Toolkit-side files
// (backend/win32/*.cpp other than native_* and gdiplus_*) include toolkit,
// standard and platform headers and the backend's native headers; native
// files (native_*.cpp, gdiplus_*.cpp) include <windows.h> and the system's
// other headers and only their own native header; native headers such as
// this one declare plain C++ and include neither world. Across it a handle
// is a void* holding the system's value (the toolkit's HWND is the real
// HWND), messages, styles and key codes keep their Win32 numbers, and text
// is UTF-16 (std::wstring).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace uilib::win32 {

// A message of a window, as the window procedure receives it.
struct Message {
  void* window = nullptr;
  uint32_t message = 0;
  uintptr_t wParam = 0;
  intptr_t lParam = 0;
  // Where and when a queued message was posted (the system's MSG fields).
  uint32_t time = 0;
  int32_t x = 0;
  int32_t y = 0;
};

// The part of a window to repaint, in client coordinates.
struct Area {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// What the toolkit side answers for a window's message. `context` is the
// value given to CreateNativeWindow. WM_PAINT arrives with lParam pointing
// at the Area the system asks to repaint; after the handler returns, the
// window's pixels (WindowPixels) are shown there.
using WindowHandler = intptr_t (*)(void* context, const Message& message);
// Runs the toolkit's queued messages; called when the wake-up posted by
// WakeLoop is dispatched, by our loop or by any modal loop of the system.
using WakeHandler = void (*)();

// Registers the window classes and makes the hidden message window that
// carries wake-ups. False (and said once on standard error) when no window
// can be made: there is no display.
bool StartWindowing(WindowHandler windowHandler, WakeHandler wakeHandler);
// Posts one wake-up to the message window; safe from any thread.
bool WakeLoop();

struct WindowSpec {
  std::wstring className;
  uint32_t classStyle = 0;
  std::wstring title;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  void* owner = nullptr;
};
// Creates a top-level window whose messages go to the window handler with
// `context` (from WM_NCCREATE to WM_NCDESTROY). Null on failure.
void* CreateNativeWindow(const WindowSpec& spec, void* context);
// The system's own handling of a message.
intptr_t DefaultHandling(const Message& message);

// The next message for the thread: true with one in `out`; false when none
// is waiting and `wait` is false. A WM_QUIT of the system comes out too.
bool NextNativeMessage(Message* out, bool wait);
// Translates keys into characters and sends the message to its window; call
// once for each message NextNativeMessage gave, unless a filter took it.
void DispatchNativeMessage(const Message& message);

// Window functions, the system's own.
intptr_t Send(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam);
bool IsVisible(void* window);
bool IsMinimized(void* window);
bool Show(void* window, int command);
bool Place(void* window, void* insertAfter, int x, int y, int width, int height, uint32_t flags);
bool Destroy(void* window);
bool Enable(void* window, bool enable);
bool IsEnabled(void* window);
bool BringToFront(void* window);
void* Foreground();
void* Focused();
// The window that owns a top-level window, or null.
void* Owner(void* window);
bool SetTitle(void* window, const std::wstring& title);
int32_t GetLong(void* window, int index);
int32_t SetLong(void* window, int index, int32_t value);
bool WindowBounds(void* window, Area* bounds);
bool ClientBounds(void* window, Area* bounds);
bool ToClient(void* window, int32_t* x, int32_t* y);
bool ToScreen(void* window, int32_t* x, int32_t* y);
bool CursorPosition(int32_t* x, int32_t* y);
// The bounds (or the work area, without the task bar) of the monitor
// nearest to a screen point.
Area MonitorAround(int32_t x, int32_t y, bool workArea);
int16_t KeyState(int key);
void Capture(void* window);
void ReleaseMouse();

// Regions: the system's own, handed over to a window by SetRegion.
void* RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
void* RectRegion(int left, int top, int right, int bottom);
bool SetRegion(void* window, void* region, bool redraw);
bool DeleteRegion(void* region);
// For each pixel of a width x height client area, row by row: whether the
// window's region holds it (all of them without a region).
std::vector<bool> RegionMask(void* window, int width, int height);

// A top-down 32-bit pixel buffer of the window's client size, kept between
// paints (null on failure); what it holds is shown by WM_PAINT and Present.
void* WindowPixels(void* window, int width, int height);
// Puts `area` of the window's pixels on the screen now (outside WM_PAINT;
// inside it the window procedure shows them when the handler returns).
void Present(void* window, const Area& area);
// Asks for a WM_PAINT of `area` (all of the window when null), without erasing.
void Invalidate(void* window, const Area* area);
// Sends the WM_PAINT due, if any, now.
void PaintNow(void* window);

// Icons: the program's icon resource `id` (null when it has none), or one
// made from the PNG bytes of an icon file's image.
void* ProgramIcon(int id);
void* IconFromPng(const unsigned char* data, size_t size);

}  // namespace uilib::win32
