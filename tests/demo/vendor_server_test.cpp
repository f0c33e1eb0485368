// The demo vendor server: byte ranges as players and Brelix ask for them,
// over HTTP/1.0 and HTTP/1.1, the published catalogue, the page, and stops.
#include "vendor_server.h"

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <strings.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

using demo::ByteRange;
using demo::RangeAnswer;
using demo::ResolveRange;

TEST(VendorRanges, ResolvesSingleRangesAndClampsTheirEnd) {
  struct Case {
    const char* header;
    RangeAnswer answer;
    int64_t first, last;
  };
  const Case cases[] = {
      {"bytes=0-99", RangeAnswer::kPartial, 0, 99},
      {" bytes=10-19 ", RangeAnswer::kPartial, 10, 19},
      {"Bytes=990-5000", RangeAnswer::kPartial, 990, 999},  // end clamped to the last byte
      {"bytes=500-", RangeAnswer::kPartial, 500, 999},
      {"bytes=-128", RangeAnswer::kPartial, 872, 999},  // the last 128 bytes
      {"bytes=-5000", RangeAnswer::kPartial, 0, 999},   // more than there is: all of it
      {"bytes=999-999", RangeAnswer::kPartial, 999, 999},
      {"bytes=1000-1010", RangeAnswer::kUnsatisfiable, 0, 0},  // starts past the end
      {"bytes=-0", RangeAnswer::kUnsatisfiable, 0, 0},
      {"", RangeAnswer::kWhole, 0, 0},
      {"items=0-9", RangeAnswer::kWhole, 0, 0},        // unknown unit: ignored
      {"bytes=0-9,20-29", RangeAnswer::kWhole, 0, 0},  // several ranges: the whole resource
      {"bytes=9-0", RangeAnswer::kWhole, 0, 0},        // invalid: ignored
      {"bytes=x-9", RangeAnswer::kWhole, 0, 0},
      {"bytes=99999999999999999999-", RangeAnswer::kWhole, 0, 0},  // does not fit: ignored
  };
  for (const Case& c : cases) {
    ByteRange range{-1, -1};
    EXPECT_EQ(ResolveRange(c.header, 1000, &range), c.answer) << c.header;
    if (c.answer == RangeAnswer::kPartial) {
      EXPECT_EQ(range.first, c.first) << c.header;
      EXPECT_EQ(range.last, c.last) << c.header;
    }
  }
  ByteRange range;
  EXPECT_EQ(ResolveRange("bytes=0-0", 0, &range), RangeAnswer::kUnsatisfiable);  // an empty file has no bytes
}

struct Reply {
  long status = 0;
  std::string body;
  std::vector<std::string> headers;
  bool completed = false;
  std::atomic<size_t>* progress = nullptr;  // told the body's size as it grows

  std::string Header(const std::string& name) const {
    for (const std::string& line : headers) {
      if (line.size() > name.size() && strncasecmp(line.c_str(), name.c_str(), name.size()) == 0 &&
          line[name.size()] == ':') {
        std::string value = line.substr(name.size() + 1);
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of("\r\n ") + 1);
        return value;
      }
    }
    return {};
  }
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto* reply = static_cast<Reply*>(target);
  reply->body.append(data, size * count);
  if (reply->progress) *reply->progress = reply->body.size();
  return size * count;
}

size_t CollectHeader(char* data, size_t size, size_t count, void* reply) {
  static_cast<Reply*>(reply)->headers.emplace_back(data, size * count);
  return size * count;
}

// One request with the header lines as given (e.g. "Range:bytes=0-9", with
// no space, as Brelix sends it).
Reply Fetch(const std::string& url, const std::vector<std::string>& lines = {}, bool http10 = false, bool head = false,
            std::atomic<size_t>* progress = nullptr) {
  Reply reply;
  reply.progress = progress;
  CURL* curl = curl_easy_init();
  curl_slist* list = nullptr;
  for (const std::string& line : lines) list = curl_slist_append(list, line.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(curl, CURLOPT_NOBODY, head ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, CollectBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, CollectHeader);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
  reply.completed = curl_easy_perform(curl) == CURLE_OK;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return reply;
}

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

class VendorServerTest : public ::testing::Test {
 protected:
  void StartServing(int64_t bytesPerSecond = 0) {
    ASSERT_TRUE(std::filesystem::create_directories(root_.Folder() + "/tracks"));
    ASSERT_TRUE(std::filesystem::create_directories(root_.Folder() + "/update"));
    root_.Write("tracks/song.mp3", track_);
    root_.Write("update/datams.dll", "scrambled catalogue");
    root_.Write("secret.txt", "not served");
    server_ = std::make_unique<demo::VendorServer>(demo::VendorServerOptions{root_.Folder(), true, bytesPerSecond});
    std::string error;
    ASSERT_TRUE(server_->Start(0, &error)) << error;
  }

  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(server_->Port()) + path;
  }

  testsupport::TempDir root_;
  const std::string track_ = Pattern(100000);
  std::unique_ptr<demo::VendorServer> server_;
};

