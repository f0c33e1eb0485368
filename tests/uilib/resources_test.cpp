// Skin images read from a folder and drawn by their descriptors.
#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"
#include "ui_test_window.h"
#include "uilib/ui_snapshot.h"

namespace {

// A nine-slice image keeps its corners and stretches the rest; source, dest
// and fade pick a part, place it and dim it; a missing image is said once
// and draws nothing.
TEST(ResourcesTest, ImageDescriptorsSliceCutPlaceAndFade) {
  testsupport::TempDir dir;
  CPaintManagerUI::SetResourcePath((dir.Folder() + "\\").c_str());
  EXPECT_EQ(CPaintManagerUI::GetResourcePath(), (dir.Folder() + platform::kPathSeparator).c_str())
      << "a folder written for Windows";
  CPaintManagerUI::SetResourceZip("");
  // nine.png, 9x9: red corners (3x3), green edges, blue centre, drawn by a window.
  const char* const rows[3][3] = {{"#FFFF0000", "#FF00FF00", "#FFFF0000"},
                                  {"#FF00FF00", "#FF0000FF", "#FF00FF00"},
                                  {"#FFFF0000", "#FF00FF00", "#FFFF0000"}};
  std::string layout = R"(<Window size="9,9"><VerticalLayout>)";
  for (const auto& row : rows) {
    layout += R"(<HorizontalLayout height="3">)";
    for (const char* colour : row) layout += std::string(R"(<Control width="3" bkcolor=")") + colour + R"("/>)";
    layout += "</HorizontalLayout>";
  }
  layout += "</VerticalLayout></Window>";
  UiTestWindow painter(layout);
  ASSERT_TRUE(painter.Open());
  ASSERT_TRUE(SaveWindowPng(painter, dir.Path("nine.png").c_str()));

  UiTestWindow window(R"(<Window size="150,30"><HorizontalLayout bkcolor="#FF000000">
      <Control width="90" bkimage="file='nine.png' corner='3,3,3,3'"/>
      <Control width="40" bkimage="file='nine.png' source='3,3,6,6' dest='10,5,13,8' fade='128'"/>
      <Control bkimage="gone.png"/><Control bkimage="gone.png"/></HorizontalLayout></Window>)");
  ASSERT_TRUE(window.Open());
  testing::internal::CaptureStderr();
  Capture(window);
  Picture picture = Capture(window);
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(picture.At(1, 1), 0xFFFF0000u);
  EXPECT_EQ(picture.At(88, 28), 0xFFFF0000u);
  EXPECT_EQ(picture.At(2, 2), 0xFFFF0000u) << "corners are not stretched";
  EXPECT_EQ(picture.At(45, 1), 0xFF00FF00u) << "the top edge runs along";
  EXPECT_EQ(picture.At(1, 15), 0xFF00FF00u);
  EXPECT_EQ(picture.At(45, 15), 0xFF0000FFu) << "the centre fills the middle";
  EXPECT_EQ(picture.At(99, 6), 0xFF000000u) << "nothing outside dest";
  EXPECT_EQ(picture.At(101, 6) & 0xFFFF00u, 0u) << "only the blue centre was taken";
  EXPECT_NEAR(static_cast<int>(picture.At(101, 6) & 0xFF), 128, 2) << "half faded over black";
  EXPECT_EQ(picture.CountNot(RECT{130, 0, 150, 30}, 0xFF000000u), 0);
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  EXPECT_NE(said.find("gone.png"), std::string::npos);
}

}  // namespace
