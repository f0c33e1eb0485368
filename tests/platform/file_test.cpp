#include "platform/file.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

using platform::File;
using testsupport::TempDir;

// The cache file's options: created anew for reading and writing, gone once closed.
constexpr platform::FileOpenOptions kCacheFile = {.access = platform::FileAccess::ReadWrite,
                                                  .disposition = platform::FileDisposition::CreateAlways,
                                                  .deleteOnClose = true};

// What ReadAt gives for `count` bytes at `offset`; "<failed>" when it fails.
std::string ReadAt(File& file, uint64_t offset, size_t count) {
  std::string bytes(count, '\0');
  size_t got = 0;
  if (!file.ReadAt(offset, bytes.data(), count, &got)) return "<failed>";
  bytes.resize(got);
  return bytes;
}

char PatternByte(uint64_t offset) { return static_cast<char>((offset * 7 + offset / 1024) & 0xFF); }

TEST(FileTest, ReadOnlyFileOpensAndReadsPastTheEndGiveWhatThereIs) {
  TempDir dir;
  std::string path = dir.Write("locked", "12345");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  auto file = File::Open(path, {});
  ASSERT_TRUE(file);
  EXPECT_EQ(ReadAt(*file, 3, 16), "45");
  EXPECT_EQ(ReadAt(*file, 5, 16), "");
  EXPECT_EQ(file->Size(), 5);
  EXPECT_FALSE(File::Open(dir.Path("missing"), {}));
  EXPECT_FALSE(File::Open(dir.Folder(), {}));
}

// Opening a FIFO that nobody writes to would wait forever; a device is no file.
TEST(FileTest, OnlyRegularFilesOpenAndAFifoWithoutWriterDoesNotBlock) {
  TempDir dir;
  ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0644), 0);
  for (const std::string& path : {dir.Path("fifo"), std::string("/dev/null")}) {
    EXPECT_FALSE(File::Open(path, {})) << path;
    std::string contents;
    EXPECT_FALSE(platform::ReadWholeFile(path, &contents)) << path;
  }
}

TEST(FileTest, CreateAlwaysTruncatesAndDeleteOnCloseLeavesNothingBehind) {
  TempDir dir;
  std::string path = dir.Write("tmp.mp3", "previous contents");
  {
    auto file = File::Open(path, kCacheFile);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Size(), 0);
    size_t written = 0;
    EXPECT_TRUE(file->WriteAt(0, "abc", 3, &written));
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(ReadAt(*file, 0, 8), "abc");
  }
  EXPECT_FALSE(platform::PathExists(path));
}

TEST(FileTest, ReplaceSwapsInTheNewContentsAndKeepsTheMode) {
  TempDir dir;
  std::string target = dir.Write("datams.dll", "old catalogue");
  ASSERT_EQ(chmod(target.c_str(), 0640), 0);
  EXPECT_TRUE(platform::ReplaceFileContents(target, "new catalogue, longer than before"));
  std::string contents;
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents));
  EXPECT_EQ(contents, "new catalogue, longer than before");
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(FileTest, ReplaceIfUnchangedWritesOnlyOverTheFileThatWasRead) {
  TempDir dir;
  const std::string target = dir.Write("datams.dll", "edition 1");
  std::string contents;
  platform::FileStamp read;
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents, &read));
  EXPECT_EQ(platform::StampOf(target), read);
  const platform::FileStamp absent;

  // Put in its place, rewritten where it is (same size, same inode), removed.
  dir.Write("other", "edition 2");
  ASSERT_EQ(std::rename(dir.Path("other").c_str(), target.c_str()), 0);
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "edition 1 edited", read), platform::ReplaceResult::kChanged);
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents, &read));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the file system's clock step
  dir.Write("datams.dll", "edition 3");
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "edition 2 edited", read), platform::ReplaceResult::kChanged);
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "edition 3 edited", absent), platform::ReplaceResult::kChanged);
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents, &read));
  EXPECT_EQ(contents, "edition 3");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Folder()), {}), 1) << "no temporary file left";

  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "edition 3 edited", read), platform::ReplaceResult::kReplaced);
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents));
  EXPECT_EQ(contents, "edition 3 edited");
  ASSERT_TRUE(platform::RemoveFile(target));
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "written anew", read), platform::ReplaceResult::kChanged);
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(target, "written anew", absent), platform::ReplaceResult::kReplaced);
  EXPECT_EQ(platform::ReplaceFileIfUnchanged(dir.Path("no/folder"), "x", absent), platform::ReplaceResult::kFailed);
}

