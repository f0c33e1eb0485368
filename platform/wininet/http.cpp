// HTTP over WinINet. Redirects are followed here rather than by WinINet, so
// that every hop is checked to be http(s) and counted; nothing is kept in the
// system's cache; the proxy is the system's preconfigured one.
#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <optional>

#include "platform/sync.h"
#include "std/http_text.h"
#include "win32/wide.h"

namespace platform {
namespace {

constexpr int kMaxRedirects = 10;
// How often a waiting call's cancel flag, deadline and silence are checked.
constexpr DWORD kWatchMs = 50;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// What a WinINet failure means, in the words the seam promises. WinINet
// does not tell a refused connection from an unreachable host.
std::string DescribeFailure(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "cannot resolve host";
    case ERROR_INTERNET_CANNOT_CONNECT: return "cannot connect";
    case ERROR_INTERNET_TIMEOUT: return "timed out";
    case ERROR_INTERNET_CONNECTION_RESET: return "connection reset";
    case ERROR_INTERNET_CONNECTION_ABORTED: return "connection broken";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return "malformed reply";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: return "secure connection failed";
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return "server certificate not trusted";
    default: return "connection broken (WinINet error " + std::to_string(code) + ")";
  }
}

// One header of the response as text; false when it has none.
bool QueryHeader(HINTERNET request, DWORD which, std::string* text) {
  std::wstring value(256, L'\0');
  for (;;) {
    DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    DWORD index = 0;
    if (HttpQueryInfoW(request, which, value.data(), &bytes, &index)) {
      value.resize(bytes / sizeof(wchar_t));
      *text = Narrow(value);
      return true;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    value.resize(bytes / sizeof(wchar_t) + 1);
  }
}

// `location` (absolute or relative) resolved against `base`; empty when it
// cannot be.
std::string Resolve(const std::string& base, const std::string& location) {
  std::wstring combined(4096, L'\0');
  DWORD length = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(Widen(base).c_str(), Widen(location).c_str(), combined.data(), &length, ICU_NO_ENCODE)) {
    return {};
  }
  combined.resize(length);
  return Narrow(combined);
}

// Ends the network waits of one exchange that must not go on: it checks the
// cancel flag, the deadline and the silence every 50 ms from a timer thread
// and closes the exchange's handles, which makes WinINet's blocking call
// return at once. The reason stays for the caller to report.
class Watchdog {
 public:
  explicit Watchdog(const HttpRequestOptions& options)
      : cancel_(options.cancel), deadlineMs_(options.deadlineMs), stallTimeoutMs_(options.stallTimeoutMs) {}
  ~Watchdog() {
    if (timer_) DeleteTimerQueueTimer(nullptr, timer_, INVALID_HANDLE_VALUE);
    Close();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  bool Start() {
    return CreateTimerQueueTimer(&timer_, nullptr, &Watchdog::Tick, this, kWatchMs, kWatchMs,
                                 WT_EXECUTEDEFAULT);
  }

  // Takes over the handles of the next hop, closing the previous ones.
  void Watch(HINTERNET connection, HINTERNET request) {
    std::lock_guard lock(mutex_);
    CloseLocked();
    connection_ = connection;
    request_ = request;
  }

  HINTERNET Request() {
    std::lock_guard lock(mutex_);
    return request_;
  }

  // Runs `call`, which waits on the network, under watch. False when it
  // failed; Reason() then says why.
  template <typename Call>
  bool Wait(Call call) {
    {
      std::lock_guard lock(mutex_);
      if (!reason_.empty()) return false;
      waitStartMs_ = MonotonicMs();
      waiting_ = true;
    }
    CheckNow();
    const bool ok = call(Request());
    const DWORD failure = ok ? 0 : GetLastError();
    std::lock_guard lock(mutex_);
    waiting_ = false;
    if (!ok && reason_.empty()) reason_ = DescribeFailure(failure);
    return ok && reason_.empty();
  }

  void Fail(std::string reason) {
    std::lock_guard lock(mutex_);
    if (reason_.empty()) reason_ = std::move(reason);
  }

  std::string Reason() {
    std::lock_guard lock(mutex_);
    return reason_;
  }

 private:
  static void CALLBACK Tick(void* self, BOOLEAN) { static_cast<Watchdog*>(self)->CheckNow(); }

  void CheckNow() {
    std::lock_guard lock(mutex_);
    if (!waiting_ || !reason_.empty()) return;
    const uint64_t now = MonotonicMs();
    if (cancel_ && cancel_->load()) {
      reason_ = "cancelled";
    } else if ((deadlineMs_ != 0 && now >= deadlineMs_) ||
               (stallTimeoutMs_ != 0 && now - waitStartMs_ >= stallTimeoutMs_)) {
      reason_ = "timed out";
    } else {
      return;
    }
    CloseLocked();
  }

  void Close() {
    std::lock_guard lock(mutex_);
    CloseLocked();
  }

  void CloseLocked() {
    if (request_) InternetCloseHandle(request_);
    if (connection_) InternetCloseHandle(connection_);
    request_ = nullptr;
    connection_ = nullptr;
  }

  const std::atomic<bool>* cancel_;
  const uint64_t deadlineMs_;
  const uint32_t stallTimeoutMs_;
  HANDLE timer_ = nullptr;
  std::mutex mutex_;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  bool waiting_ = false;
  uint64_t waitStartMs_ = 0;
  std::string reason_;
};

class WinInetResponse final : public HttpResponse {
 public:
  explicit WinInetResponse(std::unique_ptr<Watchdog> watchdog) : watchdog_(std::move(watchdog)) {
    HINTERNET request = watchdog_->Request();
    QueryHeader(request, HTTP_QUERY_STATUS_CODE, &status_);
    std::string value;
    if (QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, &value)) contentLength_ = std::string(Trim(value));
    if (QueryHeader(request, HTTP_QUERY_CONTENT_RANGE, &value)) contentRange_ = std::string(Trim(value));
  }

