#include "platform/paths.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "wide.h"

namespace platform {
namespace {

std::string WithSeparator(std::string path) {
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += kPathSeparator;
  return path;
}

std::string KnownFolder(const KNOWNFOLDERID& id) {
  wchar_t* path = nullptr;
  std::string folder;
  if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path))) folder = Narrow(path);
  CoTaskMemFree(path);
  return folder;
}

}  // namespace

std::string ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return ".\\";
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return Narrow(path.substr(0, path.find_last_of(L"\\/") + 1));
}

// The known folders: the local application data for data and cache (they
// belong to this machine), the roaming one for settings; none for run-time
// files, which live in the temporary folder's place on Windows.
std::string UserFolderPath(UserFolder folder) {
  switch (folder) {
    case UserFolder::kData:
    case UserFolder::kCache: return WithSeparator(KnownFolder(FOLDERID_LocalAppData));
    case UserFolder::kConfig: return WithSeparator(KnownFolder(FOLDERID_RoamingAppData));
    case UserFolder::kRuntime: return {};
  }
  return {};
}

// Whether a file can be made there is only known by making one.
bool FolderIsWritable(const std::string& path) {
  const std::wstring probe = Widen(WithSeparator(path)) + L".tarvoni-write-probe-" +
                             std::to_wstring(GetCurrentProcessId());
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool CreateFolders(const std::string& path, std::string* error) {
  for (size_t end = path.find_first_of("\\/", 1);; end = path.find_first_of("\\/", end + 1)) {
    const std::string part = path.substr(0, end);
    // "C:" is a drive, not a folder to make.
    const bool drive = part.size() == 2 && part[1] == ':';
    if (!part.empty() && !drive && !CreateDirectoryW(Widen(part).c_str(), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      if (error != nullptr) *error = part + ": " + SystemMessage(GetLastError());
      return false;
    }
    if (end == std::string::npos) break;
  }
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  if (error != nullptr) *error = path + ": not a folder";
  return false;
}

}  // namespace platform
