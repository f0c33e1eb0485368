// What fetching by byte ranges brings, over loopback at 64 KB/s (the demo
// server's speed, four times a 128 kbit/s track's byte rate), each beside the
// engine fetching every body in order from its first byte with no next
// track ahead (the previous design's fetcher), in the same run. Medians of
// three runs, in milliseconds, heard through SDL's disk driver:
//   - first sound of a track without and with a 210 KiB picture before it;
//   - seek to sound, inside the part already there and beyond it;
//   - silence between two tracks back to back.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/file.h"
#include "platform/sound.h"
#include "platform/sync.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 3;
constexpr size_t kSpeed = 64 * 1024;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::vector<int16_t> Heard() {
  std::string bytes;
  platform::ReadWholeFile(std::getenv("SDL_DISKAUDIOFILE"), &bytes);
  return enginetest::Samples(bytes);
}

void ForgetHeard() {
  platform::ShutdownSound();
  platform::RemoveFile(std::getenv("SDL_DISKAUDIOFILE"));
}

// Waits until `heard` (read again and again) satisfies `done`; false after 30 s.
bool WaitHeard(const std::function<bool(const std::vector<int16_t>&)>& done) {
  const auto start = Clock::now();
  while (MsSince(start) < 30000) {
    if (done(Heard())) return true;
    platform::SleepMs(1);
  }
  return false;
}

// A host that keeps what the engine posts and digests it on request.
class Host : public engine::EngineHost {
 public:
  Host(const std::string& folder, bool byteRanges) {
    engine::EngineSettings settings;
    settings.programFolder = folder + "/";
    settings.cacheFolder = folder + "/cache";
    settings.byteRanges = byteRanges;
    engine = engine::Engine::Start(*this, settings);
  }
  ~Host() override { engine.reset(); }

  void PostEngineMessage(uint32_t type, uint32_t value) override {
    std::lock_guard lock(mutex_);
    queue_.push_back({type, value});
    posted_.notify_all();
  }
  // Digests messages until one of `type` came.
  void WaitFor(uint32_t type) {
    for (;;) {
      std::unique_lock lock(mutex_);
      posted_.wait(lock, [this] { return !queue_.empty(); });
      const auto [t, v] = queue_.front();
      queue_.pop_front();
      lock.unlock();
      engine->Digest(t, v);
      if (t == type || t == engine::kMessageFailed) return;
    }
  }
  // Digests what came, without waiting.
  void Drain() {
    std::unique_lock lock(mutex_);
    while (!queue_.empty()) {
      const auto [t, v] = queue_.front();
      queue_.pop_front();
      lock.unlock();
      engine->Digest(t, v);
      lock.lock();
    }
  }

  std::unique_ptr<engine::Engine> engine;

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::pair<uint32_t, uint32_t>> queue_;
};

bool AnySound(const std::vector<int16_t>& heard) {
  return std::any_of(heard.begin(), heard.end(), [](int16_t s) { return s != 0; });
}

double FirstSound(const std::string& folder, bool ranges, const std::string& url) {
  ForgetHeard();
  Host host(folder, ranges);
  const auto start = Clock::now();
  host.engine->RequestTrack(url);
  WaitHeard([](const std::vector<int16_t>& heard) { return AnySound(heard); });
  return MsSince(start);
}

// Plays for `playSeconds`, seeks to `toSeconds`, and gives the time until the
// new position sounds: until the track's sound from a fifth of a second past
// it is heard, less that fifth of a second.
double SeekToSound(const std::string& folder, bool ranges, const std::string& url, const std::vector<int16_t>& whole,
                   int playSeconds, int toSeconds, int totalSeconds) {
  ForgetHeard();
  Host host(folder, ranges);
  host.engine->RequestTrack(url);
  while (host.engine->ElapsedSeconds() < playSeconds) host.WaitFor(engine::kMessagePosition);
  const size_t at = Heard().size();
  const auto probe = whole.begin() + (toSeconds * 10 + 2) * 8820;
  const auto start = Clock::now();
  host.engine->Seek(toSeconds, totalSeconds);
  WaitHeard([&](const std::vector<int16_t>& heard) {
    return heard.size() > at && std::search(heard.begin() + at, heard.end(), probe, probe + 2048) != heard.end();
  });
  const double ms = MsSince(start) - 200;
  host.Drain();
  return ms;
}

