// The notification-area icon over the shell (Shell_NotifyIconW), as the
// toolkit's Win32 backend reaches it; see native_window.h for the firewall
// between the toolkit's names and the system's.
#pragma once

#include <cstdint>
#include <string>

namespace uilib::win32 {

// An icon of `window` numbered `id`; each part is given only when its flag is set.
struct TrayIconSpec {
  void* window = nullptr;
  uint32_t id = 0;
  bool hasMessage = false;
  uint32_t callbackMessage = 0;  // posted as (id, mouse message)
  bool hasIcon = false;
  void* icon = nullptr;
  bool hasTip = false;
  std::wstring tip;  // cut to the shell's 127 units at a character boundary
};

bool AddTrayIcon(const TrayIconSpec& spec);
bool ModifyTrayIcon(const TrayIconSpec& spec);
bool DeleteTrayIcon(void* window, uint32_t id);
// True when the shell's task bar, which holds the notification area, runs.
bool TrayHostRunning();

}  // namespace uilib::win32
