#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/sync.h"

namespace {

using platform::Thread;

// A thread's body may drop the last owner of its own thread object: that
// must not join the thread to itself.
TEST(ThreadTest, ThreadReleasingItsOwnObjectRunsOnToItsEnd) {
  platform::Semaphore published(0, 1);
  platform::AutoResetEvent finished;
  std::atomic<bool> ranOnItself{false};
  std::unique_ptr<Thread> thread;
  thread = Thread::Start([&] {
    published.Wait();
    ranOnItself = thread->IsCurrent();
    thread.reset();
    finished.Set();
  });
  ASSERT_TRUE(thread);
  EXPECT_FALSE(thread->IsCurrent());
  published.Release();
  EXPECT_TRUE(finished.Wait(10000));
  EXPECT_TRUE(ranOnItself.load());
}

}  // namespace