// The silence between the end of `a` and the start of `b`, played back to back.
double Gap(const std::string& folder, bool ranges, testsupport::TestHttpServer& server, const std::string& a,
           const std::string& b) {
  ForgetHeard();
  {
    Host host(folder, ranges);
    host.engine->SetNextTrack(server.Url("/b.mp3"));
    host.engine->RequestTrack(server.Url("/a.mp3"));
    host.WaitFor(engine::kMessageTrackEnd);
    host.engine->RequestTrack(server.Url("/b.mp3"));
    host.WaitFor(engine::kMessageTrackEnd);
  }
  platform::ShutdownSound();
  const std::vector<int16_t> heard = Heard();
  const std::vector<int16_t> wholeA = enginetest::DecodeInPieces(a, a.size());
  const std::vector<int16_t> wholeB = enginetest::DecodeInPieces(b, b.size());
  const auto endOfA = std::search(heard.begin(), heard.end(), wholeA.end() - 4096, wholeA.end()) + 4096;
  const auto startOfB = std::search(endOfA, heard.end(), wholeB.begin(), wholeB.begin() + 4096);
  return (startOfB - endOfA) * 1000.0 / 88200;
}

}  // namespace

int main() {
  testsupport::TempDir folder;
  const std::string output = folder.Path("heard.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  if (symlink(BRELIX_LIBRARY_PATH, folder.Path("libbrelix.so").c_str()) != 0) return 1;
  std::freopen("/dev/null", "w", stdout);  // the ring buffer's line

  const std::string audio = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 20}).bytes;
  const std::vector<int16_t> whole = enginetest::DecodeInPieces(audio, audio.size());
  const std::string a = testsupport::EncodeMp3({.bitrateKbps = 128, .seconds = 2}).bytes;
  const std::string b = testsupport::EncodeMp3({.bitrateKbps = 160, .seconds = 2}).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/plain.mp3", audio);
  server.Serve("/covered.mp3", enginetest::Id3v2Tag(210 * 1024) + audio);
  server.Serve("/a.mp3", a);
  server.Serve("/b.mp3", b);
  for (const char* path : {"/plain.mp3", "/covered.mp3", "/b.mp3"}) server.Inject(path, testsupport::Fault::kTrickle, kSpeed);

  struct Figure {
    const char* name;
    std::function<double(bool)> measure;
  };
  const std::string dir = folder.Folder();
  const std::vector<Figure> figures = {
      {"first sound, no picture          ", [&](bool r) { return FirstSound(dir, r, server.Url("/plain.mp3")); }},
      {"first sound, 210 KiB picture     ", [&](bool r) { return FirstSound(dir, r, server.Url("/covered.mp3")); }},
      {"seek to sound, inside (3 s to 1 s)",
       [&](bool r) { return SeekToSound(dir, r, server.Url("/plain.mp3"), whole, 3, 1, 20); }},
      {"seek to sound, beyond (1 s to 15 s)",
       [&](bool r) { return SeekToSound(dir, r, server.Url("/plain.mp3"), whole, 1, 15, 20); }},
      {"silence between two tracks      ", [&](bool r) { return Gap(dir, r, server, a, b); }},
  };
  std::fprintf(stderr, "over loopback at %zu KB/s, medians of %d runs (ms):  byte ranges | in order\n", kSpeed / 1024,
               kRuns);
  for (const Figure& figure : figures) {
    std::vector<double> ranges, inOrder;
    for (int run = 0; run < kRuns; ++run) {
      ranges.push_back(figure.measure(true));
      inOrder.push_back(figure.measure(false));
    }
    std::fprintf(stderr, "  %s %9.1f | %9.1f\n", figure.name, Median(ranges), Median(inOrder));
  }
  return 0;
}
