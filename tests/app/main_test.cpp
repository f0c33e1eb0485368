// The in-process tests run the windows on SDL's offscreen video driver and
// play to the dummy sound driver, with the skin of the program folder.
#include <gtest/gtest.h>

#include <cstdlib>

#include "uilib/UIlib.h"

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  CPaintManagerUI::SetResourcePath(TARVONI_SKIN_FOLDER);
  CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
