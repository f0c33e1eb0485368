// The message queue, notifications, painting, modal windows and the window
// life cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "platform/sync.h"
#include "ui_test_window.h"

namespace {

const char* const kSimple = R"(<Window size="200,120"><VerticalLayout bkcolor="#FF000000">
  <Button name="ok" height="40"/></VerticalLayout></Window>)";

constexpr UINT kPing = WM_USER + 120;
constexpr UINT kOther = WM_USER + 1;

class MessagesTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(window_.Open()); }
  UiTestWindow window_{kSimple};
};

TEST_F(MessagesTest, SynchronousNotifyRunsAtOnceAndAsynchronousAfterTheCurrentMessage) {
  Strings order;
  window_.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg != kPing) return;
    window_.manager().SendNotify(nullptr, "later", 5002, 0, true);
    window_.manager().SendNotify(nullptr, "now", 0, 0, false);
    order.push_back(window_.notifications().back().type);
    order.push_back("end of message");
  };
  window_.PostMessage(kPing);
  ASSERT_TRUE(PumpUntil([&] { return window_.notifications().size() == 2; }));
  order.push_back(window_.notifications().back().type);
  EXPECT_EQ(order, (Strings{"now", "end of message", "later"}));
  EXPECT_EQ(window_.notifications().back().wParam, 5002u);
}

TEST_F(MessagesTest, PendingNotificationOfARemovedControlIsDropped) {
  CControlUI* ok = window_.Find("ok");
  window_.manager().SendNotify(ok, "click", 0, 0, true);
  static_cast<CContainerUI*>(window_.manager().GetRoot())->Remove(ok);
  window_.manager().SendNotify(nullptr, "marker", 0, 0, true);
  ASSERT_TRUE(PumpUntil([&] { return !window_.notifications().empty(); }));
  EXPECT_EQ(window_.Take(), Strings{"marker:"});
}

TEST_F(MessagesTest, PostedMessagesFromOtherThreadsAllArriveInTheirOrder) {
  constexpr int kPerThread = 50000;
  std::vector<int> lastSeen(2, -1);
  int received = 0;
  bool ordered = true;
  window_.onMessage = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kPing) return;
    int& last = lastSeen[static_cast<size_t>(lParam)];
    if (static_cast<int>(wParam) != last + 1) ordered = false;
    last = static_cast<int>(wParam);
    ++received;
  };
  HWND target = window_;
  std::atomic<int> refused{0};
  auto producer = [&](int thread) {
    for (int i = 0; i < kPerThread; ++i) refused += !PostMessage(target, kPing, static_cast<WPARAM>(i), thread);
  };
  std::thread first(producer, 0);
  std::thread second(producer, 1);
  EXPECT_TRUE(PumpUntil([&] { return received == 2 * kPerThread; })) << received;
  first.join();
  second.join();
  EXPECT_EQ(refused.load(), 0) << "far more than SDL's event queue holds, and none refused";
  EXPECT_TRUE(ordered);
}

TEST_F(MessagesTest, SendMessageFromAnotherThreadRunsTheHandlerOnTheUiThreadAndReturnsItsResult) {
  const std::thread::id uiThread = std::this_thread::get_id();
  std::thread::id handledOn;
  window_.onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == WM_NCHITTEST) handledOn = std::this_thread::get_id();
  };
  RECT bounds{};
  ASSERT_TRUE(GetWindowRect(window_, &bounds));
  const LPARAM inside = MAKELPARAM((bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2);
  HWND target = window_;
  std::atomic<LRESULT> answer{-5};
  std::thread sender([&] { answer = SendMessage(target, WM_NCHITTEST, 0, inside); });
  EXPECT_TRUE(PumpUntil([&] { return answer.load() != -5; }));
  sender.join();
  EXPECT_EQ(answer.load(), HTCLIENT);
  EXPECT_EQ(handledOn, uiThread);
}

