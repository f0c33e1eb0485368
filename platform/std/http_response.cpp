#include "platform/http.h"

namespace platform {

bool HttpResponse::ReadFull(void* buffer, size_t count, size_t* got) {
  size_t done = 0;
  bool ok = true;
  while (done < count) {
    size_t step = 0;
    ok = Read(static_cast<char*>(buffer) + done, count - done, &step);
    if (!ok || step == 0) break;
    done += step;
  }
  *got = done;
  return ok;
}

}  // namespace platform
