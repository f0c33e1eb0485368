// tarvoni-catalogue: reads and writes the player's scrambled catalogue file.
//
//   unpack FILE                               prints the plain XML
//   pack XML OUT                              writes XML scrambled to OUT
//   ls FILE                                   lists version, end marker, categories and tracks
//   set-time FILE CATEGORY TITLE SECONDS      records a track's duration, as the player does
//
// Writes to a catalogue hold its write lock, as the player's do, so that
// neither undoes the other. Exit status: 0 done, 1 the work failed (message
// on stderr), 2 bad arguments.
#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/catalogue_doc.h"
#include "platform/console.h"
#include "catalogue/catalogue_file.h"
#include "platform/file.h"

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr char kUsageText[] =
    "usage: tarvoni-catalogue unpack FILE\n"
    "       tarvoni-catalogue pack XML OUT\n"
    "       tarvoni-catalogue ls FILE\n"
    "       tarvoni-catalogue set-time FILE CATEGORY TITLE SECONDS\n"
    "       tarvoni-catalogue --help | --version\n"
    "\n"
    "  unpack    print the plain XML of the scrambled catalogue FILE\n"
    "  pack      scramble the catalogue text XML into the file OUT (replaced whole)\n"
    "  ls        list the version, the end marker and every category with its tracks\n"
    "            (control characters and backslashes in texts are written as \\n, \\t, \\x1B, \\\\ ...)\n"
    "  set-time  set the time of the track TITLE in CATEGORY to SECONDS, as mm:ss\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "  Exit status: 0 done, 1 the work failed, 2 bad arguments.\n";

int Usage(const char* problem = nullptr) {
  if (problem) std::fprintf(stderr, "tarvoni-catalogue: %s\n", problem);
  std::fputs(kUsageText, stderr);
  return kUsage;
}

int Fail(const std::string& message) {
  std::fprintf(stderr, "tarvoni-catalogue: %s\n", message.c_str());
  return kFailed;
}

int CannotRead(const std::string& path) {
  return Fail(platform::PathExists(path) ? path + ": cannot be read" : path + ": no such file");
}

// Loads `path` into `document`, or, when `bytes` is given, reads it into
// `*bytes` and parses those (the document then saves nothing); on failure
// prints why and returns false.
bool Load(const std::string& path, bool scrambled, CCatalogueDoc* document, std::string* bytes = nullptr) {
  const bool read = bytes ? platform::ReadWholeFile(path, bytes) : document->LoadFile(path, scrambled);
  if (!read) {
    CannotRead(path);
    return false;
  }
  if (bytes) document->LoadBytes(*bytes, scrambled);
  std::string problem;
  if (document->ParseError(&problem)) {
    // Plain XML read as scrambled yields nothing of a catalogue at all.
    const bool nothingRead = !document->HasEndMarker() && document->GetCategoryNames().empty();
    Fail(path + ": not a readable catalogue: " + problem +
         (scrambled && nothingRead ? "; is it a plain XML file rather than a scrambled one?" : ""));
    return false;
  }
  return true;
}

std::string Scrambled(std::string bytes) {
  CCatalogueDoc::ScrambleBytes(bytes.data(), bytes.size(), bytes.data(), catalogue::kCatalogueKey);
  return bytes;
}

int LockFailed(const std::string& path, platform::FileLock::Failure failure) {
  const std::string lockPath = catalogue::CatalogueLockPath(path);
  if (failure == platform::FileLock::Failure::kCannotOpen) {
    return Fail(path + ": its lock file " + lockPath + " cannot be created; nothing was written");
  }
  return Fail(path + ": another program kept " + lockPath + " locked for " +
              std::to_string(catalogue::kCatalogueLockTimeout.count()) + " s; nothing was written");
}

int Unpack(const std::string& path) {
  CCatalogueDoc document;
  std::string bytes;
  if (!Load(path, true, &document, &bytes)) return kFailed;
  std::string plain = Scrambled(std::move(bytes));
  if (std::fwrite(plain.data(), 1, plain.size(), stdout) != plain.size() || std::fflush(stdout) != 0) {
    return Fail("cannot write to standard output");
  }
  return 0;
}

