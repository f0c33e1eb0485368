#include "platform/file.h"

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

using platform::File;
using platform::FileAccess;
using platform::FileDisposition;
using platform::FileOpenOptions;
using testsupport::TempDir;

FileOpenOptions CreateForReadWrite(bool deleteOnClose = false) {
  FileOpenOptions options;
  options.access = FileAccess::ReadWrite;
  options.disposition = FileDisposition::CreateAlways;
  options.deleteOnClose = deleteOnClose;
  return options;
}

std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(dir);
  }
  return names;
}

char PatternByte(uint64_t offset) { return static_cast<char>((offset * 7 + offset / 1024) & 0xFF); }

TEST(FileTest, ReadPastTheEndReturnsWhatThereIs) {
  TempDir dir;
  auto file = File::Open(dir.Write("five", "12345"), {});
  ASSERT_TRUE(file);
  char buffer[16] = {};
  size_t got = 99;
  EXPECT_TRUE(file->ReadAt(3, buffer, sizeof buffer, &got));
  EXPECT_EQ(std::string(buffer, got), "45");
  EXPECT_TRUE(file->ReadAt(5, buffer, sizeof buffer, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(file->Size(), 5);
}

TEST(FileTest, OpenExistingFailsForMissingFilesAndFolders) {
  TempDir dir;
  EXPECT_FALSE(File::Open(dir.Path("missing"), {}));
  EXPECT_FALSE(File::Open(dir.Folder(), {}));
}

TEST(FileTest, ReadOnlyFileOpensForReading) {
  TempDir dir;
  std::string path = dir.Write("locked", "data");
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  auto file = File::Open(path, {});
  ASSERT_TRUE(file);
  char buffer[4];
  size_t got = 0;
  EXPECT_TRUE(file->ReadAt(0, buffer, 4, &got));
  EXPECT_EQ(std::string(buffer, got), "data");
}

TEST(FileTest, CreateAlwaysTruncatesAnExistingFile) {
  TempDir dir;
  std::string path = dir.Write("old", "previous contents");
  auto file = File::Open(path, CreateForReadWrite());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Size(), 0);
}

TEST(FileTest, DeleteOnCloseLeavesNothingBehindAndWorksWhileOpen) {
  TempDir dir;
  std::string path = dir.Path("cache.mp3");
  {
    auto file = File::Open(path, CreateForReadWrite(true));
    ASSERT_TRUE(file);
    size_t written = 0;
    EXPECT_TRUE(file->WriteAt(0, "abc", 3, &written));
    EXPECT_EQ(written, 3u);
    char buffer[3];
    size_t got = 0;
    EXPECT_TRUE(file->ReadAt(0, buffer, 3, &got));
    EXPECT_EQ(std::string(buffer, got), "abc");
  }
  EXPECT_FALSE(platform::PathExists(path));
  EXPECT_TRUE(Entries(dir.Folder()).empty());
}

TEST(FileTest, ReplaceKeepsTheOldFileWholeWhenTheWriteFails) {
  TempDir dir;
  std::string target = dir.Write("datams.dll", "old catalogue");
  platform::SetReplaceWriteLimitForTesting(10);
  bool replaced = platform::ReplaceFileContents(target, std::string(5000, 'n'));
  platform::SetReplaceWriteLimitForTesting(-1);
  EXPECT_FALSE(replaced);
  std::string contents;
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents));
  EXPECT_EQ(contents, "old catalogue");
  EXPECT_EQ(Entries(dir.Folder()), std::set<std::string>{"datams.dll"});
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
  EXPECT_EQ(Entries(dir.Folder()), std::set<std::string>{"datams.dll"});
}

TEST(FileTest, ReplaceFromCopiesTheSourceAndLeavesItInPlace) {
  TempDir dir;
  std::string source = dir.Write("data_cache.dll", "downloaded");
  std::string target = dir.Path("datams.dll");
  EXPECT_TRUE(platform::ReplaceFileFrom(target, source));
  std::string contents;
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents));
  EXPECT_EQ(contents, "downloaded");
  EXPECT_TRUE(platform::PathExists(source));
  EXPECT_FALSE(platform::ReplaceFileFrom(target, dir.Path("missing")));
  ASSERT_TRUE(platform::ReadWholeFile(target, &contents));
  EXPECT_EQ(contents, "downloaded");
}

TEST(FileTest, CreateDirectoryAcceptsAnExistingFolderOnly) {
  TempDir dir;
  EXPECT_TRUE(platform::CreateDirectory(dir.Path("cache")));
  EXPECT_TRUE(platform::CreateDirectory(dir.Path("cache")));
  EXPECT_TRUE(platform::DirectoryExists(dir.Path("cache")));
  dir.Write("plain", "x");
  EXPECT_FALSE(platform::CreateDirectory(dir.Path("plain")));
  EXPECT_FALSE(platform::CreateDirectory(dir.Path("no/such/parent")));
}

// The download thread appends to the cache file while the decode thread
// reads behind it through the same handle, each at its own offset.
TEST(FileThreadsTest, WriterAndReaderShareOneHandleAtTheirOwnOffsets) {
  constexpr uint64_t kTotal = 1024 * 1024;
  TempDir dir;
  auto file = File::Open(dir.Path("tmp.mp3"), CreateForReadWrite(true));
  ASSERT_TRUE(file);
  std::atomic<uint64_t> published{0};
  std::thread writer([&] {
    std::vector<char> piece(1024);
    for (uint64_t offset = 0; offset < kTotal; offset += piece.size()) {
      for (size_t i = 0; i < piece.size(); ++i) piece[i] = PatternByte(offset + i);
      size_t written = 0;
      if (!file->WriteAt(offset, piece.data(), piece.size(), &written) || written != piece.size()) return;
      published = offset + written;
    }
  });
  uint64_t readOffset = 0;
  uint64_t mismatches = 0;
  std::vector<char> buffer(700);
  while (readOffset < kTotal) {
    uint64_t available = published.load();
    if (available == readOffset) {
      std::this_thread::yield();
      continue;
    }
    size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), available - readOffset));
    size_t got = 0;
    ASSERT_TRUE(file->ReadAt(readOffset, buffer.data(), want, &got));
    ASSERT_EQ(got, want);
    for (size_t i = 0; i < got; ++i) mismatches += buffer[i] != PatternByte(readOffset + i);
    readOffset += got;
  }
  writer.join();
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(file->Size(), static_cast<int64_t>(kTotal));
}

}  // namespace
