// HTTP over WinINet. Redirects are followed here rather than by WinINet, so
// that every hop is checked to be http(s) and counted; nothing is kept in the
// system's cache; the proxy is the system's preconfigured one.
#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <cstdlib>

#include "platform/text.h"
#include "std/http_text.h"
#include "win32/wide.h"

namespace platform {
namespace {

constexpr DWORD kConnectTimeoutMs = 15000;
// A dead server cannot hold a thread forever: 30 s without a byte fails.
constexpr DWORD kReceiveTimeoutMs = 30000;
constexpr int kMaxRedirects = 10;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_) InternetCloseHandle(handle_);
  }
  InternetHandle(InternetHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  InternetHandle& operator=(InternetHandle&& other) noexcept {
    std::swap(handle_, other.handle_);
    return *this;
  }
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

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

// `location` (absolute or relative) resolved against `base`.
std::string Resolve(const std::string& base, const std::string& location) {
  std::wstring combined(2048, L'\0');
  DWORD length = static_cast<DWORD>(combined.size());
  if (!InternetCombineUrlW(Widen(base).c_str(), Widen(location).c_str(), combined.data(), &length,
                           ICU_NO_ENCODE)) {
    return {};
  }
  combined.resize(length);
  return Narrow(combined);
}

class WinInetResponse final : public HttpResponse {
 public:
  WinInetResponse(InternetHandle connection, InternetHandle request)
      : connection_(std::move(connection)), request_(std::move(request)) {
    QueryHeader(request_.get(), HTTP_QUERY_STATUS_CODE, &status_);
    std::string length;
    if (QueryHeader(request_.get(), HTTP_QUERY_CONTENT_LENGTH, &length)) {
      contentLength_ = Trim(length);
      hasContentLength_ = true;
    }
  }

  std::string StatusText() const override { return status_; }

  bool ContentLengthText(std::string* text) const override {
    if (!hasContentLength_) return false;
    *text = contentLength_;
    return true;
  }

  bool Read(void* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    DWORD read = 0;
    if (!InternetReadFile(request_.get(), buffer, static_cast<DWORD>(capacity), &read)) return false;
    *got = read;
    received_ += read;
    // A connection closed before the announced length is a cut-short body,
    // not its end.
    if (read == 0 && hasContentLength_) return received_ >= std::strtoull(contentLength_.c_str(), nullptr, 10);
    return true;
  }

 private:
  InternetHandle connection_;
  InternetHandle request_;
  std::string status_;
  std::string contentLength_;
  bool hasContentLength_ = false;
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
  InternetHandle internet;
};

HttpSession::HttpSession() : state_(std::make_unique<State>()) {
  state_->internet = InternetHandle(InternetOpenW(L"Tarvoni", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!state_->internet) return;
  DWORD connectTimeout = kConnectTimeoutMs;
  DWORD receiveTimeout = kReceiveTimeoutMs;
  InternetSetOptionW(state_->internet.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
  InternetSetOptionW(state_->internet.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
  InternetSetOptionW(state_->internet.get(), INTERNET_OPTION_SEND_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
}

HttpSession::~HttpSession() = default;

std::unique_ptr<HttpResponse> HttpSession::Open(const std::string& url, const HttpRequestOptions& options) {
  if (!state_->internet) return nullptr;
  std::wstring headers;
  for (const std::string& line : options.headers) headers += Widen(NormalizeHeaderLine(line)) + L"\r\n";
  if (options.noCache) headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
  std::string current = EscapeUnsafeBytes(url);
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    UrlParts parts;
    if (!SplitUrl(current, &parts)) return nullptr;
    InternetHandle connection(InternetConnectW(state_->internet.get(), Widen(parts.host).c_str(), parts.port, nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return nullptr;
    const std::string target = parts.query.empty() ? parts.path : parts.path + "?" + parts.query;
    InternetHandle request(HttpOpenRequestW(connection.get(), L"GET", Widen(target).c_str(),
                                            options.http10 ? L"HTTP/1.0" : nullptr, nullptr, nullptr,
                                            flags | (parts.scheme == "https" ? INTERNET_FLAG_SECURE : 0), 0));
    if (!request || !HttpSendRequestW(request.get(), headers.empty() ? nullptr : headers.c_str(),
                                      static_cast<DWORD>(headers.size()), nullptr, 0)) {
      return nullptr;
    }
    std::string status;
    std::string location;
    QueryHeader(request.get(), HTTP_QUERY_STATUS_CODE, &status);
    const int code = std::atoi(status.c_str());
    if (code < 300 || code >= 400 || !QueryHeader(request.get(), HTTP_QUERY_LOCATION, &location) ||
        Trim(location).empty()) {
      return std::make_unique<WinInetResponse>(std::move(connection), std::move(request));
    }
    current = EscapeUnsafeBytes(Resolve(current, std::string(Trim(location))));
  }
  return nullptr;
}

}  // namespace platform
