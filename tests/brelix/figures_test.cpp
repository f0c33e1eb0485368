// The figures of whole streams: audio range, byte rate and duration, from a
// local file and over HTTP byte ranges against a loopback server.
#include <gtest/gtest.h>

#include "bytes_file.h"
#include "fixture_writers.h"
#include "lame_tag.h"
#include "mpa_file_info.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "vbr_header.h"

namespace brelixtest {
namespace {

using testsupport::Fault;
using testsupport::TestHttpServer;

const std::string k128 = Header("FFFB9064");  // 417 bytes a frame
const std::string k32 = Header("FFFB1064");   // 104
const std::string k40 = Header("FFFB2064");   // 130
const std::string k192 = Header("FFFBB064");  // 626

TEST(FileInfo, XingCountsGiveTheRateUnlessMissingUnderASecondOrZero) {
  const uint32_t size = 2398 * 417;
  const std::pair<XingFields, uint32_t> cases[] = {
      {{.flags = 3, .frames = 1000, .bytes = 2000000}, 76923},
      {{.flags = 1, .frames = 1000}, size / 26},              // no byte count: the audio size; 1000 frames last 26 s
      {{.flags = 2, .bytes = 2000000}, 16000},                // no frame count: the bitrate
      {{.flags = 3, .frames = 38, .bytes = 2000000}, 16000},  // 38 frames last under a second
      {{.flags = 3, .frames = 1000, .bytes = 25}, 16000}};    // a rate of 0
  for (const auto& [xing, rate] : cases) {
    std::string audio = Frames(k128, 417, 2398);
    Put(audio, 36, Xing(xing));
    EXPECT_EQ(FiguresOfFile(audio), (Figures{0, size, size, rate, size / rate, 44100}))
        << xing.frames << " " << xing.bytes;
  }
}

TEST(FileInfo, SlowStartIsMeasuredAtTheFirstFrameAbove48k) {
  EXPECT_EQ(FiguresOfFile(Frames(k32, 104, 3) + Frames(k192, 626, 5)).rate, 24000u);
  std::string slow = Frames(k32, 104, 27) + Frames(k40, 130) + Frames(k192, 626, 3);
  EXPECT_EQ(FiguresOfFile(slow).rate, 5000u) << "the 28th frame, after 27 steps";
  EXPECT_EQ(FiguresOfFile(Frames(k32, 104, 5)).rate, 4000u) << "the walk runs out: the first frame";
  // A gap breaks the exact step; the walk resynchronises to the next header.
  EXPECT_EQ(FiguresOfFile(Frames(k32, 104, 2) + std::string(50, 'j') + Frames(k192, 626, 2)).rate, 24000u);
}

TEST(FileInfo, JunkBeforeTheFirstFrameStaysInTheAudioRange) {
  const std::string bytes = Id3v2(3, 90, false) + std::string(3000, 'j') + Frames(k128, 417, 10);
  auto info = BytesFile(bytes).Inspect();
  ASSERT_TRUE(info);
  EXPECT_EQ(info->GetFramesBegin(), 100u);
  EXPECT_EQ(info->GetFirstFrame().GetOffset(), 3100u);
  EXPECT_EQ(info->GetAllFramesSize(), bytes.size() - 100);
}

TEST(FileInfo, ResourcesWithoutAFrameFail) {
  testsupport::TempDir dir;
  const std::pair<std::string, CMPAFileInfo::Failure> cases[] = {
      {dir.Write("empty.mp3", ""), CMPAFileInfo::Failure::kNoFrame},
      {dir.Write("text.mp3", "plain text, no audio at all"), CMPAFileInfo::Failure::kNoFrame},
      {dir.Write("tags.mp3", Id3v2(3, 100, false) + Id3v1(1)), CMPAFileInfo::Failure::kNoFrame},
      {dir.Path("missing.mp3"), CMPAFileInfo::Failure::kCannotOpen}};
  for (const auto& [path, expected] : cases) {
    CMPAFileInfo::Failure failure = CMPAFileInfo::Failure::kNone;
    EXPECT_FALSE(CMPAFileInfo::Create(path.c_str(), true, &failure)) << path;
    EXPECT_EQ(failure, expected) << path;
  }
}

TEST(FileInfo, TruncatedLastFrameKeepsTheFigures) {
  const std::string bytes = Frames(k128, 417, 40).substr(0, 40 * 417 - 300);
  EXPECT_EQ(FiguresOfFile(bytes), (Figures{0, uint32_t(bytes.size()), uint32_t(bytes.size()), 16000, 1, 44100}));
}

TEST(FileInfo, LeadingTagReachingIntoTheTrailingOnesLeavesNoAudio) {
  // The ID3v2 header claims the audio and 40 bytes of the ID3v1 tag, where a
  // frame header lies.
  std::string tail = Id3v1(1);
  Put(tail, 40, k128);
  const std::string audio = Frames(k128, 417, 10);
  const std::string bytes = Id3v2(3, uint32_t(audio.size()) + 40, false).substr(0, 10) + audio + tail;
  const uint32_t n = bytes.size();
  EXPECT_EQ(FiguresOfFile(bytes), (Figures{n - 128 + 40, n - 128, 0, 16000, 0, 44100}));
}

TEST(FileInfo, EncoderOutputIsMeasuredByItsXingCounts) {
  using enum testsupport::Mp3RateMode;
  // Sample rate, channels, rate mode.
  const testsupport::Mp3Options encodings[] = {{44100, 2, kVbr}, {48000, 1, kCbr}, {32000, 2, kAbr}, {22050, 1, kVbr},
                                               {24000, 2, kCbr}, {11025, 2, kVbr}, {8000, 1, kCbr}};
  for (const testsupport::Mp3Options& c : encodings) {
    SCOPED_TRACE(std::to_string(c.sampleRate) + "/" + std::to_string(c.channels));
    const testsupport::Mp3Fixture fixture = testsupport::EncodeMp3(
        {.sampleRate = c.sampleRate, .channels = c.channels, .rateMode = c.rateMode, .seconds = 4});
    const std::string bytes = Id3v2(3, 1000, false) + fixture.bytes + Id3v1(1);
    auto info = BytesFile(bytes).Inspect();
    ASSERT_TRUE(info);
    const uint32_t size = fixture.bytes.size();
    const uint32_t rate = size / (fixture.audioFrames * (c.sampleRate >= 32000 ? 1152 : 576) / c.sampleRate);
    EXPECT_EQ(FiguresOf(info), (Figures{1010, 1010 + size, size, rate, size / rate, uint32_t(c.sampleRate)}));
    const CVBRHeader* vbr = info->GetVBRHeader();
    ASSERT_TRUE(vbr);
    EXPECT_EQ(vbr->GetIdentifier(), c.rateMode == kCbr ? "Info" : "Xing");
    EXPECT_EQ(vbr->GetFrames(), fixture.audioFrames);
    // The encoder writes "LAME3.100": its whole block is read, and the figures above stay.
    const CLAMETag* lame = static_cast<const CXINGHeader*>(vbr)->GetLAMETag();
    ASSERT_TRUE(lame) << "120 bytes after the Xing header";
    EXPECT_EQ(lame->GetEncoder(), "LAME3.100");
    EXPECT_FALSE(lame->IsShortTag());
    EXPECT_TRUE(c.rateMode == kCbr ? lame->IsCBR() : c.rateMode == kAbr ? lame->IsABR() : lame->IsVBR())
        << lame->GetVBRInfo();
    EXPECT_GT(lame->GetLowpass(), 0);
  }
}

std::vector<std::string> Ranges(const TestHttpServer& server) {
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) ranges.push_back(request.range);
  return ranges;
}

// The figures CMPAFileInfo gives for `path` on `server`.
Figures FiguresOfUrl(const TestHttpServer& server, const std::string& path) {
  return FiguresOf(CMPAFileInfo::Create(server.Url(path).c_str(), false));
}

// A server that ignores the range answers with the whole body: still the
// same figures.
TEST(Http, SameFiguresAsTheFileInAFewRequestsAlsoWhenTheServerIgnoresTheRange) {
  using testsupport::EncodeMp3;
  using testsupport::Mp3RateMode;
  const std::string vbr = EncodeMp3({.rateMode = Mp3RateMode::kVbr, .seconds = 3}).bytes;
  const std::vector<std::pair<const char*, std::string>> fixtures = {
      {"cover-art", Id3v2(3, 200 * 1024, false) + vbr + Ape(2000, 3000, true) + Id3v1(1)},
      {"million", Id3v2(3, 4086, false) + Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776) + Id3v1(1)},
      {"lyrics-mm", vbr + Lyrics3v2(4000) + MusicMatch("3.05", 8004, 900, true)},
      {"mpeg2-mono",
       Id3v2(4, 500, true) +
           EncodeMp3({.sampleRate = 22050, .channels = 1, .rateMode = Mp3RateMode::kVbr, .seconds = 3}).bytes},
      {"mpeg25-cbr", EncodeMp3({.sampleRate = 11025, .seconds = 3}).bytes + Lyrics3v1(300)},
      {"slow-start", Frames(Header("FFFB1064"), 104, 27) + Frames(Header("FFFB2064"), 130, 50)},
      {"junk-before-audio", Id3v2(3, 90, false) + std::string(70000, 'j') + vbr},
      {"tiny", Frames(Header("FFFB9064"), 417, 3)},
  };
  TestHttpServer server;
  for (const auto& [name, bytes] : fixtures) {
    const std::string path = std::string("/") + name + ".mp3";
    server.Serve(path, bytes);
    server.ClearRequests();
    EXPECT_EQ(FiguresOfUrl(server, path), FiguresOfFile(bytes)) << name;
    EXPECT_LE(server.RequestCount(), 6u) << name;
    for (const auto& request : server.Requests()) EXPECT_EQ(request.version, "HTTP/1.0") << name;
    server.Inject(path, Fault::kIgnoreRange);
    EXPECT_EQ(FiguresOfUrl(server, path), FiguresOfFile(bytes)) << name << " with the range ignored";
  }
}

