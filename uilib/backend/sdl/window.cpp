// Windows, the message queue and the message loop over SDL2.
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "../../src/backend.h"
#include "platform/sync.h"
#include "platform/text.h"
#include "render.h"
#include "sdl_backend.h"
#include "uilib/ui_window.h"
#include "uilib/win_api.h"

namespace uilib::backend {

namespace {

constexpr uintptr_t kFirstHandle = 0x1000;
// Longest sleep of an idle loop: a safety net should a wake-up be lost.
constexpr int kIdleWaitMs = 500;
// Posted messages handled in a row before the window system is asked for input again.
constexpr int kPostedBurst = 64;

// A SendMessage from another thread, waiting for the UI thread's answer.
struct CrossThreadCall {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  LRESULT result = 0;

  void Finish(LRESULT value) {
    std::lock_guard<std::mutex> lock(mutex);
    result = value;
    finished = true;
    done.notify_all();
  }
};

struct QueuedMessage {
  HWND hWnd = nullptr;
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::shared_ptr<CrossThreadCall> call;
};

// Messages posted from any thread, and the handles that are alive (for
// PostMessage's answer). Guarded by `mutex`.
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
std::deque<QueuedMessage> g_input;
std::deque<QueuedMessage> g_taken;
uintptr_t g_nextHandle = kFirstHandle;
bool g_preferInput = false;
int g_postedInARow = 0;
uint64_t g_nextFrameMs = 0;
std::deque<HWND> g_framePending;
HWND g_capture = nullptr;

std::atomic<bool> g_sdlReady{false};
std::atomic<uint32_t> g_wakeEvent{0};
std::thread::id g_uiThread;

uintptr_t Id(HWND hWnd) { return reinterpret_cast<uintptr_t>(hWnd); }

void Wake() {
  uint32_t type = g_wakeEvent.load();
  if (!g_sdlReady.load() || type == 0) return;
  SDL_Event event{};
  event.type = type;
  if (SDL_PushEvent(&event) < 0) {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    Posted().wakePending = false;
  }
}

void Enqueue(QueuedMessage message) {
  PostedQueue& queue = Posted();
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(queue.mutex);
    queue.messages.push_back(std::move(message));
    if (!queue.wakePending) {
      queue.wakePending = true;
      wake = true;
    }
  }
  if (wake) Wake();
}

bool IsInputMessage(UINT message) {
  return (message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) || (message >= WM_KEYDOWN && message <= WM_SYSKEYUP) ||
         message == WM_MOUSELEAVE;
}

int FrameIntervalMs() {
  SDL_DisplayMode mode;
  int rate = (SDL_GetCurrentDisplayMode(0, &mode) == 0 && mode.refresh_rate > 0) ? mode.refresh_rate : 60;
  return std::max(1, 1000 / rate);
}

WPARAM MouseKeys(uint32_t buttons) {
  WPARAM keys = 0;
  if (buttons & SDL_BUTTON_LMASK) keys |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) keys |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) keys |= MK_MBUTTON;
  SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) keys |= MK_SHIFT;
  if (mods & KMOD_CTRL) keys |= MK_CONTROL;
  return keys;
}

WPARAM VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return static_cast<WPARAM>('A' + (key - SDLK_a));
  if (key >= SDLK_0 && key <= SDLK_9) return static_cast<WPARAM>('0' + (key - SDLK_0));
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + static_cast<WPARAM>(key - SDLK_F1);
  switch (key) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_PAGEUP:
      return VK_PRIOR;
    case SDLK_PAGEDOWN:
      return VK_NEXT;
    case SDLK_END:
      return VK_END;
    case SDLK_HOME:
      return VK_HOME;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_DELETE:
      return VK_DELETE;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return VK_CONTROL;
    case SDLK_LALT:
    case SDLK_RALT:
      return VK_MENU;
    case SDLK_EQUALS:
    case SDLK_PLUS:
      return VK_OEM_PLUS;
    case SDLK_MINUS:
      return VK_OEM_MINUS;
    case SDLK_KP_PLUS:
      return VK_ADD;
    case SDLK_KP_MINUS:
      return VK_SUBTRACT;
    case SDLK_AUDIOPLAY:
      return VK_MEDIA_PLAY_PAUSE;
    case SDLK_AUDIOSTOP:
      return VK_MEDIA_STOP;
    case SDLK_AUDIONEXT:
      return VK_MEDIA_NEXT_TRACK;
    case SDLK_AUDIOPREV:
      return VK_MEDIA_PREV_TRACK;
    default:
      return 0;
  }
}

void PushInput(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  QueuedMessage queued;
  queued.hWnd = hWnd;
  queued.message = message;
  queued.wParam = wParam;
  queued.lParam = lParam;
  g_input.push_back(queued);
}

