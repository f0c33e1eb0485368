#include "platform/dynlib.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using platform::DynamicLibrary;

TEST(DynamicLibraryTest, FindsTheExportsOnlyAndRefusesWhatIsNoLibrary) {
  auto library = DynamicLibrary::Load(DYNLIB_PROBE_PATH);
  ASSERT_TRUE(library);
  auto answer = reinterpret_cast<int (*)()>(library->Symbol("ProbeAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(library->Symbol("NoSuchExport"), nullptr);
  testsupport::TempDir dir;
  EXPECT_FALSE(DynamicLibrary::Load(dir.Write("libtext.so", "not a shared library")));
}

}  // namespace
