// HTTP and HTTPS over libcurl, shaped for a caller that pulls the body.
//
// Only http:// and https:// addresses are fetched, also across redirects;
// proxy settings come from the environment (http_proxy, https_proxy,
// no_proxy), as the system's preconfigured proxy. Spaces, control characters
// and non-ASCII bytes in an address are sent percent-encoded.
//
// No server can hold a caller forever: connecting gives up after 15 s, and a
// transfer that moves less than 1 byte/s for 30 s fails.
//
// A session may be used from several threads at once; each response belongs
// to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
};

// One response whose status line and headers have arrived; the body is
// pulled with Read. Destroying it abandons the transfer.
class HttpResponse {
 public:
  virtual ~HttpResponse() = default;
  // The status code as text, e.g. "200".
  virtual std::string StatusText() const = 0;
  // The Content-Length header's text; false when the response has none.
  // After redirects, both describe the final response.
  virtual bool ContentLengthText(std::string* text) const = 0;
  // Waits for body bytes and copies up to `capacity` of them. `*got` = 0 with
  // a true result means the body is complete. False on a transfer error.
  virtual bool Read(void* buffer, size_t capacity, size_t* got) = 0;
  // Reads until `count` bytes arrived or the body ended. `*got` is the count.
  bool ReadFull(void* buffer, size_t count, size_t* got);
};

class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  // Sends a GET and waits for the status line and headers. Redirects are
  // followed (at most 10), only to http(s). Null when the address is not
  // http(s), the server cannot be reached, a redirect leads elsewhere, or the
  // exchange fails before the headers are complete. Any status is a response.
  std::unique_ptr<HttpResponse> Open(const std::string& url, const HttpRequestOptions& options = {});

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
