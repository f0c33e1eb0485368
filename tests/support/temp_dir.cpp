#include "support/temp_dir.h"

#include <ftw.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

namespace testsupport {

TempDir::TempDir() {
  std::string pattern = "/tmp/tarvoni-test-XXXXXX";
  if (mkdtemp(pattern.data())) {
    folder_ = pattern;
  } else {
    ADD_FAILURE() << "cannot create a temporary folder under /tmp";
  }
}

TempDir::~TempDir() {
  if (folder_.empty()) return;
  auto removeEntry = [](const char* path, const struct stat*, int, struct FTW*) { return std::remove(path); };
  nftw(folder_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::Path(const std::string& name) const { return folder_ + "/" + name; }

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::string path = Path(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << path;
  return path;
}

}  // namespace testsupport
