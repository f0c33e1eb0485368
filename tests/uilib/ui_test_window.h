// A skinned window for toolkit tests: builds a layout given as text, keeps
// every notification it receives and every message it handles, and passes
// messages on to its paint manager as the player's windows do.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "uilib/UIlib.h"

struct SeenNotification {
  std::string type;
  CControlUI* sender = nullptr;
  std::string senderName;
  WPARAM wParam = 0;
};

class UiTestWindow : public CWindowWnd, public INotifyUI {
 public:
  explicit UiTestWindow(std::string layoutXml) : layoutXml_(std::move(layoutXml)) {}

  LPCTSTR GetWindowClassName() const override { return "UITestFrame"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }

  // Creates the window hidden, at its layout's size.
  bool Open(HWND parent = nullptr);
  void Notify(TNotifyUI& msg) override;

  CPaintManagerUI& manager() { return manager_; }
  CControlUI* Find(const char* name) { return manager_.FindControl(name); }
  std::vector<SeenNotification>& notifications() { return notifications_; }
  std::vector<std::string> NotificationTypes() const;
  // Messages the window handled, in order (paint messages left out).
  std::vector<UINT>& messages() { return messages_; }
  int paints() const { return paints_; }

  // Left-button press and release at a client point (through the manager).
  void Click(POINT pt);
  void DoubleClick(POINT pt);
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

// The centre of a control.
POINT CenterOf(CControlUI* control);
// Handles waiting messages until `done` holds or 30 s pass; true when it held.
bool PumpUntil(const std::function<bool()>& done);
// Handles every message waiting now.
void PumpPending();
