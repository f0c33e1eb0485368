// Whole-file helpers over the File seam, the same on every OS.
#include "platform/file.h"

namespace platform {

bool ReadWholeFile(const std::string& path, std::string* contents) {
  auto file = File::Open(path, {});
  if (!file) return false;
  int64_t size = file->Size();
  if (size < 0) return false;
  contents->assign(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if (!file->ReadAt(0, contents->data(), contents->size(), &got)) return false;
  contents->resize(got);
  return true;
}

bool ReplaceFileFrom(const std::string& target, const std::string& source) {
  std::string contents;
  return ReadWholeFile(source, &contents) && ReplaceFileContents(target, contents);
}

}  // namespace platform
