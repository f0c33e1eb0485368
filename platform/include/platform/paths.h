// Where the program lives, and the user's own folders for what it writes.
#pragma once

#include <string>

namespace platform {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The folder of the running executable, ending with a path separator.
std::string ProgramFolder();

// The user's folders of the desktop's conventions (on Linux the XDG base
// directories: $XDG_DATA_HOME or ~/.local/share, $XDG_CACHE_HOME or ~/.cache,
// $XDG_CONFIG_HOME or ~/.config, $XDG_RUNTIME_DIR), each ending with a path
// separator. A variable that is unset, empty or not an absolute path counts
// as unset. Empty when there is no such folder (no home, no runtime folder).
enum class UserFolder { kData, kCache, kConfig, kRuntime };
std::string UserFolderPath(UserFolder folder);

// True when this process may create files in the folder `path`.
bool FolderIsWritable(const std::string& path);
// Creates the folder `path` and any missing parents. True when it exists
// afterwards; otherwise `*error` (may be null) says why.
bool CreateFolders(const std::string& path, std::string* error);

}  // namespace platform
