#include "platform/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace platform {
namespace {

std::atomic<int64_t> replaceWriteLimit{-1};
std::function<void(const std::string&)> beforeStampCheck;

bool WriteAll(int fd, const char* data, size_t count, int64_t limit) {
  size_t done = 0;
  while (done < count) {
    size_t chunk = count - done;
    if (limit >= 0) {
      if (static_cast<int64_t>(done) >= limit) {
        errno = ENOSPC;
        return false;
      }
      chunk = std::min<size_t>(chunk, static_cast<size_t>(limit - static_cast<int64_t>(done)));
    }
    ssize_t n = write(fd, data + done, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

int64_t Nanoseconds(const struct timespec& time) { return int64_t{time.tv_sec} * 1000000000 + time.tv_nsec; }

FileStamp StampOfInfo(const struct stat& info) {
  return {.exists = true,
          .volume = static_cast<uint64_t>(info.st_dev),
          .id = static_cast<uint64_t>(info.st_ino),
          .size = static_cast<int64_t>(info.st_size),
          .modifiedNs = Nanoseconds(info.st_mtim),
          .changedNs = Nanoseconds(info.st_ctim)};
}

// Writes `contents` to a temporary file beside `target` and renames it over
// `target`, when `expected` is null or still stamps `target`.
ReplaceResult Replace(const std::string& target, const std::string& contents, const FileStamp* expected) {
  std::string temporary = FolderOf(target) + ".tmp-XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return ReplaceResult::kFailed;
  // Keep the mode an existing target had, so a replaced file stays readable
  // by whoever could read it before.
  struct stat info;
  fchmod(fd, stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644);
  bool ok = WriteAll(fd, contents.data(), contents.size(), replaceWriteLimit.load()) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && expected && beforeStampCheck) beforeStampCheck(target);
  if (ok && expected && StampOf(target) != *expected) {
    unlink(temporary.c_str());
    return ReplaceResult::kChanged;
  }
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) {
    int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      fsync(folder);
      close(folder);
    }
    return ReplaceResult::kReplaced;
  }
  unlink(temporary.c_str());
  return ReplaceResult::kFailed;
}

}  // namespace

std::unique_ptr<File> File::Open(const std::string& path, const FileOpenOptions& options) {
  // Non-blocking only for the open itself: a FIFO without a writer would
  // otherwise hold it forever.
  int flags = O_CLOEXEC | O_NONBLOCK | (options.access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY);
  const bool create = options.disposition == FileDisposition::CreateAlways;
  if (create) flags |= O_CREAT | O_TRUNC;
  int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return nullptr;
  struct stat info;
  const bool taken = fstat(fd, &info) == 0 && !S_ISDIR(info.st_mode) && (create || S_ISREG(info.st_mode));
  if (!taken || fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  if (options.deleteOnClose) unlink(path.c_str());
  return std::unique_ptr<File>(new File(fd));
}

File::File(int fd) : fd_(fd) {}

File::~File() { close(fd_); }

bool File::ReadAt(uint64_t offset, void* buffer, size_t count, size_t* got) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = pread(fd_, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      *got = done;
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  *got = done;
  return true;
}

bool File::WriteAt(uint64_t offset, const void* buffer, size_t count, size_t* written) {
  size_t done = 0;
  bool ok = true;
  while (done < count) {
    ssize_t n = pwrite(fd_, static_cast<const char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  if (written) *written = done;
  return ok;
}

int64_t File::Size() {
  struct stat info;
  return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

FileStamp File::Stamp() {
  struct stat info;
  return fstat(fd_, &info) == 0 ? StampOfInfo(info) : FileStamp{};
}

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string WhyUnreadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  return "";
}

FileStamp StampOf(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? StampOfInfo(info) : FileStamp{};
}

bool ReplaceFileContents(const std::string& target, const std::string& contents) {
  return Replace(target, contents, nullptr) == ReplaceResult::kReplaced;
}

ReplaceResult ReplaceFileIfUnchanged(const std::string& target, const std::string& contents,
                                     const FileStamp& expected) {
  return Replace(target, contents, &expected);
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::string& path, std::chrono::milliseconds timeout,
                                            Failure* failure) {
  int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
  if (fd < 0) {
    if (failure) *failure = Failure::kCannotOpen;
    return nullptr;
  }
  // flock has no time-out of its own: try, and between tries sleep a little
  // so that a holder that lets go is followed soon.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool busy = true;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return std::unique_ptr<FileLock>(new FileLock(fd));
    busy = errno == EWOULDBLOCK || errno == EINTR;
    if (!busy || std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  close(fd);
  if (failure) *failure = busy ? Failure::kBusy : Failure::kCannotOpen;
  return nullptr;
}

FileLock::FileLock(intptr_t handle) : handle_(handle) {}

// Closing the descriptor releases the lock.
FileLock::~FileLock() { close(static_cast<int>(handle_)); }

void SetReplaceWriteLimitForTesting(int64_t bytes) { replaceWriteLimit.store(bytes); }

void SetBeforeStampCheckForTesting(std::function<void(const std::string& target)> hook) {
  beforeStampCheck = std::move(hook);
}

}  // namespace platform
