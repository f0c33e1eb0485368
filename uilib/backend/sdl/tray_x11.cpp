// The tray icon over the XEmbed system-tray protocol: an icon is a small X
// window docked into the tray host's window. Its X events reach us through
// SDL's event queue as SDL_SYSWMEVENTs.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdl_backend.h"
#include "uilib/ui_tray.h"
#include "uilib/win_api.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

constexpr int kDefaultIconSize = 22;
constexpr long kSystemTrayRequestDock = 0;
constexpr long kXEmbedMapped = 1;

struct TrayIcon {
  HWND hWnd = nullptr;
  UINT id = 0;
  UINT callbackMessage = 0;
  HICON icon = nullptr;
  std::string tip;
  Display* display = nullptr;
  ::Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool argb = false;
};

std::vector<std::unique_ptr<TrayIcon>>& Icons() {
  static std::vector<std::unique_ptr<TrayIcon>> icons;
  return icons;
}

// Keeps X errors caused by a tray host that went away from ending the process.
class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display) : display_(display) {
    XSync(display_, False);
    previous_ = XSetErrorHandler(Ignore);
  }
  ~XErrorTrap() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

 private:
  static int Ignore(Display*, XErrorEvent*) { return 0; }
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*);
};

void ReportNoTray() {
  static bool reported = false;
  if (reported) return;
  reported = true;
  std::fprintf(stderr, "uilib: no system tray is running; the tray icon cannot be shown\n");
}

