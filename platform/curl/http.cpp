#include "platform/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "std/http_text.h"

namespace platform {
namespace {

// A transfer stops taking bytes from the socket while this much is unread.
constexpr size_t kPauseThreshold = 64 * 1024;
constexpr long kConnectTimeoutMs = 15000;
// A dead server cannot hold a thread forever: under 1 byte/s for 30 s aborts.
constexpr long kLowSpeedBytesPerSecond = 1;
constexpr long kLowSpeedSeconds = 30;
constexpr long kMaxRedirects = 10;
constexpr int kPollMs = 1000;
constexpr char kAllowedProtocols[] = "http,https";

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string GetUrlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
  char* text = nullptr;
  if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return {};
  std::string value(text);
  curl_free(text);
  return value;
}

}  // namespace

bool SplitUrl(const std::string& url, UrlParts* parts) {
  InitCurlOnce();
  CURLU* handle = curl_url();
  if (!handle) return false;
  bool ok = curl_url_set(handle, CURLUPART_URL, EscapeUnsafeBytes(url).c_str(), 0) == CURLUE_OK;
  UrlParts split;
  if (ok) {
    split.scheme = GetUrlPart(handle, CURLUPART_SCHEME);
    split.host = GetUrlPart(handle, CURLUPART_HOST);
    std::string port = GetUrlPart(handle, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    split.path = GetUrlPart(handle, CURLUPART_PATH);
    split.query = GetUrlPart(handle, CURLUPART_QUERY);
    ok = (split.scheme == "http" || split.scheme == "https") && !split.host.empty() && !port.empty();
    if (ok) {
      unsigned long number = std::strtoul(port.c_str(), nullptr, 10);
      ok = number > 0 && number <= 65535;
      split.port = static_cast<uint16_t>(number);
    }
    if (split.path.empty()) split.path = "/";
  }
  curl_url_cleanup(handle);
  if (ok) *parts = std::move(split);
  return ok;
}

namespace {

// The DNS cache and TLS sessions that the transfers of one session share,
// whichever threads run them. Transfers keep it alive past the session.
class SharedCache {
 public:
  SharedCache() : share_(curl_share_init()) {
    if (!share_) return;
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &SharedCache::Lock);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &SharedCache::Unlock);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
  }
  ~SharedCache() {
    if (share_) curl_share_cleanup(share_);
  }
  SharedCache(const SharedCache&) = delete;
  SharedCache& operator=(const SharedCache&) = delete;

  // Null when curl could not make one; transfers then keep their own caches.
  CURLSH* handle() const { return share_; }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<SharedCache*>(self)->MutexFor(data).lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) { static_cast<SharedCache*>(self)->MutexFor(data).unlock(); }
  std::mutex& MutexFor(curl_lock_data data) {
    size_t index = static_cast<size_t>(data);
    return mutexes_[index < mutexes_.size() ? index : 0];
  }

  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
  CURLSH* share_;
};

// One GET driven through its own multi handle, so that the caller's Read
// decides when bytes are taken from the socket.
class CurlResponse final : public HttpResponse {
 public:
  explicit CurlResponse(std::shared_ptr<SharedCache> cache) : cache_(std::move(cache)) {}
  ~CurlResponse() override {
    if (multi_ && easy_) curl_multi_remove_handle(multi_, easy_);
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
    curl_slist_free_all(requestHeaders_);
  }
  CurlResponse(const CurlResponse&) = delete;
  CurlResponse& operator=(const CurlResponse&) = delete;

  // Sends the request and waits until the final response's headers are in.
  bool Start(const std::string& url, const HttpRequestOptions& options) {
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) return false;
    for (const std::string& line : options.headers) Append(NormalizeHeaderLine(line));
    if (options.noCache) {
      Append("Cache-Control: no-cache");
      Append("Pragma: no-cache");
    }
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    curl_easy_setopt(easy_, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (options.http10) curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
    if (requestHeaders_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, requestHeaders_);
    if (cache_->handle()) curl_easy_setopt(easy_, CURLOPT_SHARE, cache_->handle());
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CurlResponse::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CurlResponse::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    while (!headersComplete_ && !finished_) Pump();
    return headersComplete_;
  }

  std::string StatusText() const override { return status_; }

  bool ContentLengthText(std::string* text) const override {
    if (!contentLength_) return false;
    *text = *contentLength_;
    return true;
  }

