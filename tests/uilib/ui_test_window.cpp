#include "ui_test_window.h"

#include "platform/sync.h"

bool UiTestWindow::Open(HWND parent) { return Create(parent, "uilib test", WS_POPUP, 0, 0, 0, 0, 0) != nullptr; }

void UiTestWindow::Notify(TNotifyUI& msg) {
  SeenNotification seen;
  seen.type = msg.sType.str();
  seen.sender = msg.pSender;
  seen.senderName = msg.pSender ? msg.pSender->GetName().str() : std::string();
  seen.wParam = msg.wParam;
  notifications_.push_back(seen);
}

std::vector<std::string> UiTestWindow::NotificationTypes() const {
  std::vector<std::string> types;
  for (const SeenNotification& seen : notifications_) types.push_back(seen.type);
  return types;
}

void UiTestWindow::Click(POINT pt) {
  SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
  SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void UiTestWindow::DoubleClick(POINT pt) {
  Click(pt);
  SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
  SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

LRESULT UiTestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_PAINT) ++paints_;
  else messages_.push_back(uMsg);
  if (onMessage) onMessage(uMsg, wParam, lParam);
  if (uMsg == WM_CREATE) {
    manager_.Init(m_hWnd);
    CDialogBuilder builder;
    manager_.AttachDialog(builder.CreateFromText(layoutXml_, "test.xml", &manager_));
    manager_.AddNotifier(this);
    return 0;
  }
  LRESULT result = 0;
  if (manager_.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void UiTestWindow::OnFinalMessage(HWND) {
  manager_.RemoveNotifier(this);
  if (onFinal) onFinal();
}

POINT CenterOf(CControlUI* control) {
  const RECT& rc = control->GetPos();
  return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

bool PumpUntil(const std::function<bool()>& done) {
  const uint64_t deadline = platform::MonotonicMs() + 30000;
  while (!done()) {
    if (platform::MonotonicMs() > deadline) return false;
    CPaintManagerUI::PumpMessages();
    platform::SleepMs(1);
  }
  return true;
}

void PumpPending() { CPaintManagerUI::PumpMessages(); }
