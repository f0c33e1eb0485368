#include "platform/report.h"

#include <cstdio>

namespace platform {

void Report(const std::string& text) {
  std::fprintf(stderr, "TIP: %s\n", text.c_str());
  std::fflush(stderr);
}

}  // namespace platform
