#include "catalogue/catalogue_doc.h"

#include <tinyxml.h>

#include <climits>
#include <cstdio>
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
// order, up to the first one without a name. Calls `visit(element, name)`
// until it returns false.
template <typename Visit>
void WalkCategories(TiXmlDocument* document, Visit visit) {
  TiXmlElement* catalogue = document ? document->RootElement() : nullptr;
  if (!catalogue) return;
  for (TiXmlElement* element = catalogue->FirstChildElement(); element; element = element->NextSiblingElement()) {
    if (!IsNamed(element, "l")) continue;
    const char* name = AttributeValue(element, "name");
    if (!name || !visit(element, name)) return;
  }
}

// Calls `visit` with each category of the walk named `category` until it
// returns false.
template <typename Visit>
void ForEachCategory(TiXmlDocument* document, std::string_view category, Visit visit) {
  WalkCategories(document, [&](TiXmlElement* element, const char* name) {
    return !EqualsIgnoringCase(name, category) || visit(element);
  });
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
// no digits read as 0. Values beyond int's range are held at its limits.
int ReadLikeAtoi(const char* text) {
  auto isBlank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (isBlank(*text)) ++text;
  bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) return static_cast<int>(-value);
  return value > INT_MAX ? INT_MAX : static_cast<int>(value);
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
// stored.
bool EditStoredText(std::string plain, std::string_view category, std::string_view title, const std::string& time,
                    std::string* edited) {
  catalogue::StoredText stored = catalogue::DecodeStoredText(std::move(plain));
  std::unique_ptr<TiXmlDocument> document = Parse(stored.utf8);
  TiXmlElement* track = document ? FindTrack(document.get(), category, title) : nullptr;
  if (!track) return false;
  size_t ordinal = 0;
  CountElementsBefore(document.get(), track, &ordinal);
  SetTime(track, time);
  std::string expected = Print(*document);

  std::string inPlace = stored.bytes;
  if (catalogue::SetAttributeInText(&inPlace, ordinal, "time", time)) {
    std::unique_ptr<TiXmlDocument> reread = Parse(catalogue::DecodeStoredText(inPlace).utf8);
    if (reread && Print(*reread) == expected) {
      *edited = std::move(inPlace);
      return true;
    }
  }
  // Writing out a document that did not parse to its end would drop the rest.
  if (document->Error()) return false;
  return catalogue::EncodeText(stored.encoding, stored.exact, expected, edited);
}

}  // namespace

CCatalogueDoc::CCatalogueDoc() = default;

CCatalogueDoc::~CCatalogueDoc() = default;

bool CCatalogueDoc::LoadFile(const std::string& path, bool scrambled) {
  if (!platform::PathExists(path)) return false;
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) return false;
  if (scrambled) ScrambleBytes(bytes.data(), bytes.size(), bytes.data(), catalogue::kCatalogueKey);
  catalogue::StoredText stored = catalogue::DecodeStoredText(std::move(bytes));
  document_ = Parse(stored.utf8);
  tooDeep_ = !document_;
  if (tooDeep_) document_ = std::make_unique<TiXmlDocument>();
  encoding_ = stored.encoding;
  exact_ = stored.exact;
  path_ = path;
  scrambled_ = scrambled;
  result_.clear();
  return true;
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
  const TiXmlElement* found = nullptr;
  int remaining = index;
  ForEachCategory(document_.get(), category, [&](TiXmlElement* element) {
    for (TiXmlElement* track = element->FirstChildElement(); track; track = track->NextSiblingElement()) {
      if (remaining-- == 0) {
        found = track;
        return false;
      }
    }
    return true;
  });
  if (!found) return false;
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

  std::lock_guard<std::mutex> lock(catalogue::CatalogueFileLock());
  std::string plain;
  if (platform::ReadWholeFile(path_, &plain)) {
    if (scrambled_) ScrambleBytes(plain.data(), plain.size(), plain.data(), catalogue::kCatalogueKey);
    if (!EditStoredText(std::move(plain), category, title, time, &plain)) return TrackTimeResult::kNotSaved;
  } else if (platform::PathExists(path_) || !catalogue::EncodeText(encoding_, exact_, Print(*document_), &plain)) {
    // A file that is there but cannot be read is not overwritten; one that is
    // gone is written again from the document.
    return TrackTimeResult::kNotSaved;
  }
  if (scrambled_) ScrambleBytes(plain.data(), plain.size(), plain.data(), catalogue::kCatalogueKey);
  return platform::ReplaceFileContents(path_, plain) ? TrackTimeResult::kSaved : TrackTimeResult::kNotSaved;
}

int CCatalogueDoc::GetVersion() const {
  const TiXmlElement* version = FollowingElement(document_.get(), "version");
  const TiXmlNode* first = version ? version->FirstChild() : nullptr;
  const TiXmlText* text = first ? first->ToText() : nullptr;
  return text ? ReadLikeAtoi(text->Value()) : 0;
}

bool CCatalogueDoc::HasEndMarker() const { return FollowingElement(document_.get(), "end") != nullptr; }

std::vector<std::string> CCatalogueDoc::GetCategoryNames() {
  std::vector<std::string> names;
  WalkCategories(document_.get(), [&](TiXmlElement*, const char* name) {
    bool seen = false;
    for (const std::string& known : names) seen = seen || EqualsIgnoringCase(known, name);
    if (!seen) names.push_back(name);
    return true;
  });
  return names;
}

bool CCatalogueDoc::ParseError(std::string* description) const {
  if (tooDeep_) {
    *description = "elements nested deeper than " + std::to_string(catalogue::kMaxElementDepth) + " levels";
    return true;
  }
  if (!document_ || !document_->Error()) return false;
  *description = document_->ErrorDesc();
  if (document_->ErrorRow() > 0) {
    *description += " (line " + std::to_string(document_->ErrorRow()) + ", column " +
                    std::to_string(document_->ErrorCol()) + ")";
  }
  return true;
}
