// tarvoni-catalogue as its users run it: output, files and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "catalogue_fixture.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

using cataloguetest::ReadCatalogue;

struct ToolRun {
  int status = -1;
  std::string out;
};

std::string Quoted(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs the tool with `arguments`; stderr is dropped, stdout kept.
ToolRun Tool(std::initializer_list<std::string> arguments) {
  std::string command = Quoted(TARVONI_CATALOGUE_TOOL);
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  command += " 2>/dev/null";
  ToolRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char chunk[4096];
  while (size_t got = fread(chunk, 1, sizeof chunk, pipe)) run.out.append(chunk, got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<djs>
  <l name="中文舞曲" maker="DJ 阿强" desc="最新串烧">
    <s src="http://h/a.mp3" time="03:30">爱情买卖</s>
    <s src="http://h/b.mp3">It's "Late"</s>
  </l>
</djs>
<version>5</version>
<end/>
)";

class CatalogueToolTest : public ::testing::Test {
 protected:
  testsupport::TempDir folder_;
};

TEST_F(CatalogueToolTest, PackAndUnpackRoundTripUtf8AndGbkByteForByte) {
  std::string gbkDeclared = kCatalogue;
  gbkDeclared.replace(gbkDeclared.find("UTF-8"), 5, "GBK");
  std::string gbk;
  ASSERT_TRUE(platform::Utf8ToGb18030(gbkDeclared, &gbk));
  for (const std::string& plain : {std::string(kCatalogue), gbk}) {
    std::string xml = folder_.Write("catalogue.xml", plain);
    ASSERT_EQ(Tool({"pack", xml, folder_.Path("datams.dll")}).status, 0);
    std::string stored;
    ASSERT_TRUE(platform::ReadWholeFile(folder_.Path("datams.dll"), &stored));
    ASSERT_EQ(stored.size(), plain.size());  // no header, no checksum
    EXPECT_EQ(stored[0], '<' ^ 0x5A);
    EXPECT_EQ(ReadCatalogue(folder_.Path("datams.dll")), plain);
    ToolRun unpack = Tool({"unpack", folder_.Path("datams.dll")});
    EXPECT_EQ(unpack.status, 0);
    EXPECT_EQ(unpack.out, plain);
  }
}

TEST_F(CatalogueToolTest, LsListsVersionEndMarkerCategoriesAndTracks) {
  cataloguetest::WriteCatalogue(folder_, "datams.dll", kCatalogue);
  ToolRun ls = Tool({"ls", folder_.Path("datams.dll")});
  EXPECT_EQ(ls.status, 0);
  EXPECT_EQ(ls.out,
            "version: 5\n"
            "end marker: yes\n"
            "category: 中文舞曲\n"
            "  maker: DJ 阿强\n"
            "  desc: 最新串烧\n"
            "  1\t03:30\t爱情买卖\thttp://h/a.mp3\n"
            "  2\t--:--\tIt's \"Late\"\thttp://h/b.mp3\n");
}

TEST_F(CatalogueToolTest, SetTimeDoesWhatThePlayerDoes) {
  std::string path = cataloguetest::WriteCatalogue(folder_, "datams.dll", kCatalogue);
  ASSERT_EQ(Tool({"set-time", path, "中文舞曲", "it's \"late\"", "245"}).status, 0);
  std::string expected = kCatalogue;
  expected.replace(expected.find("b.mp3\""), 6, "b.mp3\" time=\"04:05\"");
  EXPECT_EQ(ReadCatalogue(path), expected);
}

TEST_F(CatalogueToolTest, FailuresExitWithOneAndLeaveTheFileAlone) {
  std::string path = cataloguetest::WriteCatalogue(folder_, "datams.dll", kCatalogue);
  std::string notXml = folder_.Write("plain.xml", kCatalogue);  // not scrambled: unreadable as a catalogue
  EXPECT_EQ(Tool({"ls", folder_.Path("missing.dll")}).status, 1);
  EXPECT_EQ(Tool({"unpack", notXml}).status, 1);
  EXPECT_EQ(Tool({"ls", notXml}).status, 1);
  EXPECT_EQ(Tool({"pack", path, folder_.Path("out.dll")}).status, 1);  // scrambled bytes are not XML
  EXPECT_FALSE(platform::PathExists(folder_.Path("out.dll")));
  EXPECT_EQ(Tool({"set-time", path, "Techno", "爱情买卖", "10"}).status, 1);
  EXPECT_EQ(Tool({"set-time", path, "中文舞曲", "Unknown", "10"}).status, 1);
  EXPECT_EQ(ReadCatalogue(path), kCatalogue);
}

TEST_F(CatalogueToolTest, BadArgumentsExitWithTwo) {
  std::string path = cataloguetest::WriteCatalogue(folder_, "datams.dll", kCatalogue);
  EXPECT_EQ(Tool({}).status, 2);
  EXPECT_EQ(Tool({"frobnicate", path}).status, 2);
  EXPECT_EQ(Tool({"ls"}).status, 2);
  EXPECT_EQ(Tool({"set-time", path, "中文舞曲", "爱情买卖", "4m"}).status, 2);
  EXPECT_EQ(Tool({"set-time", path, "中文舞曲", "爱情买卖", "99999999999"}).status, 2);
  EXPECT_EQ(ReadCatalogue(path), kCatalogue);
}

}  // namespace
