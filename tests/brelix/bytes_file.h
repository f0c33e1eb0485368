// Test bytes as a local file, opened as Brelix opens one.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "mpa_file_info.h"
#include "mpa_file_stream.h"
#include "support/temp_dir.h"

namespace brelixtest {

// The six figures the library exports.
struct Figures {
  uint32_t begin, end, size, rate, seconds, sampleRate;
  bool operator==(const Figures&) const = default;
};
void PrintTo(const Figures& f, std::ostream* os);
// The figures of `info`; a null `info` fails the test and gives zeros.
Figures FiguresOf(const std::unique_ptr<CMPAFileInfo>& info);

class BytesFile {
 public:
  explicit BytesFile(const std::string& bytes) : path_(dir_.Write("fixture.mp3", bytes)) {}

  const std::string& Path() const { return path_; }
  // A stream over the file; a failure to open fails the test.
  CMPAFileStream& Stream();
  // CMPAFileInfo::Create over the file.
  std::unique_ptr<CMPAFileInfo> Inspect() const { return CMPAFileInfo::Create(path_.c_str(), true); }

 private:
  testsupport::TempDir dir_;
  std::string path_;
  std::unique_ptr<CMPAFileStream> stream_;
};

}  // namespace brelixtest
