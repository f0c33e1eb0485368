// The demo collection: tag bytes, the cover picture, the encoder's Info
// frame, the synthesized music and the catalogues as the player reads them.
#include <SDL2/SDL.h>
#include <SDL2/SDL_image.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "cover_art.h"
#include "demo_catalogue.h"
#include "mp3_encoder.h"
#include "support/temp_dir.h"
#include "synth.h"
#include "tags.h"

namespace {

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

uint32_t LittleEndian32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 4; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
  return value;
}

uint32_t Synchsafe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 7) | (static_cast<unsigned char>(bytes.at(at + i)) & 0x7F);
  return value;
}

struct Id3Frame {
  std::string id;
  std::string body;
};

// Walks the frames of an ID3v2 tag up to its padding; fails the test when a
// frame runs past the size in the tag header.
std::vector<Id3Frame> ReadId3v2Frames(const std::string& tag) {
  std::vector<Id3Frame> frames;
  const int version = tag.at(3);
  const size_t end = 10 + Synchsafe32(tag, 6);
  EXPECT_EQ(end, tag.size());
  size_t at = 10;
  while (at + 10 <= end && tag[at] != '\0') {
    uint32_t size = version == 4 ? Synchsafe32(tag, at + 4) : BigEndian32(tag, at + 4);
    EXPECT_LE(at + 10 + size, end) << "frame " << tag.substr(at, 4) << " runs past the tag";
    if (at + 10 + size > end) break;
    frames.push_back({tag.substr(at, 4), tag.substr(at + 10, size)});
    at += 10 + size;
  }
  return frames;
}

const Id3Frame* FindFrame(const std::vector<Id3Frame>& frames, const std::string& id) {
  auto found = std::find_if(frames.begin(), frames.end(), [&](const Id3Frame& f) { return f.id == id; });
  return found == frames.end() ? nullptr : &*found;
}

demo::TrackTags ChineseTags() {
  demo::TrackTags tags;
  tags.title = "夜色霓虹";
  tags.artist = "DJ 阿岚";
  tags.album = "Demo";
  tags.comment = "made for a test";
  tags.asciiTitle = "Yese Nihong";
  tags.asciiArtist = "DJ Alan";
  tags.year = 2024;
  tags.trackNumber = 7;
  tags.bpm = 128;
  tags.id3v1Genre = 35;
  return tags;
}

const demo::DemoTrack& FirstTrackWhere(bool (*wanted)(const demo::DemoTrack&)) {
  const auto& tracks = demo::DemoTracks();
  auto found = std::find_if(tracks.begin(), tracks.end(), wanted);
  EXPECT_NE(found, tracks.end());
  return *found;
}

TEST(DemoTags, Id3v23KeepsChineseTextAsUtf16AndCountsFramesAndPadding) {
  std::string tag = demo::Id3v2Tag(ChineseTags(), 3, 100);
  ASSERT_EQ(tag.substr(0, 5), std::string("ID3\x03\x00", 5));
  std::vector<Id3Frame> frames = ReadId3v2Frames(tag);
  const Id3Frame* title = FindFrame(frames, "TIT2");
  ASSERT_NE(title, nullptr);
  // Encoding 1, BOM FF FE, then 夜 U+591C 色 U+8272 霓 U+9713 虹 U+8679 little-endian.
  EXPECT_EQ(title->body, std::string("\x01\xFF\xFE\x1C\x59\x72\x82\x13\x97\x79\x86", 11));
  const Id3Frame* album = FindFrame(frames, "TALB");
  ASSERT_NE(album, nullptr);
  EXPECT_EQ(album->body, std::string("\0Demo", 5));
  EXPECT_NE(FindFrame(frames, "TYER"), nullptr);
  EXPECT_EQ(tag.substr(tag.size() - 100), std::string(100, '\0'));
}

TEST(DemoTags, Id3v24FrameSizesAreSynchsafeEvenForALargeCover) {
  demo::TrackTags tags = ChineseTags();
  tags.coverPng = demo::CoverPng(64, 1);  // over 12 KiB: plain and synchsafe sizes differ
  std::string tag = demo::Id3v2Tag(tags, 4, 0);
  std::vector<Id3Frame> frames = ReadId3v2Frames(tag);
  const Id3Frame* picture = FindFrame(frames, "APIC");
  ASSERT_NE(picture, nullptr);
  std::string header(
      "\0image/png\0\x03"
      "Cover\0",
      18);
  EXPECT_EQ(picture->body.substr(0, header.size()), header);
  EXPECT_EQ(picture->body.substr(header.size()), tags.coverPng);
  const Id3Frame* title = FindFrame(frames, "TIT2");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->body, "\x03" + tags.title);
  EXPECT_NE(FindFrame(frames, "TDRC"), nullptr);
}

