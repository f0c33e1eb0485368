#include "catalogue/catalogue_doc.h"

#include <tinyxml.h>

#include <climits>
#include <cstdio>
#include <unordered_set>
#include <utility>

#include "platform/file.h"

namespace {

using catalogue::EqualsIgnoringCase;

bool IsNamed(const TiXmlElement* element, std::string_view name) { return EqualsIgnoringCase(element->Value(), name); }

// The first attribute named `name`, ignoring case; const as `element` is.
template <typename Element>
auto FindAttributeNode(Element* element, std::string_view name) -> decltype(element->FirstAttribute()) {
  for (auto* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
    if (EqualsIgnoringCase(attribute->Name(), name)) return attribute;
  }
  return nullptr;
}

const char* AttributeValue(const TiXmlElement* element, std::string_view name) {
  const TiXmlAttribute* attribute = FindAttributeNode(element, name);
  return attribute ? attribute->Value() : nullptr;
}

// The category walk: the "l" children of the first top-level element, in
// order, up to the first one without a name. The named category after
// `after` (from the start when null), its name in `*name`; null where the
// walk ends.
TiXmlElement* NextCategory(TiXmlDocument* document, TiXmlElement* after, const char** name) {
  TiXmlElement* catalogue = document ? document->RootElement() : nullptr;
  if (!catalogue) return nullptr;
  for (TiXmlElement* element = after ? after->NextSiblingElement() : catalogue->FirstChildElement(); element;
       element = element->NextSiblingElement()) {
    if (!IsNamed(element, "l")) continue;
    *name = AttributeValue(element, "name");
    return *name ? element : nullptr;
  }
  return nullptr;
}

// The category named `category` after `after`, as NextCategory walks.
TiXmlElement* NextCategoryNamed(TiXmlDocument* document, TiXmlElement* after, std::string_view category) {
  const char* name = nullptr;
  do {
    after = NextCategory(document, after, &name);
  } while (after && !EqualsIgnoringCase(name, category));
  return after;
}

// Calls `visit` with each category of the walk named `category` until it
// returns false.
template <typename Visit>
void ForEachCategory(TiXmlDocument* document, std::string_view category, Visit visit) {
  for (TiXmlElement* element = NextCategoryNamed(document, nullptr, category); element && visit(element);
       element = NextCategoryNamed(document, element, category)) {
  }
}

// A track's title: its first text child, empty when it has none.
std::string TitleOf(const TiXmlElement* track) {
  for (const TiXmlNode* node = track->FirstChild(); node; node = node->NextSibling()) {
    if (const TiXmlText* text = node->ToText()) return text->Value();
  }
  return {};
}

TiXmlElement* FindTrack(TiXmlDocument* document, std::string_view category, std::string_view title) {
  TiXmlElement* found = nullptr;
  ForEachCategory(document, category, [&](TiXmlElement* element) {
    for (TiXmlElement* track = element->FirstChildElement(); track; track = track->NextSiblingElement()) {
      if (EqualsIgnoringCase(TitleOf(track), title)) {
        found = track;
        return false;
      }
    }
    return true;
  });
  return found;
}

// Replaces the value of the "time" attribute however its name is spelt, so
// that a track never carries two of them.
void SetTime(TiXmlElement* track, const std::string& time) {
  if (TiXmlAttribute* attribute = FindAttributeNode(track, "time")) {
    attribute->SetValue(time);
  } else {
    track->SetAttribute("time", time);
  }
}

std::string FormatTime(int seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
  return text;
}

// The first top-level element named `name` after the catalogue proper.
const TiXmlElement* FollowingElement(const TiXmlDocument* document, std::string_view name) {
  const TiXmlElement* catalogue = document ? document->RootElement() : nullptr;
  if (!catalogue) return nullptr;
  for (const TiXmlElement* element = catalogue->NextSiblingElement(); element; element = element->NextSiblingElement()) {
    if (IsNamed(element, name)) return element;
  }
  return nullptr;
}

// Leading blanks, an optional sign, then digits up to the first non-digit;
// no digits read as 0. False when the number does not fit in an int.
bool ReadLikeAtoi(const char* text, int* number) {
  auto isBlank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (isBlank(*text)) ++text;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > limit) return false;
  }
  *number = static_cast<int>(negative ? -value : value);
  return true;
}

// The text of the "version" element after the catalogue; null when there is none.
const char* VersionText(const TiXmlDocument* document) {
  const TiXmlElement* version = FollowingElement(document, "version");
  const TiXmlNode* first = version ? version->FirstChild() : nullptr;
  const TiXmlText* text = first ? first->ToText() : nullptr;
  return text ? text->Value() : nullptr;
}

