// The catalogue on a DJ site's largest catalogue, 100,000 tracks in six
// categories, each step against the floor of reading the file and undoing
// its XOR (what any load must do), with their ratios:
// - load: the file read and parsed;
// - list: loaded, then every category and every track asked in order, as
//   tarvoni-catalogue ls does (without printing);
// - save: the duration of the last track saved into the file;
// - tab: the 5,000 tracks of one category asked in order from a loaded
//   document, as the track list does when its tab is selected.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "catalogue/catalogue_file.h"
#include "platform/file.h"
#include "ratio_reporter.h"
#include "support/temp_dir.h"

namespace {

constexpr int kTracks = 100000;
constexpr int kTabTracks = 5000;
const char* const kCategories[] = {"中文舞曲", "英文舞曲", "慢摇串烧", "电音House", "车载DJ", "经典怀旧"};

// The first category holds kTabTracks tracks, the others share the rest;
// every other track has its time.
std::string LargeCatalogue() {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalogue>\n";
  int track = 0;
  for (int category = 0; category < 6; ++category) {
    const int end = category == 0 ? kTabTracks : kTabTracks + (kTracks - kTabTracks) * category / 5;
    text += std::string("  <l name=\"") + kCategories[category] + "\" maker=\"DJ 阿岚\" desc=\"国语热门舞曲\">\n";
    for (; track < end; ++track) {
      const std::string number = std::to_string(track);
      text += "    <t src=\"http://music.example.com/tracks/" + number + ".mp3\"" +
              (track % 2 == 0 ? " time=\"03:58\"" : "") + ">夜色霓虹 " + number + "</t>\n";
    }
    text += "  </l>\n";
  }
  return text + "</catalogue>\n<version>7</version>\n<end/>\n";
}

void ReadAndXor(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    std::string bytes;
    if (!platform::ReadWholeFile(path, &bytes)) state.SkipWithError("read failed");
    for (char& byte : bytes) byte ^= catalogue::kCatalogueKey;
    benchmark::DoNotOptimize(bytes.data());
  }
}

void Load(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    CCatalogueDoc document;
    if (!document.LoadFile(path, true)) state.SkipWithError("load failed");
  }
}

// Every track of `category` in order; the count.
int AskTracks(CCatalogueDoc& document, const std::string& category) {
  std::string title, src, time;
  int index = 0;
  while (document.GetTrackAt(category, index, &title, &src, &time)) ++index;
  return index;
}

void List(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    CCatalogueDoc document;
    if (!document.LoadFile(path, true)) state.SkipWithError("load failed");
    int tracks = 0;
    for (const std::string& category : document.GetCategoryNames()) {
      std::string maker, desc;
      document.GetCategoryInfo(category, &maker, &desc);
      tracks += AskTracks(document, category);
    }
    if (tracks != kTracks) state.SkipWithError("tracks missing");
  }
}

void Save(benchmark::State& state, const std::string& path) {
  CCatalogueDoc document;
  if (!document.LoadFile(path, true)) state.SkipWithError("load failed");
  int seconds = 0;
  for (auto _ : state) {
    const std::string last = "夜色霓虹 " + std::to_string(kTracks - 1);
    if (document.SetTrackTime(kCategories[5], last, ++seconds % 3600) != TrackTimeResult::kSaved) {
      state.SkipWithError("save failed");
    }
  }
}

void Tab(benchmark::State& state, const std::string& path) {
  CCatalogueDoc document;
  if (!document.LoadFile(path, true)) state.SkipWithError("load failed");
  for (auto _ : state) {
    if (AskTracks(document, kCategories[0]) != kTabTracks) state.SkipWithError("tracks missing");
  }
}

}  // namespace

int main(int argc, char** argv) {
  testsupport::TempDir dir;
  std::string stored = LargeCatalogue();
  for (char& byte : stored) byte ^= catalogue::kCatalogueKey;
  const std::string path = dir.Write("datams.dll", stored);
  std::printf("catalogue: %d tracks, %zu bytes\n", kTracks, stored.size());

  const std::pair<const char*, void (*)(benchmark::State&, const std::string&)> steps[] = {
      {"floor/read_and_xor", ReadAndXor}, {"load", Load}, {"list", List}, {"save", Save}, {"tab", Tab}};
  for (const auto& [name, step] : steps) {
    benchmark::RegisterBenchmark(name, step, path)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchsupport::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double floor = reporter.Time("floor/read_and_xor");
  for (const char* step : {"load", "list", "save", "tab"}) {
    const double time = reporter.Time(step);
    if (floor > 0 && time > 0) std::printf("%s / read and XOR: %.1f\n", step, time / floor);
  }
  benchmark::Shutdown();
  return 0;
}
