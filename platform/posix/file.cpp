#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace platform {
namespace {

std::atomic<int64_t> replaceWriteLimit{-1};

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

}  // namespace

std::unique_ptr<File> File::Open(const std::string& path, const FileOpenOptions& options) {
  int flags = O_CLOEXEC | (options.access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY);
  if (options.disposition == FileDisposition::CreateAlways) flags |= O_CREAT | O_TRUNC;
  int fd = open(path.c_str(), flags, 0644);
  if (fd < 0) return nullptr;
  struct stat info;
  if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
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

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectory(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool ReplaceFileContents(const std::string& target, const std::string& contents) {
  std::string temporary = FolderOf(target) + ".tmp-XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  // Keep the mode an existing target had, so a replaced file stays readable
  // by whoever could read it before.
  struct stat info;
  fchmod(fd, stat(target.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644);
  bool ok = WriteAll(fd, contents.data(), contents.size(), replaceWriteLimit.load()) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  if (ok && rename(temporary.c_str(), target.c_str()) == 0) {
    int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
      fsync(folder);
      close(folder);
    }
    return true;
  }
  unlink(temporary.c_str());
  return false;
}

void SetReplaceWriteLimitForTesting(int64_t bytes) { replaceWriteLimit.store(bytes); }

}  // namespace platform
