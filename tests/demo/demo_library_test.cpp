// The demo collection as scripts/run makes it: tags and a cover that tag
// readers accept, an Info frame that tells the stream's true length, and
// catalogues that the player reads under the skin's category names.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "cover_art.h"
#include "demo_catalogue.h"
#include "mp3_encoder.h"
#include "support/temp_dir.h"
#include "tags.h"

namespace {

// Four bytes, big-endian of `bits` bits each (7 in ID3v2's synchsafe sizes) or little-endian.
uint32_t Read32(const std::string& bytes, size_t at, int bits = 8, bool littleEndian = false) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const auto byte = static_cast<unsigned char>(bytes.at(at + (littleEndian ? 3 - i : i)));
    value = (value << bits) | (byte & ((1u << bits) - 1));
  }
  return value;
}

// The body of the ID3v2 frame `id`; frame sizes are synchsafe in version 4.
std::string Id3v2Frame(const std::string& tag, const std::string& id) {
  const size_t at = tag.find(id, 10);
  if (at == std::string::npos) return "(no " + id + ")";
  return tag.substr(at + 10, Read32(tag, at + 4, tag[3] == 4 ? 7 : 8));
}

demo::TrackTags ChineseTags() {
  // Title, artist, album, genre, comment, ASCII title (longer than ID3v1 holds) and artist, year, track number,
  // BPM, ID3v1 genre, cover.
  return {"夜色霓虹", "", "", "", "", std::string(40, 'x'), "DJ Alan", 0, 7, 0, 35, {}};
}

TEST(DemoTags, Id3v23KeepsChineseAsUtf16AndId3v24SizesACoverSynchsafe) {
  const std::string v3 = demo::Id3v2Tag(ChineseTags(), 3, 100);
  ASSERT_EQ(v3.substr(0, 5), std::string("ID3\x03\x00", 5));
  EXPECT_EQ(10 + Read32(v3, 6, 7), v3.size());
  // Encoding 1, BOM FF FE, then 夜 U+591C 色 U+8272 霓 U+9713 虹 U+8679 little-endian.
  EXPECT_EQ(Id3v2Frame(v3, "TIT2"), std::string("\x01\xFF\xFE\x1C\x59\x72\x82\x13\x97\x79\x86", 11));
  EXPECT_EQ(v3.substr(v3.size() - 100), std::string(100, '\0'));

  demo::TrackTags tags = ChineseTags();
  tags.coverPng = demo::CoverPng(64, 1);  // over 12 KiB: plain and synchsafe sizes differ
  const std::string v4 = demo::Id3v2Tag(tags, 4, 0);
  EXPECT_EQ(10 + Read32(v4, 6, 7), v4.size());
  EXPECT_EQ(Id3v2Frame(v4, "TIT2"), "\x03" + tags.title);
  EXPECT_EQ(Id3v2Frame(v4, "APIC"), std::string("\0image/png\0\003Cover\0", 18) + tags.coverPng);
}

TEST(DemoTags, Id3v1CutsTitleAndPutsTrackNumberAfterAZero) {
  const std::string tag = demo::Id3v1Tag(ChineseTags());
  ASSERT_EQ(tag.size(), 128u);
  EXPECT_EQ(tag.substr(0, 40), "TAG" + std::string(30, 'x') + "DJ Alan");
  EXPECT_EQ(tag.substr(125, 3), std::string("\0\x07\x23", 3));
}

TEST(DemoTags, ApeHeaderAndFooterAgreeAndItemsReadBack) {
  const std::string tag = demo::ApeTag(ChineseTags());
  const std::string header = tag.substr(0, 32), footer = tag.substr(tag.size() - 32);
  // Version 2000, the size of items and footer, "has a header" and, in the header, "is the header".
  EXPECT_EQ(header.substr(0, 16), footer.substr(0, 16));
  EXPECT_EQ(footer.substr(0, 8), "APETAGEX");
  EXPECT_EQ(Read32(footer, 8, 8, true), 2000u);
  EXPECT_EQ(Read32(footer, 12, 8, true), tag.size() - 32);
  EXPECT_EQ(Read32(footer, 20, 8, true), 0x80000000u);
  EXPECT_EQ(Read32(header, 20, 8, true), 0xA0000000u);
  // The items, each its value's size, flags, key, a zero and the value, fill the space up to the footer.
  std::string title;
  size_t at = 32;
  for (uint32_t i = 0; i < Read32(footer, 16, 8, true) && at + 8 < tag.size(); ++i) {
    const size_t keyEnd = tag.find('\0', at + 8), size = Read32(tag, at, 8, true);
    if (tag.compare(at + 8, keyEnd - at - 8, "Title") == 0) title = tag.substr(keyEnd + 1, size);
    at = keyEnd + 1 + size;
  }
  EXPECT_EQ(at, tag.size() - 32);
  EXPECT_EQ(title, "夜色霓虹");
}

