#include "engine/direct_sound_player.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace enginetest {
namespace {

// The events a player raises, as they come.
class EventLog : public engine::PlayerEventSink {
 public:
  // Waits until `count` events of kind `event` came; their values.
  std::vector<uint32_t> WaitFor(int event, size_t count, int timeoutMs) {
    std::unique_lock lock(mutex_);
    std::vector<uint32_t> values;
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      values.clear();
      for (const auto& [e, v] : events_) {
        if (e == event) values.push_back(v);
      }
      return values.size() >= count;
    });
    return values;
  }

  void OnPlayerEvent(int event, uint32_t value) override {
    {
      std::lock_guard lock(mutex_);
      events_.push_back({event, value});
    }
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, uint32_t>> events_;
};

// A player whose events are logged, one test at a time. The log outlives the
// player, whose notification thread raises events until it is destroyed.
class DirectSoundPlayerTest : public ::testing::Test {
 protected:
  DirectSoundPlayerTest() { player.SetEventSink(&log_); }

  std::vector<uint32_t> WaitFor(int event, size_t count, int timeoutMs = 20000) {
    return log_.WaitFor(event, count, timeoutMs);
  }

 private:
  EventLog log_;

 protected:
  engine::CDirectSoundPlayer player;
};

TEST_F(DirectSoundPlayerTest, PositionEventsContinueFromASetPositionInEighthsOfASecond) {
  ASSERT_TRUE(player.Init(44100));
  EXPECT_EQ(player.SegmentBytes(), 22048u);  // an eighth of a second in whole sample frames
  EXPECT_EQ(player.SegmentsToSeconds(8), 0u);  // 176384 bytes: just short of a second
  EXPECT_EQ(player.SegmentsToSeconds(241), 30u);
  player.SetPosition(30);  // 30 × 176400 ÷ 22048 = 240 segments
  // Keeps the ring buffer topped up with silence, as the decode thread would.
  std::jthread feeder([this](std::stop_token stop) {
    const std::vector<uint8_t> silence(4608, 0);
    while (!stop.stop_requested()) player.Write(silence.data(), static_cast<uint32_t>(silence.size()));
  });
  ASSERT_TRUE(player.Play());
  const std::vector<uint32_t> positions = WaitFor(engine::kEventPosition, 3);
  ASSERT_GE(positions.size(), 3u);
  EXPECT_EQ(std::vector<uint32_t>(positions.begin(), positions.begin() + 3), (std::vector<uint32_t>{241, 242, 243}));
}

TEST_F(DirectSoundPlayerTest, EmptiedRingBufferGivesOneRanDryEventAndPlayResumes) {
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  // Nothing written: the first refill finds the ring empty.
  ASSERT_EQ(WaitFor(engine::kEventRanDry, 1).size(), 1u);
  const size_t positionsWhenDry = WaitFor(engine::kEventPosition, 0).size();
  // The output stays stopped while data arrives, until Play.
  std::vector<uint8_t> pcm(176400, 0x11);
  std::thread writer([&] {
    for (uint32_t at = 0; at < pcm.size();) at += player.Write(pcm.data() + at, static_cast<uint32_t>(pcm.size() - at));
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  // At most the one notification that came while the thread waited for data.
  const size_t positionsBeforePlay = WaitFor(engine::kEventPosition, 0).size();
  EXPECT_LE(positionsBeforePlay, positionsWhenDry + 1);
  EXPECT_EQ(WaitFor(engine::kEventRanDry, 0).size(), 1u);
  ASSERT_TRUE(player.Play());
  EXPECT_GE(WaitFor(engine::kEventPosition, positionsBeforePlay + 2).size(), positionsBeforePlay + 2);
  writer.join();
}

TEST_F(DirectSoundPlayerTest, EndMarkWhileRunDryPlaysTheRestOutWithoutAPlayCall) {
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  ASSERT_EQ(WaitFor(engine::kEventRanDry, 1).size(), 1u);
  player.RingBuffer().SetEnd();
  EXPECT_EQ(WaitFor(engine::kEventPlaying, 2).size(), 2u);
  for (int i = 0; i < 500 && !player.HasPlayedOut(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(player.HasPlayedOut());
}

TEST_F(DirectSoundPlayerTest, RateZeroFailsInitAndNothingPlays) {
  EXPECT_FALSE(player.Init(0));
  EXPECT_FALSE(player.Play());
  EXPECT_EQ(WaitFor(engine::kEventPlaying, 1).size(), 1u);  // raised after every Play
  EXPECT_TRUE(WaitFor(engine::kEventPosition, 1, 400).empty());
  EXPECT_TRUE(player.HasPlayedOut());
  // Operations on a player without output do nothing.
  player.SetVolume(-3000);
  player.Pause();
  player.SetPosition(30);
  EXPECT_EQ(player.SegmentsToSeconds(100), 0u);
}

TEST_F(DirectSoundPlayerTest, CloseEndsTheNotificationThreadWhileItWaitsForData) {
  ASSERT_TRUE(player.Init(44100));
  ASSERT_TRUE(player.Play());
  ASSERT_EQ(WaitFor(engine::kEventRanDry, 1).size(), 1u);  // now in its retry loop
  player.Close();
  EXPECT_FALSE(player.Play());
  EXPECT_TRUE(player.HasPlayedOut());
}

}  // namespace
}  // namespace enginetest
