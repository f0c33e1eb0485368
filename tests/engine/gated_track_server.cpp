#include "gated_track_server.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace enginetest {

GatedTrackServer::GatedTrackServer(std::string body, size_t bytesBeforeGate)
    : body_(std::move(body)), bytesBeforeGate_(bytesBeforeGate) {
  server_.Get("/track.mp3", [this](const httplib::Request& request, httplib::Response& response) {
    if (request.has_header("Range")) {
      response.set_content(body_, "audio/mpeg");
      return;
    }
    response.set_content_provider(body_.size(), "audio/mpeg",
                                  [this](size_t offset, size_t length, httplib::DataSink& sink) {
                                    if (offset >= bytesBeforeGate_ && !WaitForGate()) return false;
                                    const size_t limit = offset < bytesBeforeGate_ ? bytesBeforeGate_ - offset : length;
                                    return sink.write(body_.data() + offset, std::min({length, limit, size_t{4096}}));
                                  });
  });
  port_ = server_.bind_to_any_port("127.0.0.1");
  EXPECT_GT(port_, 0);
  thread_ = std::thread([this] { server_.listen_after_bind(); });
  while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

GatedTrackServer::~GatedTrackServer() {
  OpenGate();
  server_.stop();
  thread_.join();
}

std::string GatedTrackServer::Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/track.mp3"; }

void GatedTrackServer::OpenGate() {
  {
    std::lock_guard lock(mutex_);
    open_ = true;
  }
  opened_.notify_all();
}

bool GatedTrackServer::WaitForGate() {
  std::unique_lock lock(mutex_);
  opened_.wait(lock, [this] { return open_; });
  return true;
}

}  // namespace enginetest
