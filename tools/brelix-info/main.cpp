// brelix-info [--json] LOCATION...
//
// Prints what Brelix finds in each MPEG audio file or URL: the six figures
// the library exports, the tags, the first frame and the VBR header. A
// location beginning with "http" or "www" (any case) is a URL, as the player
// decides. Exit status 1 when any location cannot be inspected: it cannot be
// opened, is not a regular file (a FIFO, a device), or holds no whole MPEG
// audio frame.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

#include "lame_tag.h"
#include "mpa_file_info.h"
#include "platform/console.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/sync.h"

namespace {

bool IsUrl(const char* location) {
  return strncasecmp(location, "http", 4) == 0 || strncasecmp(location, "www", 3) == 0;
}

const char* MpegVersionText(const CMPAHeader& header) {
  switch (header.version) {
    case CMPAHeader::kMpeg1: return "1";
    case CMPAHeader::kMpeg2: return "2";
    default: return "2.5";
  }
}

const char* LayerText(const CMPAHeader& header) {
  static const char* const kLayers[] = {"I", "II", "III"};
  return kLayers[header.layer];
}

const char* ChannelModeText(const CMPAHeader& header) {
  static const char* const kModes[] = {"stereo", "joint stereo", "dual channel", "single channel"};
  return kModes[header.channelMode];
}

std::vector<const CTag*> TagsOf(const CMPAFileInfo& info) {
  std::vector<const CTag*> tags;
  uint32_t index = 0;
  while (const CTag* tag = info.GetTagList().GetNextTag(index)) tags.push_back(tag);
  return tags;
}

// A JSON string: valid UTF-8 passes through, any other byte stands for the
// Latin-1 character of that value.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 2;
    if (!valid || c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
      i += 1;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      i += 1;
    } else {
      out.append(text, i, length);
      i += length;
    }
  }
  return out + "\"";
}

// A version as a number: 2.4, 3.97; null when it is not finite.
std::string JsonVersion(float version) {
  if (version != version || version - version != 0) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(version));
  return text;
}

// Printable text of the bytes of an encoder string.
std::string Printable(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02X", c);
      out += escape;
    }
  }
  return out;
}

void PrintJson(const char* location, const CMPAFileInfo& info) {
  std::printf("{\"location\":%s,\"ok\":true,\"seconds\":%u,\"sample_rate\":%u,\"frames_begin\":%u,"
              "\"frames_end\":%u,\"all_frames_size\":%u,\"bytes_per_sec\":%u,\"tags\":[",
              JsonString(location).c_str(), info.GetMusicTime(), info.GetSampleRate(), info.GetFramesBegin(),
              info.GetFramesEnd(), info.GetAllFramesSize(), info.GetBytesOneSec());
  const char* separator = "";
  for (const CTag* tag : TagsOf(info)) {
    std::printf("%s{\"name\":%s,\"version\":%s,\"offset\":%u,\"size\":%u}", separator,
                JsonString(tag->GetName()).c_str(), JsonVersion(tag->GetVersion()).c_str(), tag->GetOffset(),
                tag->GetSize());
    separator = ",";
  }
  const CMPAFrame& frame = info.GetFirstFrame();
  const CMPAHeader& header = frame.GetHeader();
  std::printf("],\"first_frame\":{\"mpeg_version\":\"%s\",\"layer\":%d,\"bitrate\":%u,\"sample_rate\":%u,"
              "\"channel_mode\":\"%s\",\"offset\":%u,\"length\":%u},\"vbr\":",
              MpegVersionText(header), header.layer + 1, header.bitrate, header.sampleRate, ChannelModeText(header),
              frame.GetOffset(), frame.GetLength());
  const CVBRHeader* vbr = info.GetVBRHeader();
  if (!vbr) {
    std::printf("null}\n");
    return;
  }
  std::printf("{\"kind\":%s,\"offset\":%u,\"frames\":%u,\"bytes\":%u,\"quality\":%u,\"table_size\":%zu,\"lame\":",
              JsonString(vbr->GetIdentifier()).c_str(), vbr->GetOffset(), vbr->GetFrames(), vbr->GetBytes(),
              vbr->GetQuality(), vbr->GetTable().size());
  const auto* xing = dynamic_cast<const CXINGHeader*>(vbr);
  const CLAMETag* lame = xing ? xing->GetLAMETag() : nullptr;
  if (!lame) {
    std::printf("null}}\n");
    return;
  }
  std::printf("{\"encoder\":%s,\"version\":%s,\"vbr_method\":\"%s\",\"revision\":%u,\"lowpass\":%d,\"bitrate\":%u}}}\n",
              JsonString(lame->GetEncoder()).c_str(), JsonVersion(lame->GetVersion()).c_str(), lame->GetVBRInfo(),
              lame->GetRevision(), lame->GetLowpass(), lame->GetBitrate());
}

