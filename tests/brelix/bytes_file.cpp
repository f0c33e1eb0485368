#include "bytes_file.h"

#include <gtest/gtest.h>

namespace brelixtest {

void PrintTo(const Figures& f, std::ostream* os) {
  *os << "begin " << f.begin << " end " << f.end << " size " << f.size << " rate " << f.rate << " seconds "
      << f.seconds << " sample rate " << f.sampleRate;
}

Figures FiguresOf(const std::unique_ptr<CMPAFileInfo>& info) {
  EXPECT_TRUE(info);
  if (!info) return {};
  return {info->GetFramesBegin(), info->GetFramesEnd(), info->GetAllFramesSize(),
          info->GetBytesOneSec(), info->GetMusicTime(), info->GetSampleRate()};
}

CMPAFileStream& BytesFile::Stream() {
  if (!stream_) {
    stream_ = std::make_unique<CMPAFileStream>(path_.c_str(), true);
    EXPECT_TRUE(stream_->InitStream()) << path_;
  }
  return *stream_;
}

}  // namespace brelixtest
