// UTF-16 for the Windows API, UTF-8 everywhere else.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Text for a wide API. Bytes that are not UTF-8 are taken as the ANSI code
// page, the way a narrow API would have read them.
std::wstring Widen(std::string_view text);
// UTF-8 of text a wide API gave.
std::string Narrow(std::wstring_view text);
// The system's text for an error code (GetLastError's), in UTF-8, without
// the closing period.
std::string SystemMessage(unsigned long code);

}  // namespace platform
