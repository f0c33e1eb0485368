// Where the player finds what it reads and keeps what it writes, decided at
// start from its program folder:
// - portable: the program folder holds the skin and may be written to;
//   everything stays beside the program;
// - installed: the skin, the Brelix library and the shipped catalogue are
//   read from the installation (beside the program, or <prefix>/lib/tarvoni
//   and <prefix>/share/tarvoni for a program in <prefix>/bin), and what the
//   player writes goes to the user's folders: the catalogue to the data
//   folder, the track cache and the downloaded catalogue to the cache
//   folder, the settings to the config folder (each in a "tarvoni" folder).
#pragma once

#include <string>

struct PlayerFolders {
  std::string skinFolder;     // holds DefaultSkin.dll
  std::string libraryFolder;  // holds the Brelix library
  std::string cataloguePath;  // the catalogue the player loads and writes back
  // The catalogue shipped with the program, when it is not cataloguePath itself.
  std::string installedCataloguePath;
  std::string cacheFolder;   // the track being played and the downloaded catalogue
  std::string settingsPath;  // the remembered settings
};
// Every folder above ends with a path separator.

// Everything beside the program in `programFolder` (ending with a separator).
PlayerFolders PortableFolders(const std::string& programFolder);
// The folders for a program in `programFolder`, portable or installed.
PlayerFolders FindPlayerFolders(const std::string& programFolder);

// Creates the folders the player writes to and brings the catalogue there up
// to the shipped one: copied on the first start, replaced when the shipped
// one has a higher version. What cannot be done is said once on stderr; the
// player then runs without it.
void PrepareUserFolders(const PlayerFolders& folders);
