// Inspection over HTTP byte ranges against a loopback server.
#include <gtest/gtest.h>

#include "brelix/brelix.h"
#include "bytes_file.h"
#include "fixture_writers.h"
#include "platform/dynlib.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"

namespace brelixtest {
namespace {

using testsupport::Fault;
using testsupport::TestHttpServer;

std::vector<std::string> Ranges(const TestHttpServer& server) {
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) ranges.push_back(request.range);
  return ranges;
}

std::string Mp3(testsupport::Mp3RateMode mode, int sampleRate, int channels) {
  testsupport::Mp3Options options;
  options.rateMode = mode;
  options.sampleRate = sampleRate;
  options.channels = channels;
  options.seconds = 3;
  return testsupport::EncodeMp3(options).bytes;
}

TEST(Http, SameFiguresAsTheFileInAFewRequests) {
  using testsupport::Mp3RateMode;
  const std::string vbr = Mp3(Mp3RateMode::kVbr, 44100, 2);
  const std::vector<std::pair<const char*, std::string>> fixtures = {
      {"cover-art", Id3v2(3, 200 * 1024, false) + vbr + Ape(2000, 3000, true) + Id3v1(1)},
      {"million", Id3v2(3, 4086, false) + Frames(Header("FFFB9064"), 417, 2388).substr(0, 995776) + Id3v1(1)},
      {"lyrics-mm", vbr + Lyrics3v2(4000) + MusicMatch("3.05", 8004, 900, true)},
      {"mpeg2-mono", Id3v2(4, 500, true) + Mp3(Mp3RateMode::kVbr, 22050, 1)},
      {"mpeg25-cbr", Mp3(Mp3RateMode::kCbr, 11025, 2) + Lyrics3v1(300)},
      {"slow-start", Frames(Header("FFFB1064"), 104, 27) + Frames(Header("FFFB2064"), 130, 50)},
      {"junk-before-audio", Id3v2(3, 90, false) + std::string(70000, 'j') + vbr},
      {"tiny", Frames(Header("FFFB9064"), 417, 3)},
  };
  TestHttpServer server;
  for (const auto& [name, bytes] : fixtures) {
    const std::string path = std::string("/") + name + ".mp3";
    server.Serve(path, bytes);
    server.ClearRequests();
    const Figures remote = FiguresOf(CMPAFileInfo::Create(server.Url(path).c_str(), false));
    EXPECT_EQ(remote, FiguresOf(BytesFile(bytes).Inspect())) << name;
    EXPECT_LE(server.RequestCount(), 6u) << name;
    for (const auto& request : server.Requests()) EXPECT_EQ(request.version, "HTTP/1.0") << name;
  }
}

TEST(Http, HeadAndTailCachesLoadOnceAboveTheirThresholds) {
  TestHttpServer server;
  server.Serve("/5120", std::string(5120, 'a'));
  server.Serve("/5121", std::string(5121, 'a'));
  server.Serve("/big", std::string(100000, 'a'));
  auto read = [](CMPAFileStream& stream, uint32_t offset, uint32_t count) {
    EXPECT_TRUE(stream.ReadBuffer(count, offset, false, false)) << offset;
  };
  CMPAFileStream small(server.Url("/5120").c_str(), false);
  ASSERT_TRUE(small.InitStream());
  read(small, 4000, 4);
  read(small, 0, 4);
  EXPECT_EQ(Ranges(server), (std::vector<std::string>{"", "bytes=0-5119"})) << "no cache at 5120 bytes";

  server.ClearRequests();
  CMPAFileStream middle(server.Url("/5121").c_str(), false);
  ASSERT_TRUE(middle.InitStream());
  read(middle, 4000, 4);
  read(middle, 0, 4);
  EXPECT_EQ(Ranges(server), (std::vector<std::string>{"", "bytes=1-5120", "bytes=0-5120"})) << "only the tail";

  server.ClearRequests();
  CMPAFileStream big(server.Url("/big").c_str(), false);
  ASSERT_TRUE(big.InitStream());
  read(big, 95000, 128);
  read(big, 10, 10);
  read(big, 99990, 10);
  read(big, 10229, 10);
  EXPECT_EQ(server.RequestCount(), 3u) << "tail, then head, each once";
  read(big, 10230, 10);
  EXPECT_EQ(server.RequestCount(), 4u) << "10230 + 10 is not below 10240: outside the head";
  read(big, 30000, 1024);
  EXPECT_EQ(Ranges(server), (std::vector<std::string>{"", "bytes=94880-99999", "bytes=0-10239", "bytes=0-66559"}))
      << "later reads in the same aligned window fetch nothing";
}

TEST(Http, FailedFetchIsRetriedByTheNextRead) {
  TestHttpServer server;
  server.Serve("/t.mp3", std::string(20000, 'a'));
  CMPAFileStream stream(server.Url("/t.mp3").c_str(), false);
  ASSERT_TRUE(stream.InitStream());
  server.Inject("/t.mp3", Fault::kStatus, 500, 3);
  uint32_t offset = 0;
  EXPECT_FALSE(stream.ReadBuffer(4, offset, false, false)) << "three attempts, all 500";
  EXPECT_TRUE(stream.ReadBuffer(4, offset, false, false));
  EXPECT_EQ(Ranges(server), std::vector<std::string>({"", "bytes=0-10239", "bytes=0-10239", "bytes=0-10239",
                                                      "bytes=0-10239"}));
}

TEST(Http, UrlIsTakenWhole) {
  const std::string bytes = Id3v2(3, 4086, false) + Frames(Header("FFFB9064"), 417, 100) + Id3v1(1);
  const Figures expected = FiguresOf(BytesFile(bytes).Inspect());
  TestHttpServer server;
  server.Serve("/a b.mp3", bytes);
  EXPECT_EQ(FiguresOf(CMPAFileInfo::Create(server.Url("/a%20b.mp3?token=x&y=2").c_str(), false)), expected);
  for (const auto& request : server.Requests()) EXPECT_EQ(request.query, "token=x&y=2");
  const std::string schemeless = server.Url("/a%20b.mp3").substr(std::string("http://").size());
  EXPECT_EQ(FiguresOf(CMPAFileInfo::Create(schemeless.c_str(), false)), expected) << "no scheme: plain HTTP";
}

TEST(Http, ServerIgnoringTheRangeStillGivesTheBytesAsked) {
  const std::string bytes = Id3v2(3, 30000, false) + Frames(Header("FFFB9064"), 417, 300) + Id3v1(1);
  TestHttpServer server;
  server.Serve("/t.mp3", bytes);
  server.Inject("/t.mp3", Fault::kIgnoreRange);
  EXPECT_EQ(FiguresOf(CMPAFileInfo::Create(server.Url("/t.mp3").c_str(), false)),
            FiguresOf(BytesFile(bytes).Inspect()));
}

TEST(Http, OpenFailuresReportAfterTheRetriesAndLeaveNoObject) {
  auto library = platform::DynamicLibrary::Load(BRELIX_LIBRARY);
  ASSERT_TRUE(library);
  auto init = reinterpret_cast<InitTagObjectFunc>(library->Symbol("InitTagObject"));
  auto rate = reinterpret_cast<BrelixFigureFunc>(library->Symbol("GetBytesOneSec"));
  auto end = reinterpret_cast<BrelixFigureFunc>(library->Symbol("GetFramesEnd"));
  auto uninit = reinterpret_cast<UnInitTagObjectFunc>(library->Symbol("UnInitTagObject"));
  ASSERT_TRUE(init && rate && end && uninit);

  TestHttpServer server;
  const std::string audio = Frames(Header("FFFB9064"), 417, 20);
  server.Serve("/ok.mp3", audio);
  server.Serve("/unsized.mp3", audio);
  server.Inject("/unsized.mp3", Fault::kCloseDelimited);
  const std::string refused = [] {
    TestHttpServer closed;
    return closed.Url("/gone.mp3");
  }();
  struct Case {
    std::string location;
    const char* tip;
    size_t requests;
  };
  for (const Case& c : {Case{server.Url("/missing.mp3"), "TIP: InitStream___HttpSendRequest Error\n", 3},
                        Case{server.Url("/unsized.mp3"), "TIP: InitStream___HttpQueryInfo Error\n", 1},
                        Case{refused, "TIP: InitStream___HttpSendRequest Error\n", 0},
                        Case{"ftp://127.0.0.1/ok.mp3", "TIP: InitStream___InternetConnect Error\n", 0},
                        Case{"http://", "TIP: InitStream___InternetConnect Error\n", 0}}) {
    ASSERT_TRUE(init(server.Url("/ok.mp3").c_str(), false));
    ASSERT_EQ(rate(), 16000u);
    server.ClearRequests();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(init(c.location.c_str(), false)) << c.location;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.tip) << c.location;
    EXPECT_EQ(server.RequestCount(), c.requests) << c.location;
    EXPECT_EQ(rate(), 0u) << c.location;
    EXPECT_EQ(end(), 0u) << c.location;
  }
  ASSERT_TRUE(init(server.Url("/ok.mp3").c_str(), false));
  EXPECT_TRUE(uninit());
  EXPECT_EQ(rate(), 0u);
}

}  // namespace
}  // namespace brelixtest
