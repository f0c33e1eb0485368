// The catalogue document: categories of dance tracks with their titles,
// download addresses and durations, read from one XML file kept scrambled
// byte by byte.
//
// Layout of the text: the first top-level element is the catalogue proper;
// its child elements named "l" are the categories (attributes "name",
// "maker", "desc"), and every child element of a category is a track (text:
// the title; attributes "src" and "time"). Top-level elements "version"
// (a decimal number) and "end" (the file is complete) follow it. Element
// names, attribute names, category names and titles compare ignoring case.
//
// Texts handed out are UTF-8 whatever the file's own encoding (see
// catalogue_file.h); a file is saved back in the encoding it was read in.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue_file.h"

class TiXmlDocument;
class TiXmlElement;

enum class TrackTimeResult {
  kSaved,        // the document and the file carry the new time
  kNoSuchTrack,  // no track of that title in that category: nothing changed
  kNotSaved,     // the document changed, the file could not be (it is as it was)
  kLocked,       // the document changed; another program kept the file locked (it is as it was)
};

class CCatalogueDoc {
 public:
  CCatalogueDoc();
  ~CCatalogueDoc();
  CCatalogueDoc(const CCatalogueDoc&) = delete;
  CCatalogueDoc& operator=(const CCatalogueDoc&) = delete;

  // Reads the file at `path` (for reading only) and parses its text, first
  // undoing the XOR with the catalogue key when `scrambled` is set. True when
  // the file was read and handed to the parser, whether or not it parsed
  // (see ParseError). On failure the document stays as it was.
  bool LoadFile(const std::string& path, bool scrambled);
  // The same with the stored bytes of a catalogue at hand. The document then
  // belongs to no file: SetTrackTime changes the document alone.
  void LoadBytes(std::string bytes, bool scrambled);

  // output[i] = input[i] XOR key for i below `length`; `output` may be `input`.
  static void ScrambleBytes(const void* input, size_t length, void* output, unsigned char key);

  // The value of `element`'s first attribute named `name` (ignoring case), in
  // the document's result buffer, which the next lookup overwrites. Null when
  // there is no element or no such attribute.
  const char* FindAttribute(const TiXmlElement* element, std::string_view name);

  // The `index`-th track (from 0) of `category`; a second category of the
  // same name continues the count of the first. `title` is empty when the
  // track has no text; `src` and `time` are empty when absent. False (the
  // outputs untouched) when there is no such track. Asking for the tracks
  // of a category in order costs one step each, however long it is.
  bool GetTrackAt(std::string_view category, int index, std::string* title, std::string* src, std::string* time);

  // The "maker" and "desc" of the first category named `category`, empty
  // when absent. False (the outputs untouched) when there is no such category.
  bool GetCategoryInfo(std::string_view category, std::string* maker, std::string* desc);

  // Sets the "time" of the first track titled `title` in `category` to
  // seconds as "%02d:%02d" (minutes, seconds) and saves the file the document
  // was loaded from, scrambled as it was read. The save holds the catalogue's
  // write lock, edits the file as it is on disk now, changing only that
  // attribute's bytes, and replaces it whole (temporary file, then rename)
  // only while it is still the file that was read, else edits it again: when
  // a newer catalogue has been put there since, that catalogue gets the time,
  // or is left alone when it lacks the track.
  TrackTimeResult SetTrackTime(std::string_view category, std::string_view title, int seconds);

  // The number in the "version" element after the catalogue, read as atoi
  // reads it; 0 when there is none or it is empty, and when it does not fit
  // in an int (a parse error then, see ParseError).
  int GetVersion() const;
  // True when an "end" element follows the catalogue.
  bool HasEndMarker() const;

  // The category names in display order, each once (the first spelling of
  // names that differ only in case), as far as the categories can be read.
  std::vector<std::string> GetCategoryNames();

  // True when the loaded text did not parse completely, nests elements too
  // deeply to be parsed at all (the document is then empty), or holds a
  // version that does not fit in an int; `*description` says what was met
  // and where.
  bool ParseError(std::string* description) const;

 private:
  // Where the last GetTrackAt stopped, so that the next index goes on from there.
  struct TrackCursor {
    std::string category;
    int index = -1;
    TiXmlElement* categoryElement = nullptr;
    TiXmlElement* track = nullptr;
  };

  std::string result_;
  TrackCursor cursor_;
  std::unique_ptr<TiXmlDocument> document_;
  std::string path_;
  bool scrambled_ = false;
  bool tooDeep_ = false;
  // How the file was stored, to write it back the same way.
  catalogue::StoredEncoding encoding_ = catalogue::StoredEncoding::kUtf8;
  bool exact_ = true;
};
