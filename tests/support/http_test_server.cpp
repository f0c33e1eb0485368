#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

namespace testsupport {
namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kSendPiece = 64 * 1024;
constexpr int kTrickleIntervalMs = 100;
// How long a closing connection waits for the client to read what was sent.
constexpr int kDrainMs = 5000;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return Lower(x) == Lower(y);
         });
}

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 && HexDigit(text[i + 2]) >= 0) {
      decoded += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

bool SendAll(int fd, const char* data, size_t count) {
  while (count > 0) {
    ssize_t sent = send(fd, data, count, MSG_NOSIGNAL);
    if (sent < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

bool SendAll(int fd, const std::string& text) { return SendAll(fd, text.data(), text.size()); }

// Reads up to the blank line that ends the request head. False when the
// client closed or sent something that is no request head.
bool ReadRequestHead(int fd, std::string* head) {
  char buffer[4096];
  while (head->find("\r\n\r\n") == std::string::npos) {
    if (head->size() > kMaxRequestHead) return false;
    ssize_t got = recv(fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    head->append(buffer, static_cast<size_t>(got));
  }
  return true;
}

bool ParseRequest(const std::string& head, RecordedRequest* request) {
  size_t lineEnd = head.find("\r\n");
  std::string line = head.substr(0, lineEnd);
  size_t first = line.find(' ');
  size_t second = first == std::string::npos ? std::string::npos : line.find(' ', first + 1);
  if (second == std::string::npos) return false;
  request->method = line.substr(0, first);
  request->target = line.substr(first + 1, second - first - 1);
  request->version = line.substr(second + 1);
  size_t question = request->target.find('?');
  request->path = PercentDecode(request->target.substr(0, question));
  if (question != std::string::npos) request->query = request->target.substr(question + 1);
  size_t position = lineEnd + 2;
  while (position < head.size()) {
    size_t end = head.find("\r\n", position);
    if (end == std::string::npos || end == position) break;
    std::string header = head.substr(position, end - position);
    size_t colon = header.find(':');
    if (colon != std::string::npos) {
      request->headers.emplace_back(Trim(header.substr(0, colon)), Trim(header.substr(colon + 1)));
    }
    position = end + 2;
  }
  request->range = request->Header("Range");
  return true;
}

std::optional<uint64_t> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) {
    return std::nullopt;
  }
  return std::stoull(text);
}

struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;
};

enum class RangeAnswer { kWhole, kPartial, kUnsatisfiable };

// Reads one "bytes=first-last", "bytes=first-" or "bytes=-suffix" range. A
// header that is absent, malformed or asks for several ranges is ignored,
// as servers may: the whole body is sent.
RangeAnswer SelectRange(const std::string& header, uint64_t size, ByteRange* range) {
  if (header.size() < 6 || !EqualsIgnoringCase(header.substr(0, 6), "bytes=")) return RangeAnswer::kWhole;
  std::string spec = Trim(header.substr(6));
  size_t dash = spec.find('-');
  if (dash == std::string::npos || spec.find(',') != std::string::npos) return RangeAnswer::kWhole;
  std::string firstText = Trim(spec.substr(0, dash));
  std::string lastText = Trim(spec.substr(dash + 1));
  if (firstText.empty()) {
    std::optional<uint64_t> suffix = ParseNumber(lastText);
    if (!suffix) return RangeAnswer::kWhole;
    if (*suffix == 0 || size == 0) return RangeAnswer::kUnsatisfiable;
    range->first = size > *suffix ? size - *suffix : 0;
    range->last = size - 1;
    return RangeAnswer::kPartial;
  }
  std::optional<uint64_t> first = ParseNumber(firstText);
  std::optional<uint64_t> last = lastText.empty() ? std::optional<uint64_t>(UINT64_MAX) : ParseNumber(lastText);
  if (!first || !last || *last < *first) return RangeAnswer::kWhole;
  if (*first >= size) return RangeAnswer::kUnsatisfiable;
  range->first = *first;
  range->last = std::min(*last, size - 1);
  return RangeAnswer::kPartial;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
  }
}

std::string StatusLine(int status) {
  return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n";
}

bool SendChunk(int fd, const char* data, size_t count) {
  char size[32];
  std::snprintf(size, sizeof size, "%zx\r\n", count);
  return SendAll(fd, size, std::strlen(size)) && SendAll(fd, data, count) && SendAll(fd, "\r\n", 2);
}

int SendQueued(int fd) {
  int queued = 0;
  return ioctl(fd, SIOCOUTQ, &queued) == 0 ? queued : 0;
}

// Ends our side and gives the client a moment to close its own, so that the
// close never turns into a reset that would discard bytes in flight.
void CloseGracefully(int fd) {
  shutdown(fd, SHUT_WR);
  pollfd waiting{fd, POLLIN, 0};
  char sink[1024];
  while (poll(&waiting, 1, kDrainMs) > 0 && recv(fd, sink, sizeof sink, 0) > 0) {
  }
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (EqualsIgnoringCase(key, name)) return value;
  }
  return {};
}

