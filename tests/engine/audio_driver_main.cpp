// Runs the tests with the SDL audio driver named by TEST_AUDIO_DRIVER:
// "dummy" (a real-time clock, no sound) or "disk" (what would be heard, in a
// file of this process's own, removed at the end).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const std::string output = "/tmp/tarvoni-engine-disk-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", TEST_AUDIO_DRIVER, 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  std::remove(output.c_str());
  return result;
}
