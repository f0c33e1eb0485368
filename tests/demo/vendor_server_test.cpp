// The demo vendor server as the player's HTTP client meets it: byte ranges
// over HTTP/1.0 and HTTP/1.1, the published catalogue and the page but no
// other file, and a stop that does not wait for a slow transfer.
#include "vendor_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/http.h"
#include "support/temp_dir.h"

namespace {

struct Reply {
  std::string status;
  std::string length;  // Content-Length
  std::string body;
};

class VendorServerTest : public ::testing::Test {
 protected:
  void Serve(int64_t bytesPerSecond = 0) {
    // Bytes with no short period, so that a wrong offset shows.
    for (size_t i = 0; i < 100000; ++i) track_ += static_cast<char>(i * 7 + i / 251);
    for (const char* folder : {"/tracks", "/update"}) std::filesystem::create_directories(root_.Folder() + folder);
    root_.Write("tracks/song.mp3", track_);
    root_.Write("update/datams.dll", "scrambled catalogue");
    root_.Write("secret.txt", "not served");
    server_ = std::make_unique<demo::VendorServer>(demo::VendorServerOptions{root_.Folder(), true, bytesPerSecond});
    std::string error;
    ASSERT_TRUE(server_->Start(0, &error)) << error;
  }
  std::unique_ptr<platform::HttpResponse> Open(const std::string& path, const platform::HttpRequestOptions& options) {
    return http_.Open("http://127.0.0.1:" + std::to_string(server_->Port()) + path, options);
  }
  Reply Get(const std::string& path, const platform::HttpRequestOptions& options = {}) {
    Reply reply;
    auto response = Open(path, options);
    if (response == nullptr) return reply;
    reply.status = response->StatusText();
    response->ContentLengthText(&reply.length);
    char buffer[8192];
    size_t got = 0;
    while (response->Read(buffer, sizeof buffer, &got) && got > 0) reply.body.append(buffer, got);
    return reply;
  }

  testsupport::TempDir root_;
  std::string track_;
  platform::HttpSession http_;
  std::unique_ptr<demo::VendorServer> server_;
};

// Brelix and the engine send "Range:bytes=a-b" without a space, Brelix over
// HTTP/1.0. Only tracks, the catalogue and the page are served.
TEST_F(VendorServerTest, ServesRangesClampedOrRefusedOnBothVersionsAndNoOtherFile) {
  Serve();
  const std::vector<std::tuple<std::string, std::string, std::string, std::string>> cases = {
      {"/tracks/song.mp3", "", "200", track_},
      {"/tracks/song.mp3", "Range:bytes=10-19", "206", track_.substr(10, 10)},
      {"/tracks/song.mp3", "Range:bytes=99990-200000", "206", track_.substr(99990)},  // end clamped to the last byte
      {"/tracks/song.mp3", "Range:bytes=-128", "206", track_.substr(100000 - 128)},   // the last 128 bytes
      {"/tracks/song.mp3", "Range:bytes=100000-", "416", ""},
      {"/tracks/song.mp3", "Range:bytes=-0", "416", ""},
      {"/tracks/song.mp3", "Range:bytes=99999999999999999999-", "416", ""},
      {"/tracks/song.mp3", "Range:bytes=0-9,20-29", "200", track_},  // several ranges: the whole track
      {"/update/datams.dll", "", "200", "scrambled catalogue"},
      {"/tracks/missing.mp3", "", "404", ""},
      {"/secret.txt", "", "404", ""},
      {"/tracks/..%2Fsecret.txt", "", "404", ""},
      {"/tracks/%2E%2E/secret.txt", "", "404", ""},
  };
  for (bool http10 : {true, false}) {
    for (const auto& [path, range, status, body] : cases) {
      SCOPED_TRACE(path + " " + range + (http10 ? " HTTP/1.0" : " HTTP/1.1"));
      const Reply reply =
          Get(path, {.headers = range.empty() ? std::vector<std::string>() : std::vector{range}, .http10 = http10});
      EXPECT_EQ(reply.status, status);
      if (body.empty()) continue;
      EXPECT_EQ(reply.length, std::to_string(body.size()));
      EXPECT_TRUE(reply.body == body) << reply.body.size() << " bytes";
    }
  }
  const Reply page = Get("/");
  EXPECT_EQ(page.status, "200");
  EXPECT_NE(page.body.find("song.mp3"), std::string::npos);
}

// scripts/run stops the server when the player exits, maybe in the middle of a track.
TEST_F(VendorServerTest, StopEndsAThrottledTransferInsteadOfWaitingForIt) {
  Serve(2000);  // the whole track would take 50 s
  auto response = Open("/tracks/song.mp3", {});
  ASSERT_NE(response, nullptr);  // the headers came: the body is on its way
  server_->Stop();
  std::string body(track_.size(), '\0');
  size_t got = 0;
  EXPECT_FALSE(response->ReadFull(body.data(), body.size(), &got) && got == track_.size());
}

}  // namespace
