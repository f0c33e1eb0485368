// Handing things to the desktop.
#pragma once

#include <string>

namespace platform {

// Opens a web address with the user's browser without waiting for it.
// False when no opener could be started.
bool OpenInBrowser(const std::string& url);

}  // namespace platform
