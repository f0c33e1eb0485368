// MPRIS 2 over sd-bus. The bus is served on a thread of its own: it answers
// property reads from the state last given to Update, hands method calls to
// the player's MediaCommands, and sends the change signals Update asks for.
// The bus object is touched by that thread only.
#include "platform/media_controls.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

namespace platform {

namespace {

constexpr char kObjectPath[] = "/org/mpris/MediaPlayer2";
constexpr char kRootInterface[] = "org.mpris.MediaPlayer2";
constexpr char kPlayerInterface[] = "org.mpris.MediaPlayer2.Player";
constexpr char kNoTrack[] = "/org/mpris/MediaPlayer2/TrackList/NoTrack";

const char* StatusText(MediaState::Status status) {
  switch (status) {
    case MediaState::Status::kPlaying: return "Playing";
    case MediaState::Status::kPaused: return "Paused";
    case MediaState::Status::kStopped: break;
  }
  return "Stopped";
}

}  // namespace

struct MediaControls::Bus {
  sd_bus* bus = nullptr;
  sd_bus_slot* rootSlot = nullptr;
  sd_bus_slot* playerSlot = nullptr;
  int wakeFd = -1;
  std::string identity;
  std::string desktopEntry;
  MediaCommands* commands = nullptr;

  std::mutex mutex;  // guards what follows
  MediaState state;
  std::vector<const char*> changed;  // property names to announce
  bool seeked = false;
  bool stopping = false;

  std::thread thread;

  ~Bus() {
    if (thread.joinable()) {
      {
        std::lock_guard lock(mutex);
        stopping = true;
      }
      Wake();
      thread.join();
    }
    sd_bus_slot_unref(playerSlot);
    sd_bus_slot_unref(rootSlot);
    if (bus != nullptr) sd_bus_flush_close_unref(bus);
    if (wakeFd >= 0) close(wakeFd);
  }

  void Wake() {
    const uint64_t one = 1;
    const ssize_t ignored = write(wakeFd, &one, sizeof one);
    (void)ignored;
  }

  MediaState Snapshot() {
    std::lock_guard lock(mutex);
    return state;
  }

  void Serve() {
    for (;;) {
      while (sd_bus_process(bus, nullptr) > 0) {
      }
      std::vector<const char*> names;
      bool announceSeek = false;
      int64_t position = 0;
      {
        std::lock_guard lock(mutex);
        if (stopping) return;
        names.swap(changed);
        announceSeek = seeked;
        seeked = false;
        position = state.positionUs;
      }
      if (!names.empty()) {
        names.push_back(nullptr);
        sd_bus_emit_properties_changed_strv(bus, kObjectPath, kPlayerInterface, const_cast<char**>(names.data()));
      }
      if (announceSeek) sd_bus_emit_signal(bus, kObjectPath, kPlayerInterface, "Seeked", "x", position);
      sd_bus_flush(bus);

      uint64_t timeoutUs = UINT64_MAX;
      sd_bus_get_timeout(bus, &timeoutUs);
      int timeoutMs = -1;
      if (timeoutUs != UINT64_MAX) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const uint64_t nowUs = static_cast<uint64_t>(now.tv_sec) * 1000000 + static_cast<uint64_t>(now.tv_nsec) / 1000;
        timeoutMs = timeoutUs > nowUs ? static_cast<int>((timeoutUs - nowUs + 999) / 1000) : 0;
      }
      pollfd ready[2] = {{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}, {wakeFd, POLLIN, 0}};
      if (poll(ready, 2, timeoutMs) < 0 && errno != EINTR) return;
      if (ready[1].revents & POLLIN) {
        uint64_t count = 0;
        const ssize_t ignored = read(wakeFd, &count, sizeof count);
        (void)ignored;
      }
    }
  }
};