TEST(DemoEncoder, InfoFrameHoldsTheFinalFrameCountAndStreamSize) {
  std::vector<int16_t> pcm(3 * 44100 * 2);  // 3 s of 440 Hz, stereo
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(i / 2 * M_PI * 880 / 44100));
  for (demo::BitrateMode mode : {demo::BitrateMode::kConstant, demo::BitrateMode::kVariable}) {
    demo::EncoderSettings settings;
    settings.mode = mode;
    std::string mp3, error;
    ASSERT_TRUE(demo::EncodeMp3(pcm, 44100, settings, &mp3, &error)) << error;
    const size_t at = mp3.find(mode == demo::BitrateMode::kConstant ? "Info" : "Xing");
    ASSERT_LT(at, 64u);
    ASSERT_EQ(Read32(mp3, at + 4) & 3u, 3u);  // frame count and byte count present
    // 3 s at 44.1 kHz is 115 frames of 1152 samples, plus the encoder's delay and padding.
    EXPECT_TRUE(Read32(mp3, at + 8) >= 115u && Read32(mp3, at + 8) <= 118u) << Read32(mp3, at + 8);
    EXPECT_EQ(Read32(mp3, at + 12), mp3.size());
  }
}

TEST(DemoCollection, HasEighteenTracksOfFortyToOneHundredTwentySecondsEveryEncodingAndTagAndOneBigCover) {
  const auto& tracks = demo::DemoTracks();
  EXPECT_GE(tracks.size(), 18u);
  std::set<demo::BitrateMode> modes;
  int id3v2 = 0, id3v1 = 0, ape = 0, covers = 0;
  for (const demo::DemoTrack& track : tracks) {
    EXPECT_TRUE(track.song.seconds >= 40 && track.song.seconds <= 120) << track.file;
    modes.insert(track.encoding.mode);
    id3v2 += track.tags.id3v2Version != 0;
    id3v1 += track.tags.id3v1;
    ape += track.tags.ape;
    if (track.tags.cover) {
      ++covers;
      const demo::TrackTags tags = demo::TagsOf(track);
      const size_t tagSize = demo::Id3v2Tag(tags, track.tags.id3v2Version, 256).size();
      EXPECT_TRUE(tagSize > 190u * 1024u && tagSize < 230u * 1024u) << tagSize;
      const std::string& png = tags.coverPng;
      SDL_Surface* cover = IMG_Load_RW(SDL_RWFromConstMem(png.data(), static_cast<int>(png.size())), 1);
      ASSERT_NE(cover, nullptr) << IMG_GetError();
      EXPECT_EQ(cover->w, cover->h);
      SDL_FreeSurface(cover);
    }
  }
  EXPECT_EQ(modes.size(), 3u);
  EXPECT_TRUE(id3v2 > 0 && id3v1 > 0 && ape > 0);
  EXPECT_EQ(covers, 1);
}

// The texts of the skin's category tabs by tab name.
void CollectTabs(const TiXmlElement* element, std::map<std::string, std::string>* tabs) {
  const char* group = element->Attribute("group");
  if (group != nullptr && std::string(group) == "DjSorts") {
    (*tabs)[element->Attribute("name")] = element->Attribute("text");
  }
  for (auto* child = element->FirstChildElement(); child != nullptr; child = child->NextSiblingElement()) {
    CollectTabs(child, tabs);
  }
}

// The player looks a category up by the text of the tab the user picks.
// Version 2 is what the vendor server publishes, with one more track. Each
// version lists one row the server does not have.
TEST(DemoCatalogue, PlayerFindsEveryTabsCategoryWithThreeTracksOrMoreAndOneUnreachableRowInBothVersions) {
  TiXmlDocument layout(TARVONI_SOURCE_DIR "/skin/DefaultSkin/MusicBox.xml");
  ASSERT_TRUE(layout.LoadFile()) << layout.ErrorDesc();
  std::map<std::string, std::string> tabs;
  CollectTabs(layout.RootElement(), &tabs);
  ASSERT_EQ(tabs.size(), demo::DemoCategories().size());
  const std::string base = "http://127.0.0.1:8391";
  std::set<std::string> made;
  for (const demo::DemoTrack& track : demo::DemoTracks()) made.insert(base + "/tracks/" + track.file);
  long rows = 1 + std::count_if(demo::DemoTracks().begin(), demo::DemoTracks().end(),
                                [](const demo::DemoTrack& t) { return t.firstVersion == 1; });
  for (int version : {1, 2}) {
    SCOPED_TRACE("version " + std::to_string(version));
    testsupport::TempDir folder;
    CCatalogueDoc document;
    ASSERT_TRUE(document.LoadFile(folder.Write("datams.xml", demo::CatalogueXml(version, base)), false));
    EXPECT_EQ(document.GetVersion(), version);
    EXPECT_TRUE(document.HasEndMarker());
    long listed = 0, unreachable = 0;
    for (size_t i = 0; i < tabs.size(); ++i) {
      const std::string& tab = tabs["DjSorts" + std::to_string(i + 1)];
      const demo::DemoCategory& category = demo::DemoCategories()[i];
      std::string maker, desc, title, src, time;
      ASSERT_TRUE(document.GetCategoryInfo(tab, &maker, &desc)) << tab;
      EXPECT_EQ(maker, category.maker);
      EXPECT_EQ(desc, version == 1 ? category.description : category.newDescription);
      // The player records a played track's time by its title: titles must not repeat.
      std::set<std::string> titles;
      for (int row = 0; document.GetTrackAt(tab, row, &title, &src, &time); ++row, ++listed) {
        EXPECT_TRUE(titles.insert(title).second) << title;
        unreachable += made.count(src) == 0;
      }
      EXPECT_GE(titles.size(), 3u) << tab;
    }
    EXPECT_EQ(unreachable, 1);
    EXPECT_EQ(listed, rows);
    rows = listed + 1;
  }
}

}  // namespace
