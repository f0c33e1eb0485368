#include "catalogue/catalogue_doc.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "catalogue_fixture.h"
#include "platform/text.h"
#include "support/temp_dir.h"

namespace {

using cataloguetest::WriteCatalogue;

constexpr char kCatalogue[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<djs>
  <l name="中文舞曲" maker="DJ 阿强" desc="最新串烧">
    <s src="http://h/a.mp3" time="03:30">爱情买卖</s>
    <s src="http://h/b.mp3">No Time Yet</s>
    <s src="http://h/untitled.mp3"/>
  </l>
  <skipped name="中文舞曲"><s src="http://h/never.mp3">Not A Track</s></skipped>
  <L NAME="House" MAKER="Mk"><Track SRC="http://h/c.mp3" TIME="01:00">Deep Night</Track></L>
  <l name="中文舞曲" maker="second maker"><x src="http://h/d.mp3">Second Block</x></l>
</djs>
<version>7</version>
<end/>
)";

struct Track {
  std::string title, src, time;
};

// Every track of `category` as GetTrackAt hands them out, from index 0.
std::vector<Track> TracksOf(CCatalogueDoc& document, const std::string& category) {
  std::vector<Track> tracks;
  Track track;
  while (document.GetTrackAt(category, static_cast<int>(tracks.size()), &track.title, &track.src, &track.time)) {
    tracks.push_back(track);
  }
  return tracks;
}

class CatalogueDocTest : public ::testing::Test {
 protected:
  // Loads `plain`, stored scrambled.
  CCatalogueDoc& Load(const std::string& plain) {
    EXPECT_TRUE(document_.LoadFile(WriteCatalogue(folder_, "datams.dll", plain), true));
    return document_;
  }

