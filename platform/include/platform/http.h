// HTTP and HTTPS over libcurl, shaped for a caller that pulls the body.
//
// Only http:// and https:// addresses are fetched, also across redirects;
// proxy settings come from the environment (http_proxy, https_proxy,
// no_proxy), as the system's preconfigured proxy. Spaces, control characters
// and non-ASCII bytes in an address are sent percent-encoded.
//
// No server can hold a caller forever: connecting, a silent server, a
// deadline and a cancel flag each end a wait (see HttpRequestOptions).
//
// Every request asks for the plain body (Accept-Encoding: identity); a
// response in any other content encoding is refused, never decoded.
//
// A session may be used from several threads at once; each response belongs
// to one thread at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct UrlParts {
  std::string scheme;  // "http" or "https"
  std::string host;    // as written; an IPv6 address keeps its brackets
  uint16_t port = 0;   // the explicit port, or the scheme's default
  std::string path;    // "/" when the address has none
  std::string query;   // without the '?'; empty when none
};

// Splits an absolute http(s) address. False for anything else.
bool SplitUrl(const std::string& url, UrlParts* parts);

struct HttpRequestOptions {
  // Extra request header lines, each "Name:value" without a line end.
  std::vector<std::string> headers;
  bool http10 = false;
  // Always ask the origin server: no cached copy may answer, and none is kept.
  bool noCache = false;
  // Connecting (name lookup included) gives up after this long.
  uint32_t connectTimeoutMs = 15000;
  // Open or Read fails ("timed out") when no byte (header or body) arrived
  // for this long while it waited; 0 = no limit.
  uint32_t stallTimeoutMs = 30000;
  // A platform::MonotonicMs() instant after which Open and Read no longer
  // wait for the network: they fail ("timed out"). 0 = none. Bounds a whole
  // exchange of several requests.
  uint64_t deadlineMs = 0;
  // Looked at whenever Open or Read waits for the network, at least every
  // 50 ms; once true, the waiting call fails ("cancelled"). Bytes already
  // received are still handed out. Must outlive the response.
  const std::atomic<bool>* cancel = nullptr;
};

// One response whose status line and headers have arrived; the body is
// pulled with Read. Destroying it abandons the transfer.
class HttpResponse {
 public:
  virtual ~HttpResponse() = default;
  // The status code as text, e.g. "200".
  std::string StatusText() const { return head_.status; }
  // The Content-Length header's text; false when the response has none.
  // After redirects, both describe the final response.
  bool ContentLengthText(std::string* text) const;
  // Waits for body bytes and copies up to `capacity` of them. `*got` = 0 with
  // a true result means the body is complete. False on a transfer error.
  virtual bool Read(void* buffer, size_t capacity, size_t* got) = 0;
  // Reads until `count` bytes arrived or the body ended. `*got` is the count.
  bool ReadFull(void* buffer, size_t count, size_t* got);
  // The first byte of a "Content-Range: bytes N-M/T" header (T may be "*");
  // false when the response has none or it is malformed.
  bool ContentRangeFirst(uint64_t* first) const;
  // Why Read failed, in a few words ("connection reset", "timed out",
  // "cancelled", ...); empty while the transfer has not failed.
  virtual std::string Error() const = 0;

 protected:
  // What the backend read of the final response's head.
  struct Head {
    std::string status;
    std::optional<std::string> contentLength;  // the header's value, trimmed
    std::optional<std::string> contentRange;
  };
  Head head_;
};

class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Sends a GET and waits for the status line and headers. Redirects are
  // followed (at most 10), only to http(s). Any status is a response. Null
  // when the address is not http(s), the server cannot be reached, a redirect
  // leads elsewhere, the response is content-encoded, a wait ends (see
  // HttpRequestOptions), or the exchange fails before the headers are
  // complete; `*error` (when given) then says why in a few words, such as
  // "connection refused", "timed out", "cannot resolve host", "not an http(s)
  // address", "redirect to a non-http address", "cancelled", "connection
  // reset" or `unasked Content-Encoding "gzip"`.
  std::unique_ptr<HttpResponse> Open(const std::string& url, const HttpRequestOptions& options = {},
                                     std::string* error = nullptr);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
