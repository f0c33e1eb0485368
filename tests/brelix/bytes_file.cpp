#include "bytes_file.h"

#include <gtest/gtest.h>

namespace brelixtest {

CMPAFileStream& BytesFile::Stream() {
  if (!stream_) {
    stream_ = std::make_unique<CMPAFileStream>(path_.c_str(), true);
    EXPECT_TRUE(stream_->InitStream()) << path_;
  }
  return *stream_;
}

}  // namespace brelixtest