TEST(DemoTags, Utf16EncodesSupplementaryCharactersAsSurrogatesAndReplacesBrokenBytes) {
  EXPECT_EQ(demo::Utf16WithBom("\xF0\x9F\x8E\xB5"), std::string("\xFF\xFE\x3C\xD8\xB5\xDF", 6));  // U+1F3B5
  EXPECT_EQ(demo::Utf16WithBom("a\xE5"
                               "b"),
            std::string("\xFF\xFE"
                        "a\0\xFD\xFF"
                        "b\0",
                        8));
}

TEST(DemoTags, Id3v1IsOneHundredTwentyEightBytesWithTrackNumberAfterAZero) {
  demo::TrackTags tags = ChineseTags();
  tags.asciiTitle = std::string(40, 'x');
  std::string tag = demo::Id3v1Tag(tags);
  ASSERT_EQ(tag.size(), 128u);
  EXPECT_EQ(tag.substr(0, 3), "TAG");
  EXPECT_EQ(tag.substr(3, 30), std::string(30, 'x'));
  EXPECT_EQ(tag.substr(33, 7), "DJ Alan");
  EXPECT_EQ(tag.substr(93, 4), "2024");
  EXPECT_EQ(tag[125], '\0');
  EXPECT_EQ(tag[126], 7);
  EXPECT_EQ(static_cast<unsigned char>(tag[127]), 35);
}

TEST(DemoTags, ApeTagHasMatchingHeaderAndFooterAndItemsThatReadBack) {
  demo::TrackTags tags = ChineseTags();
  std::string tag = demo::ApeTag(tags);
  ASSERT_GE(tag.size(), 64u);
  const std::string footer = tag.substr(tag.size() - 32);
  EXPECT_EQ(tag.substr(0, 8), "APETAGEX");
  EXPECT_EQ(footer.substr(0, 8), "APETAGEX");
  EXPECT_EQ(LittleEndian32(footer, 8), 2000u);
  EXPECT_EQ(LittleEndian32(footer, 12), tag.size() - 32);  // items and footer, not the header
  EXPECT_EQ(LittleEndian32(tag, 12), tag.size() - 32);
  EXPECT_EQ(LittleEndian32(footer, 20), 0x80000000u);  // has a header; this is the footer
  EXPECT_EQ(LittleEndian32(tag, 20), 0xA0000000u);     // has a header; this is the header
  std::set<std::string> keys;
  size_t at = 32;
  for (uint32_t i = 0; i < LittleEndian32(footer, 16); ++i) {
    uint32_t size = LittleEndian32(tag, at);
    size_t keyEnd = tag.find('\0', at + 8);
    ASSERT_NE(keyEnd, std::string::npos);
    std::string key = tag.substr(at + 8, keyEnd - at - 8);
    keys.insert(key);
    if (key == "Title") {
      EXPECT_EQ(tag.substr(keyEnd + 1, size), tags.title);
    }
    at = keyEnd + 1 + size;
  }
  EXPECT_EQ(at, tag.size() - 32);
  EXPECT_EQ(keys, (std::set<std::string>{"Title", "Artist", "Album", "Comment", "Year", "Track", "BPM"}));
}

TEST(DemoCover, CrcMatchesTheStandardCheckValue) { EXPECT_EQ(demo::Crc32("123456789"), 0xCBF43926u); }

TEST(DemoCover, PictureDecodesAsAPngOfItsSideAndWeighsAsItsPixels) {
  const int side = 264;
  std::string png = demo::CoverPng(side, 102);
  EXPECT_GT(png.size(), static_cast<size_t>(side * side * 3));
  EXPECT_LT(png.size(), 210u * 1024u);
  SDL_Surface* surface = IMG_Load_RW(SDL_RWFromConstMem(png.data(), static_cast<int>(png.size())), 1);
  ASSERT_NE(surface, nullptr) << IMG_GetError();
  EXPECT_EQ(surface->w, side);
  EXPECT_EQ(surface->h, side);
  SDL_FreeSurface(surface);
}

// The Xing or Info block of the stream's first frame; empty when there is none.
std::string InfoBlock(const std::string& mp3) {
  for (const char* name : {"Xing", "Info"}) {
    size_t at = mp3.find(name);
    if (at != std::string::npos && at < 64) return mp3.substr(at);
  }
  return {};
}

