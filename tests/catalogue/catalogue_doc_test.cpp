// CCatalogueDoc: lookups in the catalogue text, and SetTrackTime's write-back
// (what reaches the file, byte for byte, and what never does).
#include "catalogue/catalogue_doc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue_fixture.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace cataloguetest {
namespace {

using enum TrackTimeResult;
using Times = std::vector<std::string>;
using Tracks = std::vector<std::tuple<std::string, std::string, std::string>>;  // title, src, time

// Every track of `category` as GetTrackAt hands them out, from index 0.
Tracks TracksOf(CCatalogueDoc& document, const std::string& category) {
  Tracks tracks;
  std::string title, src, time;
  while (document.GetTrackAt(category, static_cast<int>(tracks.size()), &title, &src, &time)) {
    tracks.emplace_back(title, src, time);
  }
  return tracks;
}

Times TimesOf(CCatalogueDoc& document, const std::string& category) {
  Times times;
  for (const auto& track : TracksOf(document, category)) times.push_back(std::get<2>(track));
  return times;
}

class CatalogueDocTest : public ::testing::Test {
 protected:
  // Loads `plain`, stored scrambled unless `scrambled` is false.
  void Load(const std::string& plain, bool scrambled = true) {
    path_ = folder_.Write("datams.dll", scrambled ? Scrambled(plain) : plain);
    EXPECT_TRUE(document_.LoadFile(path_, scrambled));
  }