void PrintText(const char* location, const CMPAFileInfo& info) {
  std::printf("%s\n", location);
  std::printf("  duration          %u s\n", info.GetMusicTime());
  std::printf("  sample rate       %u Hz\n", info.GetSampleRate());
  std::printf("  audio data        bytes %u to %u (%u bytes)\n", info.GetFramesBegin(), info.GetFramesEnd(),
              info.GetAllFramesSize());
  std::printf("  bytes per second  %u\n", info.GetBytesOneSec());
  for (const CTag* tag : TagsOf(info)) {
    std::printf("  tag               %s %g at %u, %u bytes\n", tag->GetName().c_str(),
                static_cast<double>(tag->GetVersion()), tag->GetOffset(), tag->GetSize());
  }
  const CMPAFrame& frame = info.GetFirstFrame();
  const CMPAHeader& header = frame.GetHeader();
  std::printf("  first frame       MPEG %s Layer %s, %u kbit/s, %u Hz, %s, at %u, %u bytes\n", MpegVersionText(header),
              LayerText(header), header.bitrate / 1000, header.sampleRate, ChannelModeText(header), frame.GetOffset(),
              frame.GetLength());
  const CVBRHeader* vbr = info.GetVBRHeader();
  if (!vbr) {
    std::printf("  VBR header        none\n");
    return;
  }
  std::printf("  VBR header        %s at %u: %u frames, %u bytes, quality %u, table of %zu entries\n",
              vbr->GetIdentifier().c_str(), vbr->GetOffset(), vbr->GetFrames(), vbr->GetBytes(), vbr->GetQuality(),
              vbr->GetTable().size());
  const auto* xing = dynamic_cast<const CXINGHeader*>(vbr);
  if (const CLAMETag* lame = xing ? xing->GetLAMETag() : nullptr) {
    std::printf("  LAME tag          encoder \"%s\", VBR method %s\n", Printable(lame->GetEncoder()).c_str(),
                lame->GetVBRInfo());
  }
}

constexpr char kUsageText[] =
    "usage: brelix-info [--json] LOCATION...\n"
    "       brelix-info --help | --version\n"
    "\n"
    "  Prints what Brelix finds in each MPEG audio file or URL: duration, sample\n"
    "  rate, audio byte range, bytes per second, tags, first frame, VBR header.\n"
    "  LOCATION is an MPEG audio file, or a URL when it begins with http or www.\n"
    "\n"
    "  --json     one JSON object per location, one per line\n"
    "  --help     show this text\n"
    "  --version  show the version\n"
    "\n"
    "  Exit status: 0 all inspected, 1 a location could not be inspected, 2 bad arguments.\n";

// Brelix gives up on a server after this long; one that held it so long did not answer in time.
constexpr uint64_t kInspectionGivenUpMs = 8000;
// The one request that asks a server why it could not be inspected ends by then.
constexpr uint64_t kDiagnosisEndsMs = 9500;
constexpr uint32_t kDiagnosisTimeoutMs = 3000;

