#include "platform/paths.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1);
}

}  // namespace platform
