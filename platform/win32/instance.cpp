// The claim is a named mutex, which the system drops when the holder ends
// however it ends. Beside it two named events: a later start sets "show"
// and waits for the holder to set "shown". The names are made from the
// folder, so copies of the program with folders of their own do not meet.
#include "platform/instance.h"

#include <windows.h>

#include <cstdint>
#include <thread>

#include "wide.h"

namespace platform {

namespace {

constexpr DWORD kAnswerWaitMs = 3000;

// Kernel object names may not hold backslashes: the folder is named by a
// hash of its text, case folded as Windows compares paths.
std::wstring ObjectName(const std::string& folder, const std::string& name, const wchar_t* what) {
  uint64_t hash = 1469598103934665603ull;
  for (char c : folder) {
    const auto byte = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    hash = (hash ^ byte) * 1099511628211ull;
  }
  wchar_t digits[17];
  swprintf(digits, 17, L"%016llx", static_cast<unsigned long long>(hash));
  std::wstring object = L"Local\\";
  for (char c : name) object += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return object + L"-" + digits + L"-" + what;
}

std::string LastErrorText(const std::string& what) { return what + ": " + SystemMessage(GetLastError()); }

}  // namespace

struct SingleInstance::State {
  HANDLE claim = nullptr;
  HANDLE show = nullptr;
  HANDLE shown = nullptr;
  HANDLE stop = nullptr;
  std::function<void()> onShow;
  std::thread listener;

  ~State() {
    if (listener.joinable()) {
      SetEvent(stop);
      listener.join();
    }
    for (HANDLE handle : {stop, shown, show, claim}) {
      if (handle != nullptr) CloseHandle(handle);
    }
  }

  void Listen() {
    const HANDLE waited[2] = {show, stop};
    while (WaitForMultipleObjects(2, waited, FALSE, INFINITE) == WAIT_OBJECT_0) {
      onShow();
      SetEvent(shown);
    }
  }
};

SingleInstance::SingleInstance(std::unique_ptr<State> state) : state_(std::move(state)) {}
SingleInstance::~SingleInstance() = default;

std::unique_ptr<SingleInstance> SingleInstance::Claim(const std::string& folder, const std::string& name,
                                                      std::function<void()> onShow, Outcome* outcome,
                                                      std::string* error) {
  auto state = std::make_unique<State>();
  auto unavailable = [&](const std::string& what) {
    *outcome = Outcome::kUnavailable;
    if (error != nullptr) *error = LastErrorText(what);
    return nullptr;
  };
  // The events exist before the claim, so a later start that finds the
  // claim always finds them.
  state->show = CreateEventW(nullptr, FALSE, FALSE, ObjectName(folder, name, L"show").c_str());
  if (state->show == nullptr) return unavailable("the event " + name + "-show");
  state->shown = CreateEventW(nullptr, FALSE, FALSE, ObjectName(folder, name, L"shown").c_str());
  if (state->shown == nullptr) return unavailable("the event " + name + "-shown");
  state->claim = CreateMutexW(nullptr, FALSE, ObjectName(folder, name, L"claim").c_str());
  if (state->claim == nullptr) return unavailable("the mutex " + name + "-claim");
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // The holder may bring its window to the front.
    AllowSetForegroundWindow(ASFW_ANY);
    SetEvent(state->show);
    const bool answered = WaitForSingleObject(state->shown, kAnswerWaitMs) == WAIT_OBJECT_0;
    *outcome = answered ? Outcome::kOtherAnswered : Outcome::kOtherSilent;
    return nullptr;
  }
  state->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (state->stop == nullptr) return unavailable("an event");
  state->onShow = std::move(onShow);
  state->listener = std::thread([raw = state.get()] { raw->Listen(); });
  *outcome = Outcome::kFirst;
  return std::unique_ptr<SingleInstance>(new SingleInstance(std::move(state)));
}

}  // namespace platform
