// SetTrackTime's write-back: what reaches the file, byte for byte, and what
// never does.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "catalogue_fixture.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

using cataloguetest::ReadCatalogue;
using cataloguetest::Scrambled;
using cataloguetest::WriteCatalogue;

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<!-- kept by hand -->
<djs>
	<l name="中文舞曲" maker="DJ 阿强">
		<s src='http://h/a.mp3'   time='03:30' >爱情买卖</s>
		<s src="http://h/b.mp3">No Time Yet</s>
		<s src="http://h/c.mp3"/>
	</l>
	<l name="中文舞曲"><s src="http://h/d.mp3">No Time Yet</s></l>
</djs>
<version>2</version>
<end/>
)";

// `text` with the first `from` replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  while (dirent* entry = dir ? readdir(dir) : nullptr) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (dir) closedir(dir);
  return names;
}

std::string TimeOf(CCatalogueDoc& document, const std::string& category, int index) {
  std::string title, src, time;
  EXPECT_TRUE(document.GetTrackAt(category, index, &title, &src, &time));
  return time;
}

class WriteLimit {
 public:
  explicit WriteLimit(int64_t bytes) { platform::SetReplaceWriteLimitForTesting(bytes); }
  ~WriteLimit() { platform::SetReplaceWriteLimitForTesting(-1); }
};

class CatalogueSaveTest : public ::testing::Test {
 protected:
  CCatalogueDoc& Load(const std::string& plain, bool scrambled = true) {
    path_ = scrambled ? WriteCatalogue(folder_, "datams.dll", plain) : folder_.Write("datams.dll", plain);
    EXPECT_TRUE(document_.LoadFile(path_, scrambled));
    return document_;
  }

  testsupport::TempDir folder_;
  std::string path_;
  CCatalogueDoc document_;
};

TEST_F(CatalogueSaveTest, SavedFileChangesOnlyTheTimeAndReadsBackScrambled) {
  Load(kCatalogue);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "no time yet", 245), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(kCatalogue, R"(b.mp3")", R"(b.mp3" time="04:05")"));
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 3599), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(Replaced(kCatalogue, R"(b.mp3")", R"(b.mp3" time="04:05")"),
                                           "time='03:30'", "time='59:59'"));

  CCatalogueDoc reloaded;
  ASSERT_TRUE(reloaded.LoadFile(path_, true));
  EXPECT_EQ(TimeOf(reloaded, "中文舞曲", 0), "59:59");
  EXPECT_EQ(TimeOf(reloaded, "中文舞曲", 1), "04:05");
  EXPECT_EQ(TimeOf(reloaded, "中文舞曲", 3), "");  // the second "No Time Yet" is not touched
  EXPECT_EQ(TimeOf(document_, "中文舞曲", 1), "04:05");
  EXPECT_EQ(reloaded.GetVersion(), 2);
  EXPECT_TRUE(reloaded.HasEndMarker());
}

TEST_F(CatalogueSaveTest, GbkCatalogueKeepsEveryByteButTheChangedAttribute) {
  std::string gbk;
  ASSERT_TRUE(platform::Utf8ToGb18030(Replaced(kCatalogue, "UTF-8", "GBK"), &gbk));
  Load(gbk);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 61), TrackTimeResult::kSaved);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "", 600), TrackTimeResult::kSaved);  // the untitled track
  std::string expected = Replaced(Replaced(gbk, "time='03:30'", "time='01:01'"), "c.mp3\"/>", "c.mp3\" time=\"10:00\"/>");
  EXPECT_EQ(ReadCatalogue(path_), expected);
}

TEST_F(CatalogueSaveTest, UnscrambledCatalogueIsSavedUnscrambled) {
  Load(kCatalogue, false);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 5), TrackTimeResult::kSaved);
  std::string plain;
  ASSERT_TRUE(platform::ReadWholeFile(path_, &plain));
  EXPECT_EQ(plain, Replaced(kCatalogue, R"(b.mp3")", R"(b.mp3" time="00:05")"));
}

TEST_F(CatalogueSaveTest, NoMatchingTrackWritesNothing) {
  Load(kCatalogue);
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "Unknown", 5), TrackTimeResult::kNoSuchTrack);
  EXPECT_EQ(document_.SetTrackTime("English", "No Time Yet", 5), TrackTimeResult::kNoSuchTrack);
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
  EXPECT_EQ(FilesIn(folder_.Folder()), std::vector<std::string>{"datams.dll"});
}

TEST_F(CatalogueSaveTest, WriteFailingMidwayLeavesTheOldFileWhole) {
  Load(kCatalogue);
  {
    WriteLimit diskFullAfter(40);
    EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kNotSaved);
  }
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
  EXPECT_EQ(FilesIn(folder_.Folder()), std::vector<std::string>{"datams.dll"});  // no temporary left behind
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kSaved);
}

TEST_F(CatalogueSaveTest, ReadOnlyCatalogueLoadsAndASaveThatCannotBeWrittenChangesNothing) {
  Load(kCatalogue);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder_.Folder().c_str(), 0555), 0);
  // Root may write anything: the check runs as an unprivileged user then.
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    CCatalogueDoc document;
    if (!document.LoadFile(path_, true)) _exit(11);
    if (TimeOf(document, "中文舞曲", 0) != "03:30") _exit(12);
    if (document.SetTrackTime("中文舞曲", "爱情买卖", 61) != TrackTimeResult::kNotSaved) _exit(13);
    if (TimeOf(document, "中文舞曲", 0) != "01:01") _exit(14);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(folder_.Folder().c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
}