  std::string StatusText() const override { return status_; }

  bool ContentLengthText(std::string* text) const override {
    if (!contentLength_) return false;
    *text = *contentLength_;
    return true;
  }

  bool ContentRangeFirst(uint64_t* first) const override {
    return contentRange_ && ParseContentRangeFirst(*contentRange_, first);
  }

  std::string Error() const override { return watchdog_->Reason(); }

  // Asks how much is there first, so that a read returns what has arrived
  // instead of waiting for a full buffer.
  bool Read(void* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    DWORD available = 0;
    if (!watchdog_->Wait([&](HINTERNET r) { return InternetQueryDataAvailable(r, &available, 0, 0); })) {
      return false;
    }
    if (available == 0) {
      // A connection closed before the announced length is a body cut
      // short, not its end.
      if (contentLength_ && received_ < std::strtoull(contentLength_->c_str(), nullptr, 10)) {
        watchdog_->Fail("connection closed early");
        return false;
      }
      return true;
    }
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(capacity, available));
    if (!watchdog_->Wait([&](HINTERNET r) { return InternetReadFile(r, buffer, wanted, &read); })) return false;
    *got = read;
    received_ += read;
    return true;
  }

 private:
  std::unique_ptr<Watchdog> watchdog_;
  std::string status_;
  std::optional<std::string> contentLength_;
  std::optional<std::string> contentRange_;
  uint64_t received_ = 0;
};

}  // namespace

bool SplitUrl(const std::string& url, UrlParts* parts) {
  const std::string escaped = EscapeUnsafeBytes(url);
  const size_t schemeEnd = escaped.find("://");
  if (schemeEnd == std::string::npos) return false;
  UrlParts split;
  for (char c : escaped.substr(0, schemeEnd)) split.scheme += LowerAscii(c);
  if (split.scheme != "http" && split.scheme != "https") return false;
  const size_t authorityStart = schemeEnd + 3;
  const size_t authorityEnd = std::min(escaped.find_first_of("/?#", authorityStart), escaped.size());
  std::string authority = escaped.substr(authorityStart, authorityEnd - authorityStart);
  authority.erase(0, authority.rfind('@') + 1);  // user information is not part of the host
  const size_t hostEnd = authority[0] == '[' ? authority.find(']') + 1 : authority.find(':');
  split.host = authority.substr(0, hostEnd);
  split.port = split.scheme == "https" ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  if (hostEnd != std::string::npos && hostEnd < authority.size()) {
    if (authority[hostEnd] != ':') return false;
    const std::string port = authority.substr(hostEnd + 1);
    if (!port.empty()) {
      if (port.find_first_not_of("0123456789") != std::string::npos || port.size() > 5) return false;
      const unsigned long number = std::strtoul(port.c_str(), nullptr, 10);
      if (number == 0 || number > 65535) return false;
      split.port = static_cast<uint16_t>(number);
    }
  }
  if (split.host.empty() || split.host == "[]") return false;
  const std::string rest = escaped.substr(authorityEnd);
  const size_t queryStart = rest.find('?');
  const size_t fragmentStart = std::min(rest.find('#'), rest.size());
  split.path = rest.substr(0, std::min(queryStart, fragmentStart));
  if (split.path.empty()) split.path = "/";
  if (queryStart < fragmentStart) split.query = rest.substr(queryStart + 1, fragmentStart - queryStart - 1);
  *parts = std::move(split);
  return true;
}

