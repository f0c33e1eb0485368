#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

// An absolute path from the environment variable `name`, or empty.
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string WithSeparator(std::string path) {
  if (!path.empty() && path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

}  // namespace

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "./";
  std::string exe(path, static_cast<size_t>(length));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string UserFolderPath(UserFolder folder) {
  struct Convention {
    const char* variable;
    const char* underHome;  // null: no default
  };
  static constexpr Convention kConventions[] = {
      {"XDG_DATA_HOME", ".local/share"}, {"XDG_CACHE_HOME", ".cache"}, {"XDG_CONFIG_HOME", ".config"},
      {"XDG_RUNTIME_DIR", nullptr}};
  const Convention& convention = kConventions[static_cast<int>(folder)];
  std::string path = AbsoluteFromEnvironment(convention.variable);
  if (path.empty() && convention.underHome != nullptr) {
    const std::string home = AbsoluteFromEnvironment("HOME");
    if (!home.empty()) path = WithSeparator(home) + convention.underHome;
  }
  return WithSeparator(path);
}

bool FolderIsWritable(const std::string& path) { return access(path.c_str(), W_OK | X_OK) == 0; }

bool CreateFolders(const std::string& path, std::string* error) {
  for (size_t end = path.find(kPathSeparator, 1);; end = path.find(kPathSeparator, end + 1)) {
    const std::string part = path.substr(0, end);
    if (!part.empty() && mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      if (error != nullptr) *error = part + ": " + std::strerror(errno);
      return false;
    }
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return true;
  if (error != nullptr) *error = path + ": not a folder";
  return false;
}

}  // namespace platform
