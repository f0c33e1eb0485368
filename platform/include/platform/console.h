// The command line and standard streams of a console program.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Call first in main. Returns the arguments after the program name, in
// UTF-8 (on Windows they are taken from the wide command line, so any
// character survives whatever the code page), and makes standard output and
// error carry bytes unchanged (no "\r\n" for "\n" on Windows).
std::vector<std::string> StartConsoleProgram(int argc, char** argv);

}  // namespace platform
