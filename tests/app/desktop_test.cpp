// The main window as a desktop program: what it says when the desktop lacks
// something it needs.
#include <cstdlib>
#include <string>

#include "app_harness.h"

namespace apptest {
namespace {

using DesktopTest = MainWindowTest;

TEST_F(DesktopTest, WebSiteWithoutABrowserOpenerIsSaidOnStandardError) {
  OpenRows({"one"});
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  testsupport::TempDir empty;
  setenv("PATH", empty.Folder().c_str(), 1);
  testing::internal::CaptureStderr();
  Click("website");
  const std::string said = testing::internal::GetCapturedStderr();
  setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(said, "tarvoni: cannot show the web site " + server_.Url("") +
                      ": no web browser opener (xdg-open) was found\n");
}

}  // namespace
}  // namespace apptest