void TranslateWindowEvent(WindowRecord& record, const SDL_WindowEvent& event) {
  HWND hWnd = record.handle;
  switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
      record.Invalidate();
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      if (event.data1 != record.width || event.data2 != record.height) {
        record.width = event.data1;
        record.height = event.data2;
        record.Invalidate();
        PushInput(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(record.width, record.height));
      }
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      PushInput(hWnd, WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(record.width, record.height));
      break;
    case SDL_WINDOWEVENT_RESTORED:
      record.Invalidate();
      PushInput(hWnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(record.width, record.height));
      break;
    case SDL_WINDOWEVENT_MOVED:
      PushInput(hWnd, WM_MOVE, 0, MAKELPARAM(event.data1, event.data2));
      break;
    case SDL_WINDOWEVENT_LEAVE:
      PushInput(hWnd, WM_MOUSELEAVE, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      PushInput(hWnd, WM_NCACTIVATE, TRUE, 0);
      PushInput(hWnd, WM_SETFOCUS, 0, 0);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST: {
      // By the time this is handled the window taking the focus has it.
      WindowRecord* gaining = FindRecord(SDL_GetKeyboardFocus());
      HWND next = gaining && gaining != &record ? gaining->handle : nullptr;
      PushInput(hWnd, WM_NCACTIVATE, FALSE, 0);
      PushInput(hWnd, WM_KILLFOCUS, reinterpret_cast<WPARAM>(next), 0);
      break;
    }
    case SDL_WINDOWEVENT_CLOSE:
      PushInput(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
    default:
      break;
  }
}

void Translate(const SDL_Event& event) {
  if (event.type == g_wakeEvent.load()) return;
  switch (event.type) {
    case SDL_WINDOWEVENT:
      if (WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.window.windowID))) {
        TranslateWindowEvent(*record, event.window);
      }
      return;
    case SDL_MOUSEMOTION:
      if (WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.motion.windowID))) {
        PushInput(record->handle, WM_MOUSEMOVE, MouseKeys(event.motion.state), MAKELPARAM(event.motion.x, event.motion.y));
      }
      return;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.button.windowID));
      if (!record) return;
      const bool down = event.type == SDL_MOUSEBUTTONDOWN;
      const bool doubleClick = down && event.button.clicks >= 2 && event.button.clicks % 2 == 0 &&
                               (record->classStyle & CS_DBLCLKS);
      UINT message = 0;
      if (event.button.button == SDL_BUTTON_LEFT) {
        message = down ? (doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN) : WM_LBUTTONUP;
      } else if (event.button.button == SDL_BUTTON_RIGHT) {
        message = down ? (doubleClick ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN) : WM_RBUTTONUP;
      } else if (event.button.button == SDL_BUTTON_MIDDLE) {
        message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      }
      if (!message) return;
      // A press gives the window the keyboard focus, as a click-to-focus
      // window manager would (and where none runs, nothing else does).
      if (down && record->visible && SDL_GetKeyboardFocus() != record->window) {
        SDL_SetWindowInputFocus(record->window);
      }
      PushInput(record->handle, message, MouseKeys(SDL_GetMouseState(nullptr, nullptr)),
                MAKELPARAM(event.button.x, event.button.y));
      return;
    }
    case SDL_MOUSEWHEEL: {
      WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.wheel.windowID));
      if (!record || event.wheel.y == 0) return;
      int x = 0;
      int y = 0;
      SDL_GetGlobalMouseState(&x, &y);
      int delta = event.wheel.y * WHEEL_DELTA;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
      WPARAM wParam = (static_cast<WPARAM>(static_cast<WORD>(delta)) << 16) | MouseKeys(SDL_GetMouseState(nullptr, nullptr));
      PushInput(record->handle, WM_MOUSEWHEEL, wParam, MAKELPARAM(x, y));
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.key.windowID));
      WPARAM key = VirtualKey(event.key.keysym.sym);
      if (!record || key == 0) return;
      const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
      const bool down = event.type == SDL_KEYDOWN;
      UINT message = down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
      LPARAM lParam = 1 | (alt ? (1 << 29) : 0) | (event.key.repeat ? (1 << 30) : 0);
      PushInput(record->handle, message, key, lParam);
      return;
    }
    case SDL_TEXTINPUT: {
      WindowRecord* record = FindRecord(SDL_GetWindowFromID(event.text.windowID));
      if (!record) return;
      for (char32_t codePoint : platform::Utf8ToCodePoints(event.text.text)) PushInput(record->handle, WM_CHAR, codePoint, 1);
      return;
    }
    case SDL_SYSWMEVENT:
      HandleSystemEvent(event);
      return;
    default:
      return;
  }
}

