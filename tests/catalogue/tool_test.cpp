// tarvoni-catalogue as its users run it: output, files and exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "catalogue_fixture.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace cataloguetest {
namespace {

class CatalogueToolTest : public ::testing::Test {
 protected:
  // Runs the tool with `arguments` (none holding a single quote): its exit
  // status and output; its errors go nowhere.
  std::pair<int, std::string> Tool(const std::vector<std::string>& arguments) const {
    std::string command = "'" TARVONI_CATALOGUE_TOOL "'", output;
    for (const std::string& argument : arguments) command += " '" + argument + "'";
    const int status = std::system((command + " >'" + folder_.Path("output") + "' 2>/dev/null").c_str());
    platform::ReadWholeFile(folder_.Path("output"), &output);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
  }

  testsupport::TempDir folder_;
  const std::string path_ = folder_.Write("datams.dll", Scrambled(kCatalogue));
};

TEST_F(CatalogueToolTest, PackAndUnpackRoundTripUtf8AndGbkByteForByte) {
  for (const std::string& plain : {std::string(kCatalogue), CatalogueIn("GBK")}) {
    ASSERT_EQ(Tool({"pack", folder_.Write("catalogue.xml", plain), folder_.Path("packed.dll")}).first, 0);
    EXPECT_EQ(ReadCatalogue(folder_.Path("packed.dll")), plain);  // no header, no checksum
    EXPECT_EQ(Tool({"unpack", folder_.Path("packed.dll")}), std::pair(0, plain));
  }
}

TEST_F(CatalogueToolTest, LsListsVersionEndMarkerCategoriesAndTracks) {
  EXPECT_EQ(Tool({"ls", path_}), std::pair(0, std::string("version: 2\n"
                                                          "end marker: yes\n"
                                                          "category: 中文舞曲\n"
                                                          "  maker: DJ 阿强\n"
                                                          "  desc: 最新串烧\n"
                                                          "  1\t03:30\t爱情买卖\thttp://h/a.mp3\n"
                                                          "  2\t--:--\tNo Time Yet\thttp://h/b.mp3\n"
                                                          "  3\t--:--\t\thttp://h/c.mp3\n"
                                                          "  4\t--:--\tNo Time Yet\thttp://h/d.mp3\n"
                                                          "category: House\n"
                                                          "  maker: Mk\n"
                                                          "  desc: \n"
                                                          "  1\t01:00\tDeep Night\thttp://h/e.mp3\n")));
}

// One stray byte in a title of a UTF-8 catalogue, declared or not, costs
// that byte (shown as U+FFFD and kept in the file), never the whole file.
// Texts are escaped so that none can end its line, forge another, pass for a
// field separator or drive the terminal.
TEST_F(CatalogueToolTest, LsShowsEveryCategoryOfUtf8WithAStrayByteAndEscapesControlCharacters) {
  const std::string body =
      "<djs><l name=\"中文舞曲\" desc=\"a&#9;b\">"
      "<s src=\"http://h/a.mp3&#13;&#10;  2&#9;03:30&#9;forged&#9;http://evil/\">爱情\xFF买卖</s>"
      "<s src=\"http://h/b\\c.mp3\">Esc\x1B[2Jape</s></l>"
      "<l name=\"House\"><s src=\"http://h/e.mp3\">Deep\xC2\x85Night</s></l></djs><version>1</version><end/>";
  for (const std::string& plain : {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body, body}) {
    const std::string path = folder_.Write("stray.dll", Scrambled(plain));
    EXPECT_EQ(Tool({"ls", path}), std::pair(0, std::string("version: 1\n"
                                                           "end marker: yes\n"
                                                           "category: 中文舞曲\n"
                                                           "  maker: \n"
                                                           "  desc: a\\tb\n"
                                                           "  1\t--:--\t爱情\uFFFD买卖\thttp://h/a.mp3\\r\\n  2\\t03:30\\t"
                                                           "forged\\thttp://evil/\n"
                                                           "  2\t--:--\tEsc\\x1B[2Jape\thttp://h/b\\\\c.mp3\n"
                                                           "category: House\n"
                                                           "  maker: \n"
                                                           "  desc: \n"
                                                           "  1\t--:--\tDeep\\u0085Night\thttp://h/e.mp3\n")));
    ASSERT_EQ(Tool({"set-time", path, "中文舞曲", "爱情\uFFFD买卖", "61"}).first, 0);
    EXPECT_EQ(ReadCatalogue(path), Replaced(plain, "\">爱情", "\" time=\"01:01\">爱情"));
  }
}

// Another program holds the catalogue's lock: the tool waits a few seconds,
// then writes nothing and says so.
TEST_F(CatalogueToolTest, WritesWaitForTheLockAndGiveUpLeavingTheFileAsItWas) {
  auto lock = platform::FileLock::Acquire(path_ + ".lock", std::chrono::seconds(1));
  ASSERT_TRUE(lock);
  const std::string xml = folder_.Write("catalogue.xml", OneTrackCatalogue("5"));
  EXPECT_EQ(Tool({"set-time", path_, "中文舞曲", "no time yet", "245"}).first, 1);
  EXPECT_EQ(Tool({"pack", xml, path_}).first, 1);
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
  lock.reset();
  EXPECT_EQ(Tool({"pack", xml, path_}).first, 0);
  EXPECT_EQ(ReadCatalogue(path_), OneTrackCatalogue("5"));
}

TEST_F(CatalogueToolTest, SetTimeDoesWhatThePlayerDoesAndFailuresExitWith1OrWith2ForBadArguments) {
  const std::string notXml = folder_.Write("plain.xml", kCatalogue);  // not scrambled: unreadable as a catalogue
  const std::string overflow = folder_.Write("overflow.dll", Scrambled(OneTrackCatalogue("99999999999999999999")));
  const std::pair<std::vector<std::string>, int> runs[] = {
      {{"ls", folder_.Path("missing.dll")}, 1},
      {{"ls", overflow}, 1},  // a version beyond an int is not read as the largest one
      {{"unpack", notXml}, 1},
      {{"ls", notXml}, 1},
      {{"pack", path_, folder_.Path("out.dll")}, 1},  // scrambled bytes are not XML
      {{"set-time", path_, "Techno", "爱情买卖", "10"}, 1},
      {{"set-time", path_, "中文舞曲", "Unknown", "10"}, 1},
      {{}, 2},
      {{"frobnicate", path_}, 2},
      {{"ls"}, 2},
      {{"set-time", path_, "中文舞曲", "爱情买卖", "4m"}, 2},
      {{"set-time", path_, "中文舞曲", "爱情买卖", "99999999999"}, 2},
  };
  for (const auto& [arguments, status] : runs) {
    EXPECT_EQ(Tool(arguments).first, status) << testing::PrintToString(arguments);
  }
  EXPECT_FALSE(platform::PathExists(folder_.Path("out.dll")));
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue) << "untouched by the failures";
  ASSERT_EQ(Tool({"set-time", path_, "中文舞曲", "no time yet", "245"}).first, 0);
  EXPECT_EQ(ReadCatalogue(path_), WithTimeOfB(kCatalogue));
}

}  // namespace
}  // namespace cataloguetest
