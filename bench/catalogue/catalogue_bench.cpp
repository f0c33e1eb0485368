// The catalogue on a DJ site's largest catalogue, 100,000 tracks in six
// categories, each step against the floor of reading the file and undoing
// its XOR (what any load must do), with their ratios:
// - load: the file read and parsed;
// - list: loaded, then every category and every track asked in order, as
//   tarvoni-catalogue ls does (without printing);
// - save: the duration of the last track saved into the file;
// - tab: the 5,000 tracks of one category asked in order from a loaded
//   document, as the track list does when its tab is selected;
// and the list of half as many tracks, against which a linear list takes
// twice the time.
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

// A stored catalogue file and the number of its tracks.
struct Catalogue {
  std::string path;
  int tracks = 0;
};

// `tracks` tracks: the first category holds kTabTracks of them, the others
// share the rest; every other track has its time.
std::string CatalogueText(int tracks) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<catalogue>\n";
  int track = 0;
  for (int category = 0; category < 6; ++category) {
    const int end = category == 0 ? kTabTracks : kTabTracks + (tracks - kTabTracks) * category / 5;
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

void ReadAndXor(benchmark::State& state, const Catalogue& catalogue) {
  for (auto _ : state) {
    std::string bytes;
    if (!platform::ReadWholeFile(catalogue.path, &bytes)) state.SkipWithError("read failed");
    for (char& byte : bytes) byte ^= catalogue::kCatalogueKey;
    benchmark::DoNotOptimize(bytes.data());
  }
}

void Load(benchmark::State& state, const Catalogue& catalogue) {
  for (auto _ : state) {
    CCatalogueDoc document;
    if (!document.LoadFile(catalogue.path, true)) state.SkipWithError("load failed");
  }
}

// Every track of `category` in order; the count.
int AskTracks(CCatalogueDoc& document, const std::string& category) {
  std::string title, src, time;
  int index = 0;
  while (document.GetTrackAt(category, index, &title, &src, &time)) ++index;
  return index;
}

void List(benchmark::State& state, const Catalogue& catalogue) {
  for (auto _ : state) {
    CCatalogueDoc document;
    if (!document.LoadFile(catalogue.path, true)) state.SkipWithError("load failed");
    int tracks = 0;
    for (const std::string& category : document.GetCategoryNames()) {
      std::string maker, desc;
      document.GetCategoryInfo(category, &maker, &desc);
      tracks += AskTracks(document, category);
    }
    if (tracks != catalogue.tracks) state.SkipWithError("tracks missing");
  }
}

void Save(benchmark::State& state, const Catalogue& catalogue) {
  CCatalogueDoc document;
  if (!document.LoadFile(catalogue.path, true)) state.SkipWithError("load failed");
  int seconds = 0;
  for (auto _ : state) {
    const std::string last = "夜色霓虹 " + std::to_string(catalogue.tracks - 1);
    if (document.SetTrackTime(kCategories[5], last, ++seconds % 3600) != TrackTimeResult::kSaved) {
      state.SkipWithError("save failed");
    }
  }
}

void Tab(benchmark::State& state, const Catalogue& catalogue) {
  CCatalogueDoc document;
  if (!document.LoadFile(catalogue.path, true)) state.SkipWithError("load failed");
  for (auto _ : state) {
    if (AskTracks(document, kCategories[0]) != kTabTracks) state.SkipWithError("tracks missing");
  }
}

// Writes `tracks` tracks stored, as the player keeps them, to `name` in `dir`.
Catalogue Write(const testsupport::TempDir& dir, const std::string& name, int tracks) {
  std::string stored = CatalogueText(tracks);
  for (char& byte : stored) byte ^= catalogue::kCatalogueKey;
  std::printf("%s: %d tracks, %zu bytes\n", name.c_str(), tracks, stored.size());
  return {dir.Write(name, stored), tracks};
}

}  // namespace

int main(int argc, char** argv) {
  testsupport::TempDir dir;
  const Catalogue large = Write(dir, "datams.dll", kTracks), half = Write(dir, "half.dll", kTracks / 2);
  const std::pair<const char*, void (*)(benchmark::State&, const Catalogue&)> steps[] = {
      {"floor/read_and_xor", ReadAndXor}, {"load", Load}, {"list", List}, {"save", Save}, {"tab", Tab}};
  for (const auto& [name, step] : steps) {
    benchmark::RegisterBenchmark(name, step, large)->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("list_of_half", List, half)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchsupport::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double floor = reporter.Time("floor/read_and_xor");
  for (const char* step : {"load", "list", "save", "tab"}) {
    const double time = reporter.Time(step);
    if (floor > 0 && time > 0) std::printf("%s / read and XOR: %.1f\n", step, time / floor);
  }
  const double list = reporter.Time("list"), listOfHalf = reporter.Time("list_of_half");
  if (list > 0 && listOfHalf > 0) std::printf("list / list of half the tracks: %.2f (linear: 2)\n", list / listOfHalf);
  benchmark::Shutdown();
  return 0;
}
