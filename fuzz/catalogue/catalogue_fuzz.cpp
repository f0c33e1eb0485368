// libFuzzer target over the stored catalogue file: the input is the file's
// bytes, scrambled as the player keeps them. Each input is loaded, asked
// everything the player asks, and a duration is saved back into it (in a
// temporary folder) and read again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/catalogue_doc.h"
#include "platform/file.h"

namespace {

const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/catalogue-fuzz-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    return std::string(name);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = Folder() + "/datams.dll";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();

  CCatalogueDoc document;
  if (!document.LoadFile(path, true)) std::abort();
  std::string problem;
  document.ParseError(&problem);
  document.GetVersion();
  document.HasEndMarker();

  std::string maker, desc, title, src, time;
  for (const std::string& category : document.GetCategoryNames()) {
    if (!document.GetCategoryInfo(category, &maker, &desc)) std::abort();
    for (int index = 0; index < 64 && document.GetTrackAt(category, index, &title, &src, &time); ++index) {
    }
    if (!document.GetTrackAt(category, 0, &title, &src, &time)) continue;
    // The first track of a category is the first of its title: a save that
    // succeeded must read back with the new time on it.
    if (document.SetTrackTime(category, title, 61) != TrackTimeResult::kSaved) continue;
    CCatalogueDoc reloaded;
    if (!reloaded.LoadFile(path, true) || !reloaded.GetTrackAt(category, 0, &title, &src, &time) || time != "01:01") {
      std::abort();
    }
  }
  return 0;
}
