#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/sync.h"

namespace {

using platform::Thread;

TEST(ThreadTest, RunsItsBodyAndKnowsWhetherItIsTheCallingThread) {
  std::atomic<bool> ranOnItself{false};
  std::unique_ptr<Thread> thread;
  platform::Semaphore published(0, 1);
  thread = Thread::Start([&] {
    published.Wait();
    ranOnItself = thread->IsCurrent();
  });
  ASSERT_TRUE(thread);
  published.Release();
  thread->Join();
  EXPECT_TRUE(ranOnItself.load());
  EXPECT_FALSE(thread->IsCurrent());
  thread->Join();
}

TEST(ThreadTest, ThreadReleasingItsOwnObjectDoesNotEndTheProcess) {
  platform::Semaphore published(0, 1);
  platform::AutoResetEvent finished;
  std::unique_ptr<Thread> thread;
  thread = Thread::Start([&] {
    published.Wait();
    thread.reset();
    finished.Set();
  });
  ASSERT_TRUE(thread);
  published.Release();
  EXPECT_TRUE(finished.Wait(10000));
}

TEST(ThreadTest, DetachedThreadRuns) {
  auto ran = std::make_shared<platform::AutoResetEvent>();
  ASSERT_TRUE(platform::StartDetachedThread([ran] { ran->Set(); }));
  EXPECT_TRUE(ran->Wait(10000));
}

}  // namespace
