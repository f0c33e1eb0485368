#include "catalogue/catalogue_update.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "catalogue/catalogue_doc.h"
#include "catalogue/catalogue_file.h"
#include "platform/file.h"
#include "platform/http.h"
#include "platform/paths.h"

namespace {

constexpr size_t kPieceSize = 1024;

// Fetches `url` into `target` piece by piece, and into `*body`. True only
// when the server answered 200 and the whole body arrived and was written:
// an error page or a transfer that broke off is never taken for the
// catalogue.
bool Download(const std::string& url, platform::File* target, std::string* body) {
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
    body->append(piece, got);
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
  // What is installed is what arrived, not the cache file read again, which
  // another player starting in the same folder may be downloading into.
  std::string published;
  bool downloaded = Download(source.updateUrl, target.get(), &published);
  target.reset();
  if (!downloaded) return CatalogueUpdateResult::kDownloadFailed;
  return InstallCatalogue(published, source.localVersion, source.cataloguePath);
}

CatalogueUpdateResult InstallCatalogue(const std::string& published, int localVersion,
                                       const std::string& cataloguePath) {
  CCatalogueDoc document;
  document.LoadBytes(published, true);
  std::string problem;
  if (document.ParseError(&problem) || !document.HasEndMarker()) return CatalogueUpdateResult::kNotComplete;
  const int version = document.GetVersion();
  if (version <= localVersion) return CatalogueUpdateResult::kNotNewer;

  const catalogue::CatalogueEdit edit = [&](std::string* current, std::string* replacement) {
    if (current) {
      document.LoadBytes(std::move(*current), true);
      if (document.GetVersion() >= version) return false;
    }
    *replacement = published;
    return true;
  };
  switch (catalogue::RewriteCatalogueFile(cataloguePath, edit)) {
    case catalogue::RewriteResult::kReplaced:
      return CatalogueUpdateResult::kReplaced;
    case catalogue::RewriteResult::kDeclined:
      return CatalogueUpdateResult::kNotNewer;
    case catalogue::RewriteResult::kLocked:
      return CatalogueUpdateResult::kLocked;
    case catalogue::RewriteResult::kFailed:
      break;
  }
  return CatalogueUpdateResult::kReplaceFailed;
}

int CatalogueUpdateThread(const CatalogueUpdateSource* window) {
  if (window) UpdateCatalogue(*window);
  return 0;
}
