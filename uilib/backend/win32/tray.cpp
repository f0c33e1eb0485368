// The tray icon over the shell's notification area.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <utility>

#include "native_tray.h"
#include "uilib/ui_tray.h"
#include "win32_backend.h"

namespace {

// The icons shown, by window and number.
std::set<std::pair<HWND, UINT>>& Shown() {
  static std::set<std::pair<HWND, UINT>> icons;
  return icons;
}

void ReportNoTray() {
  static bool reported = false;
  if (reported) return;
  reported = true;
  std::fprintf(stderr, "uilib: no system tray is running; the tray icon cannot be shown\n");
}

uilib::win32::TrayIconSpec SpecOf(const NOTIFYICONDATA& data) {
  uilib::win32::TrayIconSpec spec;
  spec.window = uilib::backend::Native(data.hWnd);
  spec.id = data.uID;
  spec.hasMessage = (data.uFlags & NIF_MESSAGE) != 0;
  spec.callbackMessage = data.uCallbackMessage;
  spec.hasIcon = (data.uFlags & NIF_ICON) != 0;
  spec.icon = data.hIcon;
  spec.hasTip = (data.uFlags & NIF_TIP) != 0;
  if (spec.hasTip) spec.tip = uilib::backend::Utf16(std::string_view(data.szTip, strnlen(data.szTip, sizeof data.szTip)));
  return spec;
}

}  // namespace

BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data) {
  if (!data || !uilib::backend::EnsureWindowing() || !uilib::backend::FindRecord(data->hWnd)) return FALSE;
  const std::pair<HWND, UINT> key{data->hWnd, data->uID};
  switch (message) {
    case NIM_ADD:
      if (Shown().count(key)) return FALSE;
      if (!uilib::win32::AddTrayIcon(SpecOf(*data))) {
        ReportNoTray();
        return FALSE;
      }
      Shown().insert(key);
      return TRUE;
    case NIM_MODIFY:
      return Shown().count(key) && uilib::win32::ModifyTrayIcon(SpecOf(*data)) ? TRUE : FALSE;
    case NIM_DELETE:
      if (!Shown().erase(key)) return FALSE;
      return uilib::win32::DeleteTrayIcon(uilib::backend::Native(data->hWnd), data->uID) ? TRUE : FALSE;
    default:
      return FALSE;
  }
}

bool IsSystemTrayAvailable() { return uilib::backend::EnsureWindowing() && uilib::win32::TrayHostRunning(); }

namespace uilib::backend {

// The shell keeps an icon whose window is gone until the mouse passes over it.
void RemoveTrayIconsOf(HWND hWnd) {
  auto& shown = Shown();
  for (auto it = shown.begin(); it != shown.end();) {
    if (it->first == hWnd) {
      win32::DeleteTrayIcon(Native(hWnd), it->second);
      it = shown.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace uilib::backend
