// The notification-area (system tray) icon.
//
// An icon calls back its window with PostMessage(hWnd, uCallbackMessage,
// uID, mouse message): WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN,
// WM_RBUTTONUP, WM_MOUSEMOVE. On X11 the icon docks through the XEmbed
// system-tray protocol; with no tray host running, NIM_ADD fails and says
// so once on standard error.
#pragma once

#include "uilib/win_types.h"

inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;

inline constexpr UINT NIF_MESSAGE = 0x1;
inline constexpr UINT NIF_ICON = 0x2;
inline constexpr UINT NIF_TIP = 0x4;

struct NOTIFYICONDATA {
  DWORD cbSize;
  HWND hWnd;
  UINT uID;
  UINT uFlags;
  UINT uCallbackMessage;
  HICON hIcon;
  TCHAR szTip[128];  // zero-terminated
};

// NIM_ADD / NIM_MODIFY / NIM_DELETE of the icon (hWnd, uID); uFlags says
// which of the message, icon and tip are given. FALSE when the icon could
// not be shown (no tray) or the icon to modify or delete does not exist.
BOOL Shell_NotifyIcon(DWORD message, NOTIFYICONDATA* data);
// True when a system tray is present to hold icons.
bool IsSystemTrayAvailable();
