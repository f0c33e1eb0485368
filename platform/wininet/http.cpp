// HTTP over WinINet. Redirects are followed here rather than by WinINet, so
// that every hop is checked to be http(s) and counted; nothing is kept in the
// system's cache; the proxy is the system's preconfigured one.
#include "platform/http.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

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
// does not always tell a refused connection from an unreachable host, and
// some versions pass the socket's own error through.
std::string DescribeFailure(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "cannot resolve host";
    case WSAECONNREFUSED: return "connection refused";
    case ERROR_INTERNET_CANNOT_CONNECT: return "cannot connect";
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT: return "timed out";
    case ERROR_INTERNET_CONNECTION_RESET:
    case WSAECONNRESET: return "connection reset";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return "malformed reply";
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR: return "secure connection failed";
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return "server certificate not trusted";
    default: return "connection broken";
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

// The session's WinINet handle. Closing it would close every handle made
// from it, whose numbers WinINet then gives out again: so it stays open
// until the session and every worker still using handles made from it are
// gone.
class InternetRoot {
 public:
  InternetRoot() : handle_(InternetOpenW(L"Tarvoni", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {}
  ~InternetRoot() {
    if (handle_) InternetCloseHandle(handle_);
  }
  InternetRoot(const InternetRoot&) = delete;
  InternetRoot& operator=(const InternetRoot&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// One exchange's WinINet calls, made on a thread of its own. WinINet's
// blocking calls cannot be interrupted everywhere, so the caller waits for
// each call with an eye on its cancel flag, deadline and silence, and stops
// waiting the moment one of them ends the exchange; the call then finishes
// in the background on state the worker owns (its handles and buffer), and
// the worker closes the handles and ends.
class Worker {
 public:
  using Call = std::function<BOOL(Worker&)>;

  // The thread keeps the module that holds this code loaded until it ends:
  // an abandoned call may outlive the unloading of the library (Brelix).
  static std::shared_ptr<Worker> Start(std::shared_ptr<InternetRoot> root) {
    auto start = std::make_unique<ThreadStart>();
    start->worker = std::make_shared<Worker>(std::move(root));
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&Worker::ThreadMain),
                            &start->module)) {
      return nullptr;
    }
    std::shared_ptr<Worker> worker = start->worker;
    const HMODULE module = start->module;
    HANDLE thread = CreateThread(nullptr, 0, &Worker::ThreadMain, start.get(), 0, nullptr);
    if (!thread) {
      FreeLibrary(module);
      return nullptr;
    }
    start.release();
    CloseHandle(thread);
    return worker;
  }
  explicit Worker(std::shared_ptr<InternetRoot> root) : root_(std::move(root)) {}
  ~Worker() { CloseHandles(); }

  // Takes over the handles of the next hop, closing the previous ones.
  // Only while no call runs.
  void Use(HINTERNET connection, HINTERNET request) {
    CloseHandles();
    connection_ = connection;
    request_ = request;
  }

  HINTERNET Request() const { return request_; }
  std::vector<char>& Buffer() { return buffer_; }

  // Runs `call` on the worker and waits for it while `keepWaiting` says so.
  // False when the call failed (`*error` its error) or the wait was given up
  // (`*error` 0): the worker is then abandoned and must not be used again.
  template <typename KeepWaiting>
  bool Run(Call call, KeepWaiting keepWaiting, DWORD* error) {
    std::unique_lock lock(mutex_);
    call_ = std::move(call);
    finished_ = false;
    changed_.notify_all();
    while (!changed_.wait_for(lock, std::chrono::milliseconds(kWatchMs), [this] { return finished_; })) {
      if (!keepWaiting()) {
        *error = 0;
        return false;
      }
    }
    *error = lastError_;
    return succeeded_;
  }

  // Lets the worker end once its current call returns.
  void Stop() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    changed_.notify_all();
  }

 private:
  struct ThreadStart {
    std::shared_ptr<Worker> worker;
    HMODULE module = nullptr;
  };

  static DWORD WINAPI ThreadMain(void* parameter) {
    HMODULE module = nullptr;
    {
      std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
      module = start->module;
      start->worker->Loop();
    }
    FreeLibraryAndExitThread(module, 0);
  }

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || call_; });
      if (!call_) return;
      Call call = std::move(call_);
      call_ = nullptr;
      lock.unlock();
      const BOOL ok = call(*this);
      const DWORD error = ok ? 0 : GetLastError();
      lock.lock();
      succeeded_ = ok;
      lastError_ = error;
      finished_ = true;
      changed_.notify_all();
    }
  }

  void CloseHandles() {
    if (request_) InternetCloseHandle(request_);
    if (connection_) InternetCloseHandle(connection_);
    request_ = connection_ = nullptr;
  }

  const std::shared_ptr<InternetRoot> root_;
  std::mutex mutex_;
  std::condition_variable changed_;
  Call call_;
  bool finished_ = false;
  bool succeeded_ = false;
  DWORD lastError_ = 0;
  bool stopping_ = false;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  std::vector<char> buffer_;
};

// The limits of one exchange, and why it ended.
class Watch {
 public:
  explicit Watch(const HttpRequestOptions& options)
      : cancel_(options.cancel), deadlineMs_(options.deadlineMs), stallTimeoutMs_(options.stallTimeoutMs) {}

  // Runs `call` on `worker`; false when it failed or a limit ended the wait,
  // and Reason() says why.
  bool Run(Worker& worker, Worker::Call call) {
    if (!reason_.empty()) return false;
    const uint64_t start = MonotonicMs();
    DWORD error = 0;
    if (worker.Run(std::move(call), [&] { return KeepWaiting(start); }, &error)) return true;
    if (reason_.empty()) reason_ = DescribeFailure(error);
    return false;
  }

