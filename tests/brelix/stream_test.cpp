// Reads of a local file through the stream.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bytes_file.h"
#include "fixture_writers.h"

namespace brelixtest {
namespace {

TEST(FileStream, ReadsStopAtTheSizeAndZeroFillPastIt) {
  BytesFile file("\x12\x34\x56\x78" + std::string(2000, 'x'));
  CMPAFileStream& stream = file.Stream();
  EXPECT_EQ(stream.GetSize(), 2004u);
  uint32_t offset = 2004;
  EXPECT_FALSE(stream.ReadBuffer(1, offset, true, false));
  EXPECT_EQ(offset, 2004u) << "a failed read does not advance";
  offset = 2002;
  const uint8_t* bytes = stream.ReadBuffer(4, offset, true, false);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), 4), std::string("xx\0\0", 4));
  EXPECT_EQ(offset, 2006u) << "advances by the count asked for";
  offset = 0;
  EXPECT_FALSE(stream.ReadBuffer(1025, offset, false, false)) << "more than one read buffer";
  EXPECT_TRUE(stream.ReadBuffer(1024, offset, false, false));
}

TEST(FileStream, ValueReadersComposeBigAndLittleEndian) {
  BytesFile file("\x12\x34\x56\x78");
  CMPAFileStream& stream = file.Stream();
  uint32_t offset = 0;
  EXPECT_EQ(stream.ReadBEValue(2, offset, false), 0x1234u);
  EXPECT_EQ(stream.ReadLEValue(2, offset, true), 0x3412u);
  EXPECT_EQ(stream.ReadBEValue(4, offset, true), 0x56780000u) << "zeros past the end";
  EXPECT_EQ(offset, 6u);
  EXPECT_EQ(stream.ReadLEValue(4, offset, true), 0u);
  EXPECT_EQ(offset, 6u);
}

TEST(FileStream, ReadOnlyFileCanBeInspected) {
  BytesFile file(Frames(Header("FFFB9064"), 417, 4));
  ASSERT_EQ(chmod(file.Path().c_str(), 0444), 0);
  const std::string folder = file.Path().substr(0, file.Path().rfind('/'));
  ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
  // Root may write any file, so the check runs as an unprivileged user.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(CMPAFileInfo::Create(file.Path().c_str(), true) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace brelixtest
