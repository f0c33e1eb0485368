// The message queue, notifications, modal windows and window life cycle.
#include <gtest/gtest.h>

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
  void SetUp() override {
    window_ = new UiTestWindow(kSimple);
    ASSERT_TRUE(window_->Open());
  }
  void TearDown() override {
    if (IsWindow(*window_)) DestroyWindow(*window_);
    delete window_;
  }
  UiTestWindow* window_ = nullptr;
};

TEST_F(MessagesTest, SynchronousNotifyRunsAtOnceAndAsynchronousAfterTheCurrentMessage) {
  std::vector<std::string> order;
  window_->onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == kPing) {
      window_->manager().SendNotify(nullptr, "later", 5002, 0, true);
      window_->manager().SendNotify(nullptr, "now", 0, 0, false);
      order.push_back(window_->notifications().back().type);
      order.push_back("end of message");
    }
  };
  window_->PostMessage(kPing);
  ASSERT_TRUE(PumpUntil([&] { return window_->notifications().size() == 2; }));
  order.push_back(window_->notifications().back().type);
  EXPECT_EQ(order, (std::vector<std::string>{"now", "end of message", "later"}));
  EXPECT_EQ(window_->notifications().back().sender, nullptr);
  EXPECT_EQ(window_->notifications().back().wParam, 5002u);
}

TEST_F(MessagesTest, PendingNotificationOfARemovedControlIsDropped) {
  auto* root = static_cast<CContainerUI*>(window_->manager().GetRoot());
  CControlUI* ok = window_->Find("ok");
  window_->manager().SendNotify(ok, "click", 0, 0, true);
  root->Remove(ok);
  window_->manager().SendNotify(nullptr, "marker", 0, 0, true);
  ASSERT_TRUE(PumpUntil([&] { return !window_->notifications().empty(); }));
  EXPECT_EQ(window_->NotificationTypes(), std::vector<std::string>{"marker"});
}

TEST_F(MessagesTest, PostedMessagesFromOtherThreadsAllArriveInTheirOrder) {
  constexpr int kPerThread = 50000;
  std::vector<int> lastSeen(2, -1);
  int received = 0;
  bool ordered = true;
  window_->onMessage = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg != kPing) return;
    int thread = static_cast<int>(lParam);
    int sequence = static_cast<int>(wParam);
    if (sequence != lastSeen[static_cast<size_t>(thread)] + 1) ordered = false;
    lastSeen[static_cast<size_t>(thread)] = sequence;
    ++received;
  };
  HWND target = *window_;
  std::atomic<int> refused{0};
  auto producer = [&](int thread) {
    for (int i = 0; i < kPerThread; ++i) {
      if (!PostMessage(target, kPing, static_cast<WPARAM>(i), thread)) ++refused;
    }
  };
  std::thread first(producer, 0);
  std::thread second(producer, 1);
  EXPECT_TRUE(PumpUntil([&] { return received == 2 * kPerThread; })) << received;
  first.join();
  second.join();
  EXPECT_EQ(refused.load(), 0) << "far more than SDL's event queue holds, and none refused";
  EXPECT_TRUE(ordered);
}

TEST_F(MessagesTest, AFloodOfRepaintRequestsIsPaintedAtMostOncePerFrame) {
  window_->ShowWindow(true, false);
  PumpUntil([&] { return window_->paints() > 0; });
  auto* ok = static_cast<CButtonUI*>(window_->Find("ok"));
  int handled = 0;
  window_->onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg != kPing) return;
    ok->SetText(std::to_string(wParam).c_str());
    ++handled;
  };
  const int paintsBefore = window_->paints();
  const uint64_t start = platform::MonotonicMs();
  for (int i = 0; i < 20000; ++i) window_->PostMessage(kPing, static_cast<WPARAM>(i), 0);
  ASSERT_TRUE(PumpUntil([&] { return handled == 20000; }));
  const uint64_t elapsed = platform::MonotonicMs() - start;
  const int paints = window_->paints() - paintsBefore;
  // Frames are at least ~16 ms apart at 60 Hz (offscreen reports no rate).
  EXPECT_LE(paints, static_cast<int>(elapsed / 15) + 2) << "paints " << paints << " in " << elapsed << " ms";
  EXPECT_GE(paints, 1);
}

TEST_F(MessagesTest, RedrawOnlyWhenSomethingChanged) {
  window_->ShowWindow(true, false);
  ASSERT_TRUE(PumpUntil([&] { return window_->paints() > 0; }));
  auto idle = [] {
    for (int i = 0; i < 10; ++i) {
      PumpPending();
      platform::SleepMs(20);
    }
  };
  idle();
  const int settled = window_->paints();
  window_->Find("ok")->SetText(window_->Find("ok")->GetText());
  window_->Find("ok")->SetVisible(true);
  idle();
  EXPECT_EQ(window_->paints(), settled) << "nothing changed, nothing painted";
  window_->Find("ok")->SetText("changed");
  idle();
  EXPECT_EQ(window_->paints(), settled + 1);
}

// Counts how often it is painted.
class PaintCounter : public CControlUI {
 public:
  void DoPaint(CRenderUI& render, const RECT& paintRect) override {
    ++paints;
    CControlUI::DoPaint(render, paintRect);
  }
  int paints = 0;
};

class CounterBuilder : public IDialogBuilderCallback {
 public:
  CControlUI* CreateControl(LPCTSTR className) override {
    return std::string(className) == "Counter" ? new PaintCounter : nullptr;
  }
};

