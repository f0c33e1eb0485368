#include "app/player_settings.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/file.h"
#include "platform/text.h"

namespace {

constexpr char kHeading[] = "[tarvoni]";

// Why the text is no settings file; empty when it is one (then `*settings` holds it).
std::string Parse(const std::string& text, PlayerSettings* settings) {
  if (!platform::IsValidUtf8(text)) return "it is not UTF-8 text";
  size_t lineNumber = 0;
  bool headed = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    const std::string where = "line " + std::to_string(lineNumber);
    if (!headed) {
      if (line != kHeading) return where + " is not the heading " + kHeading;
      headed = true;
      continue;
    }
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return where + " is not name=value";
    const std::string_view name = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    if (name == "volume") {
      char* rest = nullptr;
      const long volume = std::strtol(value.c_str(), &rest, 10);
      if (value.empty() || *rest != '\0' || volume < 0 || volume > 100) return where + ": volume is not 0 to 100";
      settings->volume = static_cast<int>(volume);
    } else if (name == "category") {
      settings->category = value;
    } else if (name == "track") {
      settings->trackAddress = value;
    }
  }
  return headed ? std::string() : std::string("it has no heading ") + kHeading;
}

}  // namespace

PlayerSettings LoadPlayerSettings(const std::string& path) {
  PlayerSettings settings;
  if (!platform::PathExists(path)) return settings;
  std::string text;
  if (!platform::ReadWholeFile(path, &text)) {
    std::fprintf(stderr, "tarvoni: ignoring the settings file %s: it cannot be read\n", path.c_str());
    return settings;
  }
  PlayerSettings read;
  const std::string problem = Parse(text, &read);
  if (!problem.empty()) {
    std::fprintf(stderr, "tarvoni: ignoring the settings file %s: %s\n", path.c_str(), problem.c_str());
    return settings;
  }
  return read;
}

bool SavePlayerSettings(const std::string& path, const PlayerSettings& settings) {
  std::string text = std::string(kHeading) + "\n";
  if (settings.volume >= 0) text += "volume=" + std::to_string(settings.volume) + "\n";
  // Line ends inside a value would end it early: they are never stored.
  auto oneLine = [](std::string value) {
    for (char& c : value) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    return value;
  };
  if (!settings.category.empty()) text += "category=" + oneLine(settings.category) + "\n";
  if (!settings.trackAddress.empty()) text += "track=" + oneLine(settings.trackAddress) + "\n";
  return platform::ReplaceFileContents(path, text);
}
