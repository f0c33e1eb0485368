// The decode pipeline (Feed, Decode with dither, Write into the ring buffer,
// drained by a reader thread as the output's notification thread would)
// against a bare libmad decode loop of the same 30-second file. Prints the
// ratio of the two; the goal is at most 1.15.
#include <benchmark/benchmark.h>
#include <mad.h>

#include <cstdio>
#include <iostream>
#include <vector>

#include "engine/mp3_decoder.h"
#include "engine/ring_buffer.h"
#include "ratio_reporter.h"
#include "support/mp3_fixture.h"

namespace {

const std::string& Track() {
  static const std::string track = [] {
    testsupport::Mp3Options options;
    options.seconds = 30;
    return testsupport::EncodeMp3(options).bytes;
  }();
  return track;
}

// libmad alone: the whole file in one buffer, every frame synthesized.
void BM_BareLibmad(benchmark::State& state) {
  std::vector<unsigned char> input(Track().begin(), Track().end());
  input.resize(input.size() + MAD_BUFFER_GUARD, 0);
  for (auto _ : state) {
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, input.data(), input.size());
    size_t samples = 0;
    while (mad_frame_decode(&frame, &stream) == 0 || MAD_RECOVERABLE(stream.error)) {
      mad_synth_frame(&synth, &frame);
      samples += synth.pcm.length;
    }
    benchmark::DoNotOptimize(samples);
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
  }
}

// The decode thread's own work: 1 KiB pieces fed, every frame decoded,
// dithered and written into the ring buffer, whose whole blocks are taken
// out again on the same thread so that no thread switch is measured.
void BM_DecodePipeline(benchmark::State& state) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(Track().data());
  const size_t size = Track().size();
  for (auto _ : state) {
    engine::Ring_Buffer ring;
    engine::CMp3Decoder decoder;
    decoder.Init();
    uint8_t pcm[engine::CMp3Decoder::kMaxFrameBytes];
    uint8_t drained[engine::Ring_Buffer::kBlockCount * engine::Ring_Buffer::kBlockBytes];
    uint32_t count = 0;
    uint32_t pending = 0;
    auto decodeFed = [&] {
      while (decoder.Decode(pcm, &count) == engine::CMp3Decoder::kFrame) {
        pending += ring.Write(pcm, count);
        const uint32_t whole = pending / engine::Ring_Buffer::kBlockBytes * engine::Ring_Buffer::kBlockBytes;
        pending -= ring.Read(drained, whole);
      }
    };
    for (size_t at = 0; at < size; at += 1024) {
      decoder.Feed(bytes + at, static_cast<uint32_t>(std::min<size_t>(1024, size - at)));
      decodeFed();
    }
    decoder.FeedEnd();
    decodeFed();
    decoder.Finish();
    benchmark::DoNotOptimize(drained);
  }
}

BENCHMARK(BM_BareLibmad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DecodePipeline)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::freopen("/dev/null", "w", stdout);  // the ring buffer's line, once per iteration
  benchsupport::RatioReporter reporter;
  reporter.SetOutputStream(&std::cerr);
  reporter.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double bare = reporter.Time("BM_BareLibmad/min_time:2.000");
  const double pipeline = reporter.Time("BM_DecodePipeline/min_time:2.000");
  if (bare > 0 && pipeline > 0) std::fprintf(stderr, "pipeline / bare libmad: %.3f (goal <= 1.15)\n", pipeline / bare);
  return 0;
}
