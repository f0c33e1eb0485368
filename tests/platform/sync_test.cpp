#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using platform::AutoResetEvent;
using platform::MonotonicMs;
using platform::Semaphore;

// Polls `condition` for up to 10 s; for waiting on another thread's progress.
template <typename Condition>
bool Eventually(Condition condition) {
  for (uint64_t start = MonotonicMs(); MonotonicMs() - start < 10000; platform::SleepMs(2)) {
    if (condition()) return true;
  }
  return condition();
}

TEST(SemaphoreTest, ReleasePastTheMaximumFailsAndLeavesTheCountAtTheMaximum) {
  Semaphore semaphore(0, 1);
  EXPECT_TRUE(semaphore.Release());
  EXPECT_FALSE(semaphore.Release());
  EXPECT_EQ(semaphore.Count(), 1);
  EXPECT_TRUE(semaphore.Wait(0));
  EXPECT_FALSE(semaphore.Wait(0));
  EXPECT_EQ(semaphore.Count(), 0);
}

TEST(SemaphoreTest, ReleaseOfSeveralUnitsIsAllOrNothing) {
  Semaphore semaphore(1, 3);
  EXPECT_FALSE(semaphore.Release(3));
  EXPECT_EQ(semaphore.Count(), 1);
  EXPECT_TRUE(semaphore.Release(2));
  EXPECT_EQ(semaphore.Count(), 3);
  EXPECT_FALSE(semaphore.Release(0));
  EXPECT_FALSE(semaphore.Release(-1));
  EXPECT_EQ(semaphore.Count(), 3);
}

TEST(TimedWaitTest, SemaphoreWaitGivesUpNoEarlierThanItsTimeOut) {
  Semaphore semaphore(0, 1);
  uint64_t start = MonotonicMs();
  EXPECT_FALSE(semaphore.Wait(150));
  EXPECT_GE(MonotonicMs() - start, 150u);
  EXPECT_EQ(semaphore.Count(), 0);
}

TEST(TimedWaitTest, EventWaitGivesUpNoEarlierThanItsTimeOut) {
  AutoResetEvent event;
  uint64_t start = MonotonicMs();
  EXPECT_FALSE(event.Wait(150));
  EXPECT_GE(MonotonicMs() - start, 150u);
}

TEST(TimedWaitTest, ZeroTimeOutOnlyPolls) {
  AutoResetEvent event;
  EXPECT_FALSE(event.Wait(0));
  event.Set();
  EXPECT_TRUE(event.Wait(0));
}

TEST(AutoResetEventTest, SettingTwiceBeforeAWaitWakesOnlyOnce) {
  AutoResetEvent event;
  event.Set();
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
}

// The download semaphore: requests made while one is being served merge
// into a single pending one instead of queueing up.
TEST(SemaphoreThreadsTest, RequestsMadeWhileOneIsServedMergeIntoOne) {
  Semaphore requests(0, 1);
  Semaphore busy(0, 1);
  AutoResetEvent finish;
  std::atomic<int> served{0};
  std::thread worker([&] {
    while (requests.Wait(2000)) {
      ++served;
      busy.Release();
      finish.Wait();
    }
  });
  EXPECT_TRUE(requests.Release());
  ASSERT_TRUE(busy.Wait(10000));  // the first request is being served
  EXPECT_TRUE(requests.Release());
  EXPECT_FALSE(requests.Release());
  EXPECT_FALSE(requests.Release());
  finish.Set();
  ASSERT_TRUE(busy.Wait(10000));  // the merged request is being served
  finish.Set();
  worker.join();
  EXPECT_EQ(served.load(), 2);
}

TEST(SemaphoreThreadsTest, ReleaseWakesAWaiterBeforeItsTimeOut) {
  Semaphore semaphore(0, 1);
  std::atomic<bool> woken{false};
  std::thread waiter([&] { woken = semaphore.Wait(60000); });
  platform::SleepMs(50);
  EXPECT_TRUE(semaphore.Release());
  waiter.join();
  EXPECT_TRUE(woken.load());
  EXPECT_EQ(semaphore.Count(), 0);
}

TEST(AutoResetEventThreadsTest, SetWakesExactlyOneWaiterAndResets) {
  AutoResetEvent event;
  std::atomic<int> woken{0};
  std::atomic<int> waiting{0};
  auto wait = [&] {
    ++waiting;
    if (event.Wait()) ++woken;
  };
  std::thread first(wait);
  std::thread second(wait);
  ASSERT_TRUE(Eventually([&] { return waiting.load() == 2; }));
  event.Set();
  ASSERT_TRUE(Eventually([&] { return woken.load() >= 1; }));
  platform::SleepMs(100);
  EXPECT_EQ(woken.load(), 1);
  event.Set();
  first.join();
  second.join();
  EXPECT_EQ(woken.load(), 2);
  EXPECT_FALSE(event.Wait(0));
}

// "Wait until the other thread says it is done, then tear down" must be safe:
// the signalling thread may not touch the object once the waiter can wake.
TEST(AutoResetEventThreadsTest, WaiterMayDestroyTheObjectsAsSoonAsItWakes) {
  for (int round = 0; round < 200; ++round) {
    auto event = std::make_unique<AutoResetEvent>();
    auto semaphore = std::make_unique<Semaphore>(0, 1);
    std::thread signaller([raw = event.get(), rawSemaphore = semaphore.get()] {
      rawSemaphore->Release();
      raw->Set();
    });
    ASSERT_TRUE(semaphore->Wait(10000));
    semaphore.reset();
    ASSERT_TRUE(event->Wait(10000));
    event.reset();
    signaller.join();
  }
}

}  // namespace