// Why a location that Brelix began inspecting at `startMs` could not be
// opened, as far as can be told afresh: the file's own error, or for an
// address the server's status or why it gave none.
std::string WhyNotOpened(const char* location, uint64_t startMs) {
  if (!IsUrl(location)) {
    const std::string why = platform::WhyUnreadable(location);
    return why.empty() ? "cannot open" : "cannot open: " + why;
  }
  if (platform::MonotonicMs() - startMs >= kInspectionGivenUpMs) return "cannot open: the server did not answer in time";
  std::string url = location;
  if (url.find("://") == std::string::npos) url = "http://" + url;
  platform::HttpRequestOptions options;
  options.connectTimeoutMs = kDiagnosisTimeoutMs;
  options.stallTimeoutMs = kDiagnosisTimeoutMs;
  options.deadlineMs = startMs + kDiagnosisEndsMs;
  platform::HttpSession session;
  std::string error;
  const auto response = session.Open(url, options, &error);
  if (!response) return "cannot open: " + error;
  const std::string status = response->StatusText();
  if (status.starts_with('2')) return "cannot open: the server sends no usable Content-Length";
  return "cannot open: the server answers HTTP status " + status;
}

// What a local path names when that is not a regular file ("a FIFO"); null
// for a regular file or a path that cannot be looked at.
const char* NotARegularFile(const char* path) {
  // The seam reads any name (UTF-8 or the ANSI code page on Windows).
  if (platform::DirectoryExists(path)) return "a folder";
  std::error_code error;
  switch (std::filesystem::status(path, error).type()) {
    case std::filesystem::file_type::fifo: return "a FIFO";
    case std::filesystem::file_type::socket: return "a socket";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block: return "a device";
    default: return nullptr;
  }
}

// Inspects `location` into `*info`. Why it cannot be inspected, or "" when it can.
std::string Inspect(const char* location, std::unique_ptr<CMPAFileInfo>* info) {
  const bool local = !IsUrl(location);
  if (const char* kind = local ? NotARegularFile(location) : nullptr) return std::string(kind) + ", not a regular file";
  CMPAFileInfo::Failure failure = CMPAFileInfo::Failure::kNone;
  const uint64_t startMs = platform::MonotonicMs();
  *info = CMPAFileInfo::Create(location, local, &failure);
  if (!*info) {
    return failure == CMPAFileInfo::Failure::kCannotOpen ? WhyNotOpened(location, startMs) : "no MPEG audio frame found";
  }
  // A header whose frame the stream is too short to hold starts no frame.
  const CMPAFrame& frame = (*info)->GetFirstFrame();
  if (uint64_t{frame.GetOffset()} + frame.GetLength() > (*info)->GetStream().GetSize()) {
    return "no MPEG audio frame found";
  }
  return "";
}

int Usage() {
  std::fputs(kUsageText, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool json = false;
  std::vector<const char*> locations;
  const std::vector<std::string> arguments = platform::StartConsoleProgram(argc, argv);
  for (const std::string& argument : arguments) {
    if (argument == "--json") {
      json = true;
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsageText, stdout);
      return 0;
    } else if (argument == "--version") {
      std::printf("brelix-info %s\n", TARVONI_VERSION);
      return 0;
    } else if (argument.size() > 1 && argument[0] == '-') {
      std::fprintf(stderr, "brelix-info: unknown option %s\n", argument.c_str());
      return Usage();
    } else {
      locations.push_back(argument.c_str());
    }
  }
  if (locations.empty()) return Usage();

  int status = 0;
  for (const char* location : locations) {
    std::unique_ptr<CMPAFileInfo> info;
    const std::string problem = Inspect(location, &info);
    if (!problem.empty()) {
      std::fprintf(stderr, "brelix-info: %s: %s\n", location, problem.c_str());
      if (json) {
        std::printf("{\"location\":%s,\"ok\":false,\"error\":%s}\n", JsonString(location).c_str(),
                    JsonString(problem).c_str());
      }
      status = 1;
      continue;
    }
    if (json) {
      PrintJson(location, *info);
    } else {
      PrintText(location, *info);
    }
  }
  return status;
}