  testsupport::TempDir folder_;
  std::string path_;
  CCatalogueDoc document_;
};

// The walk over kCatalogue as a whole (names in upper case, the element that
// is no category, the category in two parts) is pinned by tarvoni-catalogue's
// listing and by the times read back after saves; here the lookups by other
// spellings and the misses.
TEST_F(CatalogueDocTest, LookupsIgnoreCaseAndMissesOrUnloadedDocumentsLeaveTheOutputsAlone) {
  std::string maker, desc = "stale", title = "kept";
  EXPECT_FALSE(document_.GetCategoryInfo("A", &maker, &desc)) << "never loaded";
  EXPECT_EQ(document_.SetTrackTime("A", "a", 10), kNoSuchTrack);
  EXPECT_FALSE(document_.LoadFile(folder_.Folder(), true));  // a folder is not a catalogue
  Load(kCatalogue);
  EXPECT_FALSE(document_.LoadFile(folder_.Path("missing.dll"), true));  // and keeps what was loaded
  EXPECT_EQ(TracksOf(document_, "hOUSE"), (Tracks{{"Deep Night", "http://h/e.mp3", "01:00"}}));
  ASSERT_TRUE(document_.GetCategoryInfo("house", &maker, &desc));
  EXPECT_EQ(maker + "|" + desc, "Mk|");
  EXPECT_FALSE(document_.GetTrackAt("中文舞曲", -1, &title, &maker, &desc));
  EXPECT_EQ(title, "kept");
  // Out of order and across categories, as a list that is scrolled back or a
  // tab switched in between would ask.
  const std::tuple<std::string, int, std::string> asked[] = {
      {"中文舞曲", 3, "http://h/d.mp3"}, {"中文舞曲", 1, "http://h/b.mp3"}, {"HOUSE", 0, "http://h/e.mp3"},
      {"中文舞曲", 2, "http://h/c.mp3"}, {"中文舞曲", 4, ""},               {"中文舞曲", 0, "http://h/a.mp3"}};
  for (const auto& [category, index, src] : asked) {
    std::string found;
    EXPECT_EQ(document_.GetTrackAt(category, index, &title, &found, &desc), !src.empty()) << category << index;
    EXPECT_EQ(found, src) << category << index;
  }
}

TEST_F(CatalogueDocTest, CategoryWithoutNameEndsTheWalk) {
  Load(R"(<djs><l name="A"><s>a</s></l><l maker="nameless"><s>n</s></l><l name="B"><s>b</s></l></djs>)");
  EXPECT_EQ(TracksOf(document_, "A").size(), 1u);
  EXPECT_TRUE(TracksOf(document_, "B").empty());
  std::string maker, desc;
  EXPECT_FALSE(document_.GetCategoryInfo("B", &maker, &desc));
  EXPECT_EQ(document_.GetCategoryNames(), std::vector<std::string>{"A"});
}

TEST_F(CatalogueDocTest, VersionAndEndCountOnlyAfterTheCatalogueAndTheVersionIsReadAsAtoiReadsIt) {
  std::string deep = "<djs>";
  for (int level = 0; level < 100000; ++level) deep += "<l name=\"A\">";
  const std::tuple<std::string, int, bool, bool> cases[] = {
      // Text, version, end marker, parses.
      {"<djs/><version> 12abc</version><end/>", 12, true, true},
      {"<djs/><version>-3</version><end/>", -3, true, true},
      {"<djs/><version>abc</version><end/>", 0, true, true},
      {"<djs/><version></version><end/>", 0, true, true},
      {"<djs/><VERSION>4</VERSION><end/>", 4, true, true},
      {"<djs/><version>2147483647</version><end/>", INT_MAX, true, true},
      {"<djs/><version>-2147483648</version><end/>", INT_MIN, true, true},
      {"<djs/><version>2147483648</version><end/>", 0, true, false},  // beyond an int: refused, never clamped
      {"<djs/><version>99999999999999999999</version><end/>", 0, true, false},
      {"<djs/><version>-2147483649</version><end/>", 0, true, false},
      {"<djs/><version>2</version><version>5</version><end/>", 2, true, true},
      {"<djs/><end/><version>3</version>", 3, true, true},
      {"<djs/><version>3</version><END/>", 3, true, true},
      {"<djs/><version>3</version>", 3, false, true},
      {"<version>3</version><djs><end/></djs>", 0, false, true},  // "version" is the catalogue; "end" is inside it
      {"<djs><l name='A'><s src='http://h/a.mp3'>a</s></l><version>2</version", 0, false, false},
      {"", 0, false, false},
      {deep + "<s>T</s>", 0, false, false},  // nested too deeply to be parsed at all
  };
  for (const auto& [text, version, end, parses] : cases) {
    SCOPED_TRACE(text.substr(0, 100));
    Load(text);
    std::string problem;
    EXPECT_EQ(document_.ParseError(&problem), !parses) << problem;
    EXPECT_EQ(document_.GetVersion(), version);
    EXPECT_EQ(document_.HasEndMarker(), end);
  }
}

TEST_F(CatalogueDocTest, LongNamesAndAddressesWorkWhole) {
  std::string category(1000, 'c'), title = "标题" + std::string(600, 't'), src = "http://h/" + std::string(5000, 's');
  Load("<djs><l name=\"" + category + "\"><s src=\"" + src + "\">" + title + "</s></l></djs>");
  EXPECT_EQ(TracksOf(document_, category), (Tracks{{title, src, ""}}));
  EXPECT_TRUE(TracksOf(document_, category.substr(0, 259)).empty());  // a cut name is another name
  EXPECT_EQ(document_.SetTrackTime(category, title, 61), kSaved);
  EXPECT_EQ(TimesOf(document_, category), Times{"01:01"});
}

// A save changes only the bytes of the time: an existing attribute in single
// quotes or in upper case, a new one after the address, a new one in an empty
// element. So in UTF-8 scrambled or not; in GBK or GB18030; in GB18030 that
// no declaration names (bytes that are not UTF-8 are read as GB18030); with
// a quoted '>' in the declaration (the parser reads it as part of the value;
// so must the in-place edit, or it would count the decoy as an element); and
// with bytes that are no text, in GBK or in UTF-8 (a stray byte is no reason
// to read a UTF-8 file as GBK). Once the file is gone, the document is
// written out whole in its own encoding, unless bytes that are no text would
// come back changed.
TEST_F(CatalogueDocTest, SavesChangeOnlyTheTimesBytesOrWriteTheWholeDocumentInItsEncoding) {
  const std::tuple<const char*, std::string, bool> forms[] = {
      {"scrambled", kCatalogue, true},
      {"plain", kCatalogue, false},
      {"GBK", CatalogueIn("GBK"), true},
      {"GB18030", CatalogueIn("GB18030"), true},
      {"undeclared GB18030", CatalogueIn(""), true},
      {"quoted tag", Replaced(kCatalogue, R"(encoding="UTF-8")", R"(standalone="><l name='decoy'>")"), true},
      {"no text", Replaced(CatalogueIn("GBK"), "kept by hand", "kept \xFF\x80 by hand"), true},
      {"no UTF-8", Replaced(kCatalogue, "最新串烧", "最新\xFF串烧"), true},
      {"no text, undeclared", Replaced(CatalogueIn(""), "kept by hand", "\xE4\xB8\xAD\xE6\x96\x87\xFF"), true}};
  for (const auto& [form, plain, scrambled] : forms) {
    SCOPED_TRACE(form);
    Load(plain, scrambled);
    ASSERT_EQ(document_.SetTrackTime("中文舞曲", "no time yet", 245), kSaved);  // the first of two
    ASSERT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 3599), kSaved);
    ASSERT_EQ(document_.SetTrackTime("中文舞曲", "", 600), kSaved);  // the untitled track
    ASSERT_EQ(document_.SetTrackTime("HOUSE", "deep NIGHT", 75), kSaved);
    std::string stored;
    ASSERT_TRUE(platform::ReadWholeFile(path_, &stored));
    const std::string timed = Replaced(Replaced(WithTimeOfB(plain), "'03:30'", "'59:59'"), "\"01:00\"", "\"01:15\"");
    EXPECT_EQ(scrambled ? Scrambled(stored) : stored, Replaced(timed, "c.mp3\"/>", "c.mp3\" time=\"10:00\"/>"));

