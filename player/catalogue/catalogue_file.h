// The catalogue file as stored: its bytes, their encoding, edits that keep
// every other byte, and the lock that orders rewrites of the file.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace catalogue {

// The one-byte XOR key of the stored catalogue.
inline constexpr unsigned char kCatalogueKey = 0x5A;

enum class StoredEncoding { kUtf8, kGb18030 };

// A catalogue's plain (unscrambled) text as stored, and as the program reads it.
struct StoredText {
  std::string bytes;
  StoredEncoding encoding = StoredEncoding::kUtf8;
  // `utf8` converts back to `bytes` exactly; false when some stored bytes
  // were not text in their encoding.
  bool exact = true;
  std::string utf8;
};

// A text whose XML declaration names a Chinese code page (GBK, GB2312,
// GB18030, CP936), or which is not valid UTF-8, is read as GB18030;
// anything else is UTF-8 already.
StoredText DecodeStoredText(std::string bytes);

// `utf8` in `encoding`. False when it cannot be stored that way without
// changing text: a GB18030 text that was not `exact` when it was read.
bool EncodeText(StoredEncoding encoding, bool exact, const std::string& utf8, std::string* bytes);

// Element, attribute, category and title names compare ignoring the case of
// ASCII letters; other bytes must be equal.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// Sets the attribute `name` (found ignoring case) of the `ordinal`-th start
// tag of the XML text (from 0, in document order): an existing value is
// replaced inside its quotes, a missing attribute is added after the last
// one as name="value". Every other byte stays as it was. `value` is written
// as it stands and must need no escaping. False when the text has no such
// start tag or it cannot be read.
bool SetAttributeInText(std::string* text, size_t ordinal, std::string_view name, std::string_view value);

// The parser builds nested elements by recursion: texts nested deeper than
// this are not handed to it. A catalogue needs three levels.
inline constexpr size_t kMaxElementDepth = 256;

// True when elements in the XML text nest deeper than `levels`.
bool NestedDeeperThan(std::string_view text, size_t levels);

// Held by every rewrite of a catalogue file in this process (a save reads,
// edits and replaces the file under it; the update replaces it under it), so
// that neither writes over what the other has just put in place.
std::mutex& CatalogueFileLock();

}  // namespace catalogue