// The text is parsed as UTF-8 whatever its declaration says: it has been
// converted already. Null when it nests too deeply to be parsed safely.
std::unique_ptr<TiXmlDocument> Parse(const std::string& utf8) {
  if (catalogue::NestedDeeperThan(utf8, catalogue::kMaxElementDepth)) return nullptr;
  auto document = std::make_unique<TiXmlDocument>();
  document->Parse(utf8.c_str(), nullptr, TIXML_ENCODING_UTF8);
  return document;
}

std::string Print(const TiXmlDocument& document) {
  TiXmlPrinter printer;
  document.Accept(&printer);
  return printer.Str();
}

// Position of `target` among all elements of the document in document order.
bool CountElementsBefore(const TiXmlNode* parent, const TiXmlElement* target, size_t* count) {
  for (const TiXmlNode* node = parent->FirstChild(); node; node = node->NextSibling()) {
    const TiXmlElement* element = node->ToElement();
    if (!element) continue;
    if (element == target) return true;
    ++*count;
    if (CountElementsBefore(element, target, count)) return true;
  }
  return false;
}

// Sets the time of the track in the catalogue text `plain` (as stored, not
// scrambled) and gives the text to store in `*edited`. Only the attribute's
// bytes change when the in-place edit reads back as the same document;
// otherwise the whole document is written out again, which is refused when
// that would lose text. False when the text lacks the track or cannot be
// stored. One document tree at a time: a large catalogue's is many times
// the size of its text.
bool EditStoredText(std::string plain, std::string_view category, std::string_view title, const std::string& time,
                    std::string* edited) {
  catalogue::StoredText stored = catalogue::DecodeStoredText(plain);
  size_t ordinal = 0;
  std::string expected;
  bool parsedToTheEnd = false;
  {
    std::unique_ptr<TiXmlDocument> document = Parse(stored.utf8);
    TiXmlElement* track = document ? FindTrack(document.get(), category, title) : nullptr;
    if (!track) return false;
    CountElementsBefore(document.get(), track, &ordinal);
    SetTime(track, time);
    expected = Print(*document);
    parsedToTheEnd = !document->Error();
  }
  std::string().swap(stored.utf8);

  if (catalogue::SetAttributeInText(&plain, ordinal, "time", time)) {
    std::unique_ptr<TiXmlDocument> reread = Parse(catalogue::DecodeStoredText(plain).utf8);
    if (reread && Print(*reread) == expected) {
      *edited = std::move(plain);
      return true;
    }
  }
  // Writing out a document that did not parse to its end would drop the rest.
  return parsedToTheEnd && catalogue::EncodeText(stored.encoding, stored.exact, expected, edited);
}

}  // namespace

CCatalogueDoc::CCatalogueDoc() = default;

CCatalogueDoc::~CCatalogueDoc() = default;

bool CCatalogueDoc::LoadFile(const std::string& path, bool scrambled) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return false;
  LoadBytes(std::move(bytes), scrambled);
  path_ = path;
  return true;
}

void CCatalogueDoc::LoadBytes(std::string bytes, bool scrambled) {
  if (scrambled) ScrambleBytes(bytes.data(), bytes.size(), bytes.data(), catalogue::kCatalogueKey);
  catalogue::StoredText stored = catalogue::DecodeStoredText(bytes);
  std::string().swap(bytes);  // only the text is parsed; a large catalogue's tree is many times its size
  document_ = Parse(stored.utf8);
  tooDeep_ = !document_;
  if (tooDeep_) document_ = std::make_unique<TiXmlDocument>();
  encoding_ = stored.encoding;
  exact_ = stored.exact;
  path_.clear();
  scrambled_ = scrambled;
  result_.clear();
  cursor_ = {};
}

void CCatalogueDoc::ScrambleBytes(const void* input, size_t length, void* output, unsigned char key) {
  const unsigned char* in = static_cast<const unsigned char*>(input);
  unsigned char* out = static_cast<unsigned char*>(output);
  for (size_t i = 0; i < length; ++i) out[i] = in[i] ^ key;
}

const char* CCatalogueDoc::FindAttribute(const TiXmlElement* element, std::string_view name) {
  const char* value = element ? AttributeValue(element, name) : nullptr;
  if (!value) return nullptr;
  result_ = value;
  return result_.c_str();
}

