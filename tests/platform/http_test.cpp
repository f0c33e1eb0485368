#include "platform/http.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/sync.h"
#include "support/http_test_server.h"

namespace {

using platform::HttpRequestOptions;
using platform::HttpSession;
using platform::MonotonicMs;
using testsupport::Fault;
using testsupport::TestHttpServer;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 977) & 0xFF);
  return bytes;
}

struct Body {
  std::string bytes;
  bool ok = false;
};

// Pulls the whole body in 1024-byte pieces, as the download thread does.
Body ReadBody(platform::HttpResponse& response) {
  Body body;
  char buffer[1024];
  size_t got = 0;
  while ((body.ok = response.Read(buffer, sizeof buffer, &got)) && got > 0) body.bytes.append(buffer, got);
  return body;
}

class HttpTest : public ::testing::Test {
 protected:
  TestHttpServer server;
  HttpSession session;
};

TEST(SplitUrlTest, GivesEveryPartWithDefaultsAndRefusesWhatIsNotHttp) {
  struct Case {
    std::string url;
    bool ok;
    platform::UrlParts expected;
  };
  const std::vector<Case> cases = {
      {"http://127.0.0.1:8391/music/a.mp3?id=7&x=y#part", true, {"http", "127.0.0.1", 8391, "/music/a.mp3", "id=7&x=y"}},
      {"HTTPS://Example.com", true, {"https", "Example.com", 443, "/", ""}},
      {"http://example.com/a b.mp3", true, {"http", "example.com", 80, "/a%20b.mp3", ""}},
      {"www.example.com/a.mp3", false, {}},
      {"file:///etc/passwd", false, {}},
      {"http://", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    platform::UrlParts parts;
    ASSERT_EQ(platform::SplitUrl(c.url, &parts), c.ok);
    EXPECT_EQ(std::tie(parts.scheme, parts.host, parts.port, parts.path, parts.query),
              std::tie(c.expected.scheme, c.expected.host, c.expected.port, c.expected.path, c.expected.query));
  }
}

TEST_F(HttpTest, BodyArrivesIntactInSmallPiecesWithItsLengthOnlyWhenAnnounced) {
  const std::string track = Pattern(3 * 1024 * 1024 + 123);
  server.Serve("/track.mp3", track);
  for (Fault fault : {Fault::kNone, Fault::kChunked, Fault::kCloseDelimited}) {
    SCOPED_TRACE(static_cast<int>(fault));
    server.Inject("/track.mp3", fault);
    auto response = session.Open(server.Url("/track.mp3"));
    ASSERT_TRUE(response);
    EXPECT_EQ(response->StatusText(), "200");
    std::string length = "none";
    EXPECT_EQ(response->ContentLengthText(&length), fault == Fault::kNone);
    EXPECT_EQ(length, fault == Fault::kNone ? std::to_string(track.size()) : "none");
    Body body = ReadBody(*response);
    EXPECT_TRUE(body.ok);
    EXPECT_TRUE(body.bytes == track) << "got " << body.bytes.size() << " bytes";
  }
}

TEST_F(HttpTest, AddressIsSentWholeWithSpacesAndNonAsciiEncoded) {
  server.Serve("/dj mix/\xE6\x9B\xB2.mp3", "tune");
  auto response = session.Open(server.Url("/dj mix/\xE6\x9B\xB2.mp3?id=42&name=x"));
  ASSERT_TRUE(response);
  EXPECT_EQ(ReadBody(*response).bytes, "tune");
  EXPECT_EQ(server.Requests().at(0).target, "/dj%20mix/%E6%9B%B2.mp3?id=42&name=x");
}

TEST_F(HttpTest, UnreachableOrNonHttpAddressGivesNullAndSaysWhyAtOnce) {
  std::string closed;
  {
    TestHttpServer gone;
    closed = gone.Url("/a.mp3");
  }
  server.Serve("/a.mp3", "tune");
  server.Redirect("/update/datams.dll", "file:///etc/passwd");
  HttpRequestOptions past;
  past.deadlineMs = MonotonicMs();
  const std::tuple<std::string, HttpRequestOptions, const char*> cases[] = {
      {closed, {}, "connection refused"},
      {"file:///etc/passwd", {}, "not an http(s) address"},
      {"www.example.com/a.mp3", {}, "not an http(s) address"},
      {server.Url("/update/datams.dll"), {}, "redirect to a non-http address"},
      {server.Url("/a.mp3"), past, "timed out"},
  };
  for (const auto& [url, options, why] : cases) {
    SCOPED_TRACE(url);
    const uint64_t start = MonotonicMs();
    std::string error;
    EXPECT_FALSE(session.Open(url, options, &error));
    EXPECT_EQ(error, why);
    EXPECT_LT(MonotonicMs() - start, 1000u);
  }
  EXPECT_EQ(server.RequestCount(), 1u) << "only the redirect was asked; a passed deadline sends nothing";
}

TEST_F(HttpTest, RedirectToAnotherHttpPathIsFollowed) {
  server.Serve("/new/track.mp3", Pattern(1234));
  server.Redirect("/old/track.mp3", server.Url("/new/track.mp3"), 301);
  server.Redirect("/relative", "/new/track.mp3", 302);
  for (const char* path : {"/old/track.mp3", "/relative"}) {
    auto response = session.Open(server.Url(path));
    ASSERT_TRUE(response) << path;
    EXPECT_EQ(response->StatusText(), "200") << path;
    EXPECT_EQ(ReadBody(*response).bytes, Pattern(1234)) << path;
  }
}

// Each fault hits one request: it fails after the bytes that arrived, for
// the reason given and in time; a byte-range request from the first missing
// byte then gets the rest as a 206.
TEST_F(HttpTest, FaultEndsTheRequestWithItsReasonInTimeAndARangeRequestGetsTheRest) {
  constexpr size_t kAnyPrefix = SIZE_MAX;
  struct Case {
    const char* name;
    Fault fault;
    size_t amount;
    uint32_t stallTimeoutMs;
    uint64_t deadlineInMs;  // 0: none
    const char* why;
    size_t bytesBefore;
    uint64_t minMs, maxMs;
  };
  const Case cases[] = {
      {"hung server", Fault::kStallHeaders, 0, 300, 0, "timed out", 0, 300, 1500},
      {"stall after 5000 bytes", Fault::kStall, 5000, 300, 0, "timed out", 5000, 300, 1500},
      // Bytes keep coming, so no stall: the deadline ends it.
      {"3 bytes a second", Fault::kTrickle, 3, 1000, 1500, "timed out", kAnyPrefix, 1500, 2500},
      {"reset after 40000 bytes", Fault::kResetAfter, 40000, 30000, 0, "connection reset", 40000, 0, 1000},
      {"short body", Fault::kShortBody, 40000, 30000, 0, "connection closed early", 40000, 0, 1000},
      {"unasked gzip", Fault::kGzip, 0, 30000, 0, "unasked Content-Encoding \"gzip\"", 0, 0, 1000},
  };
  const std::string track = Pattern(200000);
  server.Serve("/track.mp3", track);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server.Inject("/track.mp3", c.fault, c.amount, 1);
    HttpRequestOptions options;
    options.stallTimeoutMs = c.stallTimeoutMs;
    const uint64_t start = MonotonicMs();
    if (c.deadlineInMs != 0) options.deadlineMs = start + c.deadlineInMs;
    std::string error;
    Body body;
    if (auto response = session.Open(server.Url("/track.mp3"), options, &error)) {
      uint64_t first = 0;
      EXPECT_FALSE(response->ContentRangeFirst(&first)) << "a 200 has no Content-Range";
      body = ReadBody(*response);
      EXPECT_FALSE(body.ok);
      error = response->Error();
    }
    const uint64_t elapsed = MonotonicMs() - start;
    EXPECT_EQ(error, c.why);
    EXPECT_GE(elapsed, c.minMs);
    EXPECT_LE(elapsed, c.maxMs);
    EXPECT_EQ(body.bytes, track.substr(0, body.bytes.size()));
    if (c.bytesBefore != kAnyPrefix) {
      EXPECT_EQ(body.bytes.size(), c.bytesBefore);
    }

    const size_t have = body.bytes.size();
    auto rest = session.Open(server.Url("/track.mp3"), {.headers = {"Range: bytes=" + std::to_string(have) + "-"}});
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest->StatusText(), "206");
    uint64_t first = UINT64_MAX;
    EXPECT_TRUE(rest->ContentRangeFirst(&first));
    EXPECT_EQ(first, have);
    Body restBody = ReadBody(*rest);
    EXPECT_TRUE(restBody.ok);
    EXPECT_EQ(rest->Error(), "");
    EXPECT_TRUE(body.bytes + restBody.bytes == track) << "resumed body differs";
  }
  for (const auto& request : server.Requests()) EXPECT_EQ(request.Header("Accept-Encoding"), "identity");
}

