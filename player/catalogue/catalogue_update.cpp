#include "catalogue/catalogue_update.h"

#include <cstdint>
#include <memory>
#include <mutex>

#include "catalogue/catalogue_doc.h"
#include "catalogue/catalogue_file.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/paths.h"

namespace {

constexpr size_t kPieceSize = 1024;

// Fetches `url` into `target` piece by piece. True only when the server
// answered 200 and the whole body arrived and was written: an error page or
// a transfer that broke off is never taken for the catalogue.
bool Download(const std::string& url, platform::File* target) {
  platform::HttpSession session;
  platform::HttpRequestOptions options;
  options.noCache = true;
  std::unique_ptr<platform::HttpResponse> response = session.Open(url, options);
  if (!response || response->StatusText() != "200") return false;
  char piece[kPieceSize];
  uint64_t offset = 0;
  for (;;) {
    size_t got = 0;
    if (!response->Read(piece, sizeof piece, &got)) return false;
    if (got == 0) return true;
    if (!target->WriteAt(offset, piece, got)) return false;
    offset += got;
  }
}

}  // namespace

CatalogueUpdateResult UpdateCatalogue(const CatalogueUpdateSource& source) {
  const std::string& cacheFolder = source.cacheFolder;
  if (!platform::DirectoryExists(cacheFolder)) platform::CreateDirectory(cacheFolder);
  const std::string downloadPath = cacheFolder + "data_cache.dll";

  platform::FileOpenOptions create;
  create.access = platform::FileAccess::ReadWrite;
  create.disposition = platform::FileDisposition::CreateAlways;
  std::unique_ptr<platform::File> target = platform::File::Open(downloadPath, create);
  if (!target) return CatalogueUpdateResult::kNoDownloadTarget;
  bool downloaded = Download(source.updateUrl, target.get());
  target.reset();
  if (!downloaded) return CatalogueUpdateResult::kDownloadFailed;

  CCatalogueDoc published;
  if (!published.LoadFile(downloadPath, true) || !published.HasEndMarker()) return CatalogueUpdateResult::kNotComplete;
  if (published.GetVersion() <= source.localVersion) return CatalogueUpdateResult::kNotNewer;

  std::lock_guard<std::mutex> lock(catalogue::CatalogueFileLock());
  return platform::ReplaceFileFrom(source.cataloguePath, downloadPath) ? CatalogueUpdateResult::kReplaced
                                                                        : CatalogueUpdateResult::kReplaceFailed;
}

int CatalogueUpdateThread(const CatalogueUpdateSource* window) {
  if (window) UpdateCatalogue(*window);
  return 0;
}