std::vector<int16_t> Tone(int seconds, int sampleRate) {
  std::vector<int16_t> pcm(static_cast<size_t>(seconds) * sampleRate * 2);
  for (size_t i = 0; i < pcm.size() / 2; ++i) {
    auto value = static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / sampleRate));
    pcm[2 * i] = value;
    pcm[2 * i + 1] = value;
  }
  return pcm;
}

TEST(DemoEncoder, InfoFrameIsFilledInWithTheFinalFrameCountAndStreamSize) {
  for (demo::BitrateMode mode : {demo::BitrateMode::kConstant, demo::BitrateMode::kVariable}) {
    demo::EncoderSettings settings;
    settings.mode = mode;
    std::string mp3;
    std::string error;
    ASSERT_TRUE(demo::EncodeMp3(Tone(3, 44100), 44100, settings, &mp3, &error)) << error;
    std::string info = InfoBlock(mp3);
    ASSERT_FALSE(info.empty());
    EXPECT_EQ(info.substr(0, 4), mode == demo::BitrateMode::kConstant ? "Info" : "Xing");
    uint32_t flags = BigEndian32(info, 4);
    ASSERT_EQ(flags & 3u, 3u);  // frame count and byte count present
    // 3 s at 44.1 kHz is 115 frames of 1152 samples, plus the encoder's delay and padding.
    EXPECT_GE(BigEndian32(info, 8), 115u);
    EXPECT_LE(BigEndian32(info, 8), 118u);
    EXPECT_EQ(BigEndian32(info, 12), mp3.size());
  }
}

TEST(DemoEncoder, BareStreamHasNoInfoFrameAndMonoLowRateIsMpeg2Mono) {
  demo::EncoderSettings settings;
  settings.mode = demo::BitrateMode::kConstant;
  settings.bitrateKbps = 64;
  settings.mono = true;
  settings.infoFrame = false;
  std::string mp3;
  std::string error;
  ASSERT_TRUE(demo::EncodeMp3(Tone(2, 22050), 22050, settings, &mp3, &error)) << error;
  ASSERT_GE(mp3.size(), 4u);
  EXPECT_TRUE(InfoBlock(mp3).empty());
  const auto* header = reinterpret_cast<const unsigned char*>(mp3.data());
  EXPECT_EQ(header[0], 0xFF);
  EXPECT_EQ((header[1] >> 3) & 3, 2);  // MPEG-2
  EXPECT_EQ((header[2] >> 2) & 3, 0);  // 22050 Hz in MPEG-2
  EXPECT_EQ((header[3] >> 6) & 3, 3);  // single channel
}

demo::SongPlan ShortSong(double bpm, uint32_t seed) {
  demo::SongPlan plan;
  plan.bpm = bpm;
  plan.seconds = 24;
  plan.sampleRate = 22050;
  plan.seed = seed;
  return plan;
}

// The tempo whose beat period best repeats the rises of the loudness
// envelope, searched between 90 and 150 BPM.
double DominantTempo(const std::vector<int16_t>& pcm, int sampleRate) {
  const int block = sampleRate / 200;  // 5 ms
  std::vector<double> envelope;
  for (size_t start = 0; start + block <= pcm.size() / 2; start += block) {
    double sum = 0;
    for (int i = 0; i < block; ++i) sum += std::abs(pcm[2 * (start + i)] + pcm[2 * (start + i) + 1]);
    envelope.push_back(sum / block);
  }
  std::vector<double> rises(envelope.size(), 0.0);
  for (size_t i = 1; i < envelope.size(); ++i) rises[i] = std::max(0.0, envelope[i] - envelope[i - 1]);
  int bestLag = 0;
  double best = -1;
  for (int lag = 200 * 60 / 150; lag <= 200 * 60 / 90; ++lag) {
    double score = 0;
    for (size_t i = lag; i < rises.size(); ++i) score += rises[i] * rises[i - lag];
    if (score > best) {
      best = score;
      bestLag = lag;
    }
  }
  return 200.0 * 60.0 / bestLag;
}

TEST(DemoSynth, BeatRepeatsAtThePlannedTempo) {
  for (double bpm : {100.0, 124.0, 140.0}) {
    std::vector<int16_t> pcm = demo::RenderSong(ShortSong(bpm, 7));
    EXPECT_NEAR(DominantTempo(pcm, 22050), bpm, bpm * 0.02) << "planned " << bpm << " BPM";
  }
}

