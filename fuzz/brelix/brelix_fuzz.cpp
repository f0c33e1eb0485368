// libFuzzer target over the bytes of a local MPEG audio file: each input is
// written to a file and inspected through the exports, as a program calls them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "brelix/brelix.h"

namespace {

const std::string& Path() {
  static const std::string path = [] {
    char name[] = "/tmp/brelix-fuzz-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(Path().c_str(), "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) std::abort();
  if (InitTagObject(Path().c_str(), true)) {
    const uint32_t begin = GetFramesBegin();
    const uint32_t end = GetFramesEnd();
    const uint32_t rate = GetBytesOneSec();
    if (rate == 0 || GetSmaplesRate() == 0) std::abort();
    if (GetAllFramesSize() != (end > begin ? end - begin : 0)) std::abort();
    if (GetMusicTime() != GetAllFramesSize() / rate) std::abort();
  } else if (GetBytesOneSec() != 0 || GetFramesEnd() != 0) {
    std::abort();
  }
  if (!UnInitTagObject() || GetMusicTime() != 0) std::abort();
  return 0;
}
