// Brelix inspection cost:
// - a local tagged VBR file inspected, against reading its first 10240 and
//   last 5120 bytes (the least any inspection reads), with their ratio;
// - HTTP requests per inspection of each fixture over a loopback server.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fixture_writers.h"
#include "mpa_file_info.h"
#include "platform/file.h"
#include "ratio_reporter.h"
#include "support/http_test_server.h"
#include "support/mp3_fixture.h"
#include "support/temp_dir.h"

namespace {

using namespace brelixtest;

std::string Encode(testsupport::Mp3RateMode mode, int sampleRate, int channels, double seconds) {
  testsupport::Mp3Options options;
  options.rateMode = mode;
  options.sampleRate = sampleRate;
  options.channels = channels;
  options.seconds = seconds;
  return testsupport::EncodeMp3(options).bytes;
}

void InspectLocal(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    auto info = CMPAFileInfo::Create(path.c_str(), true);
    if (!info) state.SkipWithError("inspection failed");
    benchmark::DoNotOptimize(info->GetBytesOneSec());
  }
}

void ReadHeadAndTail(benchmark::State& state, const std::string& path) {
  std::vector<char> head(10240), tail(5120);
  for (auto _ : state) {
    auto file = platform::File::Open(path, {});
    const int64_t size = file ? file->Size() : -1;
    size_t got = 0;
    if (size < 10240 || !file->ReadAt(0, head.data(), head.size(), &got) ||
        !file->ReadAt(size - 5120, tail.data(), tail.size(), &got)) {
      state.SkipWithError("read failed");
    }
    benchmark::DoNotOptimize(tail[0]);
  }
}

void CountHttpRequests(benchmark::State& state, testsupport::TestHttpServer* server, const std::string& path) {
  server->ClearRequests();
  for (auto _ : state) {
    auto info = CMPAFileInfo::Create(server->Url(path).c_str(), false);
    if (!info) state.SkipWithError("inspection failed");
  }
  state.counters["requests"] = benchmark::Counter(static_cast<double>(server->RequestCount()),
                                                  benchmark::Counter::kAvgIterations);
}

}  // namespace

int main(int argc, char** argv) {
  testsupport::TempDir dir;
  const std::string vbr = Encode(testsupport::Mp3RateMode::kVbr, 44100, 2, 60);
  const std::string local = dir.Write("tagged-vbr.mp3", Id3v2(3, 4086, false) + vbr + Ape(2000, 2000, true) + Id3v1(1));
  benchmark::RegisterBenchmark("local/inspect", InspectLocal, local);
  benchmark::RegisterBenchmark("local/read_head_and_tail", ReadHeadAndTail, local);

  testsupport::TestHttpServer server;
  const std::vector<std::pair<std::string, std::string>> fixtures = {
      {"cover_art_200k", Id3v2(3, 200 * 1024, false) + vbr + Ape(2000, 3000, true) + Id3v1(1)},
      {"cbr_id3", Id3v2(3, 4086, false) + Encode(testsupport::Mp3RateMode::kCbr, 44100, 2, 30) + Id3v1(1)},
      {"mpeg2_mono_vbr", Id3v2(4, 500, true) + Encode(testsupport::Mp3RateMode::kVbr, 22050, 1, 30)},
      {"mpeg25_cbr_lyrics3", Encode(testsupport::Mp3RateMode::kCbr, 11025, 2, 30) + Lyrics3v1(300)},
      {"lyrics3v2_musicmatch", vbr + Lyrics3v2(4000) + MusicMatch("3.05", 8004, 900, true)},
      {"slow_start_32k", Frames(Header("FFFB1064"), 104, 27) + Frames(Header("FFFB2064"), 130, 50)},
      {"junk_70k_before_audio", Id3v2(3, 90, false) + std::string(70000, 'j') + vbr},
  };
  for (const auto& [name, bytes] : fixtures) {
    server.Serve("/" + name + ".mp3", bytes);
    benchmark::RegisterBenchmark(("http/" + name).c_str(), CountHttpRequests, &server, "/" + name + ".mp3")
        ->Iterations(5)
        ->Unit(benchmark::kMillisecond);
  }

  benchmark::Initialize(&argc, argv);
  benchsupport::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double inspect = reporter.Time("local/inspect");
  const double bound = reporter.Time("local/read_head_and_tail");
  if (inspect > 0 && bound > 0) {
    std::printf("local inspection / head and tail read: %.2f (goal: at most 3)\n", inspect / bound);
  }
  benchmark::Shutdown();
  return 0;
}