TEST(DemoSynth, SongHasItsLengthIsAudibleAndNeverReachesFullScale) {
  demo::SongPlan plan = ShortSong(128, 3);
  std::vector<int16_t> pcm = demo::RenderSong(plan);
  ASSERT_EQ(pcm.size(), static_cast<size_t>(plan.seconds) * plan.sampleRate * 2);
  double sum = 0;
  int peak = 0;
  for (int16_t sample : pcm) {
    sum += static_cast<double>(sample) * sample;
    peak = std::max(peak, std::abs(static_cast<int>(sample)));
  }
  double rms = std::sqrt(sum / pcm.size());
  EXPECT_GT(rms, 32768 * 0.05);  // louder than -26 dBFS on average
  EXPECT_LT(peak, 32767);        // soft-clipped, never wrapped or hard-clipped
  EXPECT_EQ(pcm.front(), 0);     // faded in
  EXPECT_EQ(pcm.back(), 0);      // faded out
}

TEST(DemoSynth, SamePlanGivesTheSameSamplesAndAnotherSeedDifferent) {
  EXPECT_EQ(demo::RenderSong(ShortSong(120, 5)), demo::RenderSong(ShortSong(120, 5)));
  EXPECT_NE(demo::RenderSong(ShortSong(120, 5)), demo::RenderSong(ShortSong(120, 6)));
}

TEST(DemoCollection, CoversEveryCategoryWithVariedTracksEncodingsAndTags) {
  const auto& tracks = demo::DemoTracks();
  EXPECT_GE(tracks.size(), 18u);
  std::vector<int> perCategory(demo::DemoCategories().size(), 0);
  std::set<std::pair<double, std::string>> tempoAndKey;
  std::set<std::string> files;
  std::set<demo::BitrateMode> modes;
  int id3v2 = 0, id3v1 = 0, ape = 0, covers = 0;
  for (const demo::DemoTrack& track : tracks) {
    ++perCategory.at(track.category);
    EXPECT_GE(track.song.seconds, 40);
    EXPECT_LE(track.song.seconds, 120);
    EXPECT_GE(track.song.bpm, 100);
    EXPECT_LE(track.song.bpm, 140);
    EXPECT_TRUE(tempoAndKey.insert({track.song.bpm, demo::KeyName(track.song.rootNote, track.song.minor)}).second)
        << track.file << " repeats another track's tempo and key";
    EXPECT_TRUE(files.insert(track.file).second) << track.file;
    modes.insert(track.encoding.mode);
    id3v2 += track.tags.id3v2Version != 0;
    id3v1 += track.tags.id3v1;
    ape += track.tags.ape;
    covers += track.tags.cover;
  }
  for (int count : perCategory) EXPECT_GE(count, 3);
  EXPECT_EQ(modes.size(), 3u);
  EXPECT_GT(id3v2, 0);
  EXPECT_GT(id3v1, 0);
  EXPECT_GT(ape, 0);
  EXPECT_EQ(covers, 1);
  const demo::DemoTrack& cover = FirstTrackWhere([](const demo::DemoTrack& t) { return t.tags.cover; });
  size_t tagSize = demo::Id3v2Tag(demo::TagsOf(cover), cover.tags.id3v2Version, 256).size();
  EXPECT_GT(tagSize, 190u * 1024u);
  EXPECT_LT(tagSize, 230u * 1024u);
}

TEST(DemoCollection, CategoriesAreTheSkinsTabTexts) {
  TiXmlDocument layout(TARVONI_SOURCE_DIR "/skin/DefaultSkin/MusicBox.xml");
  ASSERT_TRUE(layout.LoadFile()) << layout.ErrorDesc();
  std::vector<std::string> tabs;
  std::vector<TiXmlElement*> pending = {layout.RootElement()};
  while (!pending.empty()) {
    TiXmlElement* element = pending.back();
    pending.pop_back();
    const char* group = element->Attribute("group");
    if (element->ValueStr() == "Option" && group && std::string(group) == "DjSorts") {
      tabs.push_back(element->Attribute("name") + std::string("=") + element->Attribute("text"));
    }
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement()) {
      pending.push_back(child);
    }
  }
  std::sort(tabs.begin(), tabs.end());
  std::vector<std::string> categories;
  for (size_t i = 0; i < demo::DemoCategories().size(); ++i) {
    categories.push_back("DjSorts" + std::to_string(i + 1) + "=" + demo::DemoCategories()[i].name);
  }
  EXPECT_EQ(tabs, categories);
}

struct LoadedCatalogue {
  testsupport::TempDir folder;
  CCatalogueDoc document;
};

