#include "catalogue/catalogue_file.h"

#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace catalogue {
namespace {

constexpr size_t npos = std::string_view::npos;

// How often a rewrite edits the file again when it was replaced under it.
constexpr int kRewriteAttempts = 3;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsNameStart(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return (FoldCase(c) >= 'a' && FoldCase(c) <= 'z') || c == '_' || byte >= 0x80;
}

// The encoding named by the XML declaration at the start of `text`, if any.
std::string_view DeclaredEncoding(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  if (!text.starts_with("<?xml")) return {};
  std::string_view declaration = text.substr(0, text.find("?>"));
  size_t at = declaration.find("encoding");
  if (at == npos) return {};
  at += 8;
  while (at < declaration.size() && IsSpace(declaration[at])) ++at;
  if (at >= declaration.size() || declaration[at] != '=') return {};
  ++at;
  while (at < declaration.size() && IsSpace(declaration[at])) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return {};
  size_t end = declaration.find(declaration[at], at + 1);
  if (end == npos) return {};
  return declaration.substr(at + 1, end - at - 1);
}

bool NamesOneOf(std::string_view encoding, std::initializer_list<std::string_view> names) {
  for (std::string_view name : names) {
    if (EqualsIgnoringCase(encoding, name)) return true;
  }
  return false;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

struct Attribute {
  std::string_view name;
  size_t valueBegin = 0;  // the value without its quotes
  size_t valueEnd = 0;
  size_t end = 0;  // just past the closing quote
};

struct StartTag {
  size_t nameEnd = 0;
  std::vector<Attribute> attributes;
  bool empty = false;  // ends with "/>"
};

// Walks the markup of an XML text as the parser reads it: start tags with
// their attributes and end tags are reported; comments, CDATA sections,
// declarations, processing instructions and DOCTYPEs are skipped whole, as
// is the text between. It stops where the parser would stop with an error.
class MarkupScanner {
 public:
  enum class Item { kStartTag, kEndTag, kDone };

  explicit MarkupScanner(std::string_view text) : text_(text) {}

  Item Next(StartTag* tag) {
    for (;;) {
      at_ = text_.find('<', at_);
      if (at_ == npos) return Item::kDone;
      std::string_view rest = text_.substr(at_);
      if (rest.size() > 1 && IsNameStart(rest[1])) {
        return ReadStartTag(tag) ? Item::kStartTag : Stop();
      }
      if (rest.starts_with("</")) {
        return SkipPast(at_ + 2, ">") ? Item::kEndTag : Stop();
      }
      bool skipped = StartsWithIgnoringCase(rest, "<?xml") ? SkipDeclaration()
                     : rest.starts_with("<!--")            ? SkipPast(at_ + 4, "-->")
                     : rest.starts_with("<![CDATA[")       ? SkipPast(at_ + 9, "]]>")
                                                           : SkipPast(at_ + 1, ">");
      if (!skipped) return Stop();
    }
  }

 private:
  Item Stop() {
    at_ = npos;
    return Item::kDone;
  }

  void SkipSpace() {
    while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
  }

  bool EndsToken(char c) const { return IsSpace(c) || c == '/' || c == '>' || c == '='; }

  bool SkipPast(size_t from, std::string_view close) {
    size_t found = text_.find(close, from);
    at_ = found == npos ? npos : found + close.size();
    return at_ != npos;
  }

  // name = "value", name = 'value' or name = value.
  bool ReadAttribute(Attribute* attribute) {
    size_t nameBegin = at_;
    while (at_ < text_.size() && !EndsToken(text_[at_])) ++at_;
    attribute->name = text_.substr(nameBegin, at_ - nameBegin);
    SkipSpace();
    if (attribute->name.empty() || at_ >= text_.size() || text_[at_] != '=') return false;
    ++at_;
    SkipSpace();
    if (at_ >= text_.size()) return false;
    if (text_[at_] == '"' || text_[at_] == '\'') {
      attribute->valueBegin = at_ + 1;
      attribute->valueEnd = text_.find(text_[at_], at_ + 1);
      if (attribute->valueEnd == npos) return false;
      at_ = attribute->valueEnd + 1;
    } else {
      attribute->valueBegin = at_;
      while (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '>' && !text_.substr(at_).starts_with("/>")) {
        ++at_;
      }
      attribute->valueEnd = at_;
    }
    attribute->end = at_;
    return true;
  }

  bool ReadStartTag(StartTag* tag) {
    ++at_;
    while (at_ < text_.size() && !EndsToken(text_[at_])) ++at_;
    tag->nameEnd = at_;
    tag->attributes.clear();
    for (;;) {
      SkipSpace();
      if (at_ >= text_.size()) return false;
      tag->empty = text_.substr(at_).starts_with("/>");
      if (text_[at_] == '>' || tag->empty) {
        at_ = text_.find('>', at_) + 1;
        return true;
      }
      Attribute attribute;
      if (!ReadAttribute(&attribute)) return false;
      tag->attributes.push_back(attribute);
    }
  }

  // The parser reads the values of "version", "encoding" and "standalone"
  // as quoted attributes and steps over anything else up to a blank or '>';
  // the declaration ends at the first '>' it meets that way.
  bool SkipDeclaration() {
    at_ += 5;
    while (at_ < text_.size()) {
      if (text_[at_] == '>') {
        ++at_;
        return true;
      }
      SkipSpace();
      std::string_view rest = text_.substr(at_);
      if (StartsWithIgnoringCase(rest, "version") || StartsWithIgnoringCase(rest, "encoding") ||
          StartsWithIgnoringCase(rest, "standalone")) {
        Attribute attribute;
        if (!ReadAttribute(&attribute)) return false;
      } else {
        while (at_ < text_.size() && text_[at_] != '>' && !IsSpace(text_[at_])) ++at_;
      }
    }
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace

StoredText DecodeStoredText(std::string_view bytes) {
  StoredText text;
  const std::string_view declared = DeclaredEncoding(bytes);
  const platform::Utf8Tally tally = platform::TallyUtf8(bytes);
  const bool utf8 = !NamesOneOf(declared, {"gbk", "gb2312", "gb18030", "cp936"}) &&
                    (NamesOneOf(declared, {"utf-8", "utf8"}) || bytes.starts_with("\xEF\xBB\xBF") ||
                     tally.stray == 0 || tally.multiByte > tally.stray);
  if (utf8) {
    text.exact = tally.stray == 0;
    text.utf8 = text.exact ? std::string(bytes) : platform::RepairUtf8(bytes);
  } else {
    text.encoding = StoredEncoding::kGb18030;
    text.exact = platform::Gb18030ToUtf8(bytes, &text.utf8);
  }
  return text;
}

bool EncodeText(StoredEncoding encoding, bool exact, const std::string& utf8, std::string* bytes) {
  if (!exact) return false;
  if (encoding == StoredEncoding::kGb18030) return platform::Utf8ToGb18030(utf8, bytes);
  *bytes = utf8;
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool SetAttributeInText(std::string* text, size_t ordinal, std::string_view name, std::string_view value) {
  MarkupScanner scanner(*text);
  StartTag tag;
  size_t seen = 0;
  for (MarkupScanner::Item item; (item = scanner.Next(&tag)) != MarkupScanner::Item::kDone;) {
    if (item != MarkupScanner::Item::kStartTag || seen++ != ordinal) continue;
    for (const Attribute& attribute : tag.attributes) {
      if (EqualsIgnoringCase(attribute.name, name)) {
        text->replace(attribute.valueBegin, attribute.valueEnd - attribute.valueBegin, value);
        return true;
      }
    }
    size_t insertAt = tag.attributes.empty() ? tag.nameEnd : tag.attributes.back().end;
    text->insert(insertAt, " " + std::string(name) + "=\"" + std::string(value) + "\"");
    return true;
  }
  return false;
}

bool NestedDeeperThan(std::string_view text, size_t levels) {
  MarkupScanner scanner(text);
  StartTag tag;
  size_t depth = 0;
  for (MarkupScanner::Item item; (item = scanner.Next(&tag)) != MarkupScanner::Item::kDone;) {
    if (item == MarkupScanner::Item::kEndTag) {
      if (depth > 0) --depth;
    } else if (depth + 1 > levels) {
      return true;
    } else if (!tag.empty) {
      ++depth;
    }
  }
  return false;
}

std::mutex& CatalogueFileLock() {
  static std::mutex lock;
  return lock;
}

CatalogueWriteLock::CatalogueWriteLock(const std::string& cataloguePath)
    : fileLock_(platform::FileLock::Acquire(CatalogueLockPath(cataloguePath), kCatalogueLockTimeout, &failure_)) {
  if (fileLock_) inProcess_ = std::unique_lock<std::mutex>(CatalogueFileLock());
}

CatalogueWriteLock::~CatalogueWriteLock() = default;

std::string CatalogueLockPath(const std::string& cataloguePath) { return cataloguePath + ".lock"; }

RewriteResult RewriteCatalogueFile(const std::string& cataloguePath, const CatalogueEdit& edit) {
  CatalogueWriteLock lock(cataloguePath);
  if (!lock.Held()) {
    return lock.Failure() == platform::FileLock::Failure::kBusy ? RewriteResult::kLocked : RewriteResult::kFailed;
  }
  for (int attempt = 0; attempt < kRewriteAttempts; ++attempt) {
    std::string current, replacement;
    platform::FileStamp read;
    const bool readable = platform::ReadWholeFile(cataloguePath, &current, &read);
    if (!readable) read = platform::StampOf(cataloguePath);
    if (!edit(readable ? &current : nullptr, &replacement)) return RewriteResult::kDeclined;
    switch (platform::ReplaceFileIfUnchanged(cataloguePath, replacement, read)) {
      case platform::ReplaceResult::kReplaced:
        return RewriteResult::kReplaced;
      case platform::ReplaceResult::kFailed:
        return RewriteResult::kFailed;
      case platform::ReplaceResult::kChanged:
        break;
    }
  }
  return RewriteResult::kFailed;
}

}  // namespace catalogue
