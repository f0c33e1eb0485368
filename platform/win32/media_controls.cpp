// The keyboard's media keys, wherever the focus is: the keys are registered
// as hot keys of a message-only window served on a thread of its own. The
// player's state is not shown anywhere on Windows.
#include "platform/media_controls.h"

#include <windows.h>

#include <thread>

#include "wide.h"

namespace platform {

namespace {

// Hot key identifiers, one per key.
enum HotKey : int { kPlayPauseKey = 1, kStopKey, kNextKey, kPreviousKey };

constexpr struct {
  HotKey id;
  UINT key;
} kMediaKeys[] = {
    {kPlayPauseKey, VK_MEDIA_PLAY_PAUSE},
    {kStopKey, VK_MEDIA_STOP},
    {kNextKey, VK_MEDIA_NEXT_TRACK},
    {kPreviousKey, VK_MEDIA_PREV_TRACK},
};

void Deliver(MediaCommands* commands, WPARAM id) {
  switch (id) {
    case kPlayPauseKey: commands->PlayPause(); break;
    case kStopKey: commands->Stop(); break;
    case kNextKey: commands->Next(); break;
    case kPreviousKey: commands->Previous(); break;
    default: break;
  }
}

}  // namespace

struct MediaControls::Bus {
  MediaCommands* commands = nullptr;
  DWORD threadId = 0;
  std::thread thread;

  ~Bus() {
    if (thread.joinable()) {
      PostThreadMessageW(threadId, WM_QUIT, 0, 0);
      thread.join();
    }
  }

  // Registers the keys and serves them until WM_QUIT. `registered` and
  // `error` (the caller's, valid until `ready` is set) get how many keys
  // could be had (another program may hold some) and why not all.
  void Serve(HANDLE ready, int* registered, std::string* error) {
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // makes the thread's queue
    threadId = GetCurrentThreadId();
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    int count = 0;
    for (const auto& key : kMediaKeys) {
      if (window != nullptr && RegisterHotKey(window, key.id, MOD_NOREPEAT, key.key)) {
        ++count;
      } else if (error->empty()) {
        *error = window == nullptr ? "no message window: " + SystemMessage(GetLastError())
                                   : "the media keys are taken: " + SystemMessage(GetLastError());
      }
    }
    *registered = count;
    SetEvent(ready);
    if (count == 0) {
      if (window != nullptr) DestroyWindow(window);
      return;
    }
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (message.message == WM_HOTKEY) Deliver(commands, message.wParam);
    }
    for (const auto& key : kMediaKeys) UnregisterHotKey(window, key.id);
    DestroyWindow(window);
  }
};

std::unique_ptr<MediaControls> MediaControls::Start(const std::string&, const std::string&, const std::string&,
                                                    MediaCommands* commands, std::string* error) {
  auto bus = std::make_unique<Bus>();
  bus->commands = commands;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ready == nullptr) {
    if (error != nullptr) *error = SystemMessage(GetLastError());
    return nullptr;
  }
  int registered = 0;
  std::string why;
  bus->thread = std::thread([raw = bus.get(), ready, &registered, &why] { raw->Serve(ready, &registered, &why); });
  WaitForSingleObject(ready, INFINITE);
  CloseHandle(ready);
  if (registered == 0) {
    bus->thread.join();
    if (error != nullptr) *error = why;
    return nullptr;
  }
  return std::unique_ptr<MediaControls>(new MediaControls(std::move(bus)));
}

MediaControls::MediaControls(std::unique_ptr<Bus> bus) : bus_(std::move(bus)) {}
MediaControls::~MediaControls() = default;

void MediaControls::Update(const MediaState&, bool) {}

}  // namespace platform
