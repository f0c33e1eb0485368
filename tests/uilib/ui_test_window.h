// A skinned window for toolkit tests: builds a layout given as text, keeps
// every notification it receives and every message it handles, and passes
// messages on to its paint manager as the player's windows do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "uilib/UIlib.h"

using Strings = std::vector<std::string>;

struct SeenNotification {
  std::string type;
  std::string senderName;
  CControlUI* sender = nullptr;
  WPARAM wParam = 0;
};

class UiTestWindow : public CWindowWnd, public INotifyUI {
 public:
  explicit UiTestWindow(std::string layoutXml) : layoutXml_(std::move(layoutXml)) {}
  // Destroys the window if it is still there.
  ~UiTestWindow() override;

  LPCTSTR GetWindowClassName() const override { return "UITestFrame"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }

  // Creates the window hidden, at its layout's size.
  bool Open(HWND parent = nullptr);
  void Notify(TNotifyUI& msg) override;

  CPaintManagerUI& manager() { return manager_; }
  template <typename T = CControlUI>
  T* Find(const char* name) {
    return static_cast<T*>(manager_.FindControl(name));
  }
  std::vector<SeenNotification>& notifications() { return notifications_; }
  // The notifications seen so far as "type:sender name", forgetting them.
  Strings Take();
  // Messages the window handled, in order (paint messages left out).
  std::vector<UINT>& messages() { return messages_; }
  int paints() const { return paints_; }

  // Left-button press and release at a client point (through the manager).
  void Click(POINT pt);
  // A mouse message at a client point.
  void Mouse(UINT msg, POINT pt, WPARAM keys = 0) { SendMessage(msg, keys, MAKELPARAM(pt.x, pt.y)); }
  // Runs `hook` for each message before the window's own handling.
  std::function<void(UINT, WPARAM, LPARAM)> onMessage;
  // Runs when the window object is finished with (after its window is gone).
  std::function<void()> onFinal;

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  std::string layoutXml_;
  CPaintManagerUI manager_;
  std::vector<SeenNotification> notifications_;
  std::vector<UINT> messages_;
  int paints_ = 0;
};

// What a window shows, as CaptureWindow reads it.
struct Picture {
  std::vector<uint32_t> pixels;
  int width = 0;
  int height = 0;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
  // Pixels inside `rc` that differ from `background`.
  int CountNot(const RECT& rc, uint32_t background) const;
};
Picture Capture(HWND hWnd);

// Appends a track row built as the player builds its rows (alternating
// greys; number, "songname" and time labels; the address as user data).
CListContainerElementUI* AddTrackRow(CListUI* list, const std::string& title, const std::string& url = "");

// The centre of a control.
POINT CenterOf(CControlUI* control);
// Handles waiting messages until `done` holds or 30 s pass; true when it held.
bool PumpUntil(const std::function<bool()>& done);
// Handles waiting messages for `ms` milliseconds.
void PumpFor(int ms);
