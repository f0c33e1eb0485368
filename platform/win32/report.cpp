#include "platform/report.h"

#include <windows.h>

#include "wide.h"

namespace platform {

// A process with somewhere to write (a console, pipe or file: the tools,
// every test) gets the line there; only a GUI process with none gets the
// modal box, so nothing unattended ever waits on a dialog.
void Report(const std::string& text) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const DWORD type = error && error != INVALID_HANDLE_VALUE ? GetFileType(error) : FILE_TYPE_UNKNOWN;
  if (type == FILE_TYPE_UNKNOWN) {
    MessageBoxW(nullptr, Widen(text).c_str(), L"TIP", MB_OK);
    return;
  }
  DWORD mode = 0;
  DWORD written = 0;
  if (type == FILE_TYPE_CHAR && GetConsoleMode(error, &mode)) {
    const std::wstring line = L"TIP: " + Widen(text) + L"\r\n";
    WriteConsoleW(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } else {
    const std::string line = "TIP: " + text + "\n";
    WriteFile(error, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
}

}  // namespace platform
