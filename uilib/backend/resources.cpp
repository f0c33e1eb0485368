// Skin files from a folder or from the skin's zip archive (libzip).
#include <zip.h>

#include <algorithm>
#include <map>
#include <memory>

#include "../src/backend.h"
#include "platform/file.h"

namespace uilib::backend {

namespace {

struct ZipCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;

// Archives kept open for the program's life, by path.
std::map<std::string, ZipHandle>& OpenArchives() {
  static std::map<std::string, ZipHandle> archives;
  return archives;
}

bool ReadEntry(zip_t* archive, const std::string& name, std::string* bytes) {
  zip_int64_t index = zip_name_locate(archive, name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return false;
  zip_stat_t stat;
  zip_stat_init(&stat);
  if (zip_stat_index(archive, static_cast<zip_uint64_t>(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)) {
    return false;
  }
  zip_file_t* entry = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
  if (!entry) return false;
  bytes->resize(static_cast<size_t>(stat.size));
  zip_int64_t got = bytes->empty() ? 0 : zip_fread(entry, bytes->data(), bytes->size());
  zip_fclose(entry);
  return got == static_cast<zip_int64_t>(bytes->size());
}

}  // namespace

bool ReadSkinResource(const std::string& folder, const std::string& zip, bool keepOpen, const std::string& name,
                      std::string* bytes) {
  std::string entry = name;
  std::replace(entry.begin(), entry.end(), '\\', '/');
  if (zip.empty()) return platform::ReadWholeFile(folder + entry, bytes);
  const std::string path = folder + zip;
  if (keepOpen) {
    auto& archives = OpenArchives();
    auto it = archives.find(path);
    if (it == archives.end()) {
      ZipHandle archive(zip_open(path.c_str(), ZIP_RDONLY, nullptr));
      if (!archive) return false;
      it = archives.emplace(path, std::move(archive)).first;
    }
    return ReadEntry(it->second.get(), entry, bytes);
  }
  ZipHandle archive(zip_open(path.c_str(), ZIP_RDONLY, nullptr));
  return archive && ReadEntry(archive.get(), entry, bytes);
}

}  // namespace uilib::backend