namespace {

using Bus = MediaControls::Bus;

Bus& Of(void* userdata) { return *static_cast<Bus*>(userdata); }

// A method that takes no arguments and answers nothing: `act` runs on the commands.
template <void (MediaCommands::*act)()>
int Call(sd_bus_message* message, void* userdata, sd_bus_error*) {
  (Of(userdata).commands->*act)();
  return sd_bus_reply_method_return(message, "");
}

int Seek(sd_bus_message* message, void* userdata, sd_bus_error*) {
  int64_t offset = 0;
  const int read = sd_bus_message_read(message, "x", &offset);
  if (read < 0) return read;
  const MediaState state = Of(userdata).Snapshot();
  if (state.canSeek) {
    const int64_t target = std::max<int64_t>(0, state.positionUs + offset);
    Of(userdata).commands->SetPosition(state.trackId, std::min(target, state.lengthUs));
  }
  return sd_bus_reply_method_return(message, "");
}

int SetPosition(sd_bus_message* message, void* userdata, sd_bus_error*) {
  const char* track = nullptr;
  int64_t position = 0;
  const int read = sd_bus_message_read(message, "ox", &track, &position);
  if (read < 0) return read;
  const MediaState state = Of(userdata).Snapshot();
  if (state.canSeek && track != nullptr && state.trackId == track && position >= 0 && position <= state.lengthUs) {
    Of(userdata).commands->SetPosition(track, position);
  }
  return sd_bus_reply_method_return(message, "");
}

int OpenUri(sd_bus_message* message, void*, sd_bus_error* error) {
  return sd_bus_error_set(error, SD_BUS_ERROR_NOT_SUPPORTED, "Tarvoni plays the tracks of its catalogue only");
}

int Boolean(sd_bus_message* reply, bool value) { return sd_bus_message_append(reply, "b", static_cast<int>(value)); }

int GetRoot(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
            sd_bus_error*) {
  Bus& bus = Of(userdata);
  if (std::strcmp(property, "Identity") == 0) return sd_bus_message_append(reply, "s", bus.identity.c_str());
  if (std::strcmp(property, "DesktopEntry") == 0) return sd_bus_message_append(reply, "s", bus.desktopEntry.c_str());
  if (std::strcmp(property, "SupportedUriSchemes") == 0) return sd_bus_message_append(reply, "as", 0);
  if (std::strcmp(property, "SupportedMimeTypes") == 0) return sd_bus_message_append(reply, "as", 0);
  // CanQuit, CanRaise; HasTrackList, CanSetFullscreen, Fullscreen are false.
  return Boolean(reply, std::strcmp(property, "CanQuit") == 0 || std::strcmp(property, "CanRaise") == 0);
}

int AppendMetadata(sd_bus_message* reply, const MediaState& state) {
  int r = sd_bus_message_open_container(reply, 'a', "{sv}");
  auto entry = [&](const char* key, const char* type, auto value) {
    if (r < 0) return;
    r = sd_bus_message_append(reply, "{sv}", key, type, value);
  };
  entry("mpris:trackid", "o", state.trackId.empty() ? kNoTrack : state.trackId.c_str());
  if (!state.trackId.empty()) {
    entry("mpris:length", "x", state.lengthUs);
    entry("xesam:title", "s", state.title.c_str());
    entry("xesam:album", "s", state.album.c_str());
    entry("xesam:url", "s", state.url.c_str());
  }
  return r < 0 ? r : sd_bus_message_close_container(reply);
}

int GetPlayer(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply, void* userdata,
              sd_bus_error*) {
  const MediaState state = Of(userdata).Snapshot();
  const std::string name = property;
  if (name == "PlaybackStatus") return sd_bus_message_append(reply, "s", StatusText(state.status));
  if (name == "Metadata") return AppendMetadata(reply, state);
  if (name == "Volume") return sd_bus_message_append(reply, "d", state.volume);
  if (name == "Position") return sd_bus_message_append(reply, "x", state.positionUs);
  if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return sd_bus_message_append(reply, "d", 1.0);
  if (name == "CanGoNext") return Boolean(reply, state.canGoNext);
  if (name == "CanGoPrevious") return Boolean(reply, state.canGoPrevious);
  if (name == "CanSeek") return Boolean(reply, state.canSeek);
  if (name == "CanPlay") return Boolean(reply, state.canGoNext || !state.trackId.empty());
  if (name == "CanPause") return Boolean(reply, !state.trackId.empty());
  return Boolean(reply, true);  // CanControl
}

int SetVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void* userdata, sd_bus_error*) {
  double volume = 0;
  const int read = sd_bus_message_read(value, "d", &volume);
  if (read < 0) return read;
  Of(userdata).commands->SetVolume(std::clamp(volume, 0.0, 1.0));
  return 0;
}

constexpr uint64_t kChanges = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;
constexpr uint64_t kConstant = SD_BUS_VTABLE_PROPERTY_CONST;
constexpr uint64_t kAnyone = SD_BUS_VTABLE_UNPRIVILEGED;

