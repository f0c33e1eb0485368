// Windows, the thread's message queue, painting through a DIB section,
// regions and icons over user32 and gdi32.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <set>

#include "native_window.h"

namespace uilib::win32 {

namespace {

constexpr wchar_t kMessageWindowClass[] = L"UilibMessageWindow";
constexpr UINT kWakeMessage = WM_APP + 0x3F00;

// What a window of ours keeps beside its toolkit record.
struct NativeWindow {
  void* context = nullptr;
  HBITMAP pixels = nullptr;
  void* bits = nullptr;
  int width = 0;
  int height = 0;
  // The paint DC while WM_PAINT is handled: pixels presented then wait for it.
  HDC paintDc = nullptr;
  bool trackingLeave = false;

  ~NativeWindow() {
    if (pixels) DeleteObject(pixels);
  }
};

WindowHandler g_windowHandler = nullptr;
WakeHandler g_wakeHandler = nullptr;
// Set once by the UI thread; read by any thread that posts.
std::atomic<HWND> g_messageWindow{nullptr};

NativeWindow* NativeOf(HWND hwnd) {
  return reinterpret_cast<NativeWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

Message MessageOf(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Message out;
  out.window = hwnd;
  out.message = message;
  out.wParam = wParam;
  out.lParam = lParam;
  return out;
}

void Blit(HDC target, const NativeWindow& native, const RECT& area) {
  if (!native.pixels) return;
  // Pixels reach a DIB section through the CPU; GDI must see them all.
  GdiFlush();
  HDC source = CreateCompatibleDC(target);
  if (!source) return;
  HGDIOBJ previous = SelectObject(source, native.pixels);
  BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, source, area.left, area.top,
         SRCCOPY);
  SelectObject(source, previous);
  DeleteDC(source);
}

LRESULT Paint(HWND hwnd, NativeWindow* native) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd, &paint);
  if (!dc) return 0;
  native->paintDc = dc;
  Area area{paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom};
  g_windowHandler(native->context, MessageOf(hwnd, WM_PAINT, 0, reinterpret_cast<LPARAM>(&area)));
  // The handler may have closed the window.
  if (NativeOf(hwnd) == native) {
    native->paintDc = nullptr;
    Blit(dc, *native, paint.rcPaint);
  }
  EndPaint(hwnd, &paint);
  return 0;
}

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  NativeWindow* native = NativeOf(hwnd);
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    native = new NativeWindow;
    native->context = create->lpCreateParams;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(native));
  }
  if (!native || !g_windowHandler) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_PAINT:
      return Paint(hwnd, native);
    case WM_MOUSEMOVE:
      // WM_MOUSELEAVE comes only to a window that asked for it.
      if (!native->trackingLeave) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
        native->trackingLeave = TrackMouseEvent(&track) != FALSE;
      }
      break;
    case WM_MOUSELEAVE:
      native->trackingLeave = false;
      break;
    case WM_NCDESTROY: {
      const LRESULT result = g_windowHandler(native->context, MessageOf(hwnd, message, wParam, lParam));
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      delete native;
      return result;
    }
    default:
      break;
  }
  return g_windowHandler(native->context, MessageOf(hwnd, message, wParam, lParam));
}

LRESULT CALLBACK MessageWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWakeMessage) {
    if (g_wakeHandler) g_wakeHandler();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool RegisterWindowClass(const std::wstring& name, uint32_t style) {
  static std::set<std::wstring> registered;
  if (registered.count(name)) return true;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = style;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  // No background brush: every pixel is painted from the window's buffer,
  // so nothing is erased first (no flicker).
  windowClass.hbrBackground = nullptr;
  windowClass.lpszClassName = name.c_str();
  if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  registered.insert(name);
  return true;
}

}  // namespace

