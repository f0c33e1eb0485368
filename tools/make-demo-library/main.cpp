// make-demo-library: synthesizes the demo collection of dance tracks, encodes
// them as MP3 files with their tags, and writes the plain catalogues.
//
//   make-demo-library [--base URL] [--catalogues-only] OUT
//
// Writes OUT/tracks/*.mp3, OUT/catalogue-v1.xml (the catalogue installed with
// the player) and OUT/catalogue-v2.xml (the newer one the vendor publishes);
// with --catalogues-only just the two catalogues.
// Track addresses are URL/tracks/<file>; URL defaults to the vendor address
// built into the player. Progress goes to stderr.
//
// Exit status: 0 done, 1 the work failed (message on stderr), 2 bad arguments.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "demo_catalogue.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: make-demo-library [--base URL] [--catalogues-only] OUT\n"
    "       make-demo-library --help | --version\n"
    "\n"
    "  Synthesizes the demo tracks into OUT/tracks/ and writes the plain catalogues\n"
    "  OUT/catalogue-v1.xml and OUT/catalogue-v2.xml, whose track addresses are\n"
    "  URL/tracks/<file> (default URL: " TARVONI_VENDOR_BASE_URL ").\n"
    "\n"
    "  --base URL         the vendor's web server the catalogues point to\n"
    "  --catalogues-only  write only the two catalogues, no tracks\n"
    "  --help             show this text\n"
    "  --version          show the version\n";

int Usage(const char* problem) {
  std::fprintf(stderr, "make-demo-library: %s\n%s", problem, kUsageText);
  return kUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "make-demo-library: %s\n", message.c_str());
  return kFailed;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

std::string TagNames(const demo::TagPlan& tags) {
  std::string names;
  auto add = [&](const std::string& name) { names += (names.empty() ? "" : "+") + name; };
  if (tags.id3v2Version) add("ID3v2." + std::to_string(tags.id3v2Version) + (tags.cover ? " with cover" : ""));
  if (tags.ape) add("APE");
  if (tags.id3v1) add("ID3v1");
  return names.empty() ? "no tags" : names;
}

// The whole file: ID3v2 at the front, then the audio, then APE and ID3v1.
bool MakeTrackFile(const demo::DemoTrack& track, std::string* file, std::string* error) {
  std::string audio;
  if (!demo::EncodeMp3(demo::RenderSong(track.song), track.song.sampleRate, track.encoding, &audio, error)) {
    return false;
  }
  demo::TrackTags tags = demo::TagsOf(track);
  file->clear();
  if (track.tags.id3v2Version) *file += demo::Id3v2Tag(tags, track.tags.id3v2Version, 256);
  *file += audio;
  if (track.tags.ape) *file += demo::ApeTag(tags);
  if (track.tags.id3v1) *file += demo::Id3v1Tag(tags);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string baseUrl = TARVONI_VENDOR_BASE_URL;
  std::string outText;
  bool cataloguesOnly = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsageText, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("make-demo-library %s\n", TARVONI_VERSION);
      return 0;
    } else if (std::strcmp(argv[i], "--catalogues-only") == 0) {
      cataloguesOnly = true;
    } else if (std::strcmp(argv[i], "--base") == 0) {
      if (++i == argc) return Usage("--base needs a URL");
      baseUrl = argv[i];
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      return Usage((std::string("unknown option ") + argv[i]).c_str());
    } else if (outText.empty()) {
      outText = argv[i];
    } else {
      return Usage("more than one output folder given");
    }
  }
  if (outText.empty()) return Usage("no output folder given");
  while (baseUrl.size() > 1 && baseUrl.back() == '/') baseUrl.pop_back();
  if (baseUrl.rfind("http://", 0) != 0 && baseUrl.rfind("https://", 0) != 0) {
    return Usage(("the base URL must start with http:// or https://: " + baseUrl).c_str());
  }

  const auto started = std::chrono::steady_clock::now();
  const std::filesystem::path out(outText);
  const std::filesystem::path tracksFolder = out / "tracks";
  std::error_code code;
  const std::filesystem::path folder = cataloguesOnly ? out : tracksFolder;
  std::filesystem::create_directories(folder, code);
  if (code) return Fail("cannot create " + folder.string() + ": " + code.message());

  const auto& tracks = cataloguesOnly ? std::vector<demo::DemoTrack>() : demo::DemoTracks();
  size_t totalBytes = 0;
  int totalSeconds = 0;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const demo::DemoTrack& track = tracks[i];
    std::fprintf(stderr, "make-demo-library: track %zu/%zu tracks/%s: %.0f BPM, %s, %d s, %d Hz, %s, %s\n", i + 1,
                 tracks.size(), track.file.c_str(), track.song.bpm,
                 demo::KeyName(track.song.rootNote, track.song.minor).c_str(), track.song.seconds,
                 track.song.sampleRate, demo::DescribeSettings(track.encoding).c_str(), TagNames(track.tags).c_str());
    std::string bytes;
    std::string error;
    if (!MakeTrackFile(track, &bytes, &error)) return Fail(track.file + ": " + error);
    const std::filesystem::path path = tracksFolder / track.file;
    if (!WriteFile(path, bytes)) return Fail("cannot write " + path.string() + ": " + std::strerror(errno));
    totalBytes += bytes.size();
    totalSeconds += track.song.seconds;
  }
  for (int version : {1, 2}) {
    const std::filesystem::path path = out / ("catalogue-v" + std::to_string(version) + ".xml");
    if (!WriteFile(path, demo::CatalogueXml(version, baseUrl))) {
      return Fail("cannot write " + path.string() + ": " + std::strerror(errno));
    }
  }
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::fprintf(stderr,
               "make-demo-library: %zu tracks (%.1f MiB, %d:%02d of music) and catalogues v1 and v2 in %s, "
               "made in %.1f s\n",
               tracks.size(), totalBytes / 1048576.0, totalSeconds / 60, totalSeconds % 60, out.string().c_str(),
               elapsed);
  return 0;
}