  testsupport::TempDir folder_;
  CCatalogueDoc document_;
};

TEST_F(CatalogueDocTest, ElementAttributeCategoryAndTitleNamesIgnoreCase) {
  Load(kCatalogue);
  std::vector<Track> house = TracksOf(document_, "hOUSE");
  ASSERT_EQ(house.size(), 1u);
  EXPECT_EQ(house[0].title, "Deep Night");
  EXPECT_EQ(house[0].src, "http://h/c.mp3");
  EXPECT_EQ(house[0].time, "01:00");
  std::string maker, desc = "stale";
  ASSERT_TRUE(document_.GetCategoryInfo("house", &maker, &desc));
  EXPECT_EQ(maker, "Mk");
  EXPECT_EQ(desc, "");

  ASSERT_EQ(document_.SetTrackTime("HOUSE", "deep NIGHT", 75), TrackTimeResult::kSaved);
  EXPECT_EQ(TracksOf(document_, "House")[0].time, "01:15");  // the existing TIME, not a second attribute
}

TEST_F(CatalogueDocTest, SecondCategoryOfTheSameNameContinuesTheCount) {
  Load(kCatalogue);
  std::vector<Track> tracks = TracksOf(document_, "中文舞曲");
  ASSERT_EQ(tracks.size(), 4u);  // the "skipped" element holds no tracks
  EXPECT_EQ(tracks[0].title, "爱情买卖");
  EXPECT_EQ(tracks[0].time, "03:30");
  EXPECT_EQ(tracks[1].title, "No Time Yet");
  EXPECT_EQ(tracks[1].time, "");  // the list shows its placeholder
  EXPECT_EQ(tracks[2].title, "");
  EXPECT_EQ(tracks[2].src, "http://h/untitled.mp3");
  EXPECT_EQ(tracks[3].title, "Second Block");  // any element name is a track
  std::string maker, desc;
  ASSERT_TRUE(document_.GetCategoryInfo("中文舞曲", &maker, &desc));
  EXPECT_EQ(maker, "DJ 阿强");  // the first of the two
  EXPECT_EQ(desc, "最新串烧");
  EXPECT_EQ(document_.GetCategoryNames(), (std::vector<std::string>{"中文舞曲", "House"}));
  std::string title = "kept";
  EXPECT_FALSE(document_.GetTrackAt("中文舞曲", 4, &title, &maker, &desc));
  EXPECT_FALSE(document_.GetTrackAt("中文舞曲", -1, &title, &maker, &desc));
  EXPECT_EQ(title, "kept");
}

TEST_F(CatalogueDocTest, CategoryWithoutNameEndsTheWalk) {
  Load(R"(<djs><l name="A"><s>a</s></l><l maker="nameless"><s>n</s></l><l name="B"><s>b</s></l></djs>)");
  EXPECT_EQ(TracksOf(document_, "A").size(), 1u);
  EXPECT_TRUE(TracksOf(document_, "B").empty());
  std::string maker, desc;
  EXPECT_FALSE(document_.GetCategoryInfo("B", &maker, &desc));
  EXPECT_EQ(document_.GetCategoryNames(), std::vector<std::string>{"A"});
}

TEST_F(CatalogueDocTest, VersionIsReadTheWayAtoiReadsIt) {
  const std::pair<const char*, int> cases[] = {
      {"<version> 12abc</version>", 12}, {"<version>-3</version>", -3},
      {"<version>abc</version>", 0},     {"<version></version>", 0},
      {"", 0},                           {"<VERSION>4</VERSION>", 4},
      {"<version>99999999999</version>", INT_MAX}, {"<version>2</version><version>5</version>", 2},
  };
  for (const auto& [element, version] : cases) {
    Load(std::string("<djs/>") + element + "<end/>");
    EXPECT_EQ(document_.GetVersion(), version) << element;
  }
}

TEST_F(CatalogueDocTest, EndAndVersionCountOnlyAfterTheCatalogue) {
  Load("<djs/><end/><version>3</version>");
  EXPECT_TRUE(document_.HasEndMarker());
  EXPECT_EQ(document_.GetVersion(), 3);
  Load("<djs/><version>3</version><END/>");
  EXPECT_TRUE(document_.HasEndMarker());
  Load("<version>3</version><djs><end/></djs>");  // "version" is the catalogue here; "end" is inside it
  EXPECT_FALSE(document_.HasEndMarker());
  EXPECT_EQ(document_.GetVersion(), 0);
  Load("<djs/><version>3</version>");
  EXPECT_FALSE(document_.HasEndMarker());
}

TEST_F(CatalogueDocTest, TextThatDoesNotParseLoadsButAnswersLittle) {
  Load("<djs><l name='A'><s src='http://h/a.mp3'>a</s></l><version>2</version");
  std::string problem;
  EXPECT_TRUE(document_.ParseError(&problem));
  EXPECT_FALSE(problem.empty());
  EXPECT_EQ(document_.GetVersion(), 0);
  EXPECT_FALSE(document_.HasEndMarker());

  Load("");
  EXPECT_TRUE(document_.ParseError(&problem));
  EXPECT_TRUE(document_.GetCategoryNames().empty());
}

TEST_F(CatalogueDocTest, NeverLoadedOrUnreadableDocumentAnswersEmpty) {
  std::string text;
  EXPECT_FALSE(document_.GetCategoryInfo("A", &text, &text));
  EXPECT_EQ(document_.SetTrackTime("A", "a", 10), TrackTimeResult::kNoSuchTrack);
  EXPECT_EQ(document_.GetVersion(), 0);
  EXPECT_FALSE(document_.LoadFile(folder_.Path("missing.dll"), true));
  EXPECT_FALSE(document_.LoadFile(folder_.Folder(), true));  // a folder is not a catalogue

  // A failed load keeps what was loaded before.
  Load(kCatalogue);
  EXPECT_FALSE(document_.LoadFile(folder_.Path("missing.dll"), true));
  EXPECT_EQ(document_.GetVersion(), 7);
}

TEST_F(CatalogueDocTest, LongNamesAndAddressesWorkWhole) {
  std::string category(1000, 'c'), title = "标题" + std::string(600, 't'), src = "http://h/" + std::string(5000, 's');
  Load("<djs><l name=\"" + category + "\"><s src=\"" + src + "\">" + title + "</s></l></djs>");
  std::vector<Track> tracks = TracksOf(document_, category);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].title, title);
  EXPECT_EQ(tracks[0].src, src);
  EXPECT_TRUE(TracksOf(document_, category.substr(0, 259)).empty());  // a cut name is another name
  EXPECT_EQ(document_.SetTrackTime(category, title, 61), TrackTimeResult::kSaved);
  EXPECT_EQ(TracksOf(document_, category)[0].time, "01:01");
}

TEST_F(CatalogueDocTest, BytesThatAreNotUtf8AreReadAsGb18030) {
  std::string gb;  // no declaration names the encoding
  ASSERT_TRUE(platform::Utf8ToGb18030(R"(<djs><l name="中文舞曲" maker="阿强"/></djs>)", &gb));
  Load(gb);
  std::string maker, desc;
  ASSERT_TRUE(document_.GetCategoryInfo("中文舞曲", &maker, &desc));
  EXPECT_EQ(maker, "阿强");
}

}  // namespace
