// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <string>

namespace testsupport {

class TempDir {
 public:
  // Creates a new empty folder in the system's temporary folder; a failure
  // fails the test.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The folder, without a trailing separator.
  const std::string& Folder() const { return folder_; }
  // The path of `name` inside the folder.
  std::string Path(const std::string& name) const;
  // Writes `bytes` to the file `name` (replacing it) and returns its path; a
  // failure fails the test.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::string folder_;
};

}  // namespace testsupport
