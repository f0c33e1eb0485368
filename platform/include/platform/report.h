// A short message for the user from code that has no window of its own.
#pragma once

#include <string>

namespace platform {

// Writes one line "TIP: <text>" to standard error.
void Report(const std::string& text);

}  // namespace platform
