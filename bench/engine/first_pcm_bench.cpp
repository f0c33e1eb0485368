// Time from a track request to the first decoded PCM in the output's ring
// buffer, over loopback, for a 128 kbit/s track behind a 4 KiB ID3v2 tag,
// broken into the steps the engine takes in their order: the download's
// HTTP request, Brelix's inspection (its own range requests), the body up to
// the decode start rule, the sound device start, the first decode. Beside
// it, the same request through the engine's threads up to its output start,
// and `mpg123 -q -s URL` until its first PCM byte. Medians of 15 runs, in
// milliseconds; the goal is under 50 ms in all.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "engine/direct_sound_player.h"
#include "engine/engine_threads.h"
#include "engine/mp3_decoder.h"
#include "engine/stream_info.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/sync.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace {

constexpr int kRuns = 15;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Since(uint64_t startUs) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return (now.tv_sec * 1000000ull + now.tv_nsec / 1000 - startUs) / 1000.0;
}

uint64_t NowUs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000ull + now.tv_nsec / 1000;
}

struct Steps {
  std::vector<double> http, brelix, body, device, decode, total;
};

// The engine's steps for one request, in its order, each timed.
bool RunSteps(engine::PlaybackState& state, const std::string& url, const std::string& folder, Steps* steps) {
  const uint64_t start = NowUs();
  uint64_t mark = start;
  auto lap = [&](std::vector<double>& into) {
    into.push_back(Since(mark));
    mark = NowUs();
  };
  platform::HttpSession session;
  platform::HttpRequestOptions options;
  options.noCache = true;
  std::unique_ptr<platform::HttpResponse> response = session.Open(url, options);
  if (!response || response->StatusText() != "200") return false;
  lap(steps->http);

  uint32_t rate = 0;
  uint32_t seconds = 0;
  if (!engine::BindStreamInfo(state, url, &rate, &seconds)) return false;
  lap(steps->brelix);

  platform::CreateDirectory(folder + "/cache");
  platform::FileOpenOptions create{platform::FileAccess::ReadWrite, platform::FileDisposition::CreateAlways, true};
  std::unique_ptr<platform::File> file = platform::File::Open(folder + "/cache/tmp.mp3", create);
  std::string lengthText;
  if (!file || !response->ContentLengthText(&lengthText)) return false;
  uint8_t chunk[1024];
  uint32_t downloaded = 0;
  while (int64_t{downloaded} - state.framesBegin < engine::kDecodeStartBytes) {
    size_t got = 0;
    if (!response->Read(chunk, sizeof chunk, &got) || got == 0) return false;
    file->WriteAt(downloaded, chunk, got);
    downloaded += static_cast<uint32_t>(got);
  }
  lap(steps->body);

  engine::CDirectSoundPlayer player;
  if (!player.Init(rate) || !player.Play()) return false;
  lap(steps->device);

  engine::CMp3Decoder decoder;
  decoder.Init();
  uint8_t pcm[engine::CMp3Decoder::kMaxFrameBytes];
  uint32_t count = 0;
  bool written = false;
  for (uint32_t position = 0; !written && position + 1 < downloaded;) {
    size_t got = 0;
    file->ReadAt(position, chunk, std::min<uint32_t>(1024, downloaded - position - 1), &got);
    position += static_cast<uint32_t>(got);
    decoder.Feed(chunk, static_cast<uint32_t>(got));
    while (!written && decoder.Decode(pcm, &count) == engine::CMp3Decoder::kFrame) {
      written = count > 0 && player.Write(pcm, count) > 0;
    }
  }
  decoder.Finish();
  lap(steps->decode);
  steps->total.push_back((mark - start) / 1000.0);
  return written;
}

std::atomic<uint64_t> outputStarted{0};

class QuietHost : public engine::EngineHost {
 public:
  void PostEngineMessage(uint32_t, uint32_t) override {}
};

void Sink(int event, uint32_t) {
  if (event == engine::kEventPlaying && outputStarted == 0) outputStarted = NowUs();
}

// Through the engine's own threads: request to output started (event 7).
double EngineToOutputStart(engine::PlaybackState& state, const std::string& url) {
  outputStarted = 0;
  const uint64_t start = NowUs();
  engine::RequestTrack(state, url);
  while (outputStarted == 0) platform::SleepMs(1);
  return (outputStarted - start) / 1000.0;
}

double Mpg123FirstByte(const std::string& url) {
  const uint64_t start = NowUs();
  FILE* pipe = popen(("mpg123 -q -s '" + url + "' 2>/dev/null").c_str(), "r");
  if (!pipe) return -1;
  const int first = std::fgetc(pipe);
  const double ms = Since(start);
  pclose(pipe);
  return first == EOF ? -1 : ms;
}

}  // namespace

int main() {
  testsupport::Mp3Options options;
  options.seconds = 20;
  options.bitrateKbps = 128;
  const std::string track = enginetest::Id3v2Tag(4096) + testsupport::EncodeMp3(options).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", track);
  const std::string url = server.Url("/track.mp3");
  testsupport::TempDir folder;
  if (symlink(BRELIX_LIBRARY_PATH, folder.Path("libbrelix.so").c_str()) != 0) return 1;
  std::freopen("/dev/null", "w", stdout);  // the ring buffer's line

  engine::PlaybackState state;
  state.cacheFolder = folder.Folder() + "/cache/";
  state.libraryFolder = folder.Folder() + "/";
  Steps steps;
  std::vector<double> engineRuns;
  std::vector<double> mpg123Runs;
  QuietHost host;
  state.host = &host;
  state.eventSink = &Sink;
  for (int run = 0; run < kRuns; ++run) {
    if (!RunSteps(state, url, folder.Folder(), &steps)) {
      std::fputs("first_pcm_bench: a run failed\n", stderr);
      return 1;
    }
  }
  {
    std::unique_ptr<engine::EngineThreads> threads = engine::EngineThreads::Start(state);
    for (int run = 0; run < kRuns; ++run) engineRuns.push_back(EngineToOutputStart(state, url));
  }
  for (int run = 0; run < kRuns; ++run) mpg123Runs.push_back(Mpg123FirstByte(url));

  std::fprintf(stderr, "request to first PCM in the ring buffer, median of %d runs (ms):\n", kRuns);
  std::fprintf(stderr, "  download request (status)        %7.2f\n", Median(steps.http));
  std::fprintf(stderr, "  Brelix inspection (its requests)  %7.2f\n", Median(steps.brelix));
  std::fprintf(stderr, "  body to the decode start rule     %7.2f\n", Median(steps.body));
  std::fprintf(stderr, "  sound device start (Init, Play)   %7.2f\n", Median(steps.device));
  std::fprintf(stderr, "  first decode into the ring        %7.2f\n", Median(steps.decode));
  std::fprintf(stderr, "  total                             %7.2f (goal < 50)\n", Median(steps.total));
  std::fprintf(stderr, "  first run (opens the device):     %7.2f, of which the device %.2f\n", steps.total[0],
               steps.device[0]);
  std::fprintf(stderr, "engine threads, request to output start: %7.2f\n", Median(engineRuns));
  std::fprintf(stderr, "mpg123 -q -s URL to its first PCM byte:  %7.2f\n", Median(mpg123Runs));
  return 0;
}
