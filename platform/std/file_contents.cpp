// Whole-file reading over the File seam, the same on every OS.
#include "platform/file.h"

namespace platform {

bool ReadWholeFile(const std::string& path, std::string* contents, FileStamp* stamp) {
  auto file = File::Open(path, {});
  if (!file) return false;
  const FileStamp read = file->Stamp();
  if (!read.exists) return false;
  contents->assign(static_cast<size_t>(read.size), '\0');
  size_t got = 0;
  if (!file->ReadAt(0, contents->data(), contents->size(), &got)) return false;
  contents->resize(got);
  if (stamp) *stamp = read;
  return true;
}

}  // namespace platform
