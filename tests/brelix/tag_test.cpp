// Tag detection at both ends of a stream and the measures of every format.
#include <gtest/gtest.h>

#include <vector>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "tag_list.h"

namespace brelixtest {
namespace {

struct Found {
  std::string name;
  float version;
  uint32_t offset;
  uint32_t size;
  bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* os) {
  *os << f.name << " " << f.version << " @" << f.offset << " +" << f.size;
}

struct Detected {
  uint32_t begin;
  uint32_t end;
  std::vector<Found> tags;
};

Detected Detect(const std::string& bytes) {
  BytesFile file(bytes);
  CTagList list(file.Stream());
  Detected detected{list.GetBegin(), list.GetEnd(), {}};
  uint32_t index = 0;
  while (const CTag* tag = list.GetNextTag(index)) {
    detected.tags.push_back({tag->GetName(), tag->GetVersion(), tag->GetOffset(), tag->GetSize()});
  }
  EXPECT_EQ(index, detected.tags.size() + 1) << "the index moves past the end too";
  return detected;
}

const std::string kAudio = Frames(Header("FFFB9064"), 417, 4);

TEST(TagList, EndPassesRunBeforeBeginPassesAndRestartAtId3v1) {
  const std::string id3 = Id3v2(3, 500, false);
  const std::string ape = Ape(2000, 200, false);
  const std::string bytes = id3 + kAudio + ape + Id3v1(1);
  const uint32_t n = bytes.size();
  const Detected d = Detect(bytes);
  EXPECT_EQ(d.begin, 510u);
  EXPECT_EQ(d.end, n - 128 - 232);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"ID3", 1.1f, n - 128, 128},
                                        {"APE", 2.0f, n - 128 - 232, 232},
                                        {"ID3", 2.3f, 0, 510}}));
}

TEST(TagList, StreamWithoutTagsSpansEverything) {
  const Detected d = Detect(kAudio);
  EXPECT_EQ(d.begin, 0u);
  EXPECT_EQ(d.end, kAudio.size());
  EXPECT_TRUE(d.tags.empty());
}

TEST(TagList, StackedTagsAreEachFoundInTheirOwnPass) {
  const std::string bytes = Id3v2(4, 100, true) + Id3v2(3, 257, false) + Ape(2000, 50, true) + kAudio +
                            Lyrics3v2(109) + Id3v1(0) + Id3v1(7);
  const uint32_t n = bytes.size();
  const Detected d = Detect(bytes);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"ID3", 1.1f, n - 128, 128},
                                        {"ID3", 1.0f, n - 256, 128},
                                        {"Lyrics3", 2.0f, n - 256 - 135, 135},
                                        {"ID3", 2.4f, 0, 120},
                                        {"ID3", 2.3f, 120, 267},
                                        {"APE", 2.0f, 387, 114}}));
  EXPECT_EQ(d.begin, 387u + 114u) << "a leading APE header moves begin past its footer";
  EXPECT_EQ(d.end, n - 256 - 135);
}

TEST(TagList, Id3v2FooterAtTheEndMovesEndByTheWholeTag) {
  const Detected withFooter = Detect(kAudio + Id3v2(4, 300, true));
  EXPECT_EQ(withFooter.end, kAudio.size());
  EXPECT_EQ(withFooter.tags, (std::vector<Found>{{"ID3", 2.4f, uint32_t(kAudio.size()), 320}}));
  // A "3DI" block whose flags lack the footer bit is measured as if it had none.
  std::string odd = kAudio + "3DI" + std::string{'\x04', '\0', '\0', '\0', '\0', '\x02', '\x01'};
  EXPECT_EQ(Detect(odd).end, odd.size() - 267);
}

TEST(TagList, ApeSizesFollowVersionAndHeaderFlag) {
  const std::string v2 = kAudio + Ape(2000, 968, true).substr(32);  // the footer's flags announce a header
  const Detected d = Detect(v2);
  EXPECT_EQ(d.tags.at(0).size, 1032u);
  EXPECT_EQ(d.end, v2.size() - 1032);
  std::string v1 = kAudio + Ape(1000, 968, false);
  v1[v1.size() - 32 + 23] = '\x80';
  EXPECT_EQ(Detect(v1).tags.at(0).size, 1000u) << "version 1.0 never has a header";
}

TEST(TagList, Lyrics3Version1NeedsItsBeginWithin5100Bytes) {
  const std::string exact = Lyrics3v1(5100 - 11);
  Detected d = Detect(kAudio + exact);
  EXPECT_EQ(d.tags, (std::vector<Found>{{"Lyrics3", 1.0f, uint32_t(kAudio.size()), 5109}}));
  d = Detect(kAudio + Lyrics3v1(20));
  EXPECT_EQ(d.tags.at(0).size, 40u) << "found anywhere inside the window";
  EXPECT_EQ(d.end, kAudio.size());
  EXPECT_TRUE(Detect(kAudio + Lyrics3v1(5100 - 10)).tags.empty()) << "begins 5101 bytes before the marker";
  EXPECT_TRUE(Detect("LYRICSEND").tags.empty()) << "window clipped at the stream's start";
}

TEST(TagList, MusicMatchSizeFromVersionAndDataOffsets) {
  Detected d = Detect(kAudio + MusicMatch("3.00", 7868, 1000, false));
  EXPECT_EQ(d.tags, (std::vector<Found>{{"MM", 3.0f, uint32_t(kAudio.size()), 7868 + 1000 + 324}}));
  for (uint32_t metadata : {7936u, 8004u, 8132u}) {
    d = Detect(kAudio + MusicMatch("3.05", metadata, 40, true));
    EXPECT_EQ(d.tags, (std::vector<Found>{{"MM", 3.05f, uint32_t(kAudio.size()), metadata + 40 + 324 + 256}}));
  }
}

TEST(TagList, InconsistentMusicMatchIsAbsentAndDetectionGoesOn) {
  const std::string bytes = Id3v2(3, 10, false) + kAudio + MusicMatch("3.05", 7000, 40, false) + Id3v1(1);
  const Detected d = Detect(bytes);
  EXPECT_EQ(d.tags.size(), 2u);
  EXPECT_EQ(d.end, bytes.size() - 128);
  EXPECT_EQ(d.begin, 20u);
}

TEST(TagList, HitsThatDoNotMoveTheBoundaryEndDetection) {
  std::string zeroApe = Ape(2000, 0, false);
  Put(zeroApe, 12, LittleEndian(0, 4));
  EXPECT_EQ(Detect(kAudio + zeroApe).end, kAudio.size() + 32) << "APE of size 0 at the end";
  EXPECT_EQ(Detect(zeroApe + kAudio).begin, 0u) << "APE of size 0 at the beginning";
  EXPECT_EQ(Detect("ID3").begin, 0u) << "ID3v2 whose fields cannot be read";
  const Detected huge = Detect(kAudio + Lyrics3v2(0).replace(11, 6, "999999"));
  EXPECT_EQ(huge.end, kAudio.size() + 26) << "a tag reaching before the stream's start";
  EXPECT_TRUE(huge.tags.empty());
}

}  // namespace
}  // namespace brelixtest