TEST_F(VendorServerTest, RangeWithoutSpaceOverHttp10GivesPartialContentWithItsLength) {
  StartServing();
  Reply reply = Fetch(Url("/tracks/song.mp3"), {"Range:bytes=10-19"}, true);
  ASSERT_TRUE(reply.completed);
  EXPECT_EQ(reply.status, 206);
  EXPECT_EQ(reply.body, track_.substr(10, 10));
  EXPECT_EQ(reply.Header("Content-Length"), "10");
  EXPECT_EQ(reply.Header("Content-Range"), "bytes 10-19/100000");
}

TEST_F(VendorServerTest, RangePastTheEndIsClampedOrRefused) {
  StartServing();
  Reply tail = Fetch(Url("/tracks/song.mp3"), {"Range: bytes=99990-200000"});
  EXPECT_EQ(tail.status, 206);
  EXPECT_EQ(tail.body, track_.substr(99990));
  EXPECT_EQ(tail.Header("Content-Range"), "bytes 99990-99999/100000");
  Reply beyond = Fetch(Url("/tracks/song.mp3"), {"Range: bytes=100000-"});
  EXPECT_EQ(beyond.status, 416);
  EXPECT_EQ(beyond.Header("Content-Range"), "bytes */100000");
  Reply last = Fetch(Url("/tracks/song.mp3"), {"Range:bytes=-128"});
  EXPECT_EQ(last.status, 206);
  EXPECT_EQ(last.body, track_.substr(100000 - 128));
}

TEST_F(VendorServerTest, WholeTrackCarriesContentLengthOnBothVersions) {
  StartServing();
  for (bool http10 : {false, true}) {
    Reply reply = Fetch(Url("/tracks/song.mp3"), {}, http10);
    ASSERT_TRUE(reply.completed);
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.Header("Content-Length"), "100000");
    EXPECT_EQ(reply.Header("Accept-Ranges"), "bytes");
    EXPECT_TRUE(reply.body == track_) << "HTTP/1." << (http10 ? 0 : 1);
  }
  Reply head = Fetch(Url("/tracks/song.mp3"), {}, false, true);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "100000");
  EXPECT_TRUE(head.body.empty());
}

TEST_F(VendorServerTest, ServesOnlyTracksTheCatalogueAndThePage) {
  StartServing();
  Reply update = Fetch(Url("/update/datams.dll"));
  EXPECT_EQ(update.status, 200);
  EXPECT_EQ(update.body, "scrambled catalogue");
  Reply page = Fetch(Url("/"));
  EXPECT_EQ(page.status, 200);
  EXPECT_NE(page.body.find("song.mp3"), std::string::npos);
  EXPECT_EQ(page.Header("Content-Type"), "text/html; charset=utf-8");
  for (const char* path : {"/tracks/missing.mp3", "/secret.txt", "/tracks/..%2Fsecret.txt", "/tracks/%2E%2E/secret.txt",
                           "/tracks/.hidden.mp3"}) {
    Reply reply = Fetch(Url(path));
    EXPECT_EQ(reply.status, 404) << path;
    EXPECT_EQ(reply.body.find("not served"), std::string::npos) << path;
    EXPECT_FALSE(reply.Header("Content-Length").empty()) << path;
  }
}

TEST_F(VendorServerTest, SecondServerOnTheSamePortIsRefused) {
  StartServing();
  demo::VendorServer second(demo::VendorServerOptions{root_.Folder(), true, 0});
  std::string error;
  EXPECT_FALSE(second.Start(server_->Port(), &error));
  EXPECT_NE(error.find("another server"), std::string::npos) << error;
  EXPECT_EQ(Fetch(Url("/tracks/song.mp3"), {"Range:bytes=0-3"}).body, track_.substr(0, 4));
}

TEST_F(VendorServerTest, StopEndsAThrottledTransferInsteadOfWaitingForIt) {
  StartServing(2000);  // the whole track would take 50 s
  std::atomic<size_t> received{0};
  Reply reply;
  std::thread client([&] { reply = Fetch(Url("/tracks/song.mp3"), {}, false, false, &received); });
  while (received == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  server_->Stop();
  client.join();
  EXPECT_FALSE(server_->Serving());
  EXPECT_FALSE(reply.completed);
  EXPECT_LT(reply.body.size(), track_.size());
}

}  // namespace
