#include "mpa_file_stream.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/file.h"
#include "platform/http.h"
#include "platform/report.h"
#include "platform/sync.h"

// Where the bytes come from: a local file or an HTTP resource.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies the `count` bytes at `first` into `target`; bytes the resource
  // does not deliver (past its end) are left as they are. False on failure.
  virtual bool Fetch(uint32_t first, uint32_t count, uint8_t* target) = 0;
};

namespace {

// A local file, opened for reading only; other openers may read and write it
// meanwhile.
class FileSource : public ByteSource {
 public:
  // Null when the file cannot be opened or its size is not below 4 GiB - 1.
  static std::unique_ptr<FileSource> Open(const std::string& path, uint32_t* size) {
    auto file = platform::File::Open(path, {});
    if (!file) return nullptr;
    int64_t bytes = file->Size();
    if (bytes < 0 || bytes >= UINT32_MAX) return nullptr;
    *size = static_cast<uint32_t>(bytes);
    return std::unique_ptr<FileSource>(new FileSource(std::move(file)));
  }

  bool Fetch(uint32_t first, uint32_t count, uint8_t* target) override {
    size_t got = 0;
    return file_->ReadAt(first, target, count, &got);
  }

 private:
  explicit FileSource(std::unique_ptr<platform::File> file) : file_(std::move(file)) {}
  std::unique_ptr<platform::File> file_;
};

// A whole inspection over HTTP, every request and retry included, ends
// within this long of its start, whatever the server does.
constexpr uint64_t kInspectionBudgetMs = 8500;
// Connecting may take this long per request, and so may each silence of the
// server.
constexpr uint32_t kRequestTimeoutMs = 3000;

// An HTTP resource read with one HTTP/1.0 GET per fetch. A server that never
// answers, stalls or drips bytes holds the inspection no longer than its
// budget, which starts when the source is made.
class HttpSource : public ByteSource {
 public:
  explicit HttpSource(std::string url)
      : url_(std::move(url)), deadlineMs_(platform::MonotonicMs() + kInspectionBudgetMs) {}

  // Sends a GET with `headers`, up to three attempts. An attempt fails when
  // the server cannot be reached or answers with a status other than 2xx.
  std::unique_ptr<platform::HttpResponse> Send(const std::vector<std::string>& headers) {
    platform::HttpRequestOptions options;
    options.headers = headers;
    options.http10 = true;
    options.connectTimeoutMs = kRequestTimeoutMs;
    options.stallTimeoutMs = kRequestTimeoutMs;
    options.deadlineMs = deadlineMs_;
    for (int attempt = 0; attempt < 3 && platform::MonotonicMs() < deadlineMs_; ++attempt) {
      auto response = session_.Open(url_, options);
      if (response && response->StatusText().starts_with('2')) return response;
    }
    return nullptr;
  }

  // A server that ignores the range answers 200 with the whole body: its
  // bytes up to `first` are read and dropped, so that the bytes delivered are
  // always the ones at `first`.
  bool Fetch(uint32_t first, uint32_t count, uint8_t* target) override {
    char range[64];
    std::snprintf(range, sizeof range, "Range:bytes=%u-%u", first, first + count - 1);
    auto response = Send({range});
    if (!response) return false;
    std::string status = response->StatusText();
    if (status == "200") {
      if (!Skip(*response, first)) return false;
    } else if (status != "206") {
      return false;
    }
    size_t got = 0;
    return response->ReadFull(target, count, &got);
  }

 private:
  static bool Skip(platform::HttpResponse& response, uint32_t count) {
    std::vector<uint8_t> scratch(std::min<uint32_t>(count, 65536));
    while (count > 0) {
      size_t got = 0;
      if (!response.ReadFull(scratch.data(), std::min<size_t>(count, scratch.size()), &got) || got == 0) return false;
      count -= static_cast<uint32_t>(got);
    }
    return true;
  }

  std::string url_;
  const uint64_t deadlineMs_;
  platform::HttpSession session_;
};

// The decimal Content-Length text; false unless it is a number below 4 GiB.
bool ParseContentLength(const std::string& text, uint32_t* size) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && text[i] == '+') ++i;
  if (i == text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  uint64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return false;
  }
  *size = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

CMPAFileStream::CMPAFileStream(const char* location, bool isLocal) : location_(location), isLocal_(isLocal) {}

