// Test bytes as a local file, opened as Brelix opens one, and the figures
// Brelix gives for them.
#pragma once

#include <gtest/gtest.h>

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

inline void PrintTo(const Figures& f, std::ostream* os) {
  *os << "begin " << f.begin << " end " << f.end << " size " << f.size << " rate " << f.rate << " seconds " << f.seconds
      << " sample rate " << f.sampleRate;
}

// The figures of `info`; a null `info` fails the test and gives zeros.
inline Figures FiguresOf(const std::unique_ptr<CMPAFileInfo>& info) {
  EXPECT_TRUE(info);
  if (!info) return {};
  return {info->GetFramesBegin(), info->GetFramesEnd(), info->GetAllFramesSize(),
          info->GetBytesOneSec(), info->GetMusicTime(), info->GetSampleRate()};
}

class BytesFile {
 public:
  explicit BytesFile(const std::string& bytes) : path_(dir_.Write("fixture.mp3", bytes)) {}

  const std::string& Path() const { return path_; }
  // A stream over the file; a failure to open fails the test.
  CMPAFileStream& Stream() {
    if (!stream_) {
      stream_ = std::make_unique<CMPAFileStream>(path_.c_str(), true);
      EXPECT_TRUE(stream_->InitStream()) << path_;
    }
    return *stream_;
  }
  // CMPAFileInfo::Create over the file.
  std::unique_ptr<CMPAFileInfo> Inspect() const { return CMPAFileInfo::Create(path_.c_str(), true); }

 private:
  testsupport::TempDir dir_;
  std::string path_;
  std::unique_ptr<CMPAFileStream> stream_;
};

// The figures CMPAFileInfo gives for `bytes` read from a local file.
inline Figures FiguresOfFile(const std::string& bytes) { return FiguresOf(BytesFile(bytes).Inspect()); }

}  // namespace brelixtest
