// The desktop's media controls: the player offers itself to the desktop
// (MPRIS 2 on the D-Bus session bus on Linux), so that media keys, panel
// applets and tools such as playerctl can see and drive it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace platform {

// What the desktop shows of the player.
struct MediaState {
  enum class Status { kStopped, kPlaying, kPaused };
  Status status = Status::kStopped;
  // The track in hand; all empty (and lengthUs 0) when there is none.
  std::string trackId;  // an object path naming the track, unique per request
  std::string title;
  std::string album;
  std::string url;
  int64_t lengthUs = 0;
  int64_t positionUs = 0;
  double volume = 1.0;  // 0 to 1
  bool canGoNext = false;
  bool canGoPrevious = false;
  bool canSeek = false;
};

// What the desktop asks of the player. Called on the controls' own thread:
// an implementation hands the request to the player's thread and returns.
class MediaCommands {
 public:
  virtual ~MediaCommands() = default;
  virtual void Raise() = 0;
  virtual void Quit() = 0;
  virtual void PlayPause() = 0;
  virtual void Play() = 0;
  virtual void Pause() = 0;
  virtual void Stop() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  // To `positionUs` of the track `trackId` (ignored when it is no longer the one in hand).
  virtual void SetPosition(const std::string& trackId, int64_t positionUs) = 0;
  virtual void SetVolume(double volume) = 0;
};

class MediaControls {
 public:
  // Offers the player named `name` (the bus name org.mpris.MediaPlayer2.<name>)
  // with `identity` shown to the user and the menu entry `desktopEntry`. Null
  // when there is no session bus or the name is taken; `*error` says why.
  // `commands` must outlive the controls.
  static std::unique_ptr<MediaControls> Start(const std::string& name, const std::string& identity,
                                              const std::string& desktopEntry, MediaCommands* commands,
                                              std::string* error);
  // Stops offering the player.
  ~MediaControls();
  MediaControls(const MediaControls&) = delete;
  MediaControls& operator=(const MediaControls&) = delete;

  // The state now; what changed (but the position) is announced to the
  // desktop. A position that jumped (a seek) is announced as such.
  void Update(const MediaState& state, bool seeked = false);

  struct Bus;

 private:
  explicit MediaControls(std::unique_ptr<Bus> bus);
  std::unique_ptr<Bus> bus_;
};

}  // namespace platform