  void Fail(std::string reason) {
    if (reason_.empty()) reason_ = std::move(reason);
  }
  const std::string& Reason() const { return reason_; }
  bool Ended() const { return !reason_.empty(); }

 private:
  bool KeepWaiting(uint64_t start) {
    const uint64_t now = MonotonicMs();
    if (cancel_ && cancel_->load()) {
      reason_ = "cancelled";
    } else if ((deadlineMs_ != 0 && now >= deadlineMs_) || (stallTimeoutMs_ != 0 && now - start >= stallTimeoutMs_)) {
      reason_ = "timed out";
    }
    return reason_.empty();
  }

  const std::atomic<bool>* cancel_;
  const uint64_t deadlineMs_;
  const uint32_t stallTimeoutMs_;
  std::string reason_;
};

// Hands a worker back: abandoned or not, it ends on its own.
struct WorkerRelease {
  void operator()(Worker* worker) const { worker->Stop(); }
};

class WinInetResponse final : public HttpResponse {
 public:
  WinInetResponse(std::shared_ptr<Worker> worker, Watch watch)
      : worker_(std::move(worker)), holder_(worker_.get()), watch_(std::move(watch)) {
    HINTERNET request = worker_->Request();
    QueryHeader(request, HTTP_QUERY_STATUS_CODE, &head_.status);
    std::string value;
    if (QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH, &value)) head_.contentLength = std::string(Trim(value));
    if (QueryHeader(request, HTTP_QUERY_CONTENT_RANGE, &value)) head_.contentRange = std::string(Trim(value));
  }

  std::string Error() const override { return watch_.Reason(); }

  // Reads what has arrived (up to `capacity`) instead of waiting for a full
  // buffer, as WinINet's read would.
  bool Read(void* buffer, size_t capacity, size_t* got) override {
    *got = 0;
    if (watch_.Ended()) return false;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(capacity, kMaxRead));
    DWORD read = 0;
    const bool ok = watch_.Run(*worker_, [wanted](Worker& w) {
      DWORD available = 0;
      if (!InternetQueryDataAvailable(w.Request(), &available, 0, 0)) return FALSE;
      w.Buffer().resize(std::min(wanted, available));
      DWORD step = 0;
      if (available > 0 && !InternetReadFile(w.Request(), w.Buffer().data(), static_cast<DWORD>(w.Buffer().size()), &step)) {
        return FALSE;
      }
      w.Buffer().resize(step);
      return TRUE;
    });
    if (!ok) return false;
    read = static_cast<DWORD>(worker_->Buffer().size());
    if (read == 0) {
      // A connection closed before the announced length is a body cut
      // short, not its end.
      if (head_.contentLength && received_ < std::strtoull(head_.contentLength->c_str(), nullptr, 10)) {
        watch_.Fail("connection closed early");
        return false;
      }
      return true;
    }
    std::memcpy(buffer, worker_->Buffer().data(), read);
    *got = read;
    received_ += read;
    return true;
  }

 private:
  static constexpr size_t kMaxRead = 64 * 1024;

  std::shared_ptr<Worker> worker_;
  std::unique_ptr<Worker, WorkerRelease> holder_;
  Watch watch_;
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
  std::shared_ptr<InternetRoot> internet = std::make_shared<InternetRoot>();
};

HttpSession::HttpSession() : state_(std::make_unique<State>()) {}

HttpSession::~HttpSession() = default;

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
  if (!state_->internet->get()) return fail("WinINet is not available");
  std::shared_ptr<Worker> worker = Worker::Start(state_->internet);
  if (!worker) return fail("cannot start a thread");
  std::unique_ptr<Worker, WorkerRelease> holder(worker.get());
  Watch watch(options);

  auto headers = std::make_shared<std::wstring>(L"Accept-Encoding: identity\r\n");
  for (const std::string& line : options.headers) *headers += Widen(NormalizeHeaderLine(line)) + L"\r\n";
  if (options.noCache) *headers += L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";
  // Nothing is read from or written to the system's cache; redirects and
  // authentication are ours to handle, never a dialog's.
  const DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                      INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
  DWORD connectTimeout = options.connectTimeoutMs;
  // Silence is judged by the caller's watch; WinINet's own limit, a second
  // later, only ends a call the caller has already given up on.
  DWORD receiveTimeout = options.stallTimeoutMs != 0 ? options.stallTimeoutMs + 1000 : 0xFFFFFFFF;
  for (int hop = 0; hop <= kMaxRedirects; ++hop) {
    HINTERNET connection = InternetConnectW(state_->internet->get(), Widen(parts.host).c_str(), parts.port, nullptr,
                                            nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    const std::string target = parts.query.empty() ? parts.path : parts.path + "?" + parts.query;
    HINTERNET request = connection ? HttpOpenRequestW(connection, L"GET", Widen(target).c_str(),
                                                      options.http10 ? L"HTTP/1.0" : nullptr, nullptr, nullptr,
                                                      flags | (parts.scheme == "https" ? INTERNET_FLAG_SECURE : 0), 0)
                                   : nullptr;
    worker->Use(connection, request);
    if (!request) return fail(DescribeFailure(GetLastError()));
    InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &connectTimeout, sizeof connectTimeout);
    InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &receiveTimeout, sizeof receiveTimeout);
    if (!watch.Run(*worker, [headers](Worker& w) {
          return HttpSendRequestW(w.Request(), headers->c_str(), static_cast<DWORD>(headers->size()), nullptr, 0);
        })) {
      return fail(watch.Reason());
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
    holder.release();
    return std::make_unique<WinInetResponse>(std::move(worker), std::move(watch));
  }
  return fail("too many redirects");
}

}  // namespace platform
