// Skin resources: read from a folder or a zip archive, and images drawn
// from them by their descriptors.
#include <gtest/gtest.h>
#include <zip.h>

#include <SDL.h>
#include <SDL_image.h>

#include "platform/file.h"
#include "support/temp_dir.h"
#include "ui_test_window.h"
#include "uilib/ui_snapshot.h"

namespace {

// A 9x9 PNG: red corners (3x3), green edges, blue centre.
std::string NineSlicePng(const testsupport::TempDir& dir) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 9, 9, 32, SDL_PIXELFORMAT_ARGB8888);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      bool edgeX = x < 3 || x >= 6;
      bool edgeY = y < 3 || y >= 6;
      uint32_t color = edgeX && edgeY ? 0xFFFF0000u : (edgeX || edgeY ? 0xFF00FF00u : 0xFF0000FFu);
      static_cast<uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x] = color;
    }
  }
  std::string path = dir.Path("nine.png");
  EXPECT_EQ(IMG_SavePNG(surface, path.c_str()), 0);
  SDL_FreeSurface(surface);
  return path;
}

// Writes a zip archive of (name, bytes) entries.
void WriteZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

class ResourcesTest : public testing::Test {
 protected:
  void SetUp() override {
    // SDL must be up to write the test picture.
    UiTestWindow probe("<Window size=\"4,4\"><Control/></Window>");
    ASSERT_TRUE(probe.Open());
    DestroyWindow(probe);
    CPaintManagerUI::SetResourcePath(dir_.Folder().c_str());
    CPaintManagerUI::SetResourceZip("");
    ASSERT_TRUE(platform::ReadWholeFile(NineSlicePng(dir_), &png_));
  }

  testsupport::TempDir dir_;
  std::string png_;
};

TEST_F(ResourcesTest, ZipEntriesAreFoundWhateverTheCaseOrSeparator) {
  WriteZip(dir_.Path("Skin.dll"), {{"Main.xml", "<Window/>"}, {"img/nine.png", png_}});
  CPaintManagerUI::SetResourceZip("Skin.dll", true);
  std::string bytes;
  EXPECT_TRUE(CPaintManagerUI::LoadResource("main.XML", &bytes));
  EXPECT_EQ(bytes, "<Window/>");
  EXPECT_TRUE(CPaintManagerUI::LoadResource("img\\nine.png", &bytes)) << "names written for Windows";
  EXPECT_EQ(bytes, png_);
  EXPECT_FALSE(CPaintManagerUI::LoadResource("absent.xml", &bytes));
  CPaintManagerUI::SetResourceZip("Missing.dll");
  EXPECT_FALSE(CPaintManagerUI::LoadResource("Main.xml", &bytes));
}

TEST_F(ResourcesTest, ResourcePathTakesAWindowsStyleEnding) {
  CPaintManagerUI::SetResourcePath((dir_.Folder() + "\\").c_str());
  std::string bytes;
  EXPECT_TRUE(CPaintManagerUI::LoadResource("nine.png", &bytes));
  EXPECT_EQ(CPaintManagerUI::GetResourcePath(), (dir_.Folder() + "/").c_str());
}

TEST_F(ResourcesTest, NineSliceImagesKeepTheirCornersAndStretchTheRest) {
  UiTestWindow window(R"(<Window size="90,30"><HorizontalLayout>
      <Control bkimage="file='nine.png' corner='3,3,3,3'"/></HorizontalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  ASSERT_TRUE(CaptureWindow(window, &pixels, &w, &h));
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * w + x)]; };
  EXPECT_EQ(at(1, 1), 0xFFFF0000u);
  EXPECT_EQ(at(88, 28), 0xFFFF0000u);
  EXPECT_EQ(at(2, 2), 0xFFFF0000u) << "corners are not stretched";
  EXPECT_EQ(at(45, 1), 0xFF00FF00u) << "the top edge runs along";
  EXPECT_EQ(at(1, 15), 0xFF00FF00u);
  EXPECT_EQ(at(45, 15), 0xFF0000FFu) << "the centre fills the middle";
  DestroyWindow(window);
}

TEST_F(ResourcesTest, SourceDestAndFadePickPlaceAndDimAPart) {
  UiTestWindow window(R"(<Window size="40,20"><HorizontalLayout bkcolor="#FF000000">
      <Control bkimage="file='nine.png' source='3,3,6,6' dest='10,5,13,8' fade='128'"/></HorizontalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  ASSERT_TRUE(CaptureWindow(window, &pixels, &w, &h));
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y * w + x)]; };
  EXPECT_EQ(at(9, 6), 0xFF000000u) << "nothing outside dest";
  uint32_t centre = at(11, 6);
  EXPECT_EQ(centre & 0xFFFF00u, 0u) << "only the blue centre was taken";
  EXPECT_NEAR(static_cast<int>(centre & 0xFF), 128, 2) << "half faded over black";
  DestroyWindow(window);
}

TEST_F(ResourcesTest, AMissingImageIsSaidOnceAndDrawsNothing) {
  UiTestWindow window(R"(<Window size="20,20"><VerticalLayout bkcolor="#FF000000">
      <Control bkimage="gone.png"/><Control bkimage="gone.png"/></VerticalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  testing::internal::CaptureStderr();
  ASSERT_TRUE(CaptureWindow(window, &pixels, &w, &h));
  ASSERT_TRUE(CaptureWindow(window, &pixels, &w, &h));
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("gone.png"), std::string::npos);
  EXPECT_EQ(pixels[5 * 20 + 5], 0xFF000000u);
  DestroyWindow(window);
}

}  // namespace