TestHttpServer::TestHttpServer() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int yes = 1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
      bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listenFd_, 64) != 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      pipe2(wakeFds_, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "the test HTTP server cannot listen on 127.0.0.1";
    return;
  }
  port_ = ntohs(address.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TestHttpServer::~TestHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    for (Connection& connection : connections_) {
      if (connection.fd >= 0) shutdown(connection.fd, SHUT_RDWR);
    }
  }
  changed_.notify_all();
  if (acceptThread_.joinable()) {
    char wake = 1;
    while (write(wakeFds_[1], &wake, 1) < 0 && errno == EINTR) {
    }
    acceptThread_.join();
  }
  for (Connection& connection : connections_) {
    if (connection.thread.joinable()) connection.thread.join();
  }
  for (int fd : {listenFd_, wakeFds_[0], wakeFds_[1]}) {
    if (fd >= 0) close(fd);
  }
}

std::string TestHttpServer::Url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
}

void TestHttpServer::Serve(const std::string& path, std::string bytes) {
  std::lock_guard lock(mutex_);
  Resource& resource = resources_[path];
  resource.body = std::make_shared<const std::string>(std::move(bytes));
  resource.redirectStatus = 0;
}

void TestHttpServer::Redirect(const std::string& path, const std::string& location, int status) {
  std::lock_guard lock(mutex_);
  Resource& resource = resources_[path];
  resource.redirectStatus = status;
  resource.location = location;
}

void TestHttpServer::Inject(const std::string& path, Fault fault, size_t amount, size_t times) {
  std::lock_guard lock(mutex_);
  Resource& resource = resources_[path];
  resource.fault = fault;
  resource.amount = amount;
  resource.faultsLeft = times;
}

void TestHttpServer::ReleaseStalls() {
  {
    std::lock_guard lock(mutex_);
    ++releases_;
  }
  changed_.notify_all();
}

std::vector<RecordedRequest> TestHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t TestHttpServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

void TestHttpServer::ClearRequests() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

bool TestHttpServer::WaitForRequestCount(size_t count, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

void TestHttpServer::AcceptLoop() {
  pollfd waiting[2] = {{listenFd_, POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
  for (;;) {
    if (poll(waiting, 2, -1) < 0 && errno != EINTR) return;
    if (waiting[1].revents) return;
    if (!(waiting[0].revents & POLLIN)) continue;
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    JoinFinishedConnections();
    std::lock_guard lock(mutex_);
    if (stopping_) {
      close(fd);
      return;
    }
    Connection& connection = connections_.emplace_back();
    connection.fd = fd;
    connection.thread = std::thread([this, &connection] { ServeConnection(&connection); });
  }
}

void TestHttpServer::JoinFinishedConnections() {
  std::list<Connection> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      auto next = std::next(it);
      if (it->finished) finished.splice(finished.end(), connections_, it);
      it = next;
    }
  }
  for (Connection& connection : finished) connection.thread.join();
}

void TestHttpServer::ServeConnection(Connection* connection) {
  int fd = connection->fd;
  std::string head;
  RecordedRequest request;
  if (ReadRequestHead(fd, &head) && ParseRequest(head, &request)) {
    uint64_t releasesSoFar = 0;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      releasesSoFar = releases_;
    }
    changed_.notify_all();
    Respond(fd, request, releasesSoFar);
  }
  std::lock_guard lock(mutex_);
  close(fd);
  connection->fd = -1;
  connection->finished = true;
}

TestHttpServer::Resource TestHttpServer::TakeResource(const std::string& path) {
  std::lock_guard lock(mutex_);
  auto found = resources_.find(path);
  if (found == resources_.end()) return {};
  Resource taken = found->second;
  Resource& stored = found->second;
  if (stored.fault != Fault::kNone && stored.faultsLeft > 0 && --stored.faultsLeft == 0) stored.fault = Fault::kNone;
  return taken;
}

