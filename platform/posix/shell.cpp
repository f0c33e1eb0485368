#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

bool OpenInBrowser(const std::string& url) {
  // xdg-open may block until the browser exits; run it in a child that we
  // reap at once by double-forking through sh. The address goes in as an
  // argument, never as shell text.
  const std::string command = "command -v xdg-open >/dev/null 2>&1 || exit 1; xdg-open \"$0\" >/dev/null 2>&1 &";
  const char* argv[] = {"sh", "-c", command.c_str(), url.c_str(), nullptr};
  pid_t child;
  if (posix_spawnp(&child, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
