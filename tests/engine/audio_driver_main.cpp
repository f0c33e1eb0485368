// Runs the tests with the sound output they are written for. On Linux that
// is the SDL audio driver TEST_AUDIO_DRIVER names: "dummy" (a real-time
// clock, no sound) or "disk" (what would be heard, in a file of this
// process's own, removed at the end). On Windows it is DirectSound's default
// device, recorded as heard_output.h says.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#ifndef _WIN32
#include <unistd.h>
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  return RUN_ALL_TESTS();
#else
  const std::string output = "/tmp/tarvoni-engine-disk-" + std::to_string(getpid()) + ".raw";
  setenv("SDL_AUDIODRIVER", TEST_AUDIO_DRIVER, 1);
  setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
  const int result = RUN_ALL_TESTS();
  std::remove(output.c_str());
  return result;
#endif
}
