#include "platform/console.h"

namespace platform {

std::vector<std::string> StartConsoleProgram(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace platform
