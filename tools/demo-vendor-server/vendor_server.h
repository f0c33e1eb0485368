// The demo vendor's web server, on 127.0.0.1 only. It serves a folder:
//   /tracks/<name>.mp3    the track files, with single byte ranges
//   /update/datams.dll    the published (scrambled) catalogue
//   /                     a small web page about the collection
// Every answer with a body carries Content-Length; HTTP/1.0 and HTTP/1.1
// requests are both served (an HTTP/1.0 connection closes after its answer).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace demo {

// An inclusive byte range of a resource.
struct ByteRange {
  int64_t first = 0;
  int64_t last = 0;
};

enum class RangeAnswer {
  kWhole,          // no usable Range: 200 with the whole resource
  kPartial,        // 206 with `range`
  kUnsatisfiable,  // 416: the range starts at or past the end
};

// How to answer the Range header `value` (empty when there is none) for a
// resource of `size` bytes. One range "bytes=a-b", "bytes=a-" or "bytes=-n"
// is served (b is clamped to the end); several ranges or an unknown unit are
// answered with the whole resource, as a server may.
RangeAnswer ResolveRange(const std::string& value, int64_t size, ByteRange* range);

struct VendorServerOptions {
  std::string root;            // the folder that is served
  bool quiet = false;          // no request log on stderr
  int64_t bytesPerSecond = 0;  // limit for each response body; 0 = none
};

class VendorServer {
 public:
  explicit VendorServer(VendorServerOptions options);
  ~VendorServer();
  VendorServer(const VendorServer&) = delete;
  VendorServer& operator=(const VendorServer&) = delete;

  // Listens on 127.0.0.1:`port` (0: a free port) and serves on a thread of
  // its own; returns once connections are served. False with the reason.
  bool Start(int port, std::string* error);
  int Port() const { return port_; }
  // True from Start until Stop, unless serving failed.
  bool Serving() const;
  // Ends serving promptly, also during throttled or kept-alive connections,
  // and waits for it. Also done on destruction.
  void Stop();

 private:
  void Route();

  VendorServerOptions options_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  int port_ = 0;
};

}  // namespace demo
