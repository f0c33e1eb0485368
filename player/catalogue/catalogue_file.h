// The catalogue file as stored: its bytes, their encoding, edits that keep
// every other byte, and the lock that orders rewrites of the file.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file.h"

namespace catalogue {

// The one-byte XOR key of the stored catalogue.
inline constexpr unsigned char kCatalogueKey = 0x5A;

enum class StoredEncoding { kUtf8, kGb18030 };

// How the program reads a catalogue's plain (unscrambled) stored bytes.
struct StoredText {
  StoredEncoding encoding = StoredEncoding::kUtf8;
  // `utf8` converts back to the stored bytes exactly; false when some of
  // them were not text in their encoding (they read as U+FFFD).
  bool exact = true;
  std::string utf8;
};

// The encoding is taken from the XML declaration first: one naming a Chinese
// code page (GBK, GB2312, GB18030, CP936) means GB18030, one naming UTF-8 (or
// a UTF-8 byte order mark) means UTF-8. A text that names neither is UTF-8
// unless it is not UTF-8 at all: when its stray bytes outnumber its
// well-formed multi-byte characters it is read as GB18030. Stray bytes in a
// UTF-8 text read as U+FFFD.
StoredText DecodeStoredText(std::string_view bytes);

// `utf8` in `encoding`. False when it cannot be stored that way without
// changing text: a text that was not `exact` when it was read.
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

// Held by every rewrite of a catalogue file in this process for as long as
// it holds the file's lock (see CatalogueWriteLock): a process that ends
// takes it first, so that it never leaves a replacement half done.
std::mutex& CatalogueFileLock();

// How long a rewrite waits for another program to let go of the catalogue.
inline constexpr std::chrono::seconds kCatalogueLockTimeout{3};

// Held by every read-edit-replace of the catalogue file at `cataloguePath`:
// the lock file beside it (CatalogueLockPath), which orders the threads of
// this process and other processes (players, tarvoni-catalogue) alike, and
// then CatalogueFileLock.
class CatalogueWriteLock {
 public:
  // Waits up to kCatalogueLockTimeout for the lock file.
  explicit CatalogueWriteLock(const std::string& cataloguePath);
  ~CatalogueWriteLock();
  CatalogueWriteLock(const CatalogueWriteLock&) = delete;
  CatalogueWriteLock& operator=(const CatalogueWriteLock&) = delete;

  bool Held() const { return fileLock_ != nullptr; }
  // Why it is not held.
  platform::FileLock::Failure Failure() const { return failure_; }

 private:
  platform::FileLock::Failure failure_ = platform::FileLock::Failure::kBusy;  // set by the lock's initialiser
  std::unique_ptr<platform::FileLock> fileLock_;
  std::unique_lock<std::mutex> inProcess_;
};

// The lock file of the catalogue at `cataloguePath`: "datams.dll.lock".
std::string CatalogueLockPath(const std::string& cataloguePath);

enum class RewriteResult {
  kReplaced,  // the file holds what the edit made of it
  kDeclined,  // the edit declined; the file is as it was
  kLocked,    // another program kept the lock; the file is as it was
  kFailed,    // it could not be written, or was replaced under every try; it is as it was
};

// Makes the bytes to put in place of the file: `current` is its bytes (the
// edit may take them), null when it cannot be read or is not there. False
// declines.
using CatalogueEdit = std::function<bool(std::string* current, std::string* replacement)>;

// The read-edit-replace of the catalogue file at `cataloguePath`, under its
// write lock. The replacement is whole (temporary file, then rename) and made
// only while the file is still the one the edit was given; a program that
// replaced it meanwhile without the lock gets the edit made again on what it
// put there, a few times at most.
RewriteResult RewriteCatalogueFile(const std::string& cataloguePath, const CatalogueEdit& edit);

}  // namespace catalogue
