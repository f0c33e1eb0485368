#include "platform/http.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "support/http_test_server.h"

namespace {

using platform::HttpRequestOptions;
using platform::HttpResponse;
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

// Pulls the whole body in pieces of `piece` bytes, as the download thread does.
Body ReadBody(HttpResponse& response, size_t piece = 1024) {
  Body body;
  std::vector<char> buffer(piece);
  size_t got = 0;
  while ((body.ok = response.Read(buffer.data(), buffer.size(), &got)) && got > 0) body.bytes.append(buffer.data(), got);
  return body;
}

// A port on 127.0.0.1 that nothing listens on.
uint16_t ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class HttpTest : public ::testing::Test {
 protected:
  TestHttpServer server;
  HttpSession session;
};

TEST(SplitUrlTest, GivesEveryPartWithDefaultsFilledIn) {
  platform::UrlParts parts;
  ASSERT_TRUE(platform::SplitUrl("http://127.0.0.1:8391/music/a.mp3?id=7&x=y#part", &parts));
  EXPECT_EQ(parts.scheme, "http");
  EXPECT_EQ(parts.host, "127.0.0.1");
  EXPECT_EQ(parts.port, 8391);
  EXPECT_EQ(parts.path, "/music/a.mp3");
  EXPECT_EQ(parts.query, "id=7&x=y");

  ASSERT_TRUE(platform::SplitUrl("HTTPS://Example.com", &parts));
  EXPECT_EQ(parts.scheme, "https");
  EXPECT_EQ(parts.port, 443);
  EXPECT_EQ(parts.path, "/");
  EXPECT_EQ(parts.query, "");

  ASSERT_TRUE(platform::SplitUrl("http://example.com/a b.mp3", &parts));
  EXPECT_EQ(parts.port, 80);
  EXPECT_EQ(parts.path, "/a%20b.mp3");
}

TEST(SplitUrlTest, RefusesAddressesThatAreNotHttp) {
  platform::UrlParts parts;
  parts.host = "untouched";
  for (const char* url : {"www.example.com/a.mp3", "file:///etc/passwd", "ftp://example.com/a.mp3", "", "http://",
                          "/music/a.mp3"}) {
    EXPECT_FALSE(platform::SplitUrl(url, &parts)) << url;
  }
  EXPECT_EQ(parts.host, "untouched");
}

TEST_F(HttpTest, StatusAndContentLengthDescribeTheResponse) {
  server.Serve("/track.mp3", Pattern(5000));
  auto response = session.Open(server.Url("/track.mp3"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->StatusText(), "200");
  std::string length;
  ASSERT_TRUE(response->ContentLengthText(&length));
  EXPECT_EQ(length, "5000");
  Body body = ReadBody(*response);
  EXPECT_TRUE(body.ok);
  EXPECT_EQ(body.bytes, Pattern(5000));
  size_t got = 7;
  char byte;
  EXPECT_TRUE(response->Read(&byte, 1, &got));
  EXPECT_EQ(got, 0u);
}

TEST_F(HttpTest, BodyWithoutContentLengthHasNoLengthText) {
  server.Serve("/chunked", Pattern(70000));
  server.Inject("/chunked", Fault::kChunked);
  server.Serve("/until-close", Pattern(70000));
  server.Inject("/until-close", Fault::kCloseDelimited);
  for (const char* path : {"/chunked", "/until-close"}) {
    auto response = session.Open(server.Url(path));
    ASSERT_TRUE(response) << path;
    std::string length = "unchanged";
    EXPECT_FALSE(response->ContentLengthText(&length)) << path;
    Body body = ReadBody(*response);
    EXPECT_TRUE(body.ok) << path;
    EXPECT_EQ(body.bytes, Pattern(70000)) << path;
  }
}

TEST_F(HttpTest, RangeHeaderReachesTheServerWithOrWithoutASpace) {
  server.Serve("/track.mp3", Pattern(20000));
  HttpRequestOptions tight;
  tight.headers = {"Range:bytes=0-10239"};
  tight.http10 = true;
  HttpRequestOptions spaced;
  spaced.headers = {"Range: bytes=15000-15009"};

  auto head = session.Open(server.Url("/track.mp3"), tight);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->StatusText(), "206");
  EXPECT_EQ(ReadBody(*head).bytes, Pattern(20000).substr(0, 10240));
  auto middle = session.Open(server.Url("/track.mp3"), spaced);
  ASSERT_TRUE(middle);
  EXPECT_EQ(ReadBody(*middle).bytes, Pattern(20000).substr(15000, 10));

  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].range, "bytes=0-10239");
  EXPECT_EQ(requests[0].version, "HTTP/1.0");
  EXPECT_EQ(requests[1].range, "bytes=15000-15009");
  EXPECT_EQ(requests[1].version, "HTTP/1.1");
}

TEST_F(HttpTest, ServerIgnoringTheRangeIsPassedOnAsItAnswered) {
  server.Serve("/track.mp3", Pattern(3000));
  server.Inject("/track.mp3", Fault::kIgnoreRange);
  HttpRequestOptions range;
  range.headers = {"Range:bytes=1000-1099"};
  auto response = session.Open(server.Url("/track.mp3"), range);
  ASSERT_TRUE(response);
  EXPECT_EQ(response->StatusText(), "200");
  EXPECT_EQ(ReadBody(*response).bytes, Pattern(3000));
}

