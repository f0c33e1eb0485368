// An HTTP server on 127.0.0.1 for tests: serves byte resources with single
// byte ranges, answers HTTP/1.0 and HTTP/1.1 requests (one request per
// connection), misbehaves on purpose per path, and records every request.
//
// It writes the wire bytes itself so that every fault is exact: a short body
// really ends early, a reset really is a TCP reset, a stall holds the
// connection open with nothing sent.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

enum class Fault {
  kNone,
  kStatus,          // answers with status `amount` (404, 500, ...) and a short text body
  kChunked,         // no Content-Length: chunked (close-delimited for an HTTP/1.0 request)
  kCloseDelimited,  // no Content-Length: the body ends when the connection closes
  kShortBody,       // announces the full length, sends `amount` body bytes, closes
  kStallHeaders,    // sends nothing until ReleaseStalls() or the server stops
  kStall,           // sends the headers and `amount` body bytes, then nothing until ReleaseStalls() or the server stops
  kTrickle,         // sends the body at `amount` bytes per second
  kResetAfter,      // sends `amount` body bytes, then resets the connection
  kIgnoreRange,     // answers 200 with the whole body whatever Range asks for
  kGzip,            // sends the body gzip-encoded (a range counts encoded bytes) with Content-Encoding: gzip
};

struct RecordedRequest {
  std::string method;
  std::string target;   // the request target as sent
  std::string path;     // the target up to '?', percent-decoded
  std::string query;    // after '?', as sent; empty when none
  std::string version;  // "HTTP/1.0" or "HTTP/1.1"
  std::string range;    // the Range header's value, trimmed; empty when none was sent
  std::vector<std::pair<std::string, std::string>> headers;  // in order, values trimmed
  std::chrono::steady_clock::time_point arrival;              // when its head was complete

  // The value of the first header called `name` (any case); empty when absent.
  std::string Header(const std::string& name) const;
};

class TestHttpServer {
 public:
  // Listens at once on a free port; a failure to listen fails the test.
  TestHttpServer();
  // Stops promptly, also with stalled or trickling connections open.
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `pathAndQuery`.
  std::string Url(const std::string& pathAndQuery) const;

  // Serves `bytes` at `path` (compared after percent-decoding, query ignored).
  // Paths nobody registered answer 404.
  void Serve(const std::string& path, std::string bytes);
  // Answers requests for `path` with `status` and a Location header.
  void Redirect(const std::string& path, const std::string& location, int status = 302);
  // Requests for `path` misbehave as `fault` says (see Fault for `amount`):
  // the next `times` requests, or every one when `times` is 0. kNone ends it.
  void Inject(const std::string& path, Fault fault, size_t amount = 0, size_t times = 0);
  // Lets every request recorded so far go on past its stall.
  void ReleaseStalls();

  std::vector<RecordedRequest> Requests() const;
  size_t RequestCount() const;
  void ClearRequests();
  // Waits until at least `count` requests were recorded; false on time-out.
  bool WaitForRequestCount(size_t count, int timeoutMs = 10000) const;

 private:
  struct Resource {
    std::shared_ptr<const std::string> body;
    int redirectStatus = 0;
    std::string location;
    Fault fault = Fault::kNone;
    size_t amount = 0;
    size_t faultsLeft = 0;  // 0: every request
  };
  struct Connection {
    int fd = -1;
    bool finished = false;
    std::thread thread;
  };

  void AcceptLoop();
  void ServeConnection(Connection* connection);
  // `releasesSoFar`: the ReleaseStalls() count when the request was recorded.
  void Respond(int fd, const RecordedRequest& request, uint64_t releasesSoFar);
  // The resource for `path` with one use of a counted fault taken.
  Resource TakeResource(const std::string& path);
  // Waits for a ReleaseStalls() after the first `releasesSoFar`; false when
  // the server stops first.
  bool WaitForRelease(uint64_t releasesSoFar);
  // Sleeps up to `ms`; false when the server stops first.
  bool Pause(int ms);
  void JoinFinishedConnections();

  int listenFd_ = -1;
  uint16_t port_ = 0;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  uint64_t releases_ = 0;
  std::map<std::string, Resource> resources_;
  std::vector<RecordedRequest> requests_;
  std::list<Connection> connections_;
  std::thread acceptThread_;
};

}  // namespace testsupport