void PumpSdl() {
  if (!g_sdlReady.load()) return;
  SDL_Event event;
  while (SDL_PollEvent(&event)) Translate(event);
}

bool Paintable(const WindowRecord& record) {
  return record.dirty && record.visible && !record.destroying &&
         !(SDL_GetWindowFlags(record.window) & SDL_WINDOW_MINIMIZED);
}

// A frame repaints every window that needed it when the frame began, one
// WM_PAINT each; the next frame starts one display refresh later.
bool PaintDue(QueuedMessage* out) {
  if (g_framePending.empty()) {
    uint64_t now = platform::MonotonicMs();
    if (now < g_nextFrameMs) return false;
    for (auto& [id, record] : g_windows) {
      if (Paintable(*record)) g_framePending.push_back(record->handle);
    }
    if (g_framePending.empty()) return false;
    g_nextFrameMs = now + static_cast<uint64_t>(FrameIntervalMs());
  }
  while (!g_framePending.empty()) {
    HWND hWnd = g_framePending.front();
    g_framePending.pop_front();
    WindowRecord* record = FindRecord(hWnd);
    if (!record || !Paintable(*record)) continue;
    // The window's painter takes the area with TakeDirtyArea; a window that
    // does not paint keeps it for later.
    record->dirty = false;
    out->hWnd = hWnd;
    out->message = WM_PAINT;
    out->wParam = 0;
    out->lParam = 0;
    out->call.reset();
    return true;
  }
  return false;
}

bool AnyPaintable() {
  for (auto& [id, record] : g_windows) {
    if (Paintable(*record)) return true;
  }
  return false;
}

// The next message to handle: a due repaint first (so a flood of posted
// messages never freezes the display), then posted messages and input in
// turn. False when nothing is waiting and `wait` is false.
bool NextMessage(QueuedMessage* out, bool wait) {
  for (;;) {
    if (g_input.empty() || g_postedInARow >= kPostedBurst) {
      PumpSdl();
      g_postedInARow = 0;
    }
    if (PaintDue(out)) return true;
    if (g_taken.empty()) {
      PostedQueue& queue = Posted();
      std::lock_guard<std::mutex> lock(queue.mutex);
      g_taken.swap(queue.messages);
      queue.wakePending = false;
    }
    const bool haveInput = !g_input.empty();
    const bool havePosted = !g_taken.empty();
    if (haveInput && (!havePosted || g_preferInput)) {
      *out = std::move(g_input.front());
      g_input.pop_front();
      g_preferInput = false;
      return true;
    }
    if (havePosted) {
      *out = std::move(g_taken.front());
      g_taken.pop_front();
      ++g_postedInARow;
      g_preferInput = true;
      return true;
    }
    if (!wait) return false;
    int timeout = kIdleWaitMs;
    if (AnyPaintable()) {
      uint64_t now = platform::MonotonicMs();
      timeout = g_nextFrameMs > now ? static_cast<int>(g_nextFrameMs - now) : 0;
    }
    if (!g_sdlReady.load()) {
      platform::SleepMs(static_cast<uint32_t>(std::max(timeout, 1)));
      continue;
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, std::max(timeout, 1))) Translate(event);
  }
}

LRESULT DeliverNow(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !record->owner) return 0;
  return UIWindowAccess::Handle(record->owner, message, wParam, lParam);
}

void Dispatch(const QueuedMessage& message) {
  WindowRecord* record = FindRecord(message.hWnd);
  if (message.call) {
    message.call->Finish(record ? DeliverNow(message.hWnd, message.message, message.wParam, message.lParam) : 0);
    return;
  }
  if (!record || record->destroying) return;
  if (!record->enabled && (IsInputMessage(message.message) || message.message == WM_SYSCOMMAND)) return;
  // Queued messages pass the window's pre-message filters first.
  if (record->manager) {
    LRESULT result = 0;
    if (record->manager->PreMessageHandler(message.message, message.wParam, message.lParam, result)) return;
  }
  DeliverNow(message.hWnd, message.message, message.wParam, message.lParam);
}

SDL_HitTestResult HitTest(SDL_Window* window, const SDL_Point* area, void* data) {
  HWND hWnd = static_cast<HWND>(data);
  WindowRecord* record = FindRecord(hWnd);
  if (!record || record->destroying || !record->enabled) return SDL_HITTEST_NORMAL;
  int x = 0;
  int y = 0;
  SDL_GetWindowPosition(window, &x, &y);
  LRESULT hit = DeliverNow(hWnd, WM_NCHITTEST, 0, MAKELPARAM(area->x + x, area->y + y));
  return hit == HTCAPTION ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
}