TEST_F(HttpTest, QueryStringAndPortOfTheAddressAreHonoured) {
  server.Serve("/get", "answer");
  auto response = session.Open(server.Url("/get?id=42&name=x"));
  ASSERT_TRUE(response);
  EXPECT_EQ(ReadBody(*response).bytes, "answer");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/get");
  EXPECT_EQ(requests[0].query, "id=42&name=x");
}

TEST_F(HttpTest, SpacesAndNonAsciiInTheAddressAreSentEncoded) {
  server.Serve("/dj mix/\xE6\x9B\xB2.mp3", "tune");
  auto response = session.Open(server.Url("/dj mix/\xE6\x9B\xB2.mp3"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->StatusText(), "200");
  EXPECT_EQ(ReadBody(*response).bytes, "tune");
  EXPECT_EQ(server.Requests().at(0).target, "/dj%20mix/%E6%9B%B2.mp3");
}

TEST_F(HttpTest, NoCacheAsksTheOriginServer) {
  server.Serve("/update/datams.dll", "catalogue");
  HttpRequestOptions options;
  options.noCache = true;
  ASSERT_TRUE(session.Open(server.Url("/update/datams.dll"), options));
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Header("Cache-Control"), "no-cache");
  EXPECT_EQ(requests[0].Header("Pragma"), "no-cache");
}

TEST_F(HttpTest, ErrorStatusIsAResponseWithItsBody) {
  auto response = session.Open(server.Url("/missing.mp3"));
  ASSERT_TRUE(response);
  EXPECT_EQ(response->StatusText(), "404");
  Body body = ReadBody(*response);
  EXPECT_TRUE(body.ok);
  EXPECT_NE(body.bytes.find("404"), std::string::npos);
}

TEST_F(HttpTest, UnreachableOrNonHttpAddressGivesNull) {
  EXPECT_FALSE(session.Open("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/a.mp3"));
  EXPECT_FALSE(session.Open("file:///etc/passwd"));
  EXPECT_FALSE(session.Open("www.example.com/a.mp3"));
}

TEST_F(HttpTest, RedirectToAnotherHttpPathIsFollowed) {
  server.Serve("/new/track.mp3", Pattern(1234));
  server.Redirect("/old/track.mp3", server.Url("/new/track.mp3"), 301);
  server.Redirect("/relative", "/new/track.mp3", 302);
  for (const char* path : {"/old/track.mp3", "/relative"}) {
    auto response = session.Open(server.Url(path));
    ASSERT_TRUE(response) << path;
    EXPECT_EQ(response->StatusText(), "200") << path;
    std::string length;
    ASSERT_TRUE(response->ContentLengthText(&length)) << path;
    EXPECT_EQ(length, "1234") << path;
    EXPECT_EQ(ReadBody(*response).bytes, Pattern(1234)) << path;
  }
}

TEST_F(HttpTest, RedirectToALocalFileIsNotFollowed) {
  server.Redirect("/update/datams.dll", "file:///etc/passwd");
  EXPECT_FALSE(session.Open(server.Url("/update/datams.dll")));
}

TEST_F(HttpTest, ResetMidBodyFailsOnlyAfterTheBytesThatArrived) {
  server.Serve("/track.mp3", Pattern(200000));
  server.Inject("/track.mp3", Fault::kResetAfter, 40000);
  auto response = session.Open(server.Url("/track.mp3"));
  ASSERT_TRUE(response);
  Body body = ReadBody(*response);
  EXPECT_FALSE(body.ok);
  EXPECT_EQ(body.bytes, Pattern(200000).substr(0, 40000));
}

TEST_F(HttpTest, BodyShorterThanItsContentLengthFailsAfterItsBytes) {
  server.Serve("/track.mp3", Pattern(5000));
  server.Inject("/track.mp3", Fault::kShortBody, 1000);
  auto response = session.Open(server.Url("/track.mp3"));
  ASSERT_TRUE(response);
  std::string length;
  ASSERT_TRUE(response->ContentLengthText(&length));
  EXPECT_EQ(length, "5000");
  Body body = ReadBody(*response);
  EXPECT_FALSE(body.ok);
  EXPECT_EQ(body.bytes, Pattern(5000).substr(0, 1000));
}

TEST_F(HttpTest, LargeBodyPulledInSmallPiecesArrivesIntact) {
  const std::string track = Pattern(6 * 1024 * 1024 + 123);
  server.Serve("/big.mp3", track);
  auto response = session.Open(server.Url("/big.mp3"));
  ASSERT_TRUE(response);
  Body body = ReadBody(*response, 1024);
  EXPECT_TRUE(body.ok);
  EXPECT_TRUE(body.bytes == track) << "got " << body.bytes.size() << " bytes";
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
  EXPECT_EQ(server.RequestCount(), 1u);
}

TEST(HttpServerGoneTest, ConnectionClosedBeforeTheHeadersGivesNull) {
  auto server = std::make_unique<TestHttpServer>();
  server->Serve("/silent.mp3", "never sent");
  server->Inject("/silent.mp3", Fault::kStallHeaders);
  std::string url = server->Url("/silent.mp3");
  std::thread stopper([&] {
    server->WaitForRequestCount(1);
    server.reset();
  });
  HttpSession session;
  EXPECT_FALSE(session.Open(url));
  stopper.join();
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
        if (!response) return;
        Body body = ReadBody(*response);
        intact[i] += body.ok && body.bytes == Pattern(100000 + i);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(intact, std::vector<int>(kThreads, 3));
}

}  // namespace
