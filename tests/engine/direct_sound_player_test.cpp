#include "engine/direct_sound_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace enginetest {
namespace {

using engine::CDirectSoundPlayer;

// Player events as they come, for one test at a time.
class EventLog {
 public:
  EventLog() { current_ = this; }
  ~EventLog() { current_ = nullptr; }

  static void Sink(int event, uint32_t value) {
    EventLog* log = current_;
    {
      std::lock_guard lock(log->mutex_);
      log->events_.push_back({event, value});
    }
    log->changed_.notify_all();
  }

  // Waits until `count` events of kind `event` came; their values.
  std::vector<uint32_t> WaitFor(int event, size_t count, int timeoutMs = 20000) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return ValuesLocked(event).size() >= count; });
    return ValuesLocked(event);
  }

 private:
  std::vector<uint32_t> ValuesLocked(int event) const {
    std::vector<uint32_t> values;
    for (const auto& [e, v] : events_) {
      if (e == event) values.push_back(v);
    }
    return values;
  }

  static inline EventLog* current_ = nullptr;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, uint32_t>> events_;
};

// Keeps the player's ring buffer topped up with silence, as a decode thread would.
class Feeder {
 public:
  explicit Feeder(CDirectSoundPlayer& player)
      : thread_([this, &player] {
          const std::vector<uint8_t> silence(4608, 0);
          while (!stop_) player.Write(silence.data(), static_cast<uint32_t>(silence.size()));
        }) {}
  ~Feeder() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(DirectSoundPlayer, SegmentsAreAnEighthOfASecondInWholeSampleFrames) {
  CDirectSoundPlayer player;
  ASSERT_TRUE(player.Init(44100));
  EXPECT_EQ(player.SegmentBytes(), 22048u);
  EXPECT_EQ(player.AverageBytesPerSecond(), 176400u);
  EXPECT_EQ(player.SegmentsToSeconds(8), 0u);  // 176384 bytes: just short of a second
  EXPECT_EQ(player.SegmentsToSeconds(9), 1u);
  EXPECT_EQ(player.SegmentsToSeconds(241), 30u);
}

TEST(DirectSoundPlayer, PositionEventsContinueFromASetPosition) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  ASSERT_TRUE(player.Init(44100));
  player.SetPosition(30);  // 30 × 176400 ÷ 22048 = 240 segments
  Feeder feeder(player);
  ASSERT_TRUE(player.Play());
  EXPECT_EQ(log.WaitFor(engine::kEventPlaying, 1).size(), 1u);
  const std::vector<uint32_t> positions = log.WaitFor(engine::kEventPosition, 3);
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(positions[0], 241u);
  EXPECT_EQ(positions[1], 242u);
  EXPECT_EQ(positions[2], 243u);
}

TEST(DirectSoundPlayer, EmptiedRingBufferGivesOneRanDryEventAndPlayResumes) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  // Nothing written: the first refill finds the ring empty.
  ASSERT_EQ(log.WaitFor(engine::kEventRanDry, 1).size(), 1u);
  const size_t positionsWhenDry = log.WaitFor(engine::kEventPosition, 1).size();
  // The output stays stopped while data arrives, until Play.
  std::vector<uint8_t> pcm(176400, 0x11);
  std::thread writer([&] {
    uint32_t at = 0;
    while (at < pcm.size()) at += player.Write(pcm.data() + at, static_cast<uint32_t>(pcm.size() - at));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  // At most the one notification that came while the thread waited for data.
  EXPECT_LE(log.WaitFor(engine::kEventPosition, 0).size(), positionsWhenDry + 1);
  EXPECT_EQ(log.WaitFor(engine::kEventRanDry, 0).size(), 1u);
  const size_t positionsBeforePlay = log.WaitFor(engine::kEventPosition, 0).size();
  ASSERT_TRUE(player.Play());
  EXPECT_GE(log.WaitFor(engine::kEventPosition, positionsBeforePlay + 2).size(), positionsBeforePlay + 2);
  writer.join();
  player.Close();
}

TEST(DirectSoundPlayer, PlaysOutOnlyOnceTheSegmentAfterTheEndMarkCameRound) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  std::vector<uint8_t> pcm(3000, 0x22);
  ASSERT_EQ(player.Write(pcm.data(), 3000), 3000u);
  player.RingBuffer().FlushPartial();
  player.RingBuffer().SetEnd();
  EXPECT_FALSE(player.HasPlayedOut());
  // The first refill takes the track's last bytes; the segment holding them
  // has been heard once the cursor came round to it again, eight
  // notifications later.
  for (int i = 0; i < 4000 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(player.HasPlayedOut());
  EXPECT_GE(log.WaitFor(engine::kEventPosition, 0).size(), 8u);
  EXPECT_EQ(log.WaitFor(engine::kEventRanDry, 0).size(), 0u);
}

TEST(DirectSoundPlayer, EndMarkWhileRunDryPlaysTheRestOutWithoutAPlayCall) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  ASSERT_EQ(log.WaitFor(engine::kEventRanDry, 1).size(), 1u);
  player.RingBuffer().SetEnd();
  EXPECT_EQ(log.WaitFor(engine::kEventPlaying, 2).size(), 2u);
  for (int i = 0; i < 500 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(player.HasPlayedOut());
}

TEST(DirectSoundPlayer, RateZeroFailsInitAndNothingPlays) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  EXPECT_FALSE(player.Init(0));
  EXPECT_FALSE(player.Play());
  EXPECT_EQ(log.WaitFor(engine::kEventPlaying, 1).size(), 1u);  // raised after every Play
  EXPECT_TRUE(log.WaitFor(engine::kEventPosition, 1, 400).empty());
  EXPECT_TRUE(player.HasPlayedOut());
  // Operations on a player without output do nothing.
  player.SetVolume(-3000);
  player.Pause();
  player.SetPosition(30);
  EXPECT_EQ(player.SegmentsToSeconds(100), 0u);
}

TEST(DirectSoundPlayer, CloseEndsTheNotificationThreadWhileItWaitsForData) {
  EventLog log;
  CDirectSoundPlayer player;
  player.SetEventSink(&EventLog::Sink);
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  ASSERT_EQ(log.WaitFor(engine::kEventRanDry, 1).size(), 1u);  // now in its retry loop
  player.Close();
  EXPECT_FALSE(player.Play());
  EXPECT_TRUE(player.HasPlayedOut());
}

}  // namespace
}  // namespace enginetest