Display* DisplayOf(HWND hWnd) {
  uilib::backend::WindowRecord* record = uilib::backend::FindRecord(hWnd);
  if (!record || !record->window) return nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(record->window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
  return info.info.x11.display;
}

::Window TrayHost(Display* display) {
  char name[64];
  std::snprintf(name, sizeof name, "_NET_SYSTEM_TRAY_S%d", DefaultScreen(display));
  return XGetSelectionOwner(display, XInternAtom(display, name, False));
}

// The 32-bit visual the tray host asks icons to use, when it names one.
Visual* TrayVisual(Display* display, ::Window host, int* depth) {
  Atom property = XInternAtom(display, "_NET_SYSTEM_TRAY_VISUAL", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  Visual* visual = nullptr;
  XErrorTrap trap(display);
  if (XGetWindowProperty(display, host, property, 0, 1, False, XA_VISUALID, &type, &format, &count, &remaining,
                         &data) == Success &&
      data && count == 1 && format == 32) {
    XVisualInfo wanted;
    wanted.visualid = static_cast<VisualID>(*reinterpret_cast<unsigned long*>(data));
    int found = 0;
    if (XVisualInfo* info = XGetVisualInfo(display, VisualIDMask, &wanted, &found)) {
      if (found > 0 && info[0].depth == 32) {
        visual = info[0].visual;
        *depth = 32;
      }
      XFree(info);
    }
  }
  if (data) XFree(data);
  return visual;
}

int ShiftOf(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// The icon picture scaled to w x h by averaging (premultiplied ARGB out).
std::vector<uint32_t> ScaledIcon(SDL_Surface* surface, int w, int h) {
  std::vector<uint32_t> out(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  if (!surface || w <= 0 || h <= 0) return out;
  for (int y = 0; y < h; ++y) {
    int y0 = y * surface->h / h;
    int y1 = std::max(y0 + 1, (y + 1) * surface->h / h);
    for (int x = 0; x < w; ++x) {
      int x0 = x * surface->w / w;
      int x1 = std::max(x0 + 1, (x + 1) * surface->w / w);
      unsigned long a = 0, r = 0, g = 0, b = 0, n = 0;
      for (int sy = y0; sy < y1; ++sy) {
        auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(surface->pixels) + sy * surface->pitch);
        for (int sx = x0; sx < x1; ++sx) {
          uint32_t p = row[sx];
          unsigned long alpha = p >> 24;
          a += alpha;
          r += ((p >> 16) & 0xFF) * alpha / 255;
          g += ((p >> 8) & 0xFF) * alpha / 255;
          b += (p & 0xFF) * alpha / 255;
          ++n;
        }
      }
      out[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
          static_cast<uint32_t>(((a / n) << 24) | ((r / n) << 16) | ((g / n) << 8) | (b / n));
    }
  }
  return out;
}

void Draw(TrayIcon& icon) {
  // The icon window dies with a tray host that goes away; drawing into it
  // then must not end the program.
  XErrorTrap trap(icon.display);
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(icon.display, icon.window, &attributes)) return;
  const int w = attributes.width;
  const int h = attributes.height;
  std::vector<uint32_t> pixels = ScaledIcon(uilib::backend::IconSurface(icon.icon), w, h);
  auto* data = static_cast<char*>(std::malloc(pixels.size() * 4));
  if (!data) return;
  XImage* image = XCreateImage(icon.display, icon.visual, static_cast<unsigned>(icon.depth), ZPixmap, 0, data,
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, 0);
  if (!image) {
    std::free(data);
    return;
  }
  const int redShift = ShiftOf(icon.visual->red_mask);
  const int greenShift = ShiftOf(icon.visual->green_mask);
  const int blueShift = ShiftOf(icon.visual->blue_mask);
  // Without an alpha visual, half-transparent pixels are cut at 50%.
  const int maskStride = (w + 7) / 8;
  std::vector<char> mask(static_cast<size_t>(maskStride) * static_cast<size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
      unsigned long alpha = p >> 24;
      unsigned long r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
      if (!icon.argb && alpha > 0) {
        r = r * 255 / alpha;
        g = g * 255 / alpha;
        b = b * 255 / alpha;
      }
      unsigned long value = (r << redShift) | (g << greenShift) | (b << blueShift);
      if (icon.argb) value |= alpha << 24;
      XPutPixel(image, x, y, value);
      if (alpha >= 128) mask[static_cast<size_t>(y * maskStride + x / 8)] |= static_cast<char>(1 << (x % 8));
    }
  }
  GC gc = XCreateGC(icon.display, icon.window, 0, nullptr);
  Pixmap clip = 0;
  if (!icon.argb) {
    XClearWindow(icon.display, icon.window);
    clip = XCreateBitmapFromData(icon.display, icon.window, mask.data(), static_cast<unsigned>(w),
                                 static_cast<unsigned>(h));
    XSetClipMask(icon.display, gc, clip);
  }
  XPutImage(icon.display, icon.window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h));
  if (clip) XFreePixmap(icon.display, clip);
  XFreeGC(icon.display, gc);
  XDestroyImage(image);
  XFlush(icon.display);
}

void SetTip(TrayIcon& icon) {
  XErrorTrap trap(icon.display);
  XStoreName(icon.display, icon.window, icon.tip.c_str());
  Atom utf8 = XInternAtom(icon.display, "UTF8_STRING", False);
  XChangeProperty(icon.display, icon.window, XInternAtom(icon.display, "_NET_WM_NAME", False), utf8, 8,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(icon.tip.data()),
                  static_cast<int>(icon.tip.size()));
}

std::string TipText(const NOTIFYICONDATA& data) {
  return std::string(data.szTip, strnlen(data.szTip, sizeof data.szTip));
}

TrayIcon* Find(HWND hWnd, UINT id) {
  for (auto& icon : Icons()) {
    if (icon->hWnd == hWnd && icon->id == id) return icon.get();
  }
  return nullptr;
}

void Destroy(TrayIcon& icon) {
  XErrorTrap trap(icon.display);
  XDestroyWindow(icon.display, icon.window);
  if (icon.colormap) XFreeColormap(icon.display, icon.colormap);
}

// Asks the tray host to embed the icon window.
void RequestDock(Display* display, ::Window host, ::Window icon) {
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = host;
  request.xclient.message_type = XInternAtom(display, "_NET_SYSTEM_TRAY_OPCODE", False);
  request.xclient.format = 32;
  request.xclient.data.l[0] = CurrentTime;
  request.xclient.data.l[1] = kSystemTrayRequestDock;
  request.xclient.data.l[2] = static_cast<long>(icon);
  XErrorTrap trap(display);
  XSendEvent(display, host, False, NoEventMask, &request);
}

// A tray host that starts announces itself with a MANAGER message to the
// root window; listening for it lets icons move into a restarted tray.
void WatchForTrayHosts(Display* display) {
  static Display* watched = nullptr;
  if (watched == display) return;
  watched = display;
  ::Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, root, &attributes)) {
    XSelectInput(display, root, attributes.your_event_mask | StructureNotifyMask);
  }
}

