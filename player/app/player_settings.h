// What the player remembers between starts: the volume, the category shown
// and the last track played. Stored as lines "name=value" under a
// "[tarvoni]" heading, in UTF-8, and replaced whole at every save.
#pragma once

#include <string>

struct PlayerSettings {
  int volume = -1;           // the volume slider's value, 0 to 100; -1 when not remembered
  std::string category;      // the name of the category shown; empty when none
  std::string trackAddress;  // the address of the last track played; empty when none
};

// The settings in the file at `path`. A missing file gives the defaults
// quietly; a file that cannot be read or is not a settings file gives the
// defaults and one line on stderr saying so.
PlayerSettings LoadPlayerSettings(const std::string& path);
// Replaces the file at `path` with `settings`; false when it cannot.
bool SavePlayerSettings(const std::string& path, const PlayerSettings& settings);
