// Time from a track request to the first audible sample, over loopback, for
// a 128 kbit/s track behind a 4 KiB ID3v2 tag. Medians of several runs, in
// milliseconds (goal: at most 150 from the start of tarvoni-play).
//
// 1. tarvoni-play, from its process start to the first sample other than
//    silence that SDL's disk driver writes (what would be heard).
// 2. The same request taken step by step in this process, in the engine's
//    order: the download's HTTP request, Brelix's inspection (its own range
//    requests), the body up to the decode start rule, the first decode, the
//    output start (device opened, first segment queued, playing), and the
//    device's own delay until the disk driver wrote the first sound. Beside
//    it, the figure of the previous design, whose output first played one
//    lap of its one-second buffer as silence.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "engine/direct_sound_player.h"
#include "engine/mp3_decoder.h"
#include "engine/playback.h"
#include "platform/sound.h"
#include "engine/stream_info.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/sync.h"
#include "reference_decode.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace {

constexpr int kRuns = 9;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

uint64_t NowUs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000000ull + now.tv_nsec / 1000;
}

// Waits until the disk driver's file `output` holds a sample other than
// silence; the microsecond it was seen, or 0 when none came within 5 s.
uint64_t WaitForSound(const std::string& output) {
  const uint64_t start = NowUs();
  while (NowUs() - start < 5000000) {
    std::string bytes;
    if (platform::ReadWholeFile(output, &bytes)) {
      const std::vector<int16_t> samples = enginetest::Samples(bytes);
      if (std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; })) return NowUs();
    }
    platform::SleepMs(1);
  }
  return 0;
}

// Starts tarvoni-play on `url` with the disk driver writing to `output` and
// returns the milliseconds until a non-silent sample is in that file; -1
// when none came within 5 s.
double ProcessToFirstSound(const std::string& url, const std::string& output) {
  std::remove(output.c_str());
  const uint64_t start = NowUs();
  const pid_t child = fork();
  if (child == 0) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    std::freopen("/dev/null", "w", stdout);
    std::freopen("/dev/null", "w", stderr);
    execl(TARVONI_PLAY_PATH, "tarvoni-play", url.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const uint64_t sounded = WaitForSound(output);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  return sounded == 0 ? -1 : (sounded - start) / 1000.0;
}

struct Steps {
  std::vector<double> http, brelix, body, decode, output, device, total;
};

// The engine's steps for one request, in its order, each timed.
bool RunSteps(const std::string& url, const std::string& folder,
              const std::string& output, Steps* steps) {
  uint64_t start = NowUs();
  uint64_t mark = start;
  auto lap = [&](std::vector<double>& into) {
    const uint64_t now = NowUs();
    into.push_back((now - mark) / 1000.0);
    mark = now;
  };
  platform::HttpSession session;
  platform::HttpRequestOptions options;
  options.noCache = true;
  std::unique_ptr<platform::HttpResponse> response = session.Open(url, options);
  if (!response || response->StatusText() != "200") return false;
  lap(steps->http);

  engine::StreamInfo info;
  if (!engine::BindStreamInfo(folder + "/", url, &info)) return false;
  const uint32_t rate = info.sampleRate;
  lap(steps->brelix);

  platform::CreateDirectory(folder + "/cache");
  platform::FileOpenOptions create{platform::FileAccess::ReadWrite, platform::FileDisposition::CreateAlways, true};
  std::unique_ptr<platform::File> file = platform::File::Open(folder + "/cache/tmp.mp3", create);
  std::string lengthText;
  if (!file || !response->ContentLengthText(&lengthText)) return false;
  uint8_t chunk[1024];
  uint32_t downloaded = 0;
  while (int64_t{downloaded} - info.figures.framesBegin < engine::kDecodeStartBytes) {
    size_t got = 0;
    if (!response->Read(chunk, sizeof chunk, &got) || got == 0) return false;
    file->WriteAt(downloaded, chunk, got);
    downloaded += static_cast<uint32_t>(got);
  }
  lap(steps->body);

  // Everything the start rule let in, decoded: what the output starts on.
  engine::CMp3Decoder decoder;
  decoder.Init();
  uint8_t pcm[engine::CMp3Decoder::kMaxFrameBytes];
  uint32_t count = 0;
  std::string decoded;
  for (uint32_t position = 0; position + 1 < downloaded;) {
    size_t got = 0;
    file->ReadAt(position, chunk, std::min<uint32_t>(1024, downloaded - position - 1), &got);
    position += static_cast<uint32_t>(got);
    decoder.Feed(chunk, static_cast<uint32_t>(got));
    while (decoder.Decode(pcm, &count) == engine::CMp3Decoder::kFrame) decoded.append(pcm, pcm + count);
  }
  decoder.Finish();
  lap(steps->decode);

  // The output, from opening the device to its first sound in the file (the
  // previous run's device is closed first, outside the count).
  platform::ShutdownSound();
  std::remove(output.c_str());
  const uint64_t closed = NowUs();
  start += closed - mark;
  mark = closed;
  engine::CDirectSoundPlayer player;
  if (!player.Init(rate) || !player.Play()) return false;
  // The decode thread's part: it writes while the output plays.
  std::thread writer([&player, &decoded] {
    const auto* bytes = reinterpret_cast<const uint8_t*>(decoded.data());
    const auto size = static_cast<uint32_t>(decoded.size());
    for (uint32_t at = 0; at < size;) at += player.Write(bytes + at, size - at);
    player.RingBuffer().FlushPartial();
    player.RingBuffer().SetEnd();
  });
  while (!player.IsSounding() && !player.HasPlayedOut()) platform::SleepMs(0);
  lap(steps->output);
  const uint64_t sounded = WaitForSound(output);
  if (sounded == 0) return false;
  steps->device.push_back((sounded - mark) / 1000.0);
  steps->total.push_back((sounded - start) / 1000.0);
  writer.join();
  player.Close();
  return true;
}

}  // namespace