BOOL Add(const NOTIFYICONDATA& data) {
  if (Find(data.hWnd, data.uID)) return FALSE;
  Display* display = DisplayOf(data.hWnd);
  ::Window host = display ? TrayHost(display) : 0;
  if (!host) {
    ReportNoTray();
    return FALSE;
  }
  auto icon = std::make_unique<TrayIcon>();
  icon->hWnd = data.hWnd;
  icon->id = data.uID;
  icon->callbackMessage = (data.uFlags & NIF_MESSAGE) ? data.uCallbackMessage : 0;
  icon->icon = (data.uFlags & NIF_ICON) ? data.hIcon : nullptr;
  icon->tip = (data.uFlags & NIF_TIP) ? TipText(data) : std::string();
  icon->display = display;

  const int screen = DefaultScreen(display);
  ::Window root = RootWindow(display, screen);
  XSetWindowAttributes attributes{};
  unsigned long mask = CWEventMask;
  attributes.event_mask = ButtonPressMask | ButtonReleaseMask | ExposureMask | StructureNotifyMask;
  int depth = 0;
  icon->visual = TrayVisual(display, host, &depth);
  if (icon->visual) {
    icon->argb = true;
    icon->depth = depth;
    icon->colormap = XCreateColormap(display, root, icon->visual, AllocNone);
    attributes.colormap = icon->colormap;
    attributes.background_pixel = 0;
    attributes.border_pixel = 0;
    mask |= CWColormap | CWBackPixel | CWBorderPixel;
  } else {
    icon->visual = DefaultVisual(display, screen);
    icon->depth = DefaultDepth(display, screen);
    attributes.background_pixmap = ParentRelative;
    mask |= CWBackPixmap;
  }
  icon->window = XCreateWindow(display, root, 0, 0, kDefaultIconSize, kDefaultIconSize, 0, icon->depth, InputOutput,
                               icon->visual, mask, &attributes);
  if (!icon->window) return FALSE;

  // Hosts size icons from WM_NORMAL_HINTS and embed only windows that carry
  // _XEMBED_INFO; without them an icon gets no room and no clicks.
  if (XSizeHints* hints = XAllocSizeHints()) {
    hints->flags = PSize | PMinSize | PBaseSize;
    hints->width = hints->min_width = hints->base_width = kDefaultIconSize;
    hints->height = hints->min_height = hints->base_height = kDefaultIconSize;
    XSetWMNormalHints(display, icon->window, hints);
    XFree(hints);
  }
  long xembedInfo[2] = {0, kXEmbedMapped};
  Atom xembed = XInternAtom(display, "_XEMBED_INFO", False);
  XChangeProperty(display, icon->window, xembed, xembed, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(xembedInfo), 2);
  SetTip(*icon);

  RequestDock(display, host, icon->window);
  WatchForTrayHosts(display);
  SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
  Icons().push_back(std::move(icon));
  return TRUE;
}

BOOL Modify(const NOTIFYICONDATA& data) {
  TrayIcon* icon = Find(data.hWnd, data.uID);
  if (!icon) return FALSE;
  if (data.uFlags & NIF_MESSAGE) icon->callbackMessage = data.uCallbackMessage;
  if (data.uFlags & NIF_TIP) {
    icon->tip = TipText(data);
    SetTip(*icon);
  }
  if (data.uFlags & NIF_ICON) {
    icon->icon = data.hIcon;
    Draw(*icon);
  }
  XFlush(icon->display);
  return TRUE;
}

