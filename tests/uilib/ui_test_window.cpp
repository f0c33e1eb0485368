#include "ui_test_window.h"

#include <gtest/gtest.h>

#include "platform/sync.h"
#include "uilib/ui_snapshot.h"

UiTestWindow::~UiTestWindow() {
  if (m_hWnd) DestroyWindow(m_hWnd);
}

bool UiTestWindow::Open(HWND parent) { return Create(parent, "uilib test", WS_POPUP, 0, 0, 0, 0, 0) != nullptr; }

void UiTestWindow::Notify(TNotifyUI& msg) {
  notifications_.push_back({msg.sType.str(), msg.pSender ? msg.pSender->GetName().str() : "", msg.pSender, msg.wParam});
}

Strings UiTestWindow::Take() {
  Strings seen;
  for (const SeenNotification& notification : notifications_)
    seen.push_back(notification.type + ":" + notification.senderName);
  notifications_.clear();
  return seen;
}

void UiTestWindow::Click(POINT pt) {
  Mouse(WM_MOUSEMOVE, pt);
  Mouse(WM_LBUTTONDOWN, pt, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, pt);
}

LRESULT UiTestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_PAINT)
    ++paints_;
  else
    messages_.push_back(uMsg);
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

int Picture::CountNot(const RECT& rc, uint32_t background) const {
  int count = 0;
  for (int y = rc.top; y < rc.bottom; ++y) {
    for (int x = rc.left; x < rc.right; ++x) count += At(x, y) != background;
  }
  return count;
}

Picture Capture(HWND hWnd) {
  Picture picture;
  EXPECT_TRUE(CaptureWindow(hWnd, &picture.pixels, &picture.width, &picture.height));
  return picture;
}

CListContainerElementUI* AddTrackRow(CListUI* list, const std::string& title, const std::string& url) {
  const int index = list->GetCount();
  auto* row = new CListContainerElementUI;
  row->ApplyAttributeList(index % 2 == 0 ? R"(height="30" inset="0,0,50,0" bkcolor="#FFf5f5f5")"
                                         : R"(height="30" inset="0,0,50,0" bkcolor="#FFfAfAfA")");
  auto* line = new CHorizontalLayoutUI;
  row->Add(line);
  const std::pair<const char*, std::string> labels[] = {
      {R"(align="center" mouse="false" textcolor="#FFFC9505" width="70")", std::to_string(index + 1)},
      {R"(name="songname" align="left" mouse="false" textcolor="#FF666666")", title},
      {R"(align="right" mouse="false" textcolor="#FF666666" width="60")", "04:05"}};
  for (const auto& [attributes, text] : labels) {
    auto* label = new CLabelUI;
    label->ApplyAttributeList(attributes);
    label->SetText(text.c_str());
    line->Add(label);
  }
  row->SetUserData(url.c_str());
  list->Add(row);
  return row;
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

void PumpFor(int ms) {
  const uint64_t end = platform::MonotonicMs() + static_cast<uint64_t>(ms);
  while (platform::MonotonicMs() < end) {
    CPaintManagerUI::PumpMessages();
    platform::SleepMs(5);
  }
}