void ApplyShape(WindowRecord& record) {
  if (!record.shaped || !record.region.set) return;
  int w = 0;
  int h = 0;
  SDL_GetWindowSize(record.window, &w, &h);
  SDL_Surface* mask = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!mask) return;
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(mask->pixels) + y * mask->pitch);
    for (int x = 0; x < w; ++x) row[x] = record.region.Contains(x, y) ? 0xFFFFFFFFu : 0u;
  }
  SDL_WindowShapeMode mode;
  mode.mode = ShapeModeBinarizeAlpha;
  mode.parameters.binarizationCutoff = 128;
  SDL_SetWindowShape(record.window, mask, &mode);
  SDL_FreeSurface(mask);
}

// The bounds of the screen the cursor is on (the first screen otherwise).
SDL_Rect ScreenBounds() {
  SDL_Rect bounds{0, 0, 1024, 768};
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  int displays = SDL_GetNumVideoDisplays();
  for (int i = 0; i < displays; ++i) {
    SDL_Rect rect;
    if (SDL_GetDisplayBounds(i, &rect) != 0) continue;
    if (i == 0) bounds = rect;
    if (cursor.x >= rect.x && cursor.x < rect.x + rect.w && cursor.y >= rect.y && cursor.y < rect.y + rect.h) {
      return rect;
    }
  }
  return bounds;
}

void Resize(WindowRecord& record, int cx, int cy) {
  cx = std::max(cx, 1);
  cy = std::max(cy, 1);
  if (cx == record.width && cy == record.height) return;
  SDL_SetWindowSize(record.window, cx, cy);
  record.width = cx;
  record.height = cy;
  record.Invalidate();
  DeliverNow(record.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(cx, cy));
}

}  // namespace

// --- Shared backend state -----------------------------------------------------

bool WindowRegion::Contains(int x, int y) const {
  if (!set) return true;
  // CreateRoundRectRgn leaves the right and bottom edges out.
  const int right = rect.right - 1;
  const int bottom = rect.bottom - 1;
  if (x < rect.left || x >= right || y < rect.top || y >= bottom) return false;
  const double rx = ellipseWidth / 2.0;
  const double ry = ellipseHeight / 2.0;
  if (rx <= 0 || ry <= 0) return true;
  const double px = x + 0.5;
  const double py = y + 0.5;
  double cx = 0;
  double cy = 0;
  if (px < rect.left + rx) cx = rect.left + rx;
  else if (px > right - rx) cx = right - rx;
  else return true;
  if (py < rect.top + ry) cy = rect.top + ry;
  else if (py > bottom - ry) cy = bottom - ry;
  else return true;
  const double dx = (px - cx) / rx;
  const double dy = (py - cy) / ry;
  return dx * dx + dy * dy <= 1.0;
}

WindowRecord::WindowRecord() = default;
WindowRecord::~WindowRecord() = default;

void WindowRecord::Invalidate(const RECT* area) {
  RECT add = area ? *area : RECT{0, 0, width, height};
  add.left = std::max<LONG>(add.left, 0);
  add.top = std::max<LONG>(add.top, 0);
  add.right = std::min<LONG>(add.right, width);
  add.bottom = std::min<LONG>(add.bottom, height);
  if (add.right <= add.left || add.bottom <= add.top) return;
  if (dirtyArea.right <= dirtyArea.left || dirtyArea.bottom <= dirtyArea.top) {
    dirtyArea = add;
  } else {
    dirtyArea.left = std::min(dirtyArea.left, add.left);
    dirtyArea.top = std::min(dirtyArea.top, add.top);
    dirtyArea.right = std::max(dirtyArea.right, add.right);
    dirtyArea.bottom = std::max(dirtyArea.bottom, add.bottom);
  }
  dirty = true;
}

bool EnsureVideo() {
  if (g_sdlReady.load()) return true;
  // Without a display every later attempt fails the same way: say it once.
  static bool failed = false;
  if (failed) return false;
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  // Our renderer draws in software: the window's pixels go straight to the
  // display, with no GL context per window behind them.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "uilib: cannot open the display: %s\n", SDL_GetError());
    failed = true;
    return false;
  }
  // Without a display SDL falls back on a driver that draws nowhere; only a
  // caller that names such a driver (SDL_VIDEODRIVER) gets windows nobody sees.
  const char* driver = SDL_GetCurrentVideoDriver();
  const bool drawsNowhere = driver == nullptr || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0;
  if (drawsNowhere && SDL_getenv("SDL_VIDEODRIVER") == nullptr) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    failed = true;
    return false;
  }
  KeepXErrorsNonFatal();
  // Keys arrive as WM_KEYDOWN; composed text (and the input method behind it) is not used.
  SDL_StopTextInput();
  if (TTF_WasInit() == 0 && TTF_Init() != 0) std::fprintf(stderr, "uilib: text rendering unavailable: %s\n", TTF_GetError());
  IMG_Init(IMG_INIT_PNG);
  g_uiThread = std::this_thread::get_id();
  uint32_t wake = SDL_RegisterEvents(1);
  g_wakeEvent.store(wake == static_cast<uint32_t>(-1) ? 0 : wake);
  g_sdlReady.store(true);
  // Messages posted before SDL was ready need a wake-up of their own.
  Wake();
  return true;
}

