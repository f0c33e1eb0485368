// Windows, the message queue and the message loop over the Win32 window
// system: real top-level windows whose window procedure reaches
// HandleMessage, painted through the window's pixel buffer.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>

#include "../../src/backend.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "uilib/ui_window.h"
#include "uilib/win_api.h"
#include "win32_backend.h"

namespace uilib::backend {

namespace {

// Posted messages handled in a row before the system's queue (input,
// painting) is looked at again.
constexpr int kPostedBurst = 64;
// While posted messages keep coming, windows waiting for a repaint get one
// this often (the system paints only when its queue is empty).
constexpr uint64_t kFrameMs = 16;

struct QueuedMessage {
  HWND hWnd = nullptr;
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Messages posted from any thread, and the handles that are alive (for
// PostMessage's answer). Guarded by `mutex`. The system's own queue is
// bounded and drops the messages of a thread that is not the window's
// (or has none) during the system's modal loops; this one keeps every
// message, in order, and one wake-up to the hidden message window brings
// them to whichever loop runs.
struct PostedQueue {
  std::mutex mutex;
  std::deque<QueuedMessage> messages;
  std::set<uintptr_t> live;
  bool wakePending = false;
};

// Never destroyed: worker threads may still post while the process exits.
PostedQueue& Posted() {
  static auto& queue = *new PostedQueue;
  return queue;
}

// UI-thread state.
std::map<uintptr_t, std::unique_ptr<WindowRecord>> g_windows;
// The record of the window being created, until its WM_NCCREATE names it.
std::unique_ptr<WindowRecord> g_creating;
// Posted messages taken from the shared queue, not yet handled.
std::deque<QueuedMessage> g_taken;
uint64_t g_lastFrameMs = 0;
bool g_textInput = false;

uintptr_t Id(HWND hWnd) { return reinterpret_cast<uintptr_t>(hWnd); }

bool IsLive(HWND hWnd) {
  std::lock_guard<std::mutex> lock(Posted().mutex);
  return Posted().live.count(Id(hWnd)) != 0;
}

void Enqueue(const QueuedMessage& message) {
  PostedQueue& queue = Posted();
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.messages.push_back(message);
    wake = !queue.wakePending;
    queue.wakePending = true;
  }
  // Before the window system starts there is no one to wake: the loop
  // looks at the queue itself when it runs.
  if (wake && !win32::WakeLoop()) {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.wakePending = false;
  }
}

bool IsInputMessage(UINT message) {
  return (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) || (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) ||
         message == WM_MOUSELEAVE;
}

bool QuitIsNext() { return !g_taken.empty() && !g_taken.front().hWnd && g_taken.front().message == WM_QUIT; }

bool TakePosted() {
  if (!g_taken.empty()) return true;
  PostedQueue& queue = Posted();
  std::lock_guard<std::mutex> lock(queue.mutex);
  g_taken.swap(queue.messages);
  queue.wakePending = false;
  return !g_taken.empty();
}

LRESULT DeliverNow(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !record->owner) return 0;
  return UIWindowAccess::Handle(record->owner, message, wParam, lParam);
}

// Queued messages pass the window's pre-message filters first.
bool Filtered(WindowRecord& record, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  return record.manager && record.manager->PreMessageHandler(message, wParam, lParam, result);
}

void DispatchPosted(const QueuedMessage& message) {
  WindowRecord* record = FindRecord(message.hWnd);
  if (!record || record->destroying) return;
  // A disabled window takes no input, posted or not.
  if (!win32::IsEnabled(Native(message.hWnd)) && (IsInputMessage(message.message) || message.message == WM_SYSCOMMAND)) {
    return;
  }
  if (Filtered(*record, message.message, message.wParam, message.lParam)) return;
  DeliverNow(message.hWnd, message.message, message.wParam, message.lParam);
}

// Repaints the windows waiting for it when a frame has passed since the last.
void PaintIfOverdue() {
  const uint64_t now = platform::MonotonicMs();
  if (now - g_lastFrameMs < kFrameMs) return;
  g_lastFrameMs = now;
  std::vector<HWND> waiting;
  for (auto& [id, record] : g_windows) {
    if (record->dirtyArea.right > record->dirtyArea.left) waiting.push_back(record->handle);
  }
  for (HWND hWnd : waiting) {
    if (FindRecord(hWnd)) win32::PaintNow(Native(hWnd));
  }
}

// Handles a burst of posted messages; stops before a WM_QUIT, which is the
// loop's to take.
void HandlePosted() {
  if (!TakePosted()) return;
  for (int handled = 0; handled < kPostedBurst && !g_taken.empty(); ++handled) {
    if (QuitIsNext()) return;
    QueuedMessage message = g_taken.front();
    g_taken.pop_front();
    DispatchPosted(message);
  }
  PaintIfOverdue();
  // What is left waits for the next wake-up: the system's modal loops get
  // it too.
  if (!g_taken.empty() && !QuitIsNext()) win32::WakeLoop();
}

// Typed text in UTF-16 units becomes code points; nothing while text input
// is off, and no control characters. False when there is no character yet.
bool TakeCharacter(WindowRecord& record, WPARAM unit, WPARAM* codePoint) {
  const auto value = static_cast<char16_t>(unit);
  if (value >= 0xD800 && value <= 0xDBFF) {
    record.highSurrogate = value;
    return false;
  }
  char32_t character = value;
  if (value >= 0xDC00 && value <= 0xDFFF) {
    if (!record.highSurrogate) return false;
    character = 0x10000 + ((static_cast<char32_t>(record.highSurrogate) - 0xD800) << 10) + (value - 0xDC00);
  }
  record.highSurrogate = 0;
  if (!g_textInput || character < 0x20 || (character >= 0x7F && character < 0xA0)) return false;
  *codePoint = character;
  return true;
}

// Handles a message of the system's queue the way our loop does: filters
// first, typed characters as code points.
void DispatchNative(const win32::Message& message) {
  WindowRecord* record = FindRecord(FromNative(message.window));
  if (!record) {
    win32::DispatchNativeMessage(message);
    return;
  }
  if (message.message == WM_CHAR) {
    WPARAM codePoint = 0;
    if (!TakeCharacter(*record, message.wParam, &codePoint)) return;
    if (Filtered(*record, WM_CHAR, codePoint, message.lParam)) return;
    DeliverNow(record->handle, WM_CHAR, codePoint, message.lParam);
    return;
  }
  // A WM_PAINT left unhandled would come back at once: painting is the window's own.
  if (message.message != WM_PAINT && Filtered(*record, message.message, message.wParam, message.lParam)) return;
  win32::DispatchNativeMessage(message);
}

enum class Step { kHandled, kIdle, kQuit };

Step HandleNative(const win32::Message& message) {
  if (!message.window && message.message == WM_QUIT) {
    // The system's own quit ends the loop as ours does.
    g_taken.push_front(QueuedMessage{nullptr, WM_QUIT, message.wParam, 0});
    return Step::kQuit;
  }
  DispatchNative(message);
  return QuitIsNext() ? Step::kQuit : Step::kHandled;
}

// Handles the next message. Posted messages and the system's (input,
// painting, timers) take turns, so that neither starves the other.
Step HandleNext(bool wait) {
  if (QuitIsNext()) return Step::kQuit;
  static bool systemsTurn = false;
  systemsTurn = !systemsTurn;
  win32::Message message;
  if (systemsTurn && win32::NextNativeMessage(&message, false)) return HandleNative(message);
  if (TakePosted()) {
    HandlePosted();
    return QuitIsNext() ? Step::kQuit : Step::kHandled;
  }
  if (!win32::NextNativeMessage(&message, wait)) return Step::kIdle;
  return HandleNative(message);
}

void WakeUp() { HandlePosted(); }

// Clips `area` to the client area and adds it to what the next paint
// repaints; false when nothing of it lies in the window.
bool AddDirty(WindowRecord& record, RECT* area) {
  RECT client{0, 0, 0, 0};
  ::GetClientRect(record.handle, &client);
  area->left = std::max<LONG>(area->left, 0);
  area->top = std::max<LONG>(area->top, 0);
  area->right = std::min<LONG>(area->right, client.right);
  area->bottom = std::min<LONG>(area->bottom, client.bottom);
  if (area->right <= area->left || area->bottom <= area->top) return false;
  RECT& dirty = record.dirtyArea;
  if (dirty.right <= dirty.left || dirty.bottom <= dirty.top) {
    dirty = *area;
  } else {
    dirty = RECT{std::min(dirty.left, area->left), std::min(dirty.top, area->top), std::max(dirty.right, area->right),
                 std::max(dirty.bottom, area->bottom)};
  }
  return true;
}

intptr_t HandleWindowMessage(void* context, const win32::Message& message) {
  auto* record = static_cast<WindowRecord*>(context);
  const HWND hWnd = FromNative(message.window);
  CWindowWnd* owner = record->owner;
  switch (message.message) {
    case WM_NCCREATE: {
      record->handle = hWnd;
      g_windows[Id(hWnd)] = std::move(g_creating);
      {
        std::lock_guard<std::mutex> lock(Posted().mutex);
        Posted().live.insert(Id(hWnd));
      }
      UIWindowAccess::SetHandle(owner, hWnd);
      break;
    }
    case WM_PAINT: {
      // What the system asks for joins what the toolkit asked for.
      const auto* asked = reinterpret_cast<const win32::Area*>(message.lParam);
      RECT area{asked->left, asked->top, asked->right, asked->bottom};
      AddDirty(*record, &area);
      g_lastFrameMs = platform::MonotonicMs();
      return UIWindowAccess::Handle(owner, WM_PAINT, 0, 0);
    }
    case WM_DESTROY:
      record->destroying = true;
      break;
    case WM_NCDESTROY: {
      const LRESULT result = UIWindowAccess::Handle(owner, WM_NCDESTROY, message.wParam, message.lParam);
      RemoveTrayIconsOf(hWnd);
      {
        std::lock_guard<std::mutex> lock(Posted().mutex);
        Posted().live.erase(Id(hWnd));
      }
      std::unique_ptr<WindowRecord> gone = std::move(g_windows[Id(hWnd)]);
      g_windows.erase(Id(hWnd));
      UIWindowAccess::Final(owner, hWnd);
      return result;
    }
    default:
      break;
  }
  return UIWindowAccess::Handle(owner, message.message, message.wParam, message.lParam);
}

win32::Area CursorMonitor(bool workArea) {
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  return win32::MonitorAround(cursor.x, cursor.y, workArea);
}

}  // namespace

// --- Shared backend state -----------------------------------------------------

bool EnsureWindowing() {
  if (!win32::StartWindowing(HandleWindowMessage, WakeUp)) return false;
  // Messages posted before the window system started need a wake-up of their own.
  {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    if (Posted().messages.empty() || Posted().wakePending) return true;
    Posted().wakePending = true;
  }
  win32::WakeLoop();
  return true;
}

WindowRecord* FindRecord(HWND hWnd) {
  auto it = g_windows.find(Id(hWnd));
  return it == g_windows.end() || !it->second ? nullptr : it->second.get();
}

std::wstring Utf16(std::string_view utf8) {
  std::wstring text;
  for (char32_t c : platform::Utf8ToCodePoints(utf8)) {
    if (c >= 0x10000) {
      text.push_back(static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10)));
      text.push_back(static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      text.push_back(static_cast<wchar_t>(c));
    }
  }
  return text;
}

