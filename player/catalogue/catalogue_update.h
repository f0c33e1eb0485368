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
  kNotComplete,        // the download does not read as a catalogue with its "end" element
  kNotNewer,           // its version is not above the local one
  kReplaceFailed,      // the catalogue file could not be replaced; it is as it was
};

// One run: downloads the published catalogue into "data_cache.dll" in the
// cache folder (created anew, left in place afterwards) and replaces
// the catalogue file with it when it loads, has its "end" element and its
// version is above the local one. Every other outcome leaves the catalogue
// file as it was. The replacement is whole (temporary file, then rename) and
// ordered against saves of the catalogue by this process.
CatalogueUpdateResult UpdateCatalogue(const CatalogueUpdateSource& source);

// The update thread's procedure, given the main window's fields; returns 0,
// at once when there are none.
int CatalogueUpdateThread(const CatalogueUpdateSource* window);