int main() {
  testsupport::Mp3Options options;
  options.seconds = 3;
  options.bitrateKbps = 128;
  const std::string track = enginetest::Id3v2Tag(4096) + testsupport::EncodeMp3(options).bytes;
  testsupport::TestHttpServer server;
  server.Serve("/track.mp3", track);
  const std::string url = server.Url("/track.mp3");
  testsupport::TempDir folder;

  std::vector<double> firstSound;
  for (int run = 0; run < kRuns; ++run) {
    const double ms = ProcessToFirstSound(url, folder.Path("out.raw"));
    if (ms < 0) {
      std::fputs("first_sound_bench: tarvoni-play made no sound\n", stderr);
      return 1;
    }
    firstSound.push_back(ms);
  }
  std::fprintf(stderr, "tarvoni-play start to first audible sample, median of %d: %7.1f ms (goal <= 150)\n", kRuns,
               Median(firstSound));

  // In this process, with the disk driver too.
  const std::string output = folder.Path("steps.raw");
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  if (symlink(BRELIX_LIBRARY_PATH, folder.Path("libbrelix.so").c_str()) != 0) return 1;
  std::freopen("/dev/null", "w", stdout);  // the ring buffer's line
  Steps steps;
  for (int run = 0; run < kRuns; ++run) {
    if (!RunSteps(url, folder.Folder(), output, &steps)) {
      std::fputs("first_sound_bench: a step run failed\n", stderr);
      return 1;
    }
  }
  // The previous output started on a silent lap of its one-second buffer:
  // its first sound came that lap after it started.
  const double lapMs = 1000.0 * engine::CDirectSoundPlayer::kSegmentCount * 22048 / 176400;
  std::fprintf(stderr, "request to first audible sample, step by step, median of %d (ms):\n", kRuns);
  std::fprintf(stderr, "  download request (status)          %7.2f\n", Median(steps.http));
  std::fprintf(stderr, "  Brelix inspection (its requests)   %7.2f\n", Median(steps.brelix));
  std::fprintf(stderr, "  body to the decode start rule      %7.2f\n", Median(steps.body));
  std::fprintf(stderr, "  decode of what arrived             %7.2f\n", Median(steps.decode));
  std::fprintf(stderr, "  output: device open to sounding    %7.2f\n", Median(steps.output));
  std::fprintf(stderr, "  the disk driver's first sound      %7.2f\n", Median(steps.device));
  std::fprintf(stderr, "  total                              %7.2f\n", Median(steps.total));
  std::fprintf(stderr, "  previous design (a silent lap of %.0f ms first): %7.2f\n", lapMs,
               Median(steps.total) + lapMs);
  return 0;
}
