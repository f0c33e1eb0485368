// Every toolkit test runs on SDL's offscreen video driver: no display needed.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
