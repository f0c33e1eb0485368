// An HTTP server on 127.0.0.1 that serves one track whose download stops
// after its first bytes until the test opens the gate: a network that stalls
// mid-track and comes back. Range requests (Brelix's) are never held.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include <httplib.h>

namespace enginetest {

class GatedTrackServer {
 public:
  GatedTrackServer(std::string body, size_t bytesBeforeGate);
  ~GatedTrackServer();

  std::string Url() const;
  void OpenGate();

 private:
  bool WaitForGate();

  const std::string body_;
  const size_t bytesBeforeGate_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

}  // namespace enginetest