void AttachManager(HWND hWnd, CPaintManagerUI* manager) {
  if (WindowRecord* record = FindRecord(hWnd)) {
    record->manager = manager;
    record->render.SetManager(manager);
    InvalidateWindow(hWnd);
  }
}

void DetachManager(HWND hWnd, CPaintManagerUI* manager) {
  WindowRecord* record = FindRecord(hWnd);
  if (record && record->manager == manager) {
    record->manager = nullptr;
    record->render.SetManager(nullptr);
  }
}

void InvalidateWindow(HWND hWnd, const RECT* area) {
  WindowRecord* record = FindRecord(hWnd);
  RECT add{0, 0, LONG{1} << 30, LONG{1} << 30};
  if (area) add = *area;
  if (!record || !AddDirty(*record, &add)) return;
  const win32::Area native{add.left, add.top, add.right, add.bottom};
  win32::Invalidate(Native(hWnd), &native);
}

bool TakeDirtyArea(HWND hWnd, RECT* area) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return false;
  *area = record->dirtyArea;
  record->dirtyArea = RECT{0, 0, 0, 0};
  return area->right > area->left && area->bottom > area->top;
}

CRenderUI* BeginPaint(HWND hWnd, const RECT& area) {
  WindowRecord* record = FindRecord(hWnd);
  RECT client{0, 0, 0, 0};
  if (!record || !::GetClientRect(hWnd, &client)) return nullptr;
  void* pixels = win32::WindowPixels(Native(hWnd), client.right, client.bottom);
  if (!pixels) return nullptr;
  record->render.Begin(pixels, client.right, client.bottom, area);
  record->paintArea = area;
  return &record->render;
}

