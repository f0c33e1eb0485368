#include "heard_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/file.h"
#include "platform/sound.h"
#include "reference_decode.h"

namespace enginetest {

#ifdef _WIN32
namespace {

constexpr uint32_t kBytesPerSecond = 44100 * 4;
// What comes through after the output closed: DirectSound's mix ahead of its
// cursor and the sink's and recorder's buffers, well within this.
constexpr uint32_t kDrainBytes = kBytesPerSecond / 2;
constexpr int kRecorderStallMs = 5000;

uint64_t heardFrom = 0;

// The recording's length in whole sample frames.
uint64_t RecordedBytes() {
  const std::unique_ptr<platform::File> file = platform::File::Open(TARVONI_HEARD_FILE, {});
  const int64_t size = file ? file->Size() : -1;
  EXPECT_GE(size, 0) << "cannot read the recording " << TARVONI_HEARD_FILE;
  return size < 0 ? 0 : static_cast<uint64_t>(size) & ~uint64_t{3};
}

// Closes the output and waits until what it still held has been recorded.
uint64_t CloseAndDrain() {
  platform::ShutdownSound();
  const uint64_t closedAt = RecordedBytes();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRecorderStallMs);
  uint64_t recorded = closedAt;
  while (recorded < closedAt + kDrainBytes && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    recorded = RecordedBytes();
  }
  EXPECT_GE(recorded, closedAt + kDrainBytes) << "the recorder of the sound sink has stopped";
  return recorded;
}

}  // namespace

void ForgetHeard() { heardFrom = CloseAndDrain(); }

std::vector<int16_t> Heard(bool complete) {
  const uint64_t end = complete ? CloseAndDrain() : RecordedBytes();
  std::string bytes(end > heardFrom ? end - heardFrom : 0, '\0');
  const std::unique_ptr<platform::File> file = platform::File::Open(TARVONI_HEARD_FILE, {});
  size_t got = 0;
  if (!file || !file->ReadAt(heardFrom, bytes.data(), bytes.size(), &got)) ADD_FAILURE() << "cannot read the recording";
  bytes.resize(got);
  return Samples(bytes);
}

#else

void ForgetHeard() {
  platform::ShutdownSound();
  platform::RemoveFile(std::getenv("SDL_DISKAUDIOFILE"));
}

// The disk driver truncates its file when the output opens: what it wrote is
// what was heard since the output last opened (nothing when it never did).
std::vector<int16_t> Heard(bool complete) {
  if (complete) platform::ShutdownSound();  // writes out what the driver still buffers
  std::string bytes;
  platform::ReadWholeFile(std::getenv("SDL_DISKAUDIOFILE"), &bytes);
  return Samples(bytes);
}

#endif

}  // namespace enginetest
