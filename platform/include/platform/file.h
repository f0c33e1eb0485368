// Files, folders and paths on disk.
//
// A File is one open handle that several threads may share: every transfer
// names its own offset (positioned I/O), so a writer appending at one offset
// and a reader at another never disturb each other.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Paths are UTF-8. On Windows, a path that is not valid UTF-8 is read in the
// ANSI code page instead, as the narrow Windows API would read it.
class File {
 public:
  // Null when the file cannot be opened or created. A file opened for reading
  // stays open to other readers and writers.
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
// Reads a whole file into `*contents`. False when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string* contents);

// Replaces `target` with `contents` so that `target` is at every moment either
// the old whole file or the new whole file: the bytes go to a temporary file
// in the same folder, are flushed to disk, and the temporary is renamed over
// `target`. On any failure `target` is untouched and the temporary removed.
bool ReplaceFileContents(const std::string& target, const std::string& contents);
// The same, with the new contents taken from the file `source` (left in place).
bool ReplaceFileFrom(const std::string& target, const std::string& source);

// Failure injection for tests: when set, every write made by
// ReplaceFileContents / ReplaceFileFrom stops after `bytes` bytes and fails
// as a full disk would. Negative (the default) turns it off.
void SetReplaceWriteLimitForTesting(int64_t bytes);

}  // namespace platform
