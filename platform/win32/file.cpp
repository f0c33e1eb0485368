#include "platform/file.h"

#include <windows.h>
// The seam's own CreateDirectory, not the API's narrow/wide macro.
#undef CreateDirectory

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "wide.h"

namespace platform {
namespace {

std::atomic<int64_t> replaceWriteLimit{-1};
std::atomic<uint32_t> temporaryCounter{0};
std::function<void(const std::string&)> beforeStampCheck;

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

int64_t Nanoseconds(const LARGE_INTEGER& hundreds) { return static_cast<int64_t>(hundreds.QuadPart) * 100; }

FileStamp StampOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO times;
  if (!GetFileInformationByHandle(handle, &info) ||
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times)) {
    return {};
  }
  return {.exists = true,
          .volume = info.dwVolumeSerialNumber,
          .id = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
          .size = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow),
          .modifiedNs = Nanoseconds(times.LastWriteTime),
          .changedNs = Nanoseconds(times.ChangeTime)};
}

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
  // An existing file must be a file on disk, not a pipe or a device.
  if (options.disposition == FileDisposition::OpenExisting && GetFileType(handle) != FILE_TYPE_DISK) {
    CloseHandle(handle);
    return nullptr;
  }
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

FileStamp File::Stamp() { return StampOfHandle(handle_); }

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

std::string WhyUnreadable(const std::string& path) {
  std::FILE* file = _wfopen(Widen(path).c_str(), L"rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  return "";
}

FileStamp StampOf(const std::string& path) {
  HANDLE handle = CreateFileW(Widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  const FileStamp stamp = StampOfHandle(handle);
  CloseHandle(handle);
  return stamp;
}

namespace {

// Writes `contents` to a temporary file beside `target` and moves it over
// `target`, when `expected` is null or still stamps `target`.
ReplaceResult Replace(const std::string& target, const std::string& contents, const FileStamp* expected) {
  // A read-only file is not replaced, as Windows itself refuses to; checked
  // here so that every system running this build behaves alike.
  const DWORD attributes = AttributesOf(target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return ReplaceResult::kFailed;
  const std::wstring temporary = Widen(FolderOf(target)) + L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(temporaryCounter.fetch_add(1));
  HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReplaceResult::kFailed;
  bool ok = WriteAll(file, contents.data(), contents.size(), replaceWriteLimit.load()) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  if (ok && expected && beforeStampCheck) beforeStampCheck(target);
  if (ok && expected && StampOf(target) != *expected) {
    DeleteFileW(temporary.c_str());
    return ReplaceResult::kChanged;
  }
  if (ok && MoveOver(temporary, Widen(target))) return ReplaceResult::kReplaced;
  DeleteFileW(temporary.c_str());
  return ReplaceResult::kFailed;
}

}  // namespace

bool ReplaceFileContents(const std::string& target, const std::string& contents) {
  return Replace(target, contents, nullptr) == ReplaceResult::kReplaced;
}

ReplaceResult ReplaceFileIfUnchanged(const std::string& target, const std::string& contents,
                                     const FileStamp& expected) {
  return Replace(target, contents, &expected);
}

// LockFileEx locks belong to a handle, so two handles exclude each other
// within one process as well as across processes.
std::unique_ptr<FileLock> FileLock::Acquire(const std::string& path, std::chrono::milliseconds timeout,
                                            Failure* failure) {
  HANDLE handle = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (failure) *failure = Failure::kCannotOpen;
    return nullptr;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool busy = true;
  for (;;) {
    OVERLAPPED whole{};
    if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole)) {
      return std::unique_ptr<FileLock>(new FileLock(reinterpret_cast<intptr_t>(handle)));
    }
    busy = GetLastError() == ERROR_LOCK_VIOLATION || GetLastError() == ERROR_IO_PENDING;
    if (!busy || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  CloseHandle(handle);
  if (failure) *failure = busy ? Failure::kBusy : Failure::kCannotOpen;
  return nullptr;
}

FileLock::FileLock(intptr_t handle) : handle_(handle) {}

// Closing the handle releases the lock.
FileLock::~FileLock() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

void SetReplaceWriteLimitForTesting(int64_t bytes) { replaceWriteLimit.store(bytes); }

void SetBeforeStampCheckForTesting(std::function<void(const std::string& target)> hook) {
  beforeStampCheck = std::move(hook);
}

}  // namespace platform