bool StartWindowing(WindowHandler windowHandler, WakeHandler wakeHandler) {
  if (g_messageWindow.load()) return true;
  static bool failed = false;
  if (failed) return false;
  g_windowHandler = windowHandler;
  g_wakeHandler = wakeHandler;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = MessageWindowProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kMessageWindowClass;
  RegisterClassExW(&windowClass);
  // A message window needs no display; a hidden top-level window does.
  HWND probe = CreateWindowExW(0, kMessageWindowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  if (probe) DestroyWindow(probe);
  HWND messageWindow = probe ? CreateWindowExW(0, kMessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                               GetModuleHandleW(nullptr), nullptr)
                             : nullptr;
  if (!messageWindow) {
    std::fprintf(stderr, "uilib: cannot open the display: no window can be made\n");
    failed = true;
    return false;
  }
  g_messageWindow.store(messageWindow);
  return true;
}

bool WakeLoop() {
  HWND window = g_messageWindow.load();
  return window && PostMessageW(window, kWakeMessage, 0, 0) != FALSE;
}

void* CreateNativeWindow(const WindowSpec& spec, void* context) {
  if (!RegisterWindowClass(spec.className, spec.classStyle)) return nullptr;
  return CreateWindowExW(spec.exStyle, spec.className.c_str(), spec.title.c_str(), spec.style, spec.x, spec.y,
                         spec.width, spec.height, static_cast<HWND>(spec.owner), nullptr, GetModuleHandleW(nullptr),
                         context);
}

intptr_t DefaultHandling(const Message& message) {
  return DefWindowProcW(static_cast<HWND>(message.window), message.message, message.wParam, message.lParam);
}

bool NextNativeMessage(Message* out, bool wait) {
  MSG msg;
  if (wait) {
    if (GetMessageW(&msg, nullptr, 0, 0) == -1) return false;
  } else {
    // Input first: the system would hand out every posted message before it.
    const bool taken = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT) ||
                       PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    if (!taken) return false;
  }
  *out = MessageOf(msg.hwnd, msg.message, msg.wParam, msg.lParam);
  out->time = msg.time;
  out->x = msg.pt.x;
  out->y = msg.pt.y;
  return true;
}

void DispatchNativeMessage(const Message& message) {
  MSG msg{};
  msg.hwnd = static_cast<HWND>(message.window);
  msg.message = message.message;
  msg.wParam = message.wParam;
  msg.lParam = message.lParam;
  msg.time = message.time;
  msg.pt = POINT{message.x, message.y};
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

intptr_t Send(void* window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendMessageW(static_cast<HWND>(window), message, wParam, lParam);
}

bool IsVisible(void* window) { return IsWindowVisible(static_cast<HWND>(window)) != FALSE; }
bool IsMinimized(void* window) { return IsIconic(static_cast<HWND>(window)) != FALSE; }
bool Show(void* window, int command) { return ShowWindow(static_cast<HWND>(window), command) != FALSE; }

bool Place(void* window, void* insertAfter, int x, int y, int width, int height, uint32_t flags) {
  return SetWindowPos(static_cast<HWND>(window), static_cast<HWND>(insertAfter), x, y, width, height, flags) != FALSE;
}

bool Destroy(void* window) { return DestroyWindow(static_cast<HWND>(window)) != FALSE; }

bool Enable(void* window, bool enable) { return EnableWindow(static_cast<HWND>(window), enable ? TRUE : FALSE) != FALSE; }

bool IsEnabled(void* window) { return IsWindowEnabled(static_cast<HWND>(window)) != FALSE; }

bool BringToFront(void* window) {
  HWND hwnd = static_cast<HWND>(window);
  const bool foreground = SetForegroundWindow(hwnd) != FALSE;
  SetFocus(hwnd);
  return foreground;
}

void* Foreground() { return GetForegroundWindow(); }
void* Owner(void* window) { return GetWindow(static_cast<HWND>(window), GW_OWNER); }
void* Focused() { return GetFocus(); }

bool SetTitle(void* window, const std::wstring& title) {
  return SetWindowTextW(static_cast<HWND>(window), title.c_str()) != FALSE;
}

int32_t GetLong(void* window, int index) { return GetWindowLongW(static_cast<HWND>(window), index); }

int32_t SetLong(void* window, int index, int32_t value) {
  HWND hwnd = static_cast<HWND>(window);
  const LONG previous = SetWindowLongW(hwnd, index, value);
  // A frame style changes nothing on screen until the frame is recalculated.
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return previous;
}

bool WindowBounds(void* window, Area* bounds) {
  RECT rect;
  if (!GetWindowRect(static_cast<HWND>(window), &rect)) return false;
  *bounds = Area{rect.left, rect.top, rect.right, rect.bottom};
  return true;
}

bool ClientBounds(void* window, Area* bounds) {
  RECT rect;
  if (!GetClientRect(static_cast<HWND>(window), &rect)) return false;
  *bounds = Area{rect.left, rect.top, rect.right, rect.bottom};
  return true;
}

bool ToClient(void* window, int32_t* x, int32_t* y) {
  POINT point{*x, *y};
  if (!ScreenToClient(static_cast<HWND>(window), &point)) return false;
  *x = point.x;
  *y = point.y;
  return true;
}

bool ToScreen(void* window, int32_t* x, int32_t* y) {
  POINT point{*x, *y};
  if (!ClientToScreen(static_cast<HWND>(window), &point)) return false;
  *x = point.x;
  *y = point.y;
  return true;
}

bool CursorPosition(int32_t* x, int32_t* y) {
  POINT point{0, 0};
  const bool known = GetCursorPos(&point) != FALSE;
  *x = point.x;
  *y = point.y;
  return known;
}

Area MonitorAround(int32_t x, int32_t y, bool workArea) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
  if (!monitor || !GetMonitorInfoW(monitor, &info)) {
    return Area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  const RECT& rect = workArea ? info.rcWork : info.rcMonitor;
  return Area{rect.left, rect.top, rect.right, rect.bottom};
}

int16_t KeyState(int key) { return GetKeyState(key); }

void Capture(void* window) { SetCapture(static_cast<HWND>(window)); }

void ReleaseMouse() { ReleaseCapture(); }

void* RoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  return CreateRoundRectRgn(left, top, right, bottom, ellipseWidth, ellipseHeight);
}