void EndPaint(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return;
  record->render.End();
  const RECT& area = record->paintArea;
  win32::Present(Native(hWnd), win32::Area{area.left, area.top, area.right, area.bottom});
}

void SetCapture(HWND hWnd) { win32::Capture(Native(hWnd)); }

void ReleaseCapture() { win32::ReleaseMouse(); }

int RunMessageLoop() {
  if (!EnsureWindowing()) return -1;
  while (HandleNext(true) != Step::kQuit) {
  }
  const QueuedMessage quit = g_taken.front();
  g_taken.pop_front();
  return static_cast<int>(quit.wParam);
}

bool PumpMessages() {
  if (!EnsureWindowing()) return true;
  for (;;) {
    switch (HandleNext(false)) {
      case Step::kQuit:
        return false;
      case Step::kIdle:
        return true;
      case Step::kHandled:
        break;
    }
  }
}

}  // namespace uilib::backend

using uilib::backend::FindRecord;
using uilib::backend::Native;
using uilib::backend::WindowRecord;

// --- CWindowWnd -----------------------------------------------------------------

HWND CWindowWnd::Create(HWND parent, LPCTSTR name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy, HMENU) {
  using namespace uilib::backend;
  if (m_hWnd || !EnsureWindowing()) return nullptr;
  const bool defaultSize = cx == CW_USEDEFAULT || cy == CW_USEDEFAULT || cx <= 0 || cy <= 0;
  uilib::win32::WindowSpec spec;
  spec.className = Utf16(GetWindowClassName() ? GetWindowClassName() : "UIWindow");
  spec.classStyle = GetClassStyle();
  spec.title = Utf16(name ? name : "");
  // Shown once it has its size and place.
  spec.style = style & ~WS_VISIBLE;
  spec.exStyle = exStyle;
  spec.width = defaultSize ? 1 : cx;
  spec.height = defaultSize ? 1 : cy;
  spec.owner = FindRecord(parent) ? Native(parent) : nullptr;
  g_creating = std::make_unique<WindowRecord>();
  g_creating->owner = this;
  void* context = g_creating.get();
  HWND hWnd = FromNative(uilib::win32::CreateNativeWindow(spec, context));
  // A record still unclaimed means the system made no window at all (a
  // window refused by its WM_CREATE is gone by now, quietly).
  const bool systemRefused = g_creating != nullptr;
  g_creating.reset();
  if (systemRefused) std::fprintf(stderr, "uilib: cannot create a window\n");
  if (!hWnd || !FindRecord(hWnd)) return nullptr;
  RECT bounds{0, 0, 0, 0};
  ::GetWindowRect(hWnd, &bounds);
  const uilib::win32::Area screen = CursorMonitor(true);
  const int width = bounds.right - bounds.left;
  const int height = bounds.bottom - bounds.top;
  const int left = x == CW_USEDEFAULT ? screen.left + (screen.right - screen.left - width) / 2 : x;
  const int top = y == CW_USEDEFAULT ? screen.top + (screen.bottom - screen.top - height) / 2 : y;
  ::SetWindowPos(hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (style & WS_VISIBLE) ::ShowWindow(hWnd, SW_SHOW);
  return hWnd;
}

UINT CWindowWnd::DoModal() {
  using namespace uilib::backend;
  HWND self = m_hWnd;
  WindowRecord* record = FindRecord(self);
  if (!record) return static_cast<UINT>(-1);
  auto closeCode = std::make_shared<UINT>(IDCANCEL);
  record->closeCode = closeCode;
  HWND owner = ::GetParent(self);
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(self, SW_SHOWNORMAL);
  // This object may delete itself when its window goes: only locals from here.
  while (FindRecord(self)) {
    // A quit ends this loop and stays queued for the one outside.
    if (HandleNext(true) == Step::kQuit) break;
  }
  if (owner && FindRecord(owner)) {
    ::EnableWindow(owner, TRUE);
    ::SetForegroundWindow(owner);
  }
  return *closeCode;
}

void CWindowWnd::Close(UINT result) {
  if (WindowRecord* record = FindRecord(m_hWnd)) {
    if (record->closeCode) *record->closeCode = result;
  }
  PostMessage(WM_CLOSE, result, 0);
}

void CWindowWnd::CenterWindow(HWND centerOn) {
  if (!FindRecord(m_hWnd)) return;
  if (!centerOn) centerOn = ::GetParent(m_hWnd);
  RECT self;
  ::GetWindowRect(m_hWnd, &self);
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  const uilib::win32::Area screen = uilib::backend::CursorMonitor(true);
  RECT area{screen.left, screen.top, screen.right, screen.bottom};
  RECT around;
  if (centerOn && IsWindowVisible(centerOn) && !IsIconic(centerOn) && GetWindowRect(centerOn, &around)) area = around;
  int left = area.left + (area.right - area.left - width) / 2;
  int top = area.top + (area.bottom - area.top - height) / 2;
  left = std::max<int>(screen.left, std::min<int>(left, screen.right - width));
  top = std::max<int>(screen.top, std::min<int>(top, screen.bottom - height));
  ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  RECT client;
  RECT bounds;
  if (!::GetClientRect(m_hWnd, &client) || !::GetWindowRect(m_hWnd, &bounds)) return;
  // The frame, if any, keeps its size around the new client area.
  const int frameWidth = (bounds.right - bounds.left) - client.right;
  const int frameHeight = (bounds.bottom - bounds.top) - client.bottom;
  const int width = (cx < 0 ? client.right : cx) + frameWidth;
  const int height = (cy < 0 ? client.bottom : cy) + frameHeight;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CWindowWnd::DefWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  switch (uMsg) {
    case WM_PAINT:
      // Painted from the window's pixels when the window procedure returns.
      return 0;
    case WM_ERASEBKGND:
      // Every pixel is painted: erasing first would only flicker.
      return 1;
    case WM_CHAR:
      // A code point, which the system would read as a UTF-16 unit.
      return 0;
    case WM_SYSKEYDOWN:
      // Alt+F4 closes at once, as on every system the toolkit runs on.
      if (wParam == VK_F4 && (lParam & (1 << 29))) {
        ::SendMessage(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
      }
      break;
    default:
      break;
  }
  return uilib::win32::DefaultHandling(uilib::win32::Message{Native(hWnd), uMsg, wParam, lParam});
}

// --- Window functions -------------------------------------------------------------

BOOL PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  using namespace uilib::backend;
  if (hWnd && !IsLive(hWnd)) return FALSE;
  Enqueue(QueuedMessage{hWnd, uMsg, wParam, lParam});
  return TRUE;
}

void PostQuitMessage(int exitCode) { PostMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

// The system sends across threads itself: the caller waits while the UI
// thread's loop (or any modal loop) runs the window procedure.
LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!uilib::backend::IsLive(hWnd)) return 0;
  return uilib::win32::Send(Native(hWnd), uMsg, wParam, lParam);
}

