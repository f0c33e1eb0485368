#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using platform::AutoResetEvent;
using platform::MonotonicMs;
using platform::Semaphore;

TEST(SemaphoreTest, ReleasePastTheMaximumFailsWholeAndLeavesTheCountThere) {
  Semaphore semaphore(1, 3);
  EXPECT_FALSE(semaphore.Release(3));
  EXPECT_EQ(semaphore.Count(), 1);
  EXPECT_TRUE(semaphore.Release(2));
  EXPECT_FALSE(semaphore.Release());
  EXPECT_FALSE(semaphore.Release(0));
  EXPECT_FALSE(semaphore.Release(-1));
  EXPECT_EQ(semaphore.Count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(semaphore.Wait(0));
  EXPECT_FALSE(semaphore.Wait(0));
}

TEST(AutoResetEventTest, SettingTwiceBeforeAWaitWakesOnlyOnce) {
  AutoResetEvent event;
  event.Set();
  event.Set();
  EXPECT_TRUE(event.Wait(0));
  EXPECT_FALSE(event.Wait(0));
}

TEST(TimedWaitTest, WaitsGiveUpNoEarlierThanTheirTimeOut) {
  Semaphore semaphore(0, 1);
  AutoResetEvent event;
  uint64_t start = MonotonicMs();
  EXPECT_FALSE(semaphore.Wait(150));
  EXPECT_GE(MonotonicMs() - start, 150u);
  EXPECT_EQ(semaphore.Count(), 0);
  start = MonotonicMs();
  EXPECT_FALSE(event.Wait(150));
  EXPECT_GE(MonotonicMs() - start, 150u);
}

// The download semaphore: requests made while one is being served merge
// into a single pending one instead of queueing up, and each wakes the
// waiting worker.
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
  finish.Set();
  ASSERT_TRUE(busy.Wait(10000));  // the merged request is being served
  finish.Set();
  worker.join();
  EXPECT_EQ(served.load(), 2);
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