void LoadCatalogue(LoadedCatalogue* loaded, int version, const std::string& base) {
  std::string path = loaded->folder.Write("catalogue.xml", demo::CatalogueXml(version, base));
  ASSERT_TRUE(loaded->document.LoadFile(path, false));
  std::string problem;
  ASSERT_FALSE(loaded->document.ParseError(&problem)) << problem;
}

std::vector<std::string> TitlesOf(CCatalogueDoc& document, const std::string& category) {
  std::vector<std::string> titles;
  std::string title, src, time;
  while (document.GetTrackAt(category, static_cast<int>(titles.size()), &title, &src, &time)) titles.push_back(title);
  return titles;
}

TEST(DemoCatalogue, PlayerReadsEveryCategoryAndTrackOfVersionOne) {
  LoadedCatalogue loaded;
  LoadCatalogue(&loaded, 1, "http://127.0.0.1:8391");
  CCatalogueDoc& document = loaded.document;
  EXPECT_EQ(document.GetVersion(), 1);
  EXPECT_TRUE(document.HasEndMarker());
  size_t rows = 0;
  for (const demo::DemoCategory& category : demo::DemoCategories()) {
    std::string maker, desc;
    ASSERT_TRUE(document.GetCategoryInfo(category.name, &maker, &desc)) << category.name;
    EXPECT_EQ(maker, category.maker);
    EXPECT_EQ(desc, category.description);
    std::vector<std::string> titles = TitlesOf(document, category.name);
    EXPECT_GE(titles.size(), 3u) << category.name;
    // The player records a played track's time by its title: titles must not repeat.
    EXPECT_EQ(std::set<std::string>(titles.begin(), titles.end()).size(), titles.size()) << category.name;
    rows += titles.size();
  }
  size_t inVersionOne = std::count_if(demo::DemoTracks().begin(), demo::DemoTracks().end(),
                                      [](const demo::DemoTrack& t) { return t.firstVersion == 1; });
  EXPECT_EQ(rows, inVersionOne + 1);  // and the unreachable row
}

TEST(DemoCatalogue, UnreachableRowPointsAtAFileTheLibraryDoesNotMake) {
  LoadedCatalogue loaded;
  LoadCatalogue(&loaded, 1, "http://127.0.0.1:8391");
  std::set<std::string> made;
  for (const demo::DemoTrack& track : demo::DemoTracks()) made.insert("http://127.0.0.1:8391/tracks/" + track.file);
  int unreachable = 0;
  for (const demo::DemoCategory& category : demo::DemoCategories()) {
    std::string title, src, time;
    for (int i = 0; loaded.document.GetTrackAt(category.name, i, &title, &src, &time); ++i) {
      EXPECT_EQ(src.rfind("http://127.0.0.1:8391/tracks/", 0), 0u) << src;
      if (!made.count(src)) ++unreachable;
      if (made.count(src)) {
        EXPECT_TRUE(time.empty() || (time.size() == 5 && time[2] == ':')) << time;
      }
    }
  }
  EXPECT_EQ(unreachable, 1);
}

TEST(DemoCatalogue, VersionTwoAddsATrackAndChangesADescription) {
  LoadedCatalogue one, two;
  LoadCatalogue(&one, 1, "http://127.0.0.1:8391");
  LoadCatalogue(&two, 2, "http://127.0.0.1:8391");
  EXPECT_EQ(two.document.GetVersion(), 2);
  EXPECT_TRUE(two.document.HasEndMarker());
  size_t rowsOne = 0, rowsTwo = 0;
  int changed = 0;
  for (const demo::DemoCategory& category : demo::DemoCategories()) {
    rowsOne += TitlesOf(one.document, category.name).size();
    rowsTwo += TitlesOf(two.document, category.name).size();
    std::string maker, descOne, descTwo;
    one.document.GetCategoryInfo(category.name, &maker, &descOne);
    two.document.GetCategoryInfo(category.name, &maker, &descTwo);
    changed += descOne != descTwo;
  }
  EXPECT_EQ(rowsTwo, rowsOne + 1);
  EXPECT_GE(changed, 1);
}

TEST(DemoCatalogue, SpecialCharactersInTheBaseAddressSurviveTheParser) {
  LoadedCatalogue loaded;
  LoadCatalogue(&loaded, 1, "http://127.0.0.1:8391/demo?a=\"1\"&b=<2>");
  std::string title, src, time;
  ASSERT_TRUE(loaded.document.GetTrackAt(demo::DemoCategories()[0].name, 0, &title, &src, &time));
  EXPECT_EQ(src, "http://127.0.0.1:8391/demo?a=\"1\"&b=<2>/tracks/" + demo::DemoTracks()[0].file);
}

}  // namespace