    ASSERT_TRUE(platform::RemoveFile(path_));
    const bool text = !std::string(form).starts_with("no ");
    EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), text ? kSaved : kNotSaved);
    CCatalogueDoc reloaded;
    ASSERT_EQ(reloaded.LoadFile(path_, scrambled), text);
    if (!text) continue;
    EXPECT_EQ(TimesOf(reloaded, "中文舞曲"), (Times{"59:59", "04:05", "10:00", ""}));
    EXPECT_EQ(TimesOf(reloaded, "House"), Times{"01:15"});  // the existing TIME, not a second attribute
    ASSERT_TRUE(platform::ReadWholeFile(path_, &stored));
    EXPECT_EQ(platform::IsValidUtf8(scrambled ? Scrambled(stored) : stored), platform::IsValidUtf8(plain));
  }
}

TEST_F(CatalogueDocTest, NoMatchingTrackOrAWriteFailingMidwayLeavesTheOldFileWhole) {
  Load(kCatalogue);
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "Unknown", 5), kNoSuchTrack);
  EXPECT_EQ(document_.SetTrackTime("English", "No Time Yet", 5), kNoSuchTrack);
  platform::SetReplaceWriteLimitForTesting(40);  // the disk is full after 40 bytes
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), kNotSaved);
  platform::SetReplaceWriteLimitForTesting(-1);
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_.Folder())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"datams.dll", "datams.dll.lock"})) << "no temporary file left";
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), kSaved);
}

TEST_F(CatalogueDocTest, ReadOnlyCatalogueLoadsAndASaveThatCannotBeWrittenChangesNothing) {
  Load(kCatalogue);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder_.Folder().c_str(), 0555), 0);
  // Root may write anything: the check runs as an unprivileged user then.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
    CCatalogueDoc document;
    if (!document.LoadFile(path_, true)) _exit(11);
    if (document.SetTrackTime("中文舞曲", "爱情买卖", 61) != kNotSaved) _exit(12);
    _exit(TimesOf(document, "中文舞曲").at(0) == "01:01" ? 0 : 13);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  chmod(folder_.Folder().c_str(), 0700);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << "10: privileges, 11: load, 12: save, 13: document";
  EXPECT_EQ(ReadCatalogue(path_), kCatalogue);
}

TEST_F(CatalogueDocTest, CatalogueReplacedSinceLoadingGetsTheTimeInsteadOfBeingUndone) {
  Load(kCatalogue);
  const std::string published = Replaced(kCatalogue, "<version>2", "<version>3");
  ASSERT_TRUE(platform::ReplaceFileContents(path_, Scrambled(published)));
  ASSERT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), kSaved);
  EXPECT_EQ(ReadCatalogue(path_), WithTimeOfB(published));

  const std::string withoutTheTrack = "<djs><l name=\"New\"><s>Fresh</s></l></djs><version>4</version><end/>";
  ASSERT_TRUE(platform::ReplaceFileContents(path_, Scrambled(withoutTheTrack)));
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 61), kNotSaved);
  EXPECT_EQ(ReadCatalogue(path_), withoutTheTrack);
  EXPECT_EQ(TimesOf(document_, "中文舞曲").at(0), "01:01");  // the running document keeps what it has
}

// Another program that replaces the catalogue without taking its lock, between
// the save's reading of the file and its replacing it: the save edits what
// is there now, or gives up after a few tries, never writing back the old.
TEST_F(CatalogueDocTest, CatalogueReplacedWhileBeingSavedIsEditedAgainNeverReverted) {
  Load(kCatalogue);
  const std::string published = Replaced(kCatalogue, "<version>2", "<version>3");
  int replacements = 1;
  platform::SetBeforeStampCheckForTesting([&](const std::string& target) {
    if (replacements-- > 0) {
      ASSERT_TRUE(platform::ReplaceFileContents(target, Scrambled(published)));
    }
  });
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "No Time Yet", 245), kSaved);
  EXPECT_EQ(ReadCatalogue(path_), WithTimeOfB(published));

  int version = 3;
  std::string edition;
  platform::SetBeforeStampCheckForTesting([&](const std::string& target) {
    edition = Replaced(kCatalogue, "<version>2", "<version>" + std::to_string(++version));
    ASSERT_TRUE(platform::ReplaceFileContents(target, Scrambled(edition)));
  });
  EXPECT_EQ(document_.SetTrackTime("中文舞曲", "爱情买卖", 61), kNotSaved) << "replaced at every try";
  platform::SetBeforeStampCheckForTesting(nullptr);
  EXPECT_EQ(ReadCatalogue(path_), edition);
}

TEST_F(CatalogueDocTest, CatalogueThatDoesNotParseToItsEndIsNeverWrittenOutWhole) {
  // The parser stops at the unquoted address; the in-place edit reads it
  // whole, so its result does not read back the same and the document
  // would be written out, without everything after the address.
  std::string plain =
      "<djs><l name=\"A\"><s>First</s><s src=http://h/b.mp3>Second</s></l></djs><version>2</version><end/>";
  Load(plain);
  EXPECT_EQ(document_.SetTrackTime("A", "", 5), kNotSaved);
  EXPECT_EQ(ReadCatalogue(path_), plain);
  ASSERT_EQ(document_.SetTrackTime("A", "First", 5), kSaved);
  EXPECT_EQ(ReadCatalogue(path_), Replaced(plain, "<s>First", "<s time=\"00:05\">First"));
}

}  // namespace
}  // namespace cataloguetest