BOOL IsWindow(HWND hWnd) { return hWnd && uilib::backend::IsLive(hWnd) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND hWnd) { return IsWindow(hWnd) && uilib::win32::IsVisible(Native(hWnd)) ? TRUE : FALSE; }

BOOL IsIconic(HWND hWnd) { return IsWindow(hWnd) && uilib::win32::IsMinimized(Native(hWnd)) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || record->destroying) return FALSE;
  const BOOL wasVisible = uilib::win32::Show(Native(hWnd), nCmdShow) ? TRUE : FALSE;
  if (nCmdShow != SW_HIDE && nCmdShow != SW_SHOWNOACTIVATE && nCmdShow != SW_SHOWNA && nCmdShow != SW_MINIMIZE &&
      nCmdShow != SW_SHOWMINIMIZED && nCmdShow != SW_SHOWMINNOACTIVE) {
    SetForegroundWindow(hWnd);
  }
  return wasVisible;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!FindRecord(hWnd)) return FALSE;
  return uilib::win32::Place(Native(hWnd), Native(hWndInsertAfter), x, y, cx, cy, flags) ? TRUE : FALSE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL) {
  return SetWindowPos(hWnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL DestroyWindow(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || record->destroying) return FALSE;
  return uilib::win32::Destroy(Native(hWnd)) ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
  if (!FindRecord(hWnd)) return FALSE;
  return uilib::win32::Enable(Native(hWnd), enable != FALSE) ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hWnd) { return IsWindow(hWnd) && uilib::win32::IsEnabled(Native(hWnd)) ? TRUE : FALSE; }

BOOL SetForegroundWindow(HWND hWnd) {
  if (!FindRecord(hWnd) || !IsWindowVisible(hWnd)) return FALSE;
  return uilib::win32::BringToFront(Native(hWnd)) ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
  HWND hWnd = uilib::backend::FromNative(uilib::win32::Foreground());
  return FindRecord(hWnd) ? hWnd : nullptr;
}

HWND GetFocus() {
  HWND hWnd = uilib::backend::FromNative(uilib::win32::Focused());
  return FindRecord(hWnd) ? hWnd : nullptr;
}

HWND GetParent(HWND hWnd) {
  if (!FindRecord(hWnd)) return nullptr;
  // The owner of a top-level window, as the system's GW_OWNER gives it.
  HWND owner = uilib::backend::FromNative(uilib::win32::Owner(Native(hWnd)));
  return FindRecord(owner) ? owner : nullptr;
}

BOOL SetWindowText(HWND hWnd, LPCTSTR text) {
  if (!FindRecord(hWnd)) return FALSE;
  return uilib::win32::SetTitle(Native(hWnd), uilib::backend::Utf16(text ? text : "")) ? TRUE : FALSE;
}

LONG GetWindowLong(HWND hWnd, int index) {
  if (!FindRecord(hWnd)) return 0;
  return uilib::win32::GetLong(Native(hWnd), index);
}

LONG SetWindowLong(HWND hWnd, int index, LONG value) {
  if (!FindRecord(hWnd)) return 0;
  return uilib::win32::SetLong(Native(hWnd), index, value);
}

namespace {

RECT RectOf(const uilib::win32::Area& area) { return RECT{area.left, area.top, area.right, area.bottom}; }

}  // namespace

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
  uilib::win32::Area bounds;
  if (!rect || !FindRecord(hWnd) || !uilib::win32::WindowBounds(Native(hWnd), &bounds)) return FALSE;
  *rect = RectOf(bounds);
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, RECT* rect) {
  uilib::win32::Area bounds;
  if (!rect || !FindRecord(hWnd) || !uilib::win32::ClientBounds(Native(hWnd), &bounds)) return FALSE;
  *rect = RectOf(bounds);
  return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT* point) {
  return point && FindRecord(hWnd) && uilib::win32::ToClient(Native(hWnd), &point->x, &point->y) ? TRUE : FALSE;
}