// A flood of changes is painted at most once per frame; no change, no paint.
TEST_F(MessagesTest, RepaintsFollowChangesAtMostOncePerFrameAndNeverWithoutOne) {
  window_.ShowWindow(true, false);
  ASSERT_TRUE(PumpUntil([&] { return window_.paints() > 0; }));
  CControlUI* ok = window_.Find("ok");
  int handled = 0;
  window_.onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg != kPing) return;
    ok->SetText(std::to_string(wParam).c_str());
    ++handled;
  };
  int paintsBefore = window_.paints();
  const uint64_t start = platform::MonotonicMs();
  for (int i = 0; i < 20000; ++i) window_.PostMessage(kPing, static_cast<WPARAM>(i), 0);
  ASSERT_TRUE(PumpUntil([&] { return handled == 20000; }));
  const uint64_t elapsed = platform::MonotonicMs() - start;
  const int paints = window_.paints() - paintsBefore;
  // Frames are at least ~16 ms apart at 60 Hz (offscreen reports no rate).
  EXPECT_LE(paints, static_cast<int>(elapsed / 15) + 2) << "paints " << paints << " in " << elapsed << " ms";
  EXPECT_GE(paints, 1);

  PumpFor(200);
  paintsBefore = window_.paints();
  ok->SetText(ok->GetText());
  ok->SetVisible(true);
  PumpFor(200);
  EXPECT_EQ(window_.paints(), paintsBefore) << "nothing changed, nothing painted";
}

TEST_F(MessagesTest, AltF4ClosesAndDestroysTheWindowAndPostsAfterAreRefused) {
  bool finalRan = false;
  window_.onFinal = [&] { finalRan = true; };
  HWND gone = window_;
  window_.messages().clear();
  window_.SendMessage(WM_SYSKEYDOWN, VK_F4, 1 << 29);
  // The system sends more on the way (activation, positions): these are the steps.
  const std::vector<UINT> steps{WM_SYSKEYDOWN, WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
  std::erase_if(window_.messages(), [&steps](UINT msg) { return std::find(steps.begin(), steps.end(), msg) == steps.end(); });
  EXPECT_EQ(window_.messages(), steps);
  EXPECT_TRUE(finalRan);
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_EQ(window_.GetHWND(), nullptr);
  EXPECT_FALSE(PostMessage(gone, kPing, 0, 0));
}

// A dialog that deletes itself when its window is gone, as the player's do.
class SelfDeletingWindow : public UiTestWindow {
 public:
  using UiTestWindow::UiTestWindow;

 protected:
  void OnFinalMessage(HWND hWnd) override {
    UiTestWindow::OnFinalMessage(hWnd);
    delete this;
  }
};

// The owner takes no input while the dialog runs: its click is dropped.
TEST_F(MessagesTest, DoModalReturnsTheCloseCodeOnceTheWindowIsGoneAndTheOwnerWaitsMeanwhile) {
  bool deleted = false;
  auto* dialog = new SelfDeletingWindow(kSimple);
  ASSERT_TRUE(dialog->Open(window_));
  dialog->onFinal = [&] { deleted = true; };
  dialog->onMessage = [dialog](UINT msg, WPARAM, LPARAM) {
    if (msg == kOther) dialog->Close(IDCANCEL + 40);
  };
  POINT ok = CenterOf(window_.Find("ok"));
  window_.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(ok.x, ok.y));
  window_.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(ok.x, ok.y));
  dialog->PostMessage(kOther);
  EXPECT_EQ(dialog->DoModal(), IDCANCEL + 40u);
  EXPECT_TRUE(deleted);
  EXPECT_EQ(window_.Take(), Strings{}) << "the owner's click arrived while it was disabled";
  EXPECT_TRUE(IsWindowEnabled(window_)) << "the owner takes input again";
  window_.Click(ok);
  EXPECT_EQ(window_.Take(), Strings{"click:ok"});
}

TEST_F(MessagesTest, QuitDuringModalLoopEndsItAndReachesTheOuterLoopWithItsCode) {
  UiTestWindow dialog(kSimple);
  ASSERT_TRUE(dialog.Open());
  dialog.onMessage = [](UINT msg, WPARAM, LPARAM) {
    if (msg == kOther) PostQuitMessage(3);
  };
  dialog.PostMessage(kOther);
  dialog.DoModal();
  EXPECT_TRUE(IsWindow(dialog)) << "quitting does not close the dialog";
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);
}

}  // namespace