CMPAFileStream::~CMPAFileStream() = default;

bool CMPAFileStream::InitStream() {
  if (isLocal_) {
    source_ = FileSource::Open(location_, &size_);
    return source_ != nullptr;
  }
  // A location such as "www.host/track.mp3" names no scheme: plain HTTP.
  std::string url = location_.find("://") == std::string::npos ? "http://" + location_ : location_;
  platform::UrlParts parts;
  if (!platform::SplitUrl(url, &parts)) {
    platform::Report("InitStream___InternetConnect Error");
    return false;
  }
  auto http = std::make_unique<HttpSource>(url);
  // The whole resource is asked for only to learn its size; the body is never read.
  auto response = http->Send({});
  if (!response) {
    platform::Report("InitStream___HttpSendRequest Error");
    return false;
  }
  std::string lengthText;
  if (!response->ContentLengthText(&lengthText) || !ParseContentLength(lengthText, &size_)) {
    platform::Report("InitStream___HttpQueryInfo Error");
    return false;
  }
  source_ = std::move(http);
  return true;
}

const uint8_t* CMPAFileStream::ReadBuffer(uint32_t count, uint32_t& offset, bool advance, bool reverse) {
  if (!source_ || offset >= size_ || count > kReadBufferSize) return nullptr;
  const uint8_t* bytes = CachedBytes(offset, count);
  if (bytes && advance) offset += count;
  return bytes;
}

const uint8_t* CMPAFileStream::CachedBytes(uint32_t offset, uint32_t count) {
  const uint64_t last = uint64_t{offset} + count;
  // The head and the tail are each fetched once, by the first read in their half.
  if (offset >= size_ / 2 && !tailLoaded_ && size_ > kTailCacheSize) {
    if (!FillCache(tailCache_, kTailCacheSize, size_ - kTailCacheSize)) return nullptr;
    tailLoaded_ = true;
  } else if (offset <= size_ / 2 && !headLoaded_ && size_ > kHeadCacheSize) {
    if (!FillCache(headCache_, kHeadCacheSize, 0)) return nullptr;
    headLoaded_ = true;
  }
  if (headLoaded_ && last < kHeadCacheSize) return headCache_.data() + offset;
  if (tailLoaded_ && offset >= size_ - kTailCacheSize && last <= size_) {
    return tailCache_.data() + (offset - (size_ - kTailCacheSize));
  }
  if (!windowLoaded_ || offset < windowFirst_ || last > uint64_t{windowFirst_} + windowSize_) {
    const bool onward = windowLoaded_ && offset >= windowFirst_;
    const uint32_t startSize = size_ <= kWindowMaxSize ? kWindowMaxSize : kWindowMinSize;
    const uint32_t size = onward ? std::min(windowSize_ * 4, kWindowMaxSize) : startSize;
    // A quarter of it lies before the read, for searches that step back.
    const uint32_t from = (offset - std::min(offset, size / 4)) & ~(kReadBufferSize - 1);
    windowLoaded_ = false;
    if (!FillCache(window_, size, from)) return nullptr;
    windowFirst_ = from;
    windowSize_ = size;
    windowLoaded_ = true;
  }
  return window_.data() + (offset - windowFirst_);
}

bool CMPAFileStream::FillCache(std::vector<uint8_t>& cache, uint32_t length, uint32_t first) {
  cache.assign(length, 0);
  return source_->Fetch(first, std::min(length, size_ - first), cache.data());
}

uint32_t CMPAFileStream::ReadBEValue(uint32_t count, uint32_t& offset, bool advance) {
  assert(count > 0 && count <= 4);
  const uint8_t* bytes = ReadBuffer(count, offset, advance, false);
  if (!bytes) return 0;
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) value |= uint32_t{bytes[i]} << (8 * (count - 1 - i));
  return value;
}

uint32_t CMPAFileStream::ReadLEValue(uint32_t count, uint32_t& offset, bool advance) {
  assert(count > 0 && count <= 4);
  const uint8_t* bytes = ReadBuffer(count, offset, advance, false);
  if (!bytes) return 0;
  uint32_t value = 0;
  for (uint32_t i = 0; i < count; ++i) value |= uint32_t{bytes[i]} << (8 * i);
  return value;
}
