// On Linux every toolkit test runs on SDL's offscreen video driver: no
// display needed. On Windows the windows are the system's.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
#ifndef _WIN32
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
