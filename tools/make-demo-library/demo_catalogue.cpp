#include "demo_catalogue.h"

#include <array>
#include <cstdio>

#include "cover_art.h"

namespace demo {
namespace {

constexpr int kCoverSide = 264;  // 264 × 264 RGB: about 204 KiB stored
constexpr int kYear = 2024;

// The row that cannot be fetched: the demo server answers 404 for it. It
// follows the first track, so that the first track's end shows the skip.
constexpr int kUnreachableCategory = 0;
constexpr int kUnreachableRow = 1;
constexpr char kUnreachableFile[] = "cn-04-duanxian.mp3";
constexpr char kUnreachableTitle[] = "断线的旋律";
constexpr char kUnreachableTime[] = "03:58";

struct Genre {
  const char* text;
  uint8_t id3v1;
};

constexpr Genre kCategoryGenres[] = {{"Dance", 3},  {"Dance", 3},   {"Trip-Hop", 27},
                                     {"House", 35}, {"Techno", 18}, {"Disco", 4}};

EncoderSettings Cbr(int kbps, bool infoFrame = true, bool mono = false) {
  return {BitrateMode::kConstant, kbps, 4, mono, infoFrame};
}
EncoderSettings Vbr(int quality) { return {BitrateMode::kVariable, 0, quality, false, true}; }
EncoderSettings Abr(int kbps) { return {BitrateMode::kAverage, kbps, 4, false, true}; }

SongPlan Song(double bpm, int root, bool minor, std::array<int, 4> chords, Groove groove, int seconds, int sampleRate,
              uint32_t seed) {
  SongPlan plan;
  plan.bpm = bpm;
  plan.rootNote = root;
  plan.minor = minor;
  for (int i = 0; i < 4; ++i) plan.progression[i] = chords[i];
  plan.groove = groove;
  plan.seconds = seconds;
  plan.sampleRate = sampleRate;
  plan.seed = seed;
  return plan;
}

constexpr std::array<int, 4> kMinorDrive = {0, 5, 2, 6};    // i VI III VII
constexpr std::array<int, 4> kMinorCadence = {0, 3, 4, 0};  // i iv v i
constexpr std::array<int, 4> kMinorRock = {0, 6, 5, 6};     // i VII VI VII
constexpr std::array<int, 4> kMajorPop = {0, 4, 5, 3};      // I V vi IV
constexpr std::array<int, 4> kMajorLift = {5, 3, 0, 4};     // vi IV I V
constexpr std::array<int, 4> kMajorDoowop = {0, 5, 3, 4};   // I vi IV V

constexpr Groove kClub = Groove::kFourOnTheFloor;
constexpr Groove kSlow = Groove::kHalfTime;
constexpr Groove kDisco = Groove::kDisco;

bool IsAscii(const std::string& text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

std::string TimeText(int seconds) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
  return text;
}

}  // namespace

const std::vector<DemoCategory>& DemoCategories() {
  static const std::vector<DemoCategory> categories = {
      {"中文舞曲", "DJ 阿岚", "国语热门舞曲, 重低音四拍, 适合夜店暖场。", "国语热门舞曲, 每周更新, 重低音四拍不停歇。"},
      {"英文舞曲", "DJ Kestrel", "Club anthems in English: big kicks, bright chords.",
       "Club anthems in English: big kicks, bright chords."},
      {"慢摇串烧", "DJ 小楠", "慢摇节奏的串烧合集, 100 BPM 上下, 放松又带劲。",
       "慢摇节奏的串烧合集, 100 BPM 上下, 放松又带劲。"},
      {"电音House", "Deep Harbor Crew", "Deep 与 Progressive House, 温暖的和弦与律动贝斯。",
       "Deep 与 Progressive House, 新增俱乐部版本 Afterglow。"},
      {"车载DJ", "DJ 风行", "专为开车调校的低音与节奏, 长途夜路不犯困。", "专为开车调校的低音与节奏, 长途夜路不犯困。"},
      {"经典怀旧", "DJ 老周", "九十年代舞厅的迪斯科节拍, 老歌新混。", "九十年代舞厅的迪斯科节拍, 老歌新混。"},
  };
  return categories;
}

const std::vector<DemoTrack>& DemoTracks() {
  constexpr TagPlan kId3v23{.id3v2Version = 3};
  constexpr TagPlan kId3v23Id3v1{.id3v2Version = 3, .id3v1 = true};
  constexpr TagPlan kId3v23CoverId3v1{.id3v2Version = 3, .cover = true, .id3v1 = true};
  constexpr TagPlan kId3v23Ape{.id3v2Version = 3, .ape = true};
  constexpr TagPlan kId3v23ApeId3v1{.id3v2Version = 3, .ape = true, .id3v1 = true};
  constexpr TagPlan kId3v24{.id3v2Version = 4};
  constexpr TagPlan kId3v24Id3v1{.id3v2Version = 4, .id3v1 = true};
  constexpr TagPlan kApe{.ape = true};
  constexpr TagPlan kApeId3v1{.ape = true, .id3v1 = true};
  constexpr TagPlan kId3v1{.id3v1 = true};
  constexpr TagPlan kNoTags{};
  constexpr bool kNoTime = false;
  // clang-format off
  static const std::vector<DemoTrack> tracks = {
      {0, "cn-01-yese-nihong.mp3", "夜色霓虹", "Yese Nihong",
       Song(128, 57, true, kMinorDrive, kClub, 62, 44100, 101), Vbr(4), kId3v23Id3v1},
      {0, "cn-02-yueguang-wuchi.mp3", "月光舞池", "Yueguang Wuchi",
       Song(126, 62, true, kMinorRock, kClub, 70, 44100, 102), Cbr(192), kId3v23CoverId3v1},
      {0, "cn-03-xintiao-jiepai.mp3", "心跳节拍", "Xintiao Jiepai",
       Song(130, 64, true, kMinorCadence, kClub, 55, 48000, 103), Abr(160), kId3v24},
      {1, "en-01-neon-skyline.mp3", "Neon Skyline", "",
       Song(124, 60, false, kMajorLift, kClub, 58, 44100, 201), Vbr(2), kApeId3v1},
      {1, "en-02-midnight-runner.mp3", "Midnight Runner", "",
       Song(128, 65, true, kMinorRock, kClub, 48, 44100, 202), Cbr(128, false), kId3v1},
      {1, "en-03-golden-hour-groove.mp3", "Golden Hour Groove", "",
       Song(120, 55, false, kMajorPop, kDisco, 66, 32000, 203), Vbr(5), kId3v23, kNoTime},
      {2, "slow-01-weixun.mp3", "慢摇串烧 Vol.1 微醺时光", "Manyao Chuanshao Vol.1",
       Song(100, 57, true, kMinorCadence, kSlow, 75, 44100, 301), Vbr(4), kId3v23ApeId3v1},
      {2, "slow-02-yeguiren.mp3", "慢摇串烧 Vol.2 城市夜归人", "Manyao Chuanshao Vol.2",
       Song(104, 59, true, kMinorDrive, kSlow, 52, 22050, 302), Cbr(64, true, true), kId3v24},
      {2, "slow-03-haifeng.mp3", "慢摇串烧 Vol.3 海风轻摇", "Manyao Chuanshao Vol.3",
       Song(108, 63, false, kMajorPop, kSlow, 118, 44100, 303), Abr(128), kNoTags},
      {3, "house-01-deep-current.mp3", "Deep Current", "",
       Song(122, 56, true, kMinorRock, kClub, 64, 44100, 401), Vbr(3), kId3v24},
      {3, "house-02-warehouse-4am.mp3", "Warehouse 4AM", "",
       Song(126, 60, true, kMinorCadence, kClub, 50, 48000, 402), Cbr(256), kApeId3v1},
      {3, "house-03-sunrise-terrace.mp3", "Sunrise Terrace", "",
       Song(120, 62, false, kMajorPop, kClub, 57, 44100, 403), Vbr(4), kId3v23},
      {3, "house-04-afterglow.mp3", "Afterglow (Club Edit)", "",
       Song(124, 54, true, kMinorDrive, kClub, 60, 44100, 404), Vbr(4), kId3v23Id3v1, true, 2},
      {4, "car-01-gaosu-yexing.mp3", "高速公路夜行", "Gaosu Gonglu Yexing",
       Song(132, 58, true, kMinorDrive, kClub, 46, 44100, 501), Cbr(320), kId3v23Id3v1},
      {4, "car-02-chechuang.mp3", "车窗外的风", "Chechuang Wai De Feng",
       Song(128, 55, true, kMinorRock, kClub, 60, 44100, 502), Vbr(6), kApe, kNoTime},
      {4, "car-03-huancheng.mp3", "环城快线 (车载版)", "Huancheng Kuaixian",
       Song(136, 61, true, kMinorCadence, kClub, 53, 44100, 503), Abr(192), kId3v24Id3v1},
      {5, "retro-01-wangri-wuting.mp3", "往日舞厅 1998", "Wangri Wuting 1998",
       Song(118, 57, false, kMajorDoowop, kDisco, 68, 44100, 601), Cbr(160), kId3v23Id3v1},
      {5, "retro-02-kadai.mp3", "卡带时代", "Kadai Shidai",
       Song(112, 53, false, kMajorPop, kDisco, 45, 32000, 602), Cbr(96), kId3v1},
      {5, "retro-03-disco.mp3", "迪斯科回忆", "Disike Huiyi",
       Song(122, 64, false, kMajorLift, kDisco, 58, 44100, 603), Vbr(5), kId3v23Ape},
  };
  // clang-format on
  return tracks;
}

TrackTags TagsOf(const DemoTrack& track) {
  const DemoCategory& category = DemoCategories()[track.category];
  const Genre& genre = kCategoryGenres[track.category];
  int number = 1;
  for (const DemoTrack& other : DemoTracks()) {
    if (&other == &track) break;
    if (other.category == track.category) ++number;
  }
  TrackTags tags;
  tags.title = track.title;
  tags.artist = category.maker;
  tags.album = "Tarvoni Demo: " + category.name;
  tags.genre = genre.text;
  tags.comment = "Synthesized for the Tarvoni demo";
  tags.asciiTitle = track.asciiTitle.empty() ? track.title : track.asciiTitle;
  tags.asciiArtist = IsAscii(category.maker) ? category.maker : "Tarvoni Demo DJs";
  tags.year = kYear;
  tags.trackNumber = number;
  tags.bpm = static_cast<int>(track.song.bpm);
  tags.id3v1Genre = genre.id3v1;
  if (track.tags.cover) tags.coverPng = CoverPng(kCoverSide, track.song.seed);
  return tags;
}

std::string EscapeXml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string CatalogueXml(int version, const std::string& baseUrl) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<djmusic>\n";
  auto addRow = [&](const std::string& file, const std::string& title, const std::string& time) {
    xml.append("    <s src=\"").append(EscapeXml(baseUrl + "/tracks/" + file)).append("\"");
    if (!time.empty()) xml.append(" time=\"").append(time).append("\"");
    xml.append(">").append(EscapeXml(title)).append("</s>\n");
  };
  const auto& categories = DemoCategories();
  for (size_t c = 0; c < categories.size(); ++c) {
    const DemoCategory& category = categories[c];
    const std::string& description = version >= 2 ? category.newDescription : category.description;
    xml += "  <l name=\"" + EscapeXml(category.name) + "\" maker=\"" + EscapeXml(category.maker) + "\" desc=\"" +
           EscapeXml(description) + "\">\n";
    int listed = 0;
    for (const DemoTrack& track : DemoTracks()) {
      if (track.category != static_cast<int>(c) || track.firstVersion > version) continue;
      if (static_cast<int>(c) == kUnreachableCategory && listed == kUnreachableRow) {
        addRow(kUnreachableFile, kUnreachableTitle, kUnreachableTime);
      }
      addRow(track.file, track.title, track.listsTime ? TimeText(track.song.seconds) : std::string());
      ++listed;
    }
    xml += "  </l>\n";
  }
  xml += "</djmusic>\n<version>" + std::to_string(version) + "</version>\n<end/>\n";
  return xml;
}

}  // namespace demo
