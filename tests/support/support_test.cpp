// The shared test support must itself be right: other tests take its
// servers and fixtures as the truth.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/file.h"
#include "platform/http.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace {

using testsupport::EncodeMp3;
using testsupport::Fault;
using testsupport::Mp3Options;
using testsupport::Mp3RateMode;
using testsupport::TestHttpServer;

struct Fetched {
  std::string status;
  bool hasLength = false;
  std::string length;
  std::string body;
  bool ok = false;
};

Fetched Fetch(const std::string& url, const std::string& range = "", bool http10 = false) {
  platform::HttpSession session;
  platform::HttpRequestOptions options;
  if (!range.empty()) options.headers = {"Range:" + range};
  options.http10 = http10;
  Fetched fetched;
  auto response = session.Open(url, options);
  if (!response) return fetched;
  fetched.status = response->StatusText();
  fetched.hasLength = response->ContentLengthText(&fetched.length);
  char buffer[4096];
  size_t got = 0;
  while ((fetched.ok = response->Read(buffer, sizeof buffer, &got)) && got > 0) fetched.body.append(buffer, got);
  return fetched;
}

std::string Digits(size_t size) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) bytes += static_cast<char>('0' + i % 10);
  return bytes;
}

TEST(TestHttpServerTest, RangeEndPastTheResourceIsClampedAsRealServersDo) {
  TestHttpServer server;
  server.Serve("/r", Digits(5000));
  Fetched fetched = Fetch(server.Url("/r"), "bytes=4000-10239", true);
  EXPECT_EQ(fetched.status, "206");
  EXPECT_EQ(fetched.length, "1000");
  EXPECT_EQ(fetched.body, Digits(5000).substr(4000));
}

TEST(TestHttpServerTest, SuffixOpenAndUnsatisfiableRanges) {
  TestHttpServer server;
  server.Serve("/r", Digits(5000));
  EXPECT_EQ(Fetch(server.Url("/r"), "bytes=-100").body, Digits(5000).substr(4900));
  EXPECT_EQ(Fetch(server.Url("/r"), "bytes=4990-").body, Digits(5000).substr(4990));
  Fetched beyond = Fetch(server.Url("/r"), "bytes=5000-5100");
  EXPECT_EQ(beyond.status, "416");
  EXPECT_EQ(beyond.body, "");
  Fetched several = Fetch(server.Url("/r"), "bytes=0-1,5-6");
  EXPECT_EQ(several.status, "200");
  EXPECT_EQ(several.body.size(), 5000u);
}

TEST(TestHttpServerTest, ChunkedFaultFallsBackToCloseDelimitedForHttp10) {
  TestHttpServer server;
  server.Serve("/r", Digits(3000));
  server.Inject("/r", Fault::kChunked);
  Fetched fetched = Fetch(server.Url("/r"), "", true);
  EXPECT_FALSE(fetched.hasLength);
  EXPECT_TRUE(fetched.ok);
  EXPECT_EQ(fetched.body, Digits(3000));
  EXPECT_EQ(server.Requests().at(0).version, "HTTP/1.0");
}

TEST(TestHttpServerTest, CountedFaultWearsOff) {
  TestHttpServer server;
  server.Serve("/r", "fine");
  server.Inject("/r", Fault::kStatus, 503, 2);
  EXPECT_EQ(Fetch(server.Url("/r")).status, "503");
  EXPECT_EQ(Fetch(server.Url("/r")).status, "503");
  Fetched third = Fetch(server.Url("/r"));
  EXPECT_EQ(third.status, "200");
  EXPECT_EQ(third.body, "fine");
  EXPECT_EQ(server.RequestCount(), 3u);
  server.ClearRequests();
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(TestHttpServerTest, ReleasedStallSendsTheWholeBody) {
  TestHttpServer server;
  server.Serve("/r", Digits(2000));
  server.Inject("/r", Fault::kStallHeaders);
  std::thread releaser([&] {
    server.WaitForRequestCount(1);
    server.ReleaseStalls();
  });
  Fetched fetched = Fetch(server.Url("/r"));
  releaser.join();
  EXPECT_EQ(fetched.status, "200");
  EXPECT_EQ(fetched.body, Digits(2000));
}

// Walks the frames from offset 0 by their headers, as a decoder would.
struct FrameWalk {
  size_t frames = 0;
  size_t end = 0;
  size_t firstFrameLength = 0;
  std::set<int> bitrateIndexes;
  int versionBits = -1;
  int channelModeBits = -1;
};

FrameWalk WalkLayer3Frames(const std::string& bytes) {
  static const int kBitrates[2][16] = {{0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
                                       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
  static const int kRates[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  FrameWalk walk;
  size_t offset = 0;
  while (offset + 4 <= bytes.size()) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[offset + i]); };
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0 || ((byte(1) >> 1) & 3) != 1) break;
    int version = (byte(1) >> 3) & 3;
    int bitrateIndex = byte(2) >> 4;
    int rateIndex = (byte(2) >> 2) & 3;
    if (version == 1 || rateIndex == 3 || bitrateIndex == 0 || bitrateIndex == 15) break;
    int bitrate = kBitrates[version == 3 ? 0 : 1][bitrateIndex] * 1000;
    size_t length = static_cast<size_t>((version == 3 ? 144 : 72) * bitrate / kRates[version][rateIndex] +
                                        ((byte(2) >> 1) & 1));
    if (walk.frames == 0) {
      walk.firstFrameLength = length;
      walk.versionBits = version;
      walk.channelModeBits = byte(3) >> 6;
    } else {
      walk.bitrateIndexes.insert(bitrateIndex);
    }
    ++walk.frames;
    offset += length;
  }
  walk.end = offset;
  return walk;
}

