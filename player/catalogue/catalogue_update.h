// The catalogue update: once per start, the catalogue published on the
// vendor's web server takes the place of the catalogue file when it is
// complete and newer. The running program keeps the catalogue it loaded;
// the new one is read at the next start. Nothing is shown to the user.
#pragma once

#include <string>

// What the update reads from the main window, fixed before it starts.
struct CatalogueUpdateSource {
  std::string cacheFolder;    // ends with a path separator; receives data_cache.dll
  std::string updateUrl;      // the vendor's web server base + "/update/datams.dll"
  int localVersion = 0;       // GetVersion of the catalogue loaded at start
  std::string cataloguePath;  // the catalogue file the player loaded
};

enum class CatalogueUpdateResult {
  kReplaced,           // the catalogue file now holds the published catalogue
  kNoDownloadTarget,   // "data_cache.dll" could not be created in the cache folder
  kDownloadFailed,     // no answer, a status other than 200, a broken transfer or a failed write
  kNotComplete,        // the download does not read whole as a catalogue with its "end" element
  kNotNewer,           // its version is not above the local one, or the one on disk now
  kLocked,             // another program kept the catalogue file locked; it is as it was
  kReplaceFailed,      // the catalogue file could not be replaced; it is as it was
};

// One run: downloads the published catalogue into "data_cache.dll" in the
// cache folder (created anew, left in place afterwards) and installs the
// bytes that arrived (InstallCatalogue).
CatalogueUpdateResult UpdateCatalogue(const CatalogueUpdateSource& source);

// Puts `published` (a catalogue file's bytes, scrambled) in place of the
// catalogue file at `cataloguePath` when it parses whole, has its "end"
// element, and its version is above `localVersion` and above the version of
// the catalogue file as it is on disk now: an edition another program has
// installed meanwhile is never replaced by an older one. Every other outcome
// leaves the catalogue file as it was. The replacement holds the catalogue's
// write lock and is whole (temporary file, then rename).
CatalogueUpdateResult InstallCatalogue(const std::string& published, int localVersion,
                                       const std::string& cataloguePath);

// The update thread's procedure, given the main window's fields; returns 0,
// at once when there are none.
int CatalogueUpdateThread(const CatalogueUpdateSource* window);