  bool Read(void* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    while (Unread() == 0 && !finished_) {
      if (paused_) {
        // Unpausing may hand over the held-back bytes at once, or pause again.
        paused_ = false;
        curl_easy_pause(easy_, CURLPAUSE_CONT);
      } else {
        Pump();
      }
    }
    if (Unread() == 0) return result_ == CURLE_OK;
    size_t count = std::min(capacity, Unread());
    std::memcpy(buffer, body_.data() + readPosition_, count);
    readPosition_ += count;
    if (readPosition_ == body_.size()) {
      body_.clear();
      readPosition_ = 0;
    }
    *got = count;
    return true;
  }

 private:
  void Append(const std::string& line) {
    if (curl_slist* grown = curl_slist_append(requestHeaders_, line.c_str())) requestHeaders_ = grown;
  }

  size_t Unread() const { return body_.size() - readPosition_; }

  // Waits up to a poll interval for the socket or curl's own timers, then
  // lets curl move the transfer on.
  void Pump() {
    int running = 0;
    if (curl_multi_poll(multi_, nullptr, 0, kPollMs, nullptr) != CURLM_OK ||
        curl_multi_perform(multi_, &running) != CURLM_OK) {
      Finish(CURLE_RECV_ERROR);
      return;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
      if (message->msg == CURLMSG_DONE) Finish(message->data.result);
    }
  }

  void Finish(CURLcode result) {
    if (finished_) return;
    finished_ = true;
    result_ = result;
  }

  // Headers come line by line, for every response on the way: interim 1xx
  // answers and followed redirects each start over with a new status line.
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    static_cast<CurlResponse*>(self)->TakeHeaderLine(std::string_view(data, size * count));
    return size * count;
  }

  void TakeHeaderLine(std::string_view line) {
    if (headersComplete_) return;  // trailers of a chunked body
    if (line.substr(0, 5) == "HTTP/") {
      size_t space = line.find(' ');
      std::string_view rest = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
      status_ = std::string(rest.substr(0, rest.find_first_not_of("0123456789")));
      contentLength_.reset();
      hasLocation_ = false;
      return;
    }
    std::string_view content = Trim(line);
    if (content.empty()) {
      int code = std::atoi(status_.c_str());
      bool interim = code >= 100 && code < 200;
      bool redirected = code >= 300 && code < 400 && hasLocation_;
      if (!interim && !redirected) headersComplete_ = true;
      return;
    }
    size_t colon = content.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view name = Trim(content.substr(0, colon));
    std::string_view value = Trim(content.substr(colon + 1));
    if (EqualsIgnoringCase(name, "Content-Length")) contentLength_ = std::string(value);
    if (EqualsIgnoringCase(name, "Location")) hasLocation_ = !value.empty();
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<CurlResponse*>(self)->TakeBody(data, size * count);
  }

  size_t TakeBody(const char* data, size_t count) {
    if (Unread() > kPauseThreshold) {
      paused_ = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (readPosition_ > 0) {
      body_.erase(0, readPosition_);
      readPosition_ = 0;
    }
    headersComplete_ = true;
    body_.append(data, count);
    return count;
  }

  std::shared_ptr<SharedCache> cache_;
  CURL* easy_ = nullptr;
  CURLM* multi_ = nullptr;
  curl_slist* requestHeaders_ = nullptr;
  // The response being received.
  std::string status_;
  std::optional<std::string> contentLength_;
  bool hasLocation_ = false;
  bool headersComplete_ = false;
  // Body bytes taken from curl and not yet read.
  std::string body_;
  size_t readPosition_ = 0;
  bool paused_ = false;
  bool finished_ = false;
  CURLcode result_ = CURLE_OK;
};

}  // namespace

struct HttpSession::State {
  std::shared_ptr<SharedCache> cache;
};

HttpSession::HttpSession() {
  InitCurlOnce();
  state_ = std::make_unique<State>();
  state_->cache = std::make_shared<SharedCache>();
}

HttpSession::~HttpSession() = default;

std::unique_ptr<HttpResponse> HttpSession::Open(const std::string& url, const HttpRequestOptions& options) {
  UrlParts parts;
  if (!SplitUrl(url, &parts)) return nullptr;
  auto response = std::make_unique<CurlResponse>(state_->cache);
  if (!response->Start(EscapeUnsafeBytes(url), options)) return nullptr;
  return response;
}

}  // namespace platform
