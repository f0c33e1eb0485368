// The notification-area icon with Shell_NotifyIconW. The shell posts the
// callback message to the icon's window as (uID, mouse message), the shape
// the toolkit gives it on every system.
#include <windows.h>

#include <shellapi.h>

#include "native_tray.h"

namespace uilib::win32 {

namespace {

NOTIFYICONDATAW DataOf(const TrayIconSpec& spec) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = static_cast<HWND>(spec.window);
  data.uID = spec.id;
  if (spec.hasMessage) {
    data.uFlags |= NIF_MESSAGE;
    data.uCallbackMessage = spec.callbackMessage;
  }
  if (spec.hasIcon) {
    data.uFlags |= NIF_ICON;
    data.hIcon = static_cast<HICON>(spec.icon);
  }
  if (spec.hasTip) {
    data.uFlags |= NIF_TIP;
    size_t length = std::min(spec.tip.size(), std::size(data.szTip) - 1);
    // Never half of a surrogate pair at the end.
    if (length > 0 && length < spec.tip.size() && spec.tip[length - 1] >= 0xD800 && spec.tip[length - 1] <= 0xDBFF) {
      --length;
    }
    spec.tip.copy(data.szTip, length);
    data.szTip[length] = L'\0';
  }
  return data;
}

}  // namespace

bool AddTrayIcon(const TrayIconSpec& spec) {
  NOTIFYICONDATAW data = DataOf(spec);
  return Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

bool ModifyTrayIcon(const TrayIconSpec& spec) {
  NOTIFYICONDATAW data = DataOf(spec);
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool DeleteTrayIcon(void* window, uint32_t id) {
  TrayIconSpec spec;
  spec.window = window;
  spec.id = id;
  NOTIFYICONDATAW data = DataOf(spec);
  return Shell_NotifyIconW(NIM_DELETE, &data) != FALSE;
}

bool TrayHostRunning() { return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }

}  // namespace uilib::win32