// Another process holds the lock: a waiter gets it once the holder lets go,
// or gives up at its time-out. Two threads of one process exclude each other
// the same way.
TEST(FileLockTest, ExcludesOtherProcessesAndThreadsUntilReleasedOrTimedOut) {
  using namespace std::chrono_literals;
  TempDir dir;
  const std::string lockPath = dir.Path("datams.dll.lock"), held = dir.Path("held");
  int release[2];
  ASSERT_EQ(pipe(release), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    auto lock = platform::FileLock::Acquire(lockPath, 1s);
    if (!lock || !platform::ReplaceFileContents(held, "")) _exit(1);
    char byte;
    _exit(read(release[0], &byte, 1) == 1 ? 0 : 2);
  }
  while (!platform::PathExists(held)) std::this_thread::sleep_for(1ms);
  platform::FileLock::Failure failure = platform::FileLock::Failure::kCannotOpen;
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(platform::FileLock::Acquire(lockPath, 200ms, &failure));
  EXPECT_EQ(failure, platform::FileLock::Failure::kBusy);
  EXPECT_GE(std::chrono::steady_clock::now() - started, 200ms);

  std::thread letGo([&] {
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(write(release[1], "x", 1), 1);
  });
  auto lock = platform::FileLock::Acquire(lockPath, 10s);
  letGo.join();
  int status = 0;
  ASSERT_EQ(waitpid(holder, &status, 0), holder);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
  ASSERT_TRUE(lock);

  std::atomic<bool> taken{false};
  std::thread other([&] { taken = platform::FileLock::Acquire(lockPath, 5s) != nullptr; });
  std::this_thread::sleep_for(100ms);
  EXPECT_FALSE(taken) << "taken by a second thread while held";
  lock.reset();
  other.join();
  EXPECT_TRUE(taken);

  EXPECT_FALSE(platform::FileLock::Acquire(dir.Path("no/folder/datams.dll.lock"), 1s, &failure));
  EXPECT_EQ(failure, platform::FileLock::Failure::kCannotOpen);
  close(release[0]);
  close(release[1]);
}

// The download thread appends to the cache file while the decode thread
// reads behind it through the same handle, each at its own offset.
TEST(FileThreadsTest, WriterAndReaderShareOneHandleAtTheirOwnOffsets) {
  constexpr uint64_t kTotal = 1024 * 1024;
  TempDir dir;
  auto file = File::Open(dir.Path("tmp.mp3"), kCacheFile);
  ASSERT_TRUE(file);
  std::atomic<uint64_t> published{0};
  std::thread writer([&] {
    char piece[1024];
    for (uint64_t offset = 0; offset < kTotal; offset += sizeof piece) {
      for (size_t i = 0; i < sizeof piece; ++i) piece[i] = PatternByte(offset + i);
      size_t written = 0;
      if (!file->WriteAt(offset, piece, sizeof piece, &written) || written != sizeof piece) return;
      published = offset + written;
    }
  });
  uint64_t mismatches = 0;
  for (uint64_t readOffset = 0; readOffset < kTotal;) {
    const uint64_t available = published.load();
    const std::string bytes = ReadAt(*file, readOffset, std::min<uint64_t>(700, available - readOffset));
    ASSERT_EQ(bytes.size(), std::min<uint64_t>(700, available - readOffset));
    for (size_t i = 0; i < bytes.size(); ++i) mismatches += bytes[i] != PatternByte(readOffset + i);
    readOffset += bytes.size();
    if (bytes.empty()) std::this_thread::yield();
  }
  writer.join();
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(file->Size(), static_cast<int64_t>(kTotal));
}

}  // namespace