int Pack(const std::string& xmlPath, const std::string& outPath) {
  CCatalogueDoc document;
  std::string bytes;
  if (!Load(xmlPath, false, &document, &bytes)) return kFailed;
  if (!document.HasEndMarker()) {
    std::fprintf(stderr,
                 "tarvoni-catalogue: warning: %s has no <end/> after the catalogue; "
                 "the player's update never installs such a file\n",
                 xmlPath.c_str());
  }
  catalogue::CatalogueWriteLock lock(outPath);
  if (!lock.Held()) return LockFailed(outPath, lock.Failure());
  if (!platform::ReplaceFileContents(outPath, Scrambled(std::move(bytes)))) return Fail(outPath + ": cannot be written");
  return 0;
}

// A text of the catalogue as one piece of a line: control characters (C0,
// DEL, and C1 as UTF-8) and backslashes escaped, so that no text can end
// the line or start another, move the cursor, or pass for a separator.
std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    char escape[8];
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    } else if (c1) {
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned char>(text[++i]));
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int List(const std::string& path) {
  CCatalogueDoc document;
  if (!Load(path, true, &document)) return kFailed;
  std::printf("version: %d\n", document.GetVersion());
  std::printf("end marker: %s\n", document.HasEndMarker() ? "yes" : "no");
  for (const std::string& category : document.GetCategoryNames()) {
    std::string maker, desc;
    document.GetCategoryInfo(category, &maker, &desc);
    std::printf("category: %s\n  maker: %s\n  desc: %s\n", Escaped(category).c_str(), Escaped(maker).c_str(),
                Escaped(desc).c_str());
    std::string title, src, time;
    for (int index = 0; document.GetTrackAt(category, index, &title, &src, &time); ++index) {
      std::printf("  %d\t%s\t%s\t%s\n", index + 1, time.empty() ? "--:--" : Escaped(time).c_str(),
                  Escaped(title).c_str(), Escaped(src).c_str());
    }
  }
  return std::fflush(stdout) == 0 ? 0 : Fail("cannot write to standard output");
}

// A whole number of seconds, digits only, within int's range.
bool ReadSeconds(const std::string& text, int* seconds) {
  if (text.empty() || text.size() > 10) return false;
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value > INT_MAX) return false;
  *seconds = static_cast<int>(value);
  return true;
}

int SetTime(const std::string& path, const std::string& category, const std::string& title,
            const std::string& secondsText) {
  int seconds = 0;
  if (!ReadSeconds(secondsText, &seconds)) return Usage(("SECONDS must be a whole number: " + secondsText).c_str());
  CCatalogueDoc document;
  if (!Load(path, true, &document)) return kFailed;
  std::string maker, desc;
  if (!document.GetCategoryInfo(category, &maker, &desc)) return Fail(path + ": no category \"" + category + "\"");
  switch (document.SetTrackTime(category, title, seconds)) {
    case TrackTimeResult::kSaved:
      return 0;
    case TrackTimeResult::kNoSuchTrack:
      return Fail(path + ": no track \"" + title + "\" in category \"" + category + "\"");
    case TrackTimeResult::kLocked:
      return LockFailed(path, platform::FileLock::Failure::kBusy);
    case TrackTimeResult::kNotSaved:
      break;
  }
  return Fail(path + ": cannot be written; it is unchanged");
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = platform::StartConsoleProgram(argc, argv);
  if (args.empty()) return Usage();
  const std::string& command = args[0];
  if (command == "unpack" && args.size() == 2) return Unpack(args[1]);
  if (command == "pack" && args.size() == 3) return Pack(args[1], args[2]);
  if (command == "ls" && args.size() == 2) return List(args[1]);
  if (command == "set-time" && args.size() == 5) return SetTime(args[1], args[2], args[3], args[4]);
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("tarvoni-catalogue %s\n", TARVONI_VERSION);
    return 0;
  }
  bool known = command == "unpack" || command == "pack" || command == "ls" || command == "set-time";
  return Usage(known ? ("wrong number of arguments for " + command).c_str() : ("unknown command: " + command).c_str());
}
