#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

#include "wide.h"

namespace platform {

bool OpenInBrowser(const std::string& url) {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

}  // namespace platform
