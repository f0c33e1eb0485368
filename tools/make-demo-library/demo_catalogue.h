// The demo collection: six categories of synthesized tracks, how each one is
// made (music, encoding, tags), and the catalogue texts that list them.
#pragma once

#include <string>
#include <vector>

#include "mp3_encoder.h"
#include "synth.h"
#include "tags.h"

namespace demo {

struct DemoCategory {
  std::string name;  // equal to a category tab's text in the player's skin
  std::string maker;
  std::string description;
  std::string newDescription;  // the text in catalogue version 2
};

// Which tags a track's file carries.
struct TagPlan {
  int id3v2Version = 0;  // 0 (none), 3 or 4
  bool cover = false;    // a ~200 KiB front cover in the ID3v2 tag
  bool ape = false;
  bool id3v1 = false;
};

struct DemoTrack {
  int category = 0;  // index into DemoCategories()
  std::string file;  // file name under tracks/
  std::string title;
  std::string asciiTitle;  // for ID3v1; empty when the title is ASCII already
  SongPlan song;
  EncoderSettings encoding;
  TagPlan tags;
  bool listsTime = true;  // the catalogue carries its "time"
  int firstVersion = 1;   // first catalogue version that lists it
};

const std::vector<DemoCategory>& DemoCategories();
const std::vector<DemoTrack>& DemoTracks();

// The tags written into `track`'s file.
TrackTags TagsOf(const DemoTrack& track);

// The plain catalogue text of `version` (1 or 2) with track addresses under
// `baseUrl` + "/tracks/". Besides the tracks it lists one row whose file the
// server does not have, so that the player's skip over a failed track shows.
std::string CatalogueXml(int version, const std::string& baseUrl);

// `text` with the five XML special characters escaped, for attributes and content.
std::string EscapeXml(const std::string& text);

}  // namespace demo