BOOL Delete(const NOTIFYICONDATA& data) {
  auto& icons = Icons();
  auto it = std::find_if(icons.begin(), icons.end(), [&data](const std::unique_ptr<TrayIcon>& icon) {
    return icon->hWnd == data.hWnd && icon->id == data.uID;
  });
  if (it == icons.end()) return FALSE;
  Destroy(**it);
  icons.erase(it);
  return TRUE;
}

}  // namespace

BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data) {
  if (!data || !uilib::backend::EnsureVideo()) return FALSE;
  switch (message) {
    case NIM_ADD:
      return Add(*data);
    case NIM_MODIFY:
      return Modify(*data);
    case NIM_DELETE:
      return Delete(*data);
    default:
      return FALSE;
  }
}

bool IsSystemTrayAvailable() {
  if (!uilib::backend::EnsureVideo()) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || std::strcmp(driver, "x11") != 0) return false;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool available = TrayHost(display) != 0;
  XCloseDisplay(display);
  return available;
}

namespace uilib::backend {

namespace {

// Xlib's own handler ends the process. SDL's wake-up of a waiting event loop
// sends to the window that was waited on, which may have closed meanwhile;
// such an error must not take the player down.
int ReportXError(Display* display, XErrorEvent* error) {
  char text[128] = "";
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "uilib: X error ignored: %s (request %d, resource 0x%lx)\n", text,
               static_cast<int>(error->request_code), static_cast<unsigned long>(error->resourceid));
  return 0;
}

}  // namespace

void KeepXErrorsNonFatal() {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && std::strcmp(driver, "x11") == 0) XSetErrorHandler(ReportXError);
}

void HandleSystemEvent(const SDL_Event& event) {
  const SDL_SysWMmsg* message = event.syswm.msg;
  if (!message || message->subsystem != SDL_SYSWM_X11) return;
  const XEvent& xevent = message->msg.x11.event;
  if (xevent.type == ClientMessage && !Icons().empty()) {
    Display* display = xevent.xclient.display;
    if (xevent.xclient.message_type == XInternAtom(display, "MANAGER", False) &&
        static_cast<::Window>(xevent.xclient.data.l[2]) == TrayHost(display)) {
      for (auto& icon : Icons()) {
        if (icon->display == display) RequestDock(display, TrayHost(display), icon->window);
      }
      return;
    }
  }
  for (auto& icon : Icons()) {
    if (icon->window != xevent.xany.window) continue;
    UINT mouse = 0;
    switch (xevent.type) {
      case ButtonPress:
        if (xevent.xbutton.button == Button1) mouse = WM_LBUTTONDOWN;
        else if (xevent.xbutton.button == Button3) mouse = WM_RBUTTONDOWN;
        break;
      case ButtonRelease:
        if (xevent.xbutton.button == Button1) mouse = WM_LBUTTONUP;
        else if (xevent.xbutton.button == Button3) mouse = WM_RBUTTONUP;
        break;
      case Expose:
        if (xevent.xexpose.count == 0) Draw(*icon);
        break;
      case ConfigureNotify:
        Draw(*icon);
        break;
      case ReparentNotify:
        // A tray host that goes away hands its icons back to the root
        // window: keep ours out of sight until the next host takes it.
        if (xevent.xreparent.parent == DefaultRootWindow(icon->display)) XUnmapWindow(icon->display, icon->window);
        break;
      default:
        break;
    }
    if (mouse && icon->callbackMessage) {
      PostMessage(icon->hWnd, icon->callbackMessage, icon->id, static_cast<LPARAM>(mouse));
    }
    return;
  }
}

void RemoveTrayIconsOf(HWND hWnd) {
  auto& icons = Icons();
  for (auto& icon : icons) {
    if (icon->hWnd == hWnd) Destroy(*icon);
  }
  std::erase_if(icons, [hWnd](const std::unique_ptr<TrayIcon>& icon) { return icon->hWnd == hWnd; });
}

}  // namespace uilib::backend