TEST(PartialRepaintTest, AChangeRepaintsOnlyTheControlsItTouches) {
  class CounterWindow : public UiTestWindow {
   public:
    CounterWindow() : UiTestWindow("") {}

   protected:
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
      if (uMsg == WM_CREATE) {
        manager().Init(m_hWnd);
        CounterBuilder counters;
        CDialogBuilder builder;
        manager().AttachDialog(builder.CreateFromText(
            R"(<Window size="200,50"><HorizontalLayout><Counter name="left"/><Counter name="right"/></HorizontalLayout></Window>)",
            "counters.xml", &manager(), &counters));
        return 0;
      }
      return UiTestWindow::HandleMessage(uMsg, wParam, lParam);
    }
  } window;
  ASSERT_TRUE(window.Open());
  window.ShowWindow(true, false);
  auto* left = static_cast<PaintCounter*>(window.Find("left"));
  auto* right = static_cast<PaintCounter*>(window.Find("right"));
  ASSERT_TRUE(PumpUntil([&] { return left->paints > 0 && right->paints > 0; }));
  const int leftBefore = left->paints;
  const int rightBefore = right->paints;
  right->SetBkColor(0xFF00FF00);
  ASSERT_TRUE(PumpUntil([&] { return right->paints > rightBefore; }));
  for (int i = 0; i < 5; ++i) {
    PumpPending();
    platform::SleepMs(20);
  }
  EXPECT_EQ(left->paints, leftBefore) << "the untouched control was not painted again";
  EXPECT_EQ(right->paints, rightBefore + 1);
  DestroyWindow(window);
}

TEST_F(MessagesTest, PostingToAGoneWindowIsRefused) {
  HWND gone = *window_;
  bool finalRan = false;
  window_->onFinal = [&] { finalRan = true; };
  DestroyWindow(gone);
  EXPECT_TRUE(finalRan);
  EXPECT_FALSE(IsWindow(gone));
  EXPECT_FALSE(PostMessage(gone, kPing, 0, 0));
  EXPECT_EQ(window_->GetHWND(), nullptr);
}

TEST_F(MessagesTest, SystemCloseBecomesCloseAndDestroysUnlessHandled) {
  window_->messages().clear();
  window_->SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(*window_));
  std::vector<UINT> expected{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY};
  EXPECT_EQ(window_->messages(), expected);
}

TEST_F(MessagesTest, AltF4IsTheSystemCloseCommand) {
  bool closeCommand = false;
  window_->onMessage = [&](UINT msg, WPARAM wParam, LPARAM) {
    if (msg == WM_SYSCOMMAND && wParam == SC_CLOSE) closeCommand = true;
  };
  window_->SendMessage(WM_SYSKEYDOWN, VK_F4, 1 << 29);
  EXPECT_TRUE(closeCommand);
}

TEST_F(MessagesTest, QuitEndsTheLoopWithItsCode) {
  window_->PostMessage(kOther);
  PostQuitMessage(7);
  window_->PostMessage(kOther);
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
  int others = 0;
  for (UINT msg : window_->messages()) others += msg == kOther;
  EXPECT_EQ(others, 1) << "messages after the quit wait for a later loop";
  PumpPending();
}

// A window that deletes itself when its window is gone, as the player's do.
class SelfDeletingWindow : public UiTestWindow {
 public:
  SelfDeletingWindow(const char* xml, bool* deleted) : UiTestWindow(xml), deleted_(deleted) {}
  ~SelfDeletingWindow() override { *deleted_ = true; }

 protected:
  void OnFinalMessage(HWND hWnd) override {
    UiTestWindow::OnFinalMessage(hWnd);
    delete this;
  }

 private:
  bool* deleted_;
};

TEST_F(MessagesTest, DoModalReturnsTheCloseCodeOnceTheWindowIsGone) {
  bool deleted = false;
  auto* dialog = new SelfDeletingWindow(kSimple, &deleted);
  ASSERT_TRUE(dialog->Open(*window_));
  HWND owner = *window_;
  dialog->onMessage = [dialog](UINT msg, WPARAM, LPARAM) {
    if (msg == kOther) dialog->Close(IDCANCEL + 40);
  };
  dialog->PostMessage(kOther);
  UINT result = dialog->DoModal();
  EXPECT_EQ(result, IDCANCEL + 40u);
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(IsWindowEnabled(owner)) << "the owner takes input again";
}

TEST_F(MessagesTest, QuitDuringModalLoopEndsItAndReachesTheOuterLoop) {
  auto* dialog = new UiTestWindow(kSimple);
  ASSERT_TRUE(dialog->Open());
  dialog->onMessage = [](UINT msg, WPARAM, LPARAM) {
    if (msg == kOther) PostQuitMessage(3);
  };
  dialog->PostMessage(kOther);
  dialog->DoModal();
  EXPECT_TRUE(IsWindow(*dialog)) << "quitting does not close the dialog";
  EXPECT_EQ(CPaintManagerUI::MessageLoop(), 3);
  DestroyWindow(*dialog);
  delete dialog;
}

TEST_F(MessagesTest, SendMessageFromAnotherThreadRunsOnTheWindowsThread) {
  std::thread::id handledOn;
  window_->onMessage = [&](UINT msg, WPARAM, LPARAM) {
    if (msg == kPing) handledOn = std::this_thread::get_id();
  };
  std::atomic<LRESULT> result{-1};
  HWND target = *window_;
  std::thread caller([&] { result = SendMessage(target, kPing, 0, 0); });
  EXPECT_TRUE(PumpUntil([&] { return result.load() != -1; }));
  caller.join();
  EXPECT_EQ(handledOn, std::this_thread::get_id());
}

}  // namespace
