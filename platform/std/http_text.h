// Text handling shared by the HTTP backends.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Addresses from a catalogue may carry spaces or UTF-8 names as they stand;
// those bytes (and control characters) are sent percent-encoded.
std::string EscapeUnsafeBytes(const std::string& url);
// ASCII letters fold; every other byte compares as itself.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
// Without leading and trailing spaces, tabs and line ends.
std::string_view Trim(std::string_view text);
// "Range:bytes=0-99" and "Range: bytes=0-99" both go out as "Range: bytes=0-99".
std::string NormalizeHeaderLine(const std::string& line);
// The first byte of "bytes N-M/T" or "bytes N-M/*", with N <= M < T.
bool ParseContentRangeFirst(std::string_view value, uint64_t* first);

}  // namespace platform