TEST(Http, HeadAndTailCachesLoadOnceAboveTheirThresholds) {
  using Read = std::pair<uint32_t, uint32_t>;  // offset, count
  struct Case {
    size_t size;
    std::vector<Read> reads;
    std::vector<std::string> ranges;
  };
  const Case cases[] = {
      {5120, {{4000, 4}, {0, 4}}, {"", "bytes=0-5119"}},                  // no cache at 5120 bytes
      {5121, {{4000, 4}, {0, 4}}, {"", "bytes=1-5120", "bytes=0-5120"}},  // only the tail
      // The tail, then the head, each loaded once.
      {100000, {{95000, 128}, {10, 10}, {99990, 10}, {10229, 10}}, {"", "bytes=94880-99999", "bytes=0-10239"}},
      // 10230 + 10 is not below 10240: outside the head, in a 4 KiB window
      // reaching a quarter back; a read inside it fetches nothing, one past
      // it a window four times as large.
      {100000,
       {{95000, 128}, {10, 10}, {10230, 10}, {12000, 100}, {30000, 1024}},
       {"", "bytes=94880-99999", "bytes=0-10239", "bytes=8192-12287", "bytes=25600-41983"}},
  };
  TestHttpServer server;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reads.back().first);
    server.Serve("/t", std::string(c.size, 'a'));
    server.ClearRequests();
    CMPAFileStream stream(server.Url("/t").c_str(), false);
    ASSERT_TRUE(stream.InitStream());
    for (auto [offset, count] : c.reads) EXPECT_TRUE(stream.ReadBuffer(count, offset, false, false)) << offset;
    EXPECT_EQ(Ranges(server), c.ranges);
  }
}