bool IsUiThread() { return !g_sdlReady.load() || std::this_thread::get_id() == g_uiThread; }

WindowRecord* FindRecord(HWND hWnd) {
  auto it = g_windows.find(Id(hWnd));
  return it == g_windows.end() ? nullptr : it->second.get();
}

WindowRecord* FindRecord(SDL_Window* window) {
  if (!window) return nullptr;
  for (auto& [id, record] : g_windows) {
    if (record->window == window) return record.get();
  }
  return nullptr;
}

void AttachManager(HWND hWnd, CPaintManagerUI* manager) {
  if (WindowRecord* record = FindRecord(hWnd)) {
    record->manager = manager;
    if (record->render) record->render->SetManager(manager);
    record->Invalidate();
  }
}

void DetachManager(HWND hWnd, CPaintManagerUI* manager) {
  WindowRecord* record = FindRecord(hWnd);
  if (record && record->manager == manager) {
    record->manager = nullptr;
    if (record->render) record->render->SetManager(nullptr);
  }
}

void InvalidateWindow(HWND hWnd, const RECT* area) {
  if (WindowRecord* record = FindRecord(hWnd)) record->Invalidate(area);
}

bool TakeDirtyArea(HWND hWnd, RECT* area) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return false;
  *area = record->dirtyArea;
  record->dirtyArea = RECT{0, 0, 0, 0};
  record->dirty = false;
  return area->right > area->left && area->bottom > area->top;
}

CRenderUI* BeginPaint(HWND hWnd, const RECT& area) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !record->render) return nullptr;
  record->render->Begin(area);
  return record->render.get();
}

void EndPaint(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  if (record && record->renderer) SDL_RenderPresent(record->renderer);
}

void SetCapture(HWND hWnd) {
  g_capture = hWnd;
  if (g_sdlReady.load()) SDL_CaptureMouse(SDL_TRUE);
}

void ReleaseCapture() {
  if (!g_capture) return;
  g_capture = nullptr;
  if (g_sdlReady.load()) SDL_CaptureMouse(SDL_FALSE);
}

int RunMessageLoop() {
  QueuedMessage message;
  for (;;) {
    NextMessage(&message, true);
    if (!message.hWnd && message.message == WM_QUIT) return static_cast<int>(message.wParam);
    Dispatch(message);
  }
}

bool PumpMessages() {
  QueuedMessage message;
  while (NextMessage(&message, false)) {
    if (!message.hWnd && message.message == WM_QUIT) {
      g_taken.push_front(message);
      return false;
    }
    Dispatch(message);
  }
  return true;
}

}  // namespace uilib::backend

using uilib::backend::FindRecord;
using uilib::backend::WindowRecord;

// --- CWindowWnd -----------------------------------------------------------------