TEST(Mp3FixtureTest, FramesFollowEachOtherToTheLastByteAtEveryMpegVersion) {
  struct Case {
    int rate;
    int channels;
    int versionBits;
  };
  for (Case c : {Case{44100, 2, 3}, Case{32000, 1, 3}, Case{22050, 2, 2}, Case{16000, 1, 2}, Case{11025, 2, 0},
                 Case{8000, 1, 0}}) {
    Mp3Options options;
    options.sampleRate = c.rate;
    options.channels = c.channels;
    options.bitrateKbps = 64;
    auto fixture = EncodeMp3(options);
    FrameWalk walk = WalkLayer3Frames(fixture.bytes);
    EXPECT_EQ(walk.end, fixture.bytes.size()) << c.rate;
    EXPECT_EQ(walk.frames, fixture.audioFrames + 1) << c.rate;
    EXPECT_EQ(walk.firstFrameLength, fixture.tagFrameSize) << c.rate;
    EXPECT_EQ(walk.versionBits, c.versionBits) << c.rate;
    EXPECT_EQ(walk.channelModeBits == 3, c.channels == 1) << c.rate;
    EXPECT_EQ(fixture.sampleRate, c.rate);
    EXPECT_EQ(fixture.pcm.size(), static_cast<size_t>(c.rate) * static_cast<size_t>(c.channels));
  }
}

TEST(Mp3FixtureTest, HeaderFrameSaysXingForVbrAndInfoForCbr) {
  Mp3Options vbr;
  vbr.rateMode = Mp3RateMode::kVbr;
  vbr.seconds = 3;
  auto variable = EncodeMp3(vbr);
  ASSERT_GT(variable.tagFrameSize, 0u);
  // Stereo MPEG 1: the header follows 4 header bytes and 32 bytes of side information.
  EXPECT_EQ(variable.bytes.substr(36, 4), "Xing");
  EXPECT_GT(WalkLayer3Frames(variable.bytes).bitrateIndexes.size(), 1u);
  EXPECT_EQ(variable.bitrateKbps, 0);

  auto constant = EncodeMp3(Mp3Options{});
  EXPECT_EQ(constant.bytes.substr(36, 4), "Info");
  EXPECT_EQ(WalkLayer3Frames(constant.bytes).bitrateIndexes, std::set<int>{9});  // 128 kbit/s
  EXPECT_EQ(constant.bitrateKbps, 128);
}

TEST(Mp3FixtureTest, WithoutTheHeaderFrameEveryFrameIsAudio) {
  Mp3Options options;
  options.vbrTag = false;
  auto fixture = EncodeMp3(options);
  EXPECT_EQ(fixture.tagFrameSize, 0u);
  FrameWalk walk = WalkLayer3Frames(fixture.bytes);
  EXPECT_EQ(walk.frames, fixture.audioFrames);
  EXPECT_EQ(walk.end, fixture.bytes.size());
  EXPECT_EQ(fixture.bytes.find("Info"), std::string::npos);
  EXPECT_EQ(fixture.bytes.find("Xing"), std::string::npos);
}

TEST(Mp3FixtureTest, SameOptionsGiveTheSameBytes) {
  Mp3Options options;
  options.rateMode = Mp3RateMode::kAbr;
  options.bitrateKbps = 96;
  EXPECT_TRUE(EncodeMp3(options).bytes == EncodeMp3(options).bytes);
}

TEST(TempDirTest, RemovesNestedContentsAtTheEnd) {
  std::string folder;
  {
    testsupport::TempDir dir;
    folder = dir.Folder();
    ASSERT_TRUE(platform::CreateDirectory(dir.Path("cache")));
    dir.Write("cache/tmp.mp3", "bytes");
    std::string contents;
    ASSERT_TRUE(platform::ReadWholeFile(dir.Path("cache/tmp.mp3"), &contents));
    EXPECT_EQ(contents, "bytes");
  }
  EXPECT_FALSE(platform::PathExists(folder));
}

}  // namespace