bool TestHttpServer::WaitForRelease(uint64_t releasesSoFar) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return stopping_ || releases_ != releasesSoFar; });
  return !stopping_;
}

bool TestHttpServer::Pause(int ms) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return stopping_; });
}

void TestHttpServer::Respond(int fd, const RecordedRequest& request, uint64_t releasesSoFar) {
  Resource resource = TakeResource(request.path);
  if (resource.fault == Fault::kStallHeaders && !WaitForRelease(releasesSoFar)) return;

  std::string headers = "Connection: close\r\n";
  if (resource.fault == Fault::kStatus || (!resource.body && resource.redirectStatus == 0)) {
    int status = resource.fault == Fault::kStatus ? static_cast<int>(resource.amount) : 404;
    std::string text = std::to_string(status) + " " + ReasonPhrase(status) + "\n";
    SendAll(fd, StatusLine(status) + headers + "Content-Type: text/plain\r\nContent-Length: " +
                    std::to_string(text.size()) + "\r\n\r\n" + (request.method == "HEAD" ? "" : text));
    CloseGracefully(fd);
    return;
  }
  if (resource.redirectStatus != 0) {
    SendAll(fd, StatusLine(resource.redirectStatus) + headers + "Location: " + resource.location +
                    "\r\nContent-Length: 0\r\n\r\n");
    CloseGracefully(fd);
    return;
  }

  const std::string& body = *resource.body;
  ByteRange range;
  RangeAnswer answer = resource.fault == Fault::kIgnoreRange || request.range.empty()
                           ? RangeAnswer::kWhole
                           : SelectRange(request.range, body.size(), &range);
  if (answer == RangeAnswer::kUnsatisfiable) {
    SendAll(fd, StatusLine(416) + headers + "Content-Range: bytes */" + std::to_string(body.size()) +
                    "\r\nContent-Length: 0\r\n\r\n");
    CloseGracefully(fd);
    return;
  }
  size_t offset = answer == RangeAnswer::kPartial ? range.first : 0;
  size_t length = answer == RangeAnswer::kPartial ? range.last - range.first + 1 : body.size();
  bool http11 = request.version == "HTTP/1.1";
  bool chunked = resource.fault == Fault::kChunked && http11;
  bool announceLength = resource.fault != Fault::kChunked && resource.fault != Fault::kCloseDelimited;

  headers += "Content-Type: application/octet-stream\r\n";
  if (resource.fault != Fault::kIgnoreRange) headers += "Accept-Ranges: bytes\r\n";
  if (answer == RangeAnswer::kPartial) {
    headers += "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
               std::to_string(body.size()) + "\r\n";
  }
  if (announceLength) headers += "Content-Length: " + std::to_string(length) + "\r\n";
  if (chunked) headers += "Transfer-Encoding: chunked\r\n";
  if (!SendAll(fd, StatusLine(answer == RangeAnswer::kPartial ? 206 : 200) + headers + "\r\n")) return;
  if (request.method == "HEAD") {
    CloseGracefully(fd);
    return;
  }
  if (resource.fault == Fault::kStall && !WaitForRelease(releasesSoFar)) return;

  size_t toSend = length;
  if (resource.fault == Fault::kShortBody || resource.fault == Fault::kResetAfter) {
    toSend = std::min(length, resource.amount);
  }
  size_t piece = kSendPiece;
  int interval = 0;
  if (resource.fault == Fault::kTrickle) {
    size_t perSecond = std::max<size_t>(1, resource.amount);
    piece = std::max<size_t>(1, perSecond / 10);
    interval = static_cast<int>(piece * 1000 / perSecond);
  }
  for (size_t sent = 0; sent < toSend;) {
    size_t count = std::min(piece, toSend - sent);
    const char* data = body.data() + offset + sent;
    if (!(chunked ? SendChunk(fd, data, count) : SendAll(fd, data, count))) return;
    sent += count;
    if (interval > 0 && sent < toSend && !Pause(interval)) return;
  }
  if (resource.fault == Fault::kResetAfter) {
    // Only once the client holds every byte sent may the reset go out, or it
    // would discard them on the way.
    for (int waited = 0; waited < kDrainMs && SendQueued(fd) > 0; waited += 5) {
      if (!Pause(5)) return;
    }
    linger option{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
    return;
  }
  if (chunked && !SendAll(fd, "0\r\n\r\n")) return;
  CloseGracefully(fd);
}

}  // namespace testsupport