TEST_F(HttpTest, ReadFullCollectsAcrossSlowPieces) {
  server.Serve("/slow.mp3", Pattern(600));
  server.Inject("/slow.mp3", Fault::kTrickle, 2000);
  auto response = session.Open(server.Url("/slow.mp3"));
  ASSERT_TRUE(response);
  std::string bytes(1000, '\0');
  size_t got = 0;
  EXPECT_TRUE(response->ReadFull(bytes.data(), bytes.size(), &got));
  EXPECT_EQ(bytes.substr(0, got), Pattern(600));
}

TEST_F(HttpTest, OpenReturnsOnceHeadersArriveAndDestroyingAbandonsTheStall) {
  server.Serve("/stalled.mp3", Pattern(5000));
  server.Inject("/stalled.mp3", Fault::kStall);
  auto response = session.Open(server.Url("/stalled.mp3"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->StatusText(), "200");
  response.reset();
}

// A request for another track must not wait on a stalled server: a cancel
// from another thread ends a blocked Open or Read within half a second.
TEST(HttpThreadsTest, CancelFromAnotherThreadEndsABlockedOpenOrReadPromptly) {
  TestHttpServer server;
  HttpSession session;
  server.Serve("/track.mp3", Pattern(100000));
  for (Fault fault : {Fault::kStallHeaders, Fault::kStall}) {
    SCOPED_TRACE(static_cast<int>(fault));
    server.ClearRequests();
    server.Inject("/track.mp3", fault, 1000);
    std::atomic<bool> cancel = false;
    std::atomic<uint64_t> cancelledAt = 0;
    std::thread canceller([&] {
      server.WaitForRequestCount(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      cancelledAt = MonotonicMs();
      cancel = true;
    });
    HttpRequestOptions options;
    options.cancel = &cancel;
    std::string error;
    Body body;
    auto response = session.Open(server.Url("/track.mp3"), options, &error);
    if (response) {
      body = ReadBody(*response);
      error = response->Error();
    }
    const uint64_t ended = MonotonicMs();
    canceller.join();
    EXPECT_EQ(response != nullptr, fault == Fault::kStall);
    EXPECT_EQ(body.bytes.size(), fault == Fault::kStall ? 1000u : 0u);
    EXPECT_EQ(error, "cancelled");
    EXPECT_LT(ended - cancelledAt, 500u);
  }
}

TEST(HttpThreadsTest, OneSessionServesSeveralThreadsAtOnce) {
  TestHttpServer server;
  HttpSession session;
  constexpr int kThreads = 4;
  for (int i = 0; i < kThreads; ++i) server.Serve("/t" + std::to_string(i), Pattern(100000 + i));
  std::vector<int> intact(kThreads, 0);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 3; ++round) {
        auto response = session.Open(server.Url("/t" + std::to_string(i)));
        Body body = response ? ReadBody(*response) : Body{};
        intact[i] += body.ok && body.bytes == Pattern(100000 + i);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(intact, std::vector<int>(kThreads, 3));
}

}  // namespace
