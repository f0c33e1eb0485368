// Where the program lives.
#pragma once

#include <string>

namespace platform {

inline constexpr char kPathSeparator = '/';

// The folder of the running executable, ending with a path separator.
std::string ProgramFolder();

}  // namespace platform
