// tarvoni-play [--volume V] [--seek SECONDS@AT] URL...
//
// Plays the tracks at the URLs one after another through the player's audio
// engine, headless, the way the main window drives it: each URL is a track
// request, a track's end or failure moves on to the next. Prints the status
// text the window would show, one line per change. --volume applies a
// volume slider value (0-100) to every track; --seek seeks every track to
// SECONDS, AT seconds after its first position report.
//
// SDL_AUDIODRIVER picks the output (dummy: silent, real time; disk: into
// SDL_DISKAUDIOFILE). A track that cannot be played, or whose download broke
// off for good, is said on standard error with the reason. Exit status 0
// when every track played to its end, 1 when one failed, 2 on bad arguments.
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/player_folders.h"
#include "engine/engine.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "platform/sync.h"

namespace {

struct Options {
  std::optional<int> volume;
  std::optional<int> seekSeconds;
  int seekAfterSeconds = 0;
  std::vector<std::string> urls;
};

void Usage() {
  std::fputs("usage: tarvoni-play [--volume 0-100] [--seek SECONDS@AT] URL...\n", stderr);
}

bool ParseNumber(const char* text, int* value) {
  char* end = nullptr;
  const long number = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || number < 0 || number > 1000000) return false;
  *value = static_cast<int>(number);
  return true;
}

bool ParseArguments(const std::vector<std::string>& arguments, Options* options) {
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--volume" && i + 1 < arguments.size()) {
      int volume = 0;
      if (!ParseNumber(arguments[++i].c_str(), &volume) || volume > 100) {
        std::fprintf(stderr, "tarvoni-play: --volume takes 0 to 100, not \"%s\"\n", arguments[i].c_str());
        return false;
      }
      options->volume = volume;
    } else if (argument == "--seek" && i + 1 < arguments.size()) {
      const std::string& spec = arguments[++i];
      const size_t at = spec.find('@');
      int seconds = 0;
      if (at == std::string::npos || !ParseNumber(spec.substr(0, at).c_str(), &seconds) ||
          !ParseNumber(spec.substr(at + 1).c_str(), &options->seekAfterSeconds)) {
        std::fprintf(stderr, "tarvoni-play: --seek takes SECONDS@AT, not \"%s\"\n", spec.c_str());
        return false;
      }
      options->seekSeconds = seconds;
    } else if (argument.starts_with("--")) {
      std::fprintf(stderr, "tarvoni-play: unknown option \"%s\"\n", argument.c_str());
      return false;
    } else {
      options->urls.push_back(argument);
    }
  }
  if (options->urls.empty()) std::fputs("tarvoni-play: no URL to play\n", stderr);
  return !options->urls.empty();
}

std::string Clock(int32_t elapsed, int32_t total) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d:%02d / %02d:%02d", elapsed / 60, elapsed % 60, total / 60, total % 60);
  return text;
}

// The window's part: receives the engine's messages on the main thread and
// reacts to them as the window does.
class Player : public engine::EngineHost {
 public:
  explicit Player(const Options& options) : options_(options) {}

  // Plays every URL; true when each of them played to its end.
  bool Run() {
    engine::EngineSettings settings;
    // The player's own folders, portable or installed.
    const PlayerFolders folders = FindPlayerFolders(platform::ProgramFolder());
    settings.programFolder = folders.libraryFolder;
    settings.cacheFolder = folders.cacheFolder.substr(0, folders.cacheFolder.size() - 1);
    platform::CreateFolders(folders.cacheFolder, nullptr);
    engine_ = engine::Engine::Start(*this, settings);
    if (!engine_) {
      std::fputs("tarvoni-play: cannot start the engine's threads\n", stderr);
      return false;
    }
    if (options_.volume) engine_->SetVolume(*options_.volume);
    bool allPlayed = true;
    for (size_t i = 0; i < options_.urls.size(); ++i) {
      const std::string& url = options_.urls[i];
      engine_->SetNextTrack(i + 1 < options_.urls.size() ? options_.urls[i + 1] : std::string());
      if (!PlayTrack(url)) {
        allPlayed = false;
        std::fprintf(stderr, "tarvoni-play: %s: %s\n", url.c_str(), engine_->FailureReason().c_str());
      }
    }
    engine_.reset();
    return allPlayed;
  }

  void PostEngineMessage(uint32_t type, uint32_t value) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back({type, value});
    }
    posted_.notify_one();
  }

 private:
  struct Message {
    uint32_t type;
    uint32_t value;
  };

  // True when the track played to its end, false when it failed.
  bool PlayTrack(const std::string& url) {
    Show("正在定位舞曲...");
    engine_->RequestTrack(url);
    bool positioned = false;
    uint64_t seekAt = 0;
    for (;;) {
      std::optional<Message> message = Next(seekAt);
      if (!message) {
        engine_->Seek(*options_.seekSeconds, engine_->TotalSeconds());
        seekAt = 0;
        continue;
      }
      const engine::EngineReport report = engine_->Digest(message->type, message->value);
      switch (report.type) {
        case engine::kMessageDuration:
          Show(Clock(0, engine_->TotalSeconds()));
          break;
        case engine::kMessageDownloaded:
          if (report.bufferingShown) Show("缓冲" + std::to_string(report.bufferingPercent) + "%");
          break;
        case engine::kMessagePosition:
          Show(Clock(static_cast<int32_t>(report.value), engine_->TotalSeconds()));
          if (!positioned) {
            positioned = true;
            if (options_.seekSeconds && engine_->TotalSeconds() > 0) {
              seekAt = platform::MonotonicMs() + uint64_t{1000} * options_.seekAfterSeconds;
            }
          }
          break;
        case engine::kMessageTrackEnd:
          Show("即将播放下一首舞曲");
          return true;
        case engine::kMessageFailed:
          Show("定位文件失败,即将播放下一首舞曲");
          return false;
        default:
          break;
      }
    }
  }

  // The next message; nothing when the time `deadlineMs` (0: none) came first.
  std::optional<Message> Next(uint64_t deadlineMs) {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!queue_.empty()) {
        const Message message = queue_.front();
        queue_.pop_front();
        return message;
      }
      if (deadlineMs == 0) {
        posted_.wait(lock);
        continue;
      }
      const uint64_t now = platform::MonotonicMs();
      if (now >= deadlineMs) return std::nullopt;
      posted_.wait_for(lock, std::chrono::milliseconds(deadlineMs - now));
    }
  }

  void Show(const std::string& text) {
    if (text == shown_) return;
    shown_ = text;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
  }

  const Options& options_;
  std::unique_ptr<engine::Engine> engine_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<Message> queue_;
  std::string shown_;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseArguments(platform::StartConsoleProgram(argc, argv), &options)) {
    Usage();
    return 2;
  }
  Player player(options);
  const bool allPlayed = player.Run();
  // What the device still holds reaches the speakers (or the file).
  platform::SleepMs(250);
  platform::ShutdownSound();
  return allPlayed ? 0 : 1;
}
