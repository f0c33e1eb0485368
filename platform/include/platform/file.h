// Files, folders and paths on disk.
//
// A File is one open handle that several threads may share: every transfer
// names its own offset (positioned I/O), so a writer appending at one offset
// and a reader at another never disturb each other.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

enum class FileAccess { Read, ReadWrite };

enum class FileDisposition {
  OpenExisting,  // fail when the file does not exist
  CreateAlways,  // create, or truncate an existing file to 0 bytes
};

struct FileOpenOptions {
  FileAccess access = FileAccess::Read;
  FileDisposition disposition = FileDisposition::OpenExisting;
  // The file disappears from its folder once the last handle is closed
  // (on POSIX it is unlinked right after it is opened; on Windows it stays
  // visible until then).
  bool deleteOnClose = false;
};

// What tells one version of a file on disk from another: a file put in its
// place, or rewritten where it is, gets a different stamp. The default stamp
// stands for "no file there".
struct FileStamp {
  bool exists = false;
  uint64_t volume = 0;
  uint64_t id = 0;
  int64_t size = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// Paths are UTF-8. On Windows, a path that is not valid UTF-8 is read in the
// ANSI code page instead, as the narrow Windows API would read it.
class File {
 public:
  // Null when the file cannot be opened or created, or is a folder. A file
  // opened for reading stays open to other readers and writers. An
  // existing file is opened only when it is a regular file: a FIFO or a
  // device is refused, a FIFO without waiting for its other end. (Created
  // anew, a path may lead to a device, as to /dev/full to try a full disk.)
  static std::unique_ptr<File> Open(const std::string& path, const FileOpenOptions& options);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Reads up to `count` bytes at `offset`. `*got` is the count read; fewer
  // than `count` only at the end of the file. False on an I/O error.
  bool ReadAt(uint64_t offset, void* buffer, size_t count, size_t* got);
  // Writes all `count` bytes at `offset`. `*written` (may be null) is the
  // count that reached the file, also on failure. False on an I/O error.
  bool WriteAt(uint64_t offset, const void* buffer, size_t count, size_t* written = nullptr);
  // Size in bytes, or -1 when it cannot be read.
  int64_t Size();
  // The stamp of the file this handle has open; the default stamp when it
  // cannot be read.
  FileStamp Stamp();

 private:
#ifdef _WIN32
  explicit File(void* handle);
  void* handle_;
#else
  explicit File(int fd);
  int fd_;
#endif
};

bool PathExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates one folder (its parent must exist). True when it exists afterwards.
bool CreateDirectory(const std::string& path);
bool RemoveFile(const std::string& path);
// Why the file at `path` cannot be opened for reading, in the C library's
// words ("No such file or directory"); empty when it can.
std::string WhyUnreadable(const std::string& path);

// The stamp of the file at `path` now; the default stamp when there is none.
FileStamp StampOf(const std::string& path);

// Reads a whole file into `*contents` and, when `stamp` is given, the stamp
// of the file read. False when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* contents, FileStamp* stamp = nullptr);

// Replaces `target` with `contents` so that `target` is at every moment either
// the old whole file or the new whole file: the bytes go to a temporary file
// in the same folder, are flushed to disk, and the temporary is renamed over
// `target`. On any failure `target` is untouched and the temporary removed.
bool ReplaceFileContents(const std::string& target, const std::string& contents);

enum class ReplaceResult {
  kReplaced,  // `target` holds the new contents
  kChanged,   // `target` is no longer the file `expected` stamps: left as it is
  kFailed,    // nothing could be written; `target` is as it was
};
// ReplaceFileContents, but only while `target` is still the file `expected`
// stamps (the default stamp: while there is no file): a read-edit-replace
// that must not write over what someone else put there meanwhile. The check
// comes after the new contents are on disk, right before they take the place
// of `target`.
ReplaceResult ReplaceFileIfUnchanged(const std::string& target, const std::string& contents,
                                     const FileStamp& expected);

// An advisory lock on the file `path`, held until the object is destroyed.
// Two locks on one path exclude each other whether two processes or two
// threads of one process take them. The lock file is created when missing
// and left in place (removing it would let a waiter lock a file that is no
// longer the one others lock). It guards nothing by itself: every party that
// writes the data it stands for must take it.
class FileLock {
 public:
  enum class Failure {
    kBusy,        // someone else held it for the whole time-out
    kCannotOpen,  // the lock file cannot be opened or created
  };

  // Waits up to `timeout` for the lock. Null, with the reason in `*failure`
  // (may be null), when it cannot be had.
  static std::unique_ptr<FileLock> Acquire(const std::string& path, std::chrono::milliseconds timeout,
                                           Failure* failure = nullptr);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  explicit FileLock(intptr_t handle);
  intptr_t handle_;
};

// Failure injection for tests: when set, every write made by
// ReplaceFileContents / ReplaceFileIfUnchanged stops after `bytes` bytes and fails
// as a full disk would. Negative (the default) turns it off.
void SetReplaceWriteLimitForTesting(int64_t bytes);
// Failure injection for tests: when set, ReplaceFileIfUnchanged calls `hook`
// with the target once the new contents are on disk, right before it checks
// the stamp: the moment another program's write would be caught.
void SetBeforeStampCheckForTesting(std::function<void(const std::string& target)> hook);

}  // namespace platform
