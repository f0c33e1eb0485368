// Random access to the bytes of one MPEG audio resource: a local file, or an
// http(s) resource read by byte-range requests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ByteSource;

// Every read returns a pointer to bytes valid until the next read on the same
// stream. Reads are served from three caches filled on demand: the first
// 10240 bytes and the last 5120 bytes (each only for a resource larger than
// that, and fetched once, by the first read in its half) and one window
// around any other read, so that a tag or frame search costs a few fetches
// rather than one per probed offset. In a large resource the window starts
// small (a look at the first frame behind a large picture costs little) and
// grows fourfold while the reads move on past it (a long search through junk
// takes few fetches); a small resource is fetched in one window.
// Bytes past the end of the resource read as 0.
class CMPAFileStream {
 public:
  static constexpr uint32_t kReadBufferSize = 1024;
  static constexpr uint32_t kHeadCacheSize = 10240;
  static constexpr uint32_t kTailCacheSize = 5120;
  static constexpr uint32_t kWindowMinSize = 4096;
  static constexpr uint32_t kWindowMaxSize = 65536;

  // Performs no I/O; `isLocal` false means `location` is a URL.
  CMPAFileStream(const char* location, bool isLocal);
  ~CMPAFileStream();
  CMPAFileStream(const CMPAFileStream&) = delete;
  CMPAFileStream& operator=(const CMPAFileStream&) = delete;

  // Opens the resource and learns its size. For a URL every failure is also
  // reported to the user (platform::Report). Call once, before any read.
  bool InitStream();

  // `count` bytes at `offset`, or null when `offset` is at or past the size,
  // `count` exceeds kReadBufferSize or the bytes cannot be fetched. With
  // `advance`, a successful read moves `offset` past the bytes. `reverse` is
  // the caller's search direction and does not change the read.
  const uint8_t* ReadBuffer(uint32_t count, uint32_t& offset, bool advance, bool reverse);
  uint32_t GetSize() const { return size_; }

  // 1 to 4 bytes as an unsigned number, most (BE) or least (LE) significant
  // byte first; 0 when the read fails (then `offset` stays).
  uint32_t ReadBEValue(uint32_t count, uint32_t& offset, bool advance);
  uint32_t ReadLEValue(uint32_t count, uint32_t& offset, bool advance);

 private:
  // Where the `count` bytes at `offset` lie in one of the caches, filling the
  // cache first when needed; null when a fetch fails.
  const uint8_t* CachedBytes(uint32_t offset, uint32_t count);
  // Makes `cache` `length` bytes: the resource's bytes from `first`, then 0.
  bool FillCache(std::vector<uint8_t>& cache, uint32_t length, uint32_t first);

  std::string location_;
  bool isLocal_;
  uint32_t size_ = 0;
  std::unique_ptr<ByteSource> source_;
  std::vector<uint8_t> headCache_;
  std::vector<uint8_t> tailCache_;
  std::vector<uint8_t> window_;
  uint32_t windowFirst_ = 0;
  uint32_t windowSize_ = 0;
  bool headLoaded_ = false;
  bool tailLoaded_ = false;
  bool windowLoaded_ = false;
};
