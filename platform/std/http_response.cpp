#include "platform/http.h"

#include "std/http_text.h"

namespace platform {

bool HttpResponse::ContentLengthText(std::string* text) const {
  if (!head_.contentLength) return false;
  *text = *head_.contentLength;
  return true;
}

bool HttpResponse::ContentRangeFirst(uint64_t* first) const {
  return head_.contentRange && ParseContentRangeFirst(*head_.contentRange, first);
}

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
