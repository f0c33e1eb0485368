#include "platform/file.h"

#include <windows.h>
// The seam's own CreateDirectory, not the API's narrow/wide macro.
#undef CreateDirectory

#include <algorithm>
#include <atomic>

#include "wide.h"

namespace platform {
namespace {

std::atomic<int64_t> replaceWriteLimit{-1};
std::atomic<uint32_t> temporaryCounter{0};

// Transfers at most this much per call: the count a call takes is 32-bit.
constexpr size_t kMaxTransfer = 1u << 30;

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

bool WriteAll(HANDLE file, const char* data, size_t count, int64_t limit) {
  size_t done = 0;
  while (done < count) {
    size_t chunk = std::min(count - done, kMaxTransfer);
    if (limit >= 0) {
      if (static_cast<int64_t>(done) >= limit) {
        SetLastError(ERROR_DISK_FULL);
        return false;
      }
      chunk = std::min<size_t>(chunk, static_cast<size_t>(limit - static_cast<int64_t>(done)));
    }
    DWORD written = 0;
    if (!WriteFile(file, data + done, static_cast<DWORD>(chunk), &written, nullptr)) return false;
    done += written;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".\\") : path.substr(0, slash + 1);
}

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()); }

// Windows cannot rename over a file that is open, even for a moment (a
// reader loading it): such a replacement is tried again for a while.
bool MoveOver(const std::wstring& source, const std::wstring& target) {
  constexpr int kAttempts = 200;
  constexpr DWORD kPauseMs = 10;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return false;
    Sleep(kPauseMs);
  }
  return false;
}

}  // namespace

std::unique_ptr<File> File::Open(const std::string& path, const FileOpenOptions& options) {
  const DWORD access = options.access == FileAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD disposition = options.disposition == FileDisposition::CreateAlways ? CREATE_ALWAYS : OPEN_EXISTING;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (options.deleteOnClose ? FILE_FLAG_DELETE_ON_CLOSE : 0);
  HANDLE handle = CreateFileW(Widen(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::unique_ptr<File>(new File(handle));
}

File::File(void* handle) : handle_(handle) {}

File::~File() { CloseHandle(handle_); }

bool File::ReadAt(uint64_t offset, void* buffer, size_t count, size_t* got) {
  size_t done = 0;
  while (done < count) {
    OVERLAPPED position = At(offset + done);
    DWORD read = 0;
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, static_cast<DWORD>(std::min(count - done, kMaxTransfer)),
                  &read, &position)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      *got = done;
      return false;
    }
    if (read == 0) break;
    done += read;
  }
  *got = done;
  return true;
}

bool File::WriteAt(uint64_t offset, const void* buffer, size_t count, size_t* written) {
  size_t done = 0;
  bool ok = true;
  while (done < count) {
    OVERLAPPED position = At(offset + done);
    DWORD step = 0;
    if (!WriteFile(handle_, static_cast<const char*>(buffer) + done,
                   static_cast<DWORD>(std::min(count - done, kMaxTransfer)), &step, &position)) {
      ok = false;
      break;
    }
    done += step;
  }
  if (written) *written = done;
  return ok;
}

int64_t File::Size() {
  LARGE_INTEGER size;
  return GetFileSizeEx(handle_, &size) ? static_cast<int64_t>(size.QuadPart) : -1;
}

bool PathExists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool DirectoryExists(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectory(const std::string& path) {
  return CreateDirectoryW(Widen(path).c_str(), nullptr) ||
         (GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(path));
}

bool RemoveFile(const std::string& path) { return DeleteFileW(Widen(path).c_str()); }

bool ReplaceFileContents(const std::string& target, const std::string& contents) {
  // A read-only file is not replaced, as Windows itself refuses to; checked
  // here so that every system running this build behaves alike.
  const DWORD attributes = AttributesOf(target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  const std::wstring temporary = Widen(FolderOf(target)) + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(temporaryCounter.fetch_add(1));
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, contents.data(), contents.size(), replaceWriteLimit.load()) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  if (ok && MoveOver(temporary, Widen(target))) return true;
  DeleteFileW(temporary.c_str());
  return false;
}

void SetReplaceWriteLimitForTesting(int64_t bytes) { replaceWriteLimit.store(bytes); }

}  // namespace platform