struct HttpSession::State {
  HINTERNET internet = nullptr;
};

HttpSession::HttpSession() : state_(std::make_unique<State>()) {
  state_->internet = InternetOpenW(L"Tarvoni", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
}

HttpSession::~HttpSession() {
  if (state_->internet) InternetCloseHandle(state_->internet);
}

std::unique_ptr<HttpResponse> HttpSession::Open(const std::string& url, const HttpRequestOptions& options,
                                                std::string* error) {
  auto fail = [error](std::string why) -> std::unique_ptr<HttpResponse> {
    if (error) *error = std::move(why);
    return nullptr;
  };
  UrlParts parts;
  std::string current = EscapeUnsafeBytes(url);
  if (!SplitUrl(current, &parts)) return fail("not an http(s) address");
  if (options.deadlineMs != 0 && MonotonicMs() >= options.deadlineMs) return fail("timed out");
  if (!state_->internet) return fail("WinINet is not available");
  auto watchdog = std::make_unique<Watchdog>(options);
  if (!watchdog->Start()) return fail("cannot watch the request");

  std::wstring headers = L"Accept-Encoding: identity\r\n";
  for (const std::string& line : options.headers) headers += Widen(NormalizeHeaderLine(line)) + L"\r\n";
  if (options.noCache) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  // Nothing is read from or written to the system's cache; redirects and
  // authentication are ours to handle, never a dialog's.
  const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                      INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
  DWORD connectTimeout = options.connectTimeoutMs;
  // Silence is the watchdog's to judge.
  DWORD receiveTimeout = 0xFFFFFFFF;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    HINTERNET connection = InternetConnectW(state_->internet, Widen(parts.host).c_str(), parts.port, nullptr,
                                            nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    const std::string target = parts.query.empty() ? parts.path : parts.path + "?" + parts.query;
    HINTERNET request = connection ? HttpOpenRequestW(connection, L"GET", Widen(target).c_str(),
                                                      options.http10 ? L"HTTP/1.0" : nullptr, nullptr, nullptr,
                                                      flags | (parts.scheme == "https" ? INTERNET_FLAG_SECURE : 0), 0)
                                   : nullptr;
    watchdog->Watch(connection, request);
    if (!request) return fail(DescribeFailure(GetLastError()));
    InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
    InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    if (!watchdog->Wait([&](HINTERNET r) {
          return HttpSendRequestW(r, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
        })) {
      return fail(watchdog->Reason());
    }
    std::string status;
    std::string location;
    QueryHeader(request, HTTP_QUERY_STATUS_CODE, &status);
    const int code = std::atoi(status.c_str());
    if (code >= 300 && code < 400 && QueryHeader(request, HTTP_QUERY_LOCATION, &location) &&
        !Trim(location).empty()) {
      current = EscapeUnsafeBytes(Resolve(current, std::string(Trim(location))));
      if (!SplitUrl(current, &parts)) return fail("redirect to a non-http address");
      continue;
    }
    std::string encoding;
    if (QueryHeader(request, HTTP_QUERY_CONTENT_ENCODING, &encoding) && !Trim(encoding).empty() &&
        !EqualsIgnoringCase(Trim(encoding), "identity")) {
      return fail("unasked Content-Encoding \"" + std::string(Trim(encoding)) + "\"");
    }
    return std::make_unique<WinInetResponse>(std::move(watchdog));
  }
  return fail("too many redirects");
}

}  // namespace platform