BOOL ClientToScreen(HWND hWnd, POINT* point) {
  return point && FindRecord(hWnd) && uilib::win32::ToScreen(Native(hWnd), &point->x, &point->y) ? TRUE : FALSE;
}

SHORT GetKeyState(int key) { return uilib::win32::KeyState(key); }

BOOL EnableTextInput(BOOL enable) {
  if (!uilib::backend::EnsureWindowing()) return FALSE;
  uilib::backend::g_textInput = enable != FALSE;
  return TRUE;
}

BOOL HaveDisplay() { return uilib::backend::EnsureWindowing() ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
  if (index != SM_CXSCREEN && index != SM_CYSCREEN) return 0;
  const uilib::win32::Area screen = uilib::backend::CursorMonitor(false);
  return index == SM_CXSCREEN ? screen.right - screen.left : screen.bottom - screen.top;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  uilib::win32::CursorPosition(&point->x, &point->y);
  return TRUE;
}

// Regions are the system's; the toolkit remembers those it made and still
// owns, so that deleting one twice, or one a window took, does no harm (the
// system may have freed it and handed its number to another object).
namespace {

std::set<HRGN>& OwnedRegions() {
  static std::set<HRGN> regions;
  return regions;
}

HRGN Owned(void* region) {
  HRGN handle = reinterpret_cast<HRGN>(region);
  if (handle) OwnedRegions().insert(handle);
  return handle;
}

}  // namespace

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  return Owned(uilib::win32::RoundRectRegion(left, top, right, bottom, ellipseWidth, ellipseHeight));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return Owned(uilib::win32::RectRegion(left, top, right, bottom));
}

int SetWindowRgn(HWND hWnd, HRGN region, BOOL redraw) {
  if (!FindRecord(hWnd)) return 0;
  // A region the toolkit does not own (unknown, or given away) clears the shape.
  void* given = OwnedRegions().erase(region) ? reinterpret_cast<void*>(region) : nullptr;
  if (!uilib::win32::SetRegion(Native(hWnd), given, redraw != FALSE)) {
    if (given) uilib::win32::DeleteRegion(given);
    return 0;
  }
  uilib::backend::InvalidateWindow(hWnd);
  return 1;
}

BOOL DeleteObject(HRGN region) {
  if (!OwnedRegions().erase(region)) return FALSE;
  return uilib::win32::DeleteRegion(reinterpret_cast<void*>(region)) ? TRUE : FALSE;
}