HWND CWindowWnd::Create(HWND parent, LPCTSTR name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy, HMENU) {
  using namespace uilib::backend;
  if (m_hWnd || !EnsureVideo()) return nullptr;
  const bool defaultSize = cx == CW_USEDEFAULT || cy == CW_USEDEFAULT || cx <= 0 || cy <= 0;
  const int width = defaultSize ? 1 : cx;
  const int height = defaultSize ? 1 : cy;
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if (exStyle & WS_EX_TOOLWINDOW) flags |= SDL_WINDOW_UTILITY;
  if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  // A shaped window can take a rounded region; where the system has no
  // shapes, an ordinary one stays square.
  SDL_Window* window = SDL_CreateShapedWindow(name ? name : "", 0, 0, static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), flags | SDL_WINDOW_BORDERLESS);
  const bool shaped = window != nullptr;
  if (!window) {
    if (!(style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    window = SDL_CreateWindow(name ? name : "", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height, flags);
  }
  if (!window) {
    std::fprintf(stderr, "uilib: cannot create a window: %s\n", SDL_GetError());
    return nullptr;
  }
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  if (!renderer) {
    std::fprintf(stderr, "uilib: cannot draw in a window: %s\n", SDL_GetError());
    SDL_DestroyWindow(window);
    return nullptr;
  }
  SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);

  auto record = std::make_unique<WindowRecord>();
  const uintptr_t id = g_nextHandle++;
  HWND hWnd = reinterpret_cast<HWND>(id);
  record->handle = hWnd;
  record->owner = this;
  record->window = window;
  record->renderer = renderer;
  record->render = std::make_unique<SdlRender>(renderer);
  record->parent = FindRecord(parent) ? parent : nullptr;
  record->style = style & ~WS_VISIBLE;
  record->exStyle = exStyle;
  record->classStyle = GetClassStyle();
  record->shaped = shaped;
  record->width = width;
  record->height = height;
  WindowRecord& created = *record;
  g_windows[id] = std::move(record);
  {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    Posted().live.insert(id);
  }
  UIWindowAccess::SetHandle(this, hWnd);
  SDL_SetWindowHitTest(window, HitTest, hWnd);

  if (UIWindowAccess::Handle(this, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hWnd);
    return nullptr;
  }
  if (!FindRecord(hWnd)) return nullptr;
  if (!shaped) SDL_SetWindowBordered(window, (created.style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);

  SDL_Rect screen = ScreenBounds();
  int left = x == CW_USEDEFAULT ? screen.x + (screen.w - created.width) / 2 : x;
  int top = y == CW_USEDEFAULT ? screen.y + (screen.h - created.height) / 2 : y;
  SDL_SetWindowPosition(window, left, top);
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
  HWND owner = record->parent;
  if (owner) ::EnableWindow(owner, FALSE);
  ::ShowWindow(self, SW_SHOWNORMAL);
  // This object may delete itself when its window goes: only locals from here.
  QueuedMessage message;
  while (FindRecord(self)) {
    NextMessage(&message, true);
    if (!message.hWnd && message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    Dispatch(message);
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
  WindowRecord* record = FindRecord(m_hWnd);
  if (!record) return;
  if (!centerOn) centerOn = record->parent;
  SDL_Rect screen = uilib::backend::ScreenBounds();
  SDL_Rect area = screen;
  RECT around;
  if (centerOn && IsWindowVisible(centerOn) && !IsIconic(centerOn) && GetWindowRect(centerOn, &around)) {
    area = SDL_Rect{around.left, around.top, around.right - around.left, around.bottom - around.top};
  }
  int left = area.x + (area.w - record->width) / 2;
  int top = area.y + (area.h - record->height) / 2;
  left = std::max(screen.x, std::min(left, screen.x + screen.w - record->width));
  top = std::max(screen.y, std::min(top, screen.y + screen.h - record->height));
  SDL_SetWindowPosition(record->window, left, top);
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  WindowRecord* record = FindRecord(m_hWnd);
  if (!record) return;
  uilib::backend::Resize(*record, cx < 0 ? record->width : cx, cy < 0 ? record->height : cy);
}

LRESULT CWindowWnd::DefWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return 0;
  switch (uMsg) {
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) ::SendMessage(hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          ::SendMessage(hWnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          ::ShowWindow(hWnd, SW_MINIMIZE);
          break;
        case SC_RESTORE:
          ::ShowWindow(hWnd, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_NCACTIVATE:
      return TRUE;
    case WM_SETICON: {
      SDL_Surface* surface = uilib::backend::IconSurface(reinterpret_cast<HICON>(lParam));
      // One picture serves the window manager; the big icon wins.
      if (surface && (wParam == ICON_BIG || !SDL_GetWindowData(record->window, "uilib.bigicon"))) {
        SDL_SetWindowIcon(record->window, surface);
        if (wParam == ICON_BIG) SDL_SetWindowData(record->window, "uilib.bigicon", surface);
      }
      return 0;
    }
    default:
      return 0;
  }
}

// --- Window functions -------------------------------------------------------------

BOOL PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  using namespace uilib::backend;
  if (hWnd) {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    if (!Posted().live.count(Id(hWnd))) return FALSE;
  }
  QueuedMessage message;
  message.hWnd = hWnd;
  message.message = uMsg;
  message.wParam = wParam;
  message.lParam = lParam;
  Enqueue(std::move(message));
  return TRUE;
}

void PostQuitMessage(int exitCode) { PostMessage(nullptr, WM_QUIT, static_cast<WPARAM>(exitCode), 0); }

LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  using namespace uilib::backend;
  if (IsUiThread()) return DeliverNow(hWnd, uMsg, wParam, lParam);
  {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    if (!Posted().live.count(Id(hWnd))) return 0;
  }
  auto call = std::make_shared<CrossThreadCall>();
  QueuedMessage message;
  message.hWnd = hWnd;
  message.message = uMsg;
  message.wParam = wParam;
  message.lParam = lParam;
  message.call = call;
  Enqueue(std::move(message));
  std::unique_lock<std::mutex> lock(call->mutex);
  call->done.wait(lock, [&call] { return call->finished; });
  return call->result;
}

BOOL IsWindow(HWND hWnd) {
  std::lock_guard<std::mutex> lock(uilib::backend::Posted().mutex);
  return uilib::backend::Posted().live.count(uilib::backend::Id(hWnd)) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  return record && record->visible ? TRUE : FALSE;
}

BOOL IsIconic(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  return record && (SDL_GetWindowFlags(record->window) & SDL_WINDOW_MINIMIZED) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || record->destroying) return FALSE;
  const BOOL wasVisible = record->visible ? TRUE : FALSE;
  SDL_Window* window = record->window;
  switch (nCmdShow) {
    case SW_HIDE:
      if (!record->visible) return wasVisible;
      record->visible = false;
      SDL_HideWindow(window);
      ::SendMessage(hWnd, WM_SHOWWINDOW, FALSE, 0);
      return wasVisible;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      if (!record->visible) {
        record->visible = true;
        SDL_ShowWindow(window);
        ::SendMessage(hWnd, WM_SHOWWINDOW, TRUE, 0);
      }
      SDL_MinimizeWindow(window);
      return wasVisible;
    default:
      break;
  }
  if (!record->visible) {
    record->visible = true;
    record->Invalidate();
    SDL_ShowWindow(window);
    ::SendMessage(hWnd, WM_SHOWWINDOW, TRUE, 0);
  }
  if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window);
  if (nCmdShow != SW_SHOWNOACTIVATE && nCmdShow != SW_SHOWNA) SetForegroundWindow(hWnd);
  return wasVisible;
}

BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return FALSE;
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(record->window, x, y);
  if (!(flags & SWP_NOSIZE)) uilib::backend::Resize(*record, cx, cy);
  if (!(flags & SWP_NOZORDER)) {
    if (hWndInsertAfter == HWND_TOPMOST) SDL_SetWindowAlwaysOnTop(record->window, SDL_TRUE);
    else if (hWndInsertAfter == HWND_NOTOPMOST) SDL_SetWindowAlwaysOnTop(record->window, SDL_FALSE);
  }
  if (flags & SWP_HIDEWINDOW) ShowWindow(hWnd, SW_HIDE);
  if (flags & SWP_SHOWWINDOW) ShowWindow(hWnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  return TRUE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL) {
  return SetWindowPos(hWnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL DestroyWindow(HWND hWnd) {
  using namespace uilib::backend;
  WindowRecord* record = FindRecord(hWnd);
  if (!record || record->destroying) return FALSE;
  record->destroying = true;
  if (g_capture == hWnd) ReleaseCapture();
  SDL_HideWindow(record->window);
  // Windows it owns go first, as the system does it.
  std::vector<HWND> owned;
  for (auto& [id, other] : g_windows) {
    if (other->parent == hWnd && !other->destroying) owned.push_back(other->handle);
  }
  for (HWND child : owned) DestroyWindow(child);

  CWindowWnd* owner = record->owner;
  UIWindowAccess::Handle(owner, WM_DESTROY, 0, 0);
  RemoveTrayIconsOf(hWnd);
  record->render.reset();
  SDL_DestroyRenderer(record->renderer);
  SDL_DestroyWindow(record->window);
  record->renderer = nullptr;
  record->window = nullptr;
  UIWindowAccess::Handle(owner, WM_NCDESTROY, 0, 0);
  {
    std::lock_guard<std::mutex> lock(Posted().mutex);
    Posted().live.erase(Id(hWnd));
  }
  std::unique_ptr<WindowRecord> gone = std::move(g_windows[Id(hWnd)]);
  g_windows.erase(Id(hWnd));
  UIWindowAccess::Final(owner, hWnd);
  return TRUE;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return FALSE;
  const BOOL wasDisabled = record->enabled ? FALSE : TRUE;
  record->enabled = enable != FALSE;
  if (!record->enabled && uilib::backend::g_capture == hWnd) uilib::backend::ReleaseCapture();
  ::SendMessage(hWnd, WM_ENABLE, enable, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  return record && record->enabled ? TRUE : FALSE;
}

BOOL SetForegroundWindow(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !record->visible) return FALSE;
  SDL_RaiseWindow(record->window);
  SDL_SetWindowInputFocus(record->window);
  return TRUE;
}

HWND GetForegroundWindow() { return GetFocus(); }

HWND GetFocus() {
  WindowRecord* record = FindRecord(SDL_GetKeyboardFocus());
  return record ? record->handle : nullptr;
}

HWND GetParent(HWND hWnd) {
  WindowRecord* record = FindRecord(hWnd);
  return record ? record->parent : nullptr;
}

BOOL SetWindowText(HWND hWnd, LPCTSTR text) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return FALSE;
  SDL_SetWindowTitle(record->window, text ? text : "");
  return TRUE;
}

LONG GetWindowLong(HWND hWnd, int index) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return 0;
  DWORD style = record->style | (record->visible ? WS_VISIBLE : 0);
  if (index == GWL_STYLE) return static_cast<LONG>(style);
  if (index == GWL_EXSTYLE) return static_cast<LONG>(record->exStyle);
  return 0;
}

