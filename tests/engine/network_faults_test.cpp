// The engine over networks that misbehave, judged by what is heard
// (heard_output.h): a track is heard whole, once and in order, or reported
// failed after what arrived; never replayed, never passed off as ended,
// never hung.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "engine_harness.h"
#include "heard_output.h"
#include "platform/file.h"
#include "platform/sound.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace enginetest {
namespace {

using testsupport::Fault;

constexpr double kTrackSeconds = 6.0;
constexpr size_t kBytesPerSecond = 16000;  // 128 kbit/s

const std::string& TrackBytes() {
  static const std::string bytes = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = kTrackSeconds}).bytes;
  return bytes;
}

struct NetworkCase {
  const char* name;
  Fault fault;
  size_t amount;
  size_t times;  // 0: every request, Brelix's included
  enum Outcome { kWhole, kPartThenFailed, kFailedSilent } outcome;
  bool bufferingShown;
};

void PrintTo(const NetworkCase& c, std::ostream* out) { *out << c.name; }

class NetworkFaults : public ::testing::TestWithParam<NetworkCase> {};

TEST_P(NetworkFaults, TrackIsHeardOnceInOrderOrReportedFailed) {
  const NetworkCase& c = GetParam();
  testsupport::TestHttpServer server;
  const std::string& track = TrackBytes();
  server.Serve("/track.mp3", track);
  server.Inject("/track.mp3", c.fault, c.amount, c.times);
  ForgetHeard();
  const auto start = std::chrono::steady_clock::now();
  bool ended = false;
  {
    EngineHarness harness({.stallTimeoutMs = 1000, .resumePauseMs = 100});
    harness.Request(server.Url("/track.mp3"));
    if (c.outcome == NetworkCase::kPartThenFailed) {
      // Once the first body broke off, every attempt to resume it is refused.
      ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageContentLength) > 0; }));
      server.Inject("/track.mp3", Fault::kStatus, 503, 0);
    }
    ended = harness.RunUntil([&] {
      return harness.Count(engine::kMessageTrackEnd) + harness.Count(engine::kMessageFailed) > 0;
    }, 60000);
    harness.RunFor(200);
    ASSERT_TRUE(ended);
    EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), c.outcome == NetworkCase::kWhole ? 1u : 0u);
    EXPECT_EQ(harness.Count(engine::kMessageFailed), c.outcome == NetworkCase::kWhole ? 0u : 1u);
    EXPECT_EQ(!harness.bufferingPercents.empty(), c.bufferingShown);
    if (c.outcome != NetworkCase::kWhole) {
      EXPECT_FALSE(harness.Engine().FailureReason().empty());
    }
    for (const Message& m : harness.Handled()) {
      if (m.type == engine::kMessagePosition) {
        EXPECT_LE(m.value, uint32_t(kTrackSeconds));
      }
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, 40.0);

  const std::vector<int16_t> expected = DecodeInPieces(track, track.size());
  const std::vector<int16_t> heard = Heard(true);
  const ptrdiff_t matched = HeardInOrder(heard, expected);
  ASSERT_GE(matched, 0) << "audio heard that is not the next of the track";
  switch (c.outcome) {
    case NetworkCase::kWhole:
      EXPECT_EQ(static_cast<size_t>(matched), expected.size());
      break;
    case NetworkCase::kPartThenFailed:
      // The part that arrived (40 % of the body) was heard before the failure.
      EXPECT_GT(matched, static_cast<ptrdiff_t>(expected.size() * 3 / 10));
      EXPECT_LT(static_cast<size_t>(matched), expected.size());
      break;
    case NetworkCase::kFailedSilent:
      EXPECT_TRUE(std::all_of(heard.begin(), heard.end(), [](int16_t s) { return s == 0; }));
      break;
  }
}

const size_t kTrackBytes = static_cast<size_t>(kTrackSeconds * kBytesPerSecond);

INSTANTIATE_TEST_SUITE_P(
    Engine, NetworkFaults,
    ::testing::Values(
        NetworkCase{"SlowerThanTheTrack", Fault::kTrickle, kBytesPerSecond * 7 / 10, 0, NetworkCase::kWhole, true},
        NetworkCase{"ResetAt40Percent", Fault::kResetAfter, kTrackBytes * 4 / 10, 1, NetworkCase::kWhole, false},
        NetworkCase{"StallAt50Percent", Fault::kStall, kTrackBytes / 2, 1, NetworkCase::kWhole, false},
        NetworkCase{"BodyShortOfItsLength", Fault::kShortBody, kTrackBytes / 2, 1, NetworkCase::kWhole, false},
        NetworkCase{"EveryResumeRefused", Fault::kResetAfter, kTrackBytes * 4 / 10, 1, NetworkCase::kPartThenFailed,
                    false},
        NetworkCase{"UnaskedGzip", Fault::kGzip, 0, 0, NetworkCase::kFailedSilent, false},
        NetworkCase{"HungServer", Fault::kStallHeaders, 0, 0, NetworkCase::kFailedSilent, false},
        NetworkCase{"ThreeBytesASecond", Fault::kTrickle, 3, 0, NetworkCase::kFailedSilent, false}),
    [](const ::testing::TestParamInfo<NetworkCase>& info) { return std::string(info.param.name); });

#ifndef _WIN32  // a full disk from /dev/full
// A full disk under the cache file: the track is reported failed with the
// reason, not passed off as played.
TEST(CacheFile, AWriteThatFailsIsAFailure) {
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", TrackBytes());
  testsupport::TempDir cache;
  ASSERT_EQ(symlink("/dev/full", cache.Path("tmp.mp3").c_str()), 0);
  EngineHarness harness({.cacheFolder = cache.Folder()});
  harness.Request(server.Url("/track.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageFailed) > 0; }));
  harness.RunFor(200);
  EXPECT_EQ(harness.Count(engine::kMessageTrackEnd), 0u);
  EXPECT_NE(harness.Engine().FailureReason().find("cannot write the cache file"), std::string::npos);
}
#endif

// A click while the download hangs on a silent server is served at once.
TEST(Requests, ANewRequestReachesTheServerWithinHalfASecondDuringAStall) {
  testsupport::TestHttpServer server;
  server.Serve("/stalled.mp3", TrackBytes());
  server.Inject("/stalled.mp3", Fault::kStall, kTrackBytes / 4, 1);
  server.Serve("/next.mp3", TrackBytes());
  EngineHarness harness;  // the stall time-out is the engine's own (8 s)
  harness.Request(server.Url("/stalled.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageContentLength) > 0; }));
  harness.RunFor(1000);  // the body has stalled by now
  const auto clicked = std::chrono::steady_clock::now();
  harness.Request(server.Url("/next.mp3"));
  ASSERT_TRUE(harness.RunUntil([&] { return harness.Count(engine::kMessageDuration) > 1; }));
  for (const auto& request : server.Requests()) {
    if (request.path == "/next.mp3") {
      EXPECT_LT(std::chrono::duration<double>(request.arrival - clicked).count(), 0.5);
      return;
    }
  }
  ADD_FAILURE() << "the new track was never requested";
}

}  // namespace
}  // namespace enginetest