bool CCatalogueDoc::GetTrackAt(std::string_view category, int index, std::string* title, std::string* src,
                               std::string* time) {
  if (index < 0) return false;
  if (index < cursor_.index || !EqualsIgnoringCase(cursor_.category, category)) {
    cursor_ = {.category = std::string(category)};
  }
  while (cursor_.index < index) {
    cursor_.track = cursor_.track ? cursor_.track->NextSiblingElement() : nullptr;
    while (!cursor_.track) {
      cursor_.categoryElement = NextCategoryNamed(document_.get(), cursor_.categoryElement, category);
      if (!cursor_.categoryElement) {
        cursor_ = {};
        return false;
      }
      cursor_.track = cursor_.categoryElement->FirstChildElement();
    }
    ++cursor_.index;
  }
  const TiXmlElement* found = cursor_.track;
  *title = TitleOf(found);
  const char* value = FindAttribute(found, "src");
  *src = value ? value : "";
  value = FindAttribute(found, "time");
  *time = value ? value : "";
  return true;
}

bool CCatalogueDoc::GetCategoryInfo(std::string_view category, std::string* maker, std::string* desc) {
  const TiXmlElement* found = nullptr;
  ForEachCategory(document_.get(), category, [&](TiXmlElement* element) {
    found = element;
    return false;
  });
  if (!found) return false;
  const char* value = FindAttribute(found, "maker");
  *maker = value ? value : "";
  value = FindAttribute(found, "desc");
  *desc = value ? value : "";
  return true;
}

TrackTimeResult CCatalogueDoc::SetTrackTime(std::string_view category, std::string_view title, int seconds) {
  TiXmlElement* track = FindTrack(document_.get(), category, title);
  if (!track) return TrackTimeResult::kNoSuchTrack;
  std::string time = FormatTime(seconds);
  SetTime(track, time);
  if (path_.empty()) return TrackTimeResult::kNotSaved;

  const catalogue::CatalogueEdit edit = [&](std::string* current, std::string* replacement) {
    if (current) {
      if (scrambled_) ScrambleBytes(current->data(), current->size(), current->data(), catalogue::kCatalogueKey);
      if (!EditStoredText(std::move(*current), category, title, time, replacement)) return false;
    } else if (platform::PathExists(path_) ||
               !catalogue::EncodeText(encoding_, exact_, Print(*document_), replacement)) {
      // A file that is there but cannot be read is not overwritten; one that
      // is gone is written again from the document.
      return false;
    }
    if (scrambled_) ScrambleBytes(replacement->data(), replacement->size(), replacement->data(), catalogue::kCatalogueKey);
    return true;
  };
  switch (catalogue::RewriteCatalogueFile(path_, edit)) {
    case catalogue::RewriteResult::kReplaced:
      return TrackTimeResult::kSaved;
    case catalogue::RewriteResult::kLocked:
      return TrackTimeResult::kLocked;
    case catalogue::RewriteResult::kDeclined:
    case catalogue::RewriteResult::kFailed:
      break;
  }
  return TrackTimeResult::kNotSaved;
}

int CCatalogueDoc::GetVersion() const {
  const char* text = VersionText(document_.get());
  int version = 0;
  return text && ReadLikeAtoi(text, &version) ? version : 0;
}

bool CCatalogueDoc::HasEndMarker() const { return FollowingElement(document_.get(), "end") != nullptr; }

std::vector<std::string> CCatalogueDoc::GetCategoryNames() {
  std::vector<std::string> names;
  std::unordered_set<std::string> seen;  // the names with their ASCII letters in lower case
  const char* name = nullptr;
  for (TiXmlElement* element = NextCategory(document_.get(), nullptr, &name); element;
       element = NextCategory(document_.get(), element, &name)) {
    std::string folded = name;
    for (char& c : folded) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (seen.insert(std::move(folded)).second) names.push_back(name);
  }
  return names;
}

bool CCatalogueDoc::ParseError(std::string* description) const {
  if (tooDeep_) {
    *description = "elements nested deeper than " + std::to_string(catalogue::kMaxElementDepth) + " levels";
    return true;
  }
  if (!document_) return false;
  if (document_->Error()) {
    *description = document_->ErrorDesc();
    if (document_->ErrorRow() > 0) {
      *description += " (line " + std::to_string(document_->ErrorRow()) + ", column " +
                      std::to_string(document_->ErrorCol()) + ")";
    }
    return true;
  }
  const char* version = VersionText(document_.get());
  int number = 0;
  if (!version || ReadLikeAtoi(version, &number)) return false;
  *description = "the version " + std::string(version) + " is beyond the range of a version (" +
                 std::to_string(INT_MIN) + " to " + std::to_string(INT_MAX) + ")";
  return true;
}