TEST(Http, FailedFetchIsRetriedByTheNextRead) {
  TestHttpServer server;
  server.Serve("/t.mp3", std::string(20000, 'a'));
  CMPAFileStream stream(server.Url("/t.mp3").c_str(), false);
  ASSERT_TRUE(stream.InitStream());
  server.Inject("/t.mp3", Fault::kStatus, 500, 3);
  server.ClearRequests();
  uint32_t offset = 0;
  EXPECT_FALSE(stream.ReadBuffer(4, offset, false, false)) << "three attempts, all 500";
  EXPECT_TRUE(stream.ReadBuffer(4, offset, false, false));
  EXPECT_EQ(Ranges(server), std::vector<std::string>(4, "bytes=0-10239"));
}

TEST(Http, UrlIsTakenWhole) {
  const std::string bytes = Id3v2(3, 4086, false) + Frames(Header("FFFB9064"), 417, 100) + Id3v1(1);
  TestHttpServer server;
  server.Serve("/a b.mp3", bytes);
  EXPECT_EQ(FiguresOfUrl(server, "/a%20b.mp3?token=x&y=2"), FiguresOfFile(bytes));
  for (const auto& request : server.Requests()) EXPECT_EQ(request.query, "token=x&y=2");
  const std::string schemeless = server.Url("/a%20b.mp3").substr(std::string("http://").size());
  EXPECT_EQ(FiguresOf(CMPAFileInfo::Create(schemeless.c_str(), false)), FiguresOfFile(bytes))
      << "no scheme: plain HTTP";
}

}  // namespace
}  // namespace brelixtest
