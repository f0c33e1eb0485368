#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace testsupport {

TempDir::TempDir() {
  std::error_code error;
  const std::filesystem::path base = std::filesystem::temp_directory_path(error);
  std::random_device random;
  for (int attempt = 0; attempt < 100 && folder_.empty() && !error; ++attempt) {
    const std::filesystem::path folder = base / ("tarvoni-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(folder, error)) folder_ = folder.generic_string();
  }
  if (folder_.empty()) ADD_FAILURE() << "cannot create a temporary folder";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
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
