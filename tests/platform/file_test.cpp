#include "platform/file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <atomic>
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
#ifndef _WIN32  // Windows files have no mode bits
  struct stat info;
  ASSERT_EQ(stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
#endif
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