LONG SetWindowLong(HWND hWnd, int index, LONG value) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return 0;
  LONG previous = GetWindowLong(hWnd, index);
  if (index == GWL_STYLE) {
    record->style = static_cast<DWORD>(value) & ~WS_VISIBLE;
    if (!record->shaped) SDL_SetWindowBordered(record->window, (record->style & WS_CAPTION) ? SDL_TRUE : SDL_FALSE);
  } else if (index == GWL_EXSTYLE) {
    record->exStyle = static_cast<DWORD>(value);
    SDL_SetWindowAlwaysOnTop(record->window, (record->exStyle & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
  }
  return previous;
}

BOOL GetWindowRect(HWND hWnd, RECT* rect) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !rect) return FALSE;
  int x = 0;
  int y = 0;
  SDL_GetWindowPosition(record->window, &x, &y);
  *rect = RECT{x, y, x + record->width, y + record->height};
  return TRUE;
}

BOOL GetClientRect(HWND hWnd, RECT* rect) {
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !rect) return FALSE;
  *rect = RECT{0, 0, record->width, record->height};
  return TRUE;
}

BOOL ScreenToClient(HWND hWnd, POINT* point) {
  RECT rect;
  if (!point || !GetWindowRect(hWnd, &rect)) return FALSE;
  point->x -= rect.left;
  point->y -= rect.top;
  return TRUE;
}

BOOL ClientToScreen(HWND hWnd, POINT* point) {
  RECT rect;
  if (!point || !GetWindowRect(hWnd, &rect)) return FALSE;
  point->x += rect.left;
  point->y += rect.top;
  return TRUE;
}

SHORT GetKeyState(int key) {
  const SDL_Keymod mods = SDL_GetModState();
  bool down = false;
  if (key == static_cast<int>(VK_CONTROL)) down = (mods & KMOD_CTRL) != 0;
  if (key == static_cast<int>(VK_SHIFT)) down = (mods & KMOD_SHIFT) != 0;
  if (key == static_cast<int>(VK_MENU)) down = (mods & KMOD_ALT) != 0;
  return down ? static_cast<SHORT>(0x8000) : 0;
}

BOOL EnableTextInput(BOOL enable) {
  if (!uilib::backend::EnsureVideo()) return FALSE;
  if (enable) {
    SDL_StartTextInput();
  } else {
    SDL_StopTextInput();
  }
  return TRUE;
}

BOOL HaveDisplay() { return uilib::backend::EnsureVideo() ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
  if (!uilib::backend::EnsureVideo()) return 0;
  SDL_Rect screen = uilib::backend::ScreenBounds();
  if (index == SM_CXSCREEN) return screen.w;
  if (index == SM_CYSCREEN) return screen.h;
  return 0;
}

BOOL GetCursorPos(POINT* point) {
  if (!point) return FALSE;
  int x = 0;
  int y = 0;
  if (uilib::backend::g_sdlReady.load()) SDL_GetGlobalMouseState(&x, &y);
  point->x = x;
  point->y = y;
  return TRUE;
}

// Regions are table entries addressed by never-reused handles, so deleting
// one twice, or one a window took, is harmless.
namespace {

struct RegionTable {
  std::map<uintptr_t, uilib::backend::WindowRegion> regions;
  uintptr_t next = 1;
};

RegionTable& Regions() {
  static RegionTable table;
  return table;
}

}  // namespace

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  uilib::backend::WindowRegion region;
  region.set = true;
  region.rect = RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
  region.ellipseWidth = std::max(0, ellipseWidth);
  region.ellipseHeight = std::max(0, ellipseHeight);
  RegionTable& table = Regions();
  uintptr_t id = table.next++;
  table.regions[id] = region;
  return reinterpret_cast<HRGN>(id);
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  // Win32 rectangles regions include their right and bottom edges.
  return CreateRoundRectRgn(left, top, right + 1, bottom + 1, 0, 0);
}

int SetWindowRgn(HWND hWnd, HRGN region, BOOL) {
  RegionTable& table = Regions();
  auto it = table.regions.find(reinterpret_cast<uintptr_t>(region));
  WindowRecord* record = FindRecord(hWnd);
  if (!record) return 0;
  if (it == table.regions.end()) {
    record->region = uilib::backend::WindowRegion{};
  } else {
    record->region = it->second;
    table.regions.erase(it);
  }
  uilib::backend::ApplyShape(*record);
  record->Invalidate();
  return 1;
}

BOOL DeleteObject(HRGN region) { return Regions().regions.erase(reinterpret_cast<uintptr_t>(region)) ? TRUE : FALSE; }