void* RectRegion(int left, int top, int right, int bottom) { return CreateRectRgn(left, top, right, bottom); }

bool SetRegion(void* window, void* region, bool redraw) {
  return SetWindowRgn(static_cast<HWND>(window), static_cast<HRGN>(region), redraw ? TRUE : FALSE) != 0;
}

bool DeleteRegion(void* region) { return DeleteObject(static_cast<HRGN>(region)) != FALSE; }

std::vector<bool> RegionMask(void* window, int width, int height) {
  std::vector<bool> inside(static_cast<size_t>(width) * static_cast<size_t>(height), true);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (!region) return inside;
  if (GetWindowRgn(static_cast<HWND>(window), region) != ERROR) {
    std::fill(inside.begin(), inside.end(), false);
    const DWORD size = GetRegionData(region, 0, nullptr);
    std::unique_ptr<char[]> buffer(new char[size]);
    auto* data = reinterpret_cast<RGNDATA*>(buffer.get());
    if (size && GetRegionData(region, size, data) == size) {
      const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
      for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        for (LONG y = std::max<LONG>(rects[i].top, 0); y < std::min<LONG>(rects[i].bottom, height); ++y) {
          for (LONG x = std::max<LONG>(rects[i].left, 0); x < std::min<LONG>(rects[i].right, width); ++x) {
            inside[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = true;
          }
        }
      }
    }
  }
  DeleteObject(region);
  return inside;
}

void* WindowPixels(void* window, int width, int height) {
  NativeWindow* native = NativeOf(static_cast<HWND>(window));
  if (!native || width <= 0 || height <= 0) return nullptr;
  if (native->pixels && native->width == width && native->height == height) return native->bits;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP pixels = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!pixels) return nullptr;
  if (native->pixels) DeleteObject(native->pixels);
  native->pixels = pixels;
  native->bits = bits;
  native->width = width;
  native->height = height;
  return bits;
}

void Present(void* window, const Area& area) {
  HWND hwnd = static_cast<HWND>(window);
  NativeWindow* native = NativeOf(hwnd);
  if (!native || native->paintDc || !IsWindowVisible(hwnd)) return;
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  Blit(dc, *native, RECT{area.left, area.top, area.right, area.bottom});
  ReleaseDC(hwnd, dc);
}

void Invalidate(void* window, const Area* area) {
  if (!area) {
    InvalidateRect(static_cast<HWND>(window), nullptr, FALSE);
    return;
  }
  RECT rect{area->left, area->top, area->right, area->bottom};
  InvalidateRect(static_cast<HWND>(window), &rect, FALSE);
}

void PaintNow(void* window) { UpdateWindow(static_cast<HWND>(window)); }

void* ProgramIcon(int id) {
  return LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
}

void* IconFromPng(const unsigned char* data, size_t size) {
  return CreateIconFromResourceEx(const_cast<PBYTE>(data), static_cast<DWORD>(size), TRUE, 0x00030000, 0, 0,
                                  LR_DEFAULTCOLOR);
}

}  // namespace uilib::win32