const sd_bus_vtable kRootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", Call<&MediaCommands::Raise>, kAnyone),
    SD_BUS_METHOD("Quit", "", "", Call<&MediaCommands::Quit>, kAnyone),
    SD_BUS_PROPERTY("CanQuit", "b", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("CanRaise", "b", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("CanSetFullscreen", "b", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("Fullscreen", "b", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("HasTrackList", "b", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("Identity", "s", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("DesktopEntry", "s", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", GetRoot, 0, kConstant),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", GetRoot, 0, kConstant),
    SD_BUS_VTABLE_END};

const sd_bus_vtable kPlayerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", Call<&MediaCommands::Next>, kAnyone),
    SD_BUS_METHOD("Previous", "", "", Call<&MediaCommands::Previous>, kAnyone),
    SD_BUS_METHOD("Pause", "", "", Call<&MediaCommands::Pause>, kAnyone),
    SD_BUS_METHOD("PlayPause", "", "", Call<&MediaCommands::PlayPause>, kAnyone),
    SD_BUS_METHOD("Stop", "", "", Call<&MediaCommands::Stop>, kAnyone),
    SD_BUS_METHOD("Play", "", "", Call<&MediaCommands::Play>, kAnyone),
    SD_BUS_METHOD("Seek", "x", "", Seek, kAnyone),
    SD_BUS_METHOD("SetPosition", "ox", "", SetPosition, kAnyone),
    SD_BUS_METHOD("OpenUri", "s", "", OpenUri, kAnyone),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("Rate", "d", GetPlayer, 0, kConstant),
    SD_BUS_PROPERTY("MinimumRate", "d", GetPlayer, 0, kConstant),
    SD_BUS_PROPERTY("MaximumRate", "d", GetPlayer, 0, kConstant),
    SD_BUS_PROPERTY("Metadata", "a{sv}", GetPlayer, 0, kChanges),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", GetPlayer, SetVolume, 0, kChanges | kAnyone),
    SD_BUS_PROPERTY("Position", "x", GetPlayer, 0, 0),
    SD_BUS_PROPERTY("CanGoNext", "b", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("CanGoPrevious", "b", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("CanPlay", "b", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("CanPause", "b", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("CanSeek", "b", GetPlayer, 0, kChanges),
    SD_BUS_PROPERTY("CanControl", "b", GetPlayer, 0, kConstant),
    SD_BUS_VTABLE_END};

std::string Why(const char* what, int result) { return std::string(what) + ": " + std::strerror(-result); }

}  // namespace

MediaControls::MediaControls(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {}
MediaControls::~MediaControls() = default;

std::unique_ptr<MediaControls> MediaControls::Start(const std::string& name, const std::string& identity,
                                                    const std::string& desktopEntry, MediaCommands* commands,
                                                    std::string* error) {
  auto bus = std::make_unique<Bus>();
  bus->identity = identity;
  bus->desktopEntry = desktopEntry;
  bus->commands = commands;
  int r = sd_bus_open_user(&bus->bus);
  if (r < 0) {
    *error = Why("no session bus", r);
    return nullptr;
  }
  bus->wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (bus->wakeFd < 0) {
    *error = Why("eventfd", -errno);
    return nullptr;
  }
  r = sd_bus_add_object_vtable(bus->bus, &bus->rootSlot, kObjectPath, kRootInterface, kRootTable, bus.get());
  if (r >= 0) r = sd_bus_add_object_vtable(bus->bus, &bus->playerSlot, kObjectPath, kPlayerInterface, kPlayerTable, bus.get());
  if (r < 0) {
    *error = Why("cannot offer the player's objects", r);
    return nullptr;
  }
  const std::string busName = std::string(kRootInterface) + "." + name;
  r = sd_bus_request_name(bus->bus, busName.c_str(), 0);
  if (r < 0) {
    *error = Why(("cannot own the name " + busName).c_str(), r);
    return nullptr;
  }
  bus->thread = std::thread([raw = bus.get()] { raw->Serve(); });
  return std::unique_ptr<MediaControls>(new MediaControls(std::move(bus)));
}

void MediaControls::Update(const MediaState& state, bool seeked) {
  {
    std::lock_guard lock(bus_->mutex);
    const MediaState& old = bus_->state;
    auto note = [&](bool differs, const char* property) {
      if (!differs) return;
      for (const char* name : bus_->changed) {
        if (std::strcmp(name, property) == 0) return;
      }
      bus_->changed.push_back(property);
    };
    note(old.status != state.status, "PlaybackStatus");
    note(old.trackId != state.trackId || old.title != state.title || old.album != state.album || old.url != state.url ||
             old.lengthUs != state.lengthUs,
         "Metadata");
    note(old.volume != state.volume, "Volume");
    note(old.canGoNext != state.canGoNext, "CanGoNext");
    note(old.canGoPrevious != state.canGoPrevious, "CanGoPrevious");
    note(old.canSeek != state.canSeek, "CanSeek");
    note(old.canGoNext != state.canGoNext || old.trackId.empty() != state.trackId.empty(), "CanPlay");
    note(old.trackId.empty() != state.trackId.empty(), "CanPause");
    bus_->seeked = bus_->seeked || seeked;
    bus_->state = state;
  }
  bus_->Wake();
}

}  // namespace platform