TEST_F(CatalogueSaveTest, CatalogueReplacedSinceLoadingGetsTheTimeInsteadOfBeingUndone) {
  Load(kCatalogue);
  std::string published = Replaced(Replaced(kCatalogue, "<version>2", "<version>3"), "</djs>",
                                   "\t<l name=\"New\"><s>Fresh</s></l>\n</djs>");
  ASSERT_TRUE(platform::ReplaceFileContents(path_, Scrambled(published)));
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(published, R"(b.mp3")", R"(b.mp3" time="04:05")"));

  std::string withoutTheTrack = "<djs><l name=\"New\"><s>Fresh</s></l></djs><version>4</version><end/>";
  ASSERT_TRUE(platform::ReplaceFileContents(path_, Scrambled(withoutTheTrack)));
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 61), TrackTimeResult::kNotSaved);
  EXPECT_EQ(ReadCatalogue(path_), withoutTheTrack);
  EXPECT_EQ(TimeOf(document_, "中文舞曲", 0), "01:01");  // the running document keeps what it has
}

TEST_F(CatalogueSaveTest, DeletedCatalogueIsWrittenAgainFromTheDocument) {
  std::string gbk;
  ASSERT_TRUE(platform::Utf8ToGb18030(Replaced(kCatalogue, "UTF-8", "GB18030"), &gbk));
  Load(gbk);
  ASSERT_TRUE(platform::RemoveFile(path_));
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kSaved);
  std::string plain = ReadCatalogue(path_);
  EXPECT_FALSE(platform::IsValidUtf8(plain));  // written back in GB18030
  CCatalogueDoc reloaded;
  ASSERT_TRUE(reloaded.LoadFile(path_, true));
  EXPECT_EQ(TimeOf(reloaded, "中文舞曲", 1), "04:05");
  EXPECT_EQ(TimeOf(reloaded, "中文舞曲", 0), "03:30");
  EXPECT_TRUE(reloaded.HasEndMarker());
}

// The parser reads a quoted '>' in a declaration as part of its value; so
// must the in-place edit, or it would count the decoy as an element.
constexpr char kDeclarationWithQuotedTag[] = R"(<?xml version="1.0" standalone="><l name='decoy'>"?>)";

TEST_F(CatalogueSaveTest, QuotedTagInTheDeclarationIsNotTakenForAnElement) {
  std::string plain = Replaced(kCatalogue, R"(<?xml version="1.0" encoding="UTF-8"?>)", kDeclarationWithQuotedTag);
  Load(plain);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(plain, R"(b.mp3")", R"(b.mp3" time="04:05")"));
}

TEST_F(CatalogueSaveTest, BytesThatAreNotTextSurviveASave) {
  std::string gbk;
  ASSERT_TRUE(platform::Utf8ToGb18030(Replaced(kCatalogue, "UTF-8", "GBK"), &gbk));
  std::string damaged = Replaced(gbk, "kept by hand", "kept \xFF\x80 by hand");
  Load(damaged);
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(damaged, R"(b.mp3")", R"(b.mp3" time="04:05")"));

  // Written out again from the document, they would come back changed.
  ASSERT_TRUE(platform::RemoveFile(path_));
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 246), TrackTimeResult::kNotSaved);
  EXPECT_FALSE(platform::PathExists(path_));
}

TEST_F(CatalogueSaveTest, CatalogueThatDoesNotParseToItsEndIsNeverWrittenOutWhole) {
  // The parser stops at the unquoted address; the in-place edit reads it
  // whole, so its result does not read back the same and the document
  // would be written out, without everything after the address.
  std::string plain = "<djs><l name=\"A\"><s>First</s><s src=http://h/b.mp3>Second</s></l></djs><version>2</version><end/>";
  Load(plain);
  EXPECT_EQ(document_.SetTrackTime("A", "", 5), TrackTimeResult::kNotSaved);
  EXPECT_EQ(ReadCatalogue(path_), plain);
  ASSERT_EQ(document_.SetTrackTime("A", "First", 5), TrackTimeResult::kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(plain, "<s>First", "<s time=\"00:05\">First"));
}

TEST_F(CatalogueSaveTest, TextNestedTooDeeplyIsNotParsed) {
  std::string deep;
  for (int level = 0; level < 100000; ++level) deep += "<l name=\"A\">";
  Load("<djs>" + deep + "<s>T</s>");
  std::string problem;
  EXPECT_TRUE(document_.ParseError(&problem));
  EXPECT_EQ(document_.SetTrackTime("A", "T", 5), TrackTimeResult::kNoSuchTrack);
  EXPECT_TRUE(document_.GetCategoryNames().empty());

  // Depth that a catalogue may have, with comments and declarations around.
  Load(R"(<?xml version="1.0"?><!-- <a><a><a> --><djs><l name="A"><s>T<b/></s></l></djs><end/>)");
  EXPECT_FALSE(document_.ParseError(&problem)) << problem;
  EXPECT_EQ(document_.SetTrackTime("A", "T", 5), TrackTimeResult::kSaved);
}

}  // namespace
