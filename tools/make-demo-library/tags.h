// Writers for the tags that music files carry: ID3v2.3 and ID3v2.4 at the
// front, APEv2 and ID3v1 at the end (APE before ID3v1 when both are there).
#pragma once

#include <cstdint>
#include <string>

namespace demo {

// What a track's tags say. Texts are UTF-8.
struct TrackTags {
  std::string title;
  std::string artist;
  std::string album;
  std::string genre;
  std::string comment;
  std::string asciiTitle;  // for ID3v1, which holds Latin-1 only
  std::string asciiArtist;
  int year = 0;
  int trackNumber = 0;
  int bpm = 0;
  uint8_t id3v1Genre = 255;  // index into the ID3v1 genre list; 255 = none
  std::string coverPng;      // front cover image; empty for none
};

// An ID3v2.3 tag (texts in UTF-16 with BOM where not plain ASCII) or an
// ID3v2.4 tag (texts in UTF-8), followed by `padding` zero bytes.
std::string Id3v2Tag(const TrackTags& tags, int majorVersion, size_t padding);

// The 128-byte ID3v1.1 tag; texts longer than a field are cut.
std::string Id3v1Tag(const TrackTags& tags);

// An APEv2 tag with header and footer, items in UTF-8.
std::string ApeTag(const TrackTags& tags);

// UTF-16LE with a byte order mark, as ID3v2.3 stores Unicode text.
std::string Utf16WithBom(const std::string& utf8);

}  // namespace demo
