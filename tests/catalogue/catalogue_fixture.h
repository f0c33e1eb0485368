// Catalogue files for tests: plain XML texts written the way the player
// stores them.
#pragma once

#include <string>

#include "catalogue/catalogue_doc.h"
#include "platform/file.h"
#include "support/temp_dir.h"

namespace cataloguetest {

inline std::string Scrambled(std::string bytes) {
  CCatalogueDoc::ScrambleBytes(bytes.data(), bytes.size(), bytes.data(), catalogue::kCatalogueKey);
  return bytes;
}

// Writes `plain` scrambled to `name` in `folder` and returns its path.
inline std::string WriteCatalogue(const testsupport::TempDir& folder, const std::string& name,
                                  const std::string& plain) {
  return folder.Write(name, Scrambled(plain));
}

// The plain text of the scrambled file at `path`; empty when it cannot be read.
inline std::string ReadCatalogue(const std::string& path) {
  std::string bytes;
  return platform::ReadWholeFile(path, &bytes) ? Scrambled(std::move(bytes)) : std::string();
}

// A complete catalogue with one category "Mix" holding the track "Only" and
// the given text in its "version" element.
inline std::string OneTrackCatalogue(const std::string& version) {
  return "<djs><l name=\"Mix\"><s src=\"http://h/only.mp3\">Only</s></l></djs>\n<version>" + version +
         "</version>\n<end/>\n";
}

}  // namespace cataloguetest
