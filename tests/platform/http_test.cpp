#include "platform/http.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>
#include <vector>

#include "support/http_test_server.h"

namespace {

using platform::HttpSession;
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

TEST_F(HttpTest, UnreachableOrNonHttpAddressGivesNullAlsoBehindARedirect) {
  std::string closed;
  {
    TestHttpServer gone;
    closed = gone.Url("/a.mp3");
  }
  server.Redirect("/update/datams.dll", "file:///etc/passwd");
  for (const std::string& url : {closed, std::string("file:///etc/passwd"), std::string("www.example.com/a.mp3"),
                                 server.Url("/update/datams.dll")}) {
    EXPECT_FALSE(session.Open(url)) << url;
  }
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

TEST_F(HttpTest, BodyCutShortFailsOnlyAfterTheBytesThatArrived) {
  server.Serve("/track.mp3", Pattern(200000));
  for (Fault fault : {Fault::kShortBody, Fault::kResetAfter}) {
    server.Inject("/track.mp3", fault, 40000);
    auto response = session.Open(server.Url("/track.mp3"));
    ASSERT_TRUE(response);
    Body body = ReadBody(*response);
    EXPECT_FALSE(body.ok) << static_cast<int>(fault);
    EXPECT_EQ(body.bytes, Pattern(200000).substr(0, 40000)) << static_cast<int>(fault);
  }
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
