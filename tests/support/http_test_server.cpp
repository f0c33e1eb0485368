#include "support/http_test_server.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <sstream>

namespace testsupport {
namespace {

constexpr size_t kMaxRequestHead = 64 * 1024;
constexpr size_t kSendPiece = 64 * 1024;
constexpr int kTrickleIntervalMs = 100;
// How long a closing connection waits for the client to read what was sent.
constexpr int kDrainMs = 5000;

std::string Trim(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string PercentDecode(const std::string& text) {
  std::string decoded;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
      decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
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
  std::istringstream line(head.substr(0, lineEnd));
  if (!(line >> request->method >> request->target >> request->version)) return false;
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

struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;
};

enum class RangeAnswer { kWhole, kPartial, kUnsatisfiable };

// Reads one "bytes=first-last" or "bytes=first-" range. Any other Range
// header (malformed, a suffix, several ranges) is ignored, as servers may:
// the whole body is sent.
RangeAnswer SelectRange(const std::string& header, uint64_t size, ByteRange* range) {
  if (strncasecmp(header.c_str(), "bytes=", 6) != 0) return RangeAnswer::kWhole;
  const char* end = header.data() + header.size();
  uint64_t first = 0;
  uint64_t last = UINT64_MAX;
  const auto [dash, error] = std::from_chars(header.data() + 6, end, first);
  if (error != std::errc() || dash == end || *dash != '-') return RangeAnswer::kWhole;
  if (dash + 1 != end && (std::from_chars(dash + 1, end, last).ptr != end || last < first)) return RangeAnswer::kWhole;
  if (first >= size) return RangeAnswer::kUnsatisfiable;
  range->first = first;
  range->last = std::min(last, size - 1);
  return RangeAnswer::kPartial;
}

uint32_t Crc32(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void AppendLittleEndian(std::string* out, uint32_t value, int count) {
  for (int i = 0; i < count; ++i) *out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// `bytes` as one gzip member made of stored deflate blocks: a valid gzip
// body that needs no compressor.
std::string Gzip(const std::string& bytes) {
  std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  size_t position = 0;
  do {
    const size_t count = std::min<size_t>(bytes.size() - position, 0xFFFF);
    out += static_cast<char>(position + count == bytes.size() ? 1 : 0);  // the last block says so
    AppendLittleEndian(&out, static_cast<uint32_t>(count), 2);
    AppendLittleEndian(&out, static_cast<uint32_t>(~count & 0xFFFF), 2);
    out.append(bytes, position, count);
    position += count;
  } while (position < bytes.size());
  AppendLittleEndian(&out, Crc32(bytes), 4);
  AppendLittleEndian(&out, static_cast<uint32_t>(bytes.size()), 4);
  return out;
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    default: return status < 400 ? "Redirect" : "Error";
  }
}

std::string StatusLine(int status) {
  return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\nConnection: close\r\n";
}

bool SendChunk(int fd, const char* data, size_t count) {
  char size[32];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", count);
  return SendAll(fd, size, static_cast<size_t>(length)) && SendAll(fd, data, count) && SendAll(fd, "\r\n", 2);
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

// Sends a whole answer with a short body and closes.
void SendAnswer(int fd, int status, const std::string& headers, const std::string& body = "") {
  SendAll(fd, StatusLine(status) + headers + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  CloseGracefully(fd);
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
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
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
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
    // Wakes the accept loop out of accept().
    shutdown(listenFd_, SHUT_RDWR);
    acceptThread_.join();
  }
  for (Connection& connection : connections_) {
    if (connection.thread.joinable()) connection.thread.join();
  }
  if (listenFd_ >= 0) close(listenFd_);
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
  for (;;) {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) JoinFinishedConnections();
    std::lock_guard lock(mutex_);
    if (stopping_) {
      if (fd >= 0) close(fd);
      return;
    }
    if (fd < 0) continue;
    Connection& connection = connections_.emplace_back();
    connection.fd = fd;
    connection.thread = std::thread([this, &connection] { ServeConnection(&connection); });
  }
}

void TestHttpServer::JoinFinishedConnections() {
  // A finished connection's thread holds no lock any more: joining it here is brief.
  std::lock_guard lock(mutex_);
  connections_.remove_if([](Connection& connection) {
    if (connection.finished) connection.thread.join();
    return connection.finished;
  });
}

void TestHttpServer::ServeConnection(Connection* connection) {
  int fd = connection->fd;
  std::string head;
  RecordedRequest request;
  if (ReadRequestHead(fd, &head) && ParseRequest(head, &request)) {
    request.arrival = std::chrono::steady_clock::now();
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
  Resource& stored = found->second;
  Resource taken = stored;
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
  if (resource.fault == Fault::kStatus || (!resource.body && resource.redirectStatus == 0)) {
    int status = resource.fault == Fault::kStatus ? static_cast<int>(resource.amount) : 404;
    SendAnswer(fd, status, "Content-Type: text/plain\r\n", std::to_string(status) + " " + ReasonPhrase(status) + "\n");
    return;
  }
  if (resource.redirectStatus != 0) {
    SendAnswer(fd, resource.redirectStatus, "Location: " + resource.location + "\r\n");
    return;
  }

  const std::string encoded = resource.fault == Fault::kGzip ? Gzip(*resource.body) : std::string();
  const std::string& body = resource.fault == Fault::kGzip ? encoded : *resource.body;
  ByteRange range;
  RangeAnswer answer = resource.fault == Fault::kIgnoreRange || request.range.empty()
                           ? RangeAnswer::kWhole
                           : SelectRange(request.range, body.size(), &range);
  if (answer == RangeAnswer::kUnsatisfiable) {
    SendAnswer(fd, 416, "Content-Range: bytes */" + std::to_string(body.size()) + "\r\n");
    return;
  }
  size_t offset = answer == RangeAnswer::kPartial ? range.first : 0;
  size_t length = answer == RangeAnswer::kPartial ? range.last - range.first + 1 : body.size();
  bool chunked = resource.fault == Fault::kChunked && request.version == "HTTP/1.1";
  bool announceLength = resource.fault != Fault::kChunked && resource.fault != Fault::kCloseDelimited;

  std::string headers = "Content-Type: application/octet-stream\r\n";
  if (resource.fault != Fault::kIgnoreRange) headers += "Accept-Ranges: bytes\r\n";
  if (resource.fault == Fault::kGzip) headers += "Content-Encoding: gzip\r\n";
  if (answer == RangeAnswer::kPartial) {
    headers += "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
               std::to_string(body.size()) + "\r\n";
  }
  if (announceLength) headers += "Content-Length: " + std::to_string(length) + "\r\n";
  if (chunked) headers += "Transfer-Encoding: chunked\r\n";
  if (!SendAll(fd, StatusLine(answer == RangeAnswer::kPartial ? 206 : 200) + headers + "\r\n")) return;

  const bool cutShort = resource.fault == Fault::kShortBody || resource.fault == Fault::kResetAfter;
  const size_t toSend = cutShort ? std::min(length, resource.amount) : length;
  size_t piece = kSendPiece;
  int interval = 0;
  if (resource.fault == Fault::kTrickle) {
    size_t perSecond = std::max<size_t>(1, resource.amount);
    piece = std::max<size_t>(1, perSecond * kTrickleIntervalMs / 1000);
    interval = static_cast<int>(piece * 1000 / perSecond);
  }
  const size_t stallAt = resource.fault == Fault::kStall ? resource.amount : SIZE_MAX;
  for (size_t sent = 0; sent < toSend;) {
    if (sent == stallAt && !WaitForRelease(releasesSoFar)) return;
    size_t count = std::min({piece, toSend - sent, sent < stallAt ? stallAt - sent : piece});
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
