#include "catalogue/catalogue_file.h"

#include <utility>
#include <vector>

#include "platform/text.h"

namespace catalogue {
namespace {

constexpr size_t npos = std::string_view::npos;

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

bool NamesChineseCodePage(std::string_view encoding) {
  for (std::string_view name : {"gbk", "gb2312", "gb18030", "cp936"}) {
    if (EqualsIgnoringCase(encoding, name)) return true;
  }
  return false;
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
  size_t end = 0;  // just past the closing '>'
};

// Reads the start tag whose '<' is at `start`, attribute values quoted with
// either quote or unquoted.
bool ReadStartTag(std::string_view text, size_t start, StartTag* tag) {
  size_t at = start + 1;
  auto skipSpace = [&] {
    while (at < text.size() && IsSpace(text[at])) ++at;
  };
  auto endsToken = [&](char c) { return IsSpace(c) || c == '/' || c == '>' || c == '='; };
  while (at < text.size() && !endsToken(text[at])) ++at;
  tag->nameEnd = at;
  tag->attributes.clear();
  for (;;) {
    skipSpace();
    if (at >= text.size()) return false;
    if (text[at] == '>' || text.substr(at).starts_with("/>")) {
      tag->end = text.find('>', at) + 1;
      return true;
    }
    Attribute attribute;
    size_t nameBegin = at;
    while (at < text.size() && !endsToken(text[at])) ++at;
    attribute.name = text.substr(nameBegin, at - nameBegin);
    skipSpace();
    if (attribute.name.empty() || at >= text.size() || text[at] != '=') return false;
    ++at;
    skipSpace();
    if (at >= text.size()) return false;
    if (text[at] == '"' || text[at] == '\'') {
      attribute.valueBegin = at + 1;
      attribute.valueEnd = text.find(text[at], at + 1);
      if (attribute.valueEnd == npos) return false;
      at = attribute.valueEnd + 1;
    } else {
      attribute.valueBegin = at;
      while (at < text.size() && !IsSpace(text[at]) && text[at] != '>' && !text.substr(at).starts_with("/>")) ++at;
      attribute.valueEnd = at;
    }
    attribute.end = at;
    tag->attributes.push_back(attribute);
  }
}

// Position just past the markup at `start` that is not a start tag: a
// comment, a CDATA section, a declaration or processing instruction, a
// DOCTYPE or an end tag. npos when it does not end.
size_t SkipOtherMarkup(std::string_view text, size_t start) {
  auto pastClose = [&](size_t from, std::string_view close) {
    size_t at = text.find(close, from);
    return at == npos ? npos : at + close.size();
  };
  std::string_view rest = text.substr(start);
  if (rest.starts_with("<!--")) return pastClose(start + 4, "-->");
  if (rest.starts_with("<![CDATA[")) return pastClose(start + 9, "]]>");
  return pastClose(start + 1, ">");
}

}  // namespace

StoredText DecodeStoredText(std::string bytes) {
  StoredText text;
  if (!NamesChineseCodePage(DeclaredEncoding(bytes)) && platform::IsValidUtf8(bytes)) {
    text.utf8 = bytes;
  } else {
    text.encoding = StoredEncoding::kGb18030;
    text.exact = platform::Gb18030ToUtf8(bytes, &text.utf8);
  }
  text.bytes = std::move(bytes);
  return text;
}

bool EncodeText(StoredEncoding encoding, bool exact, const std::string& utf8, std::string* bytes) {
  if (encoding == StoredEncoding::kUtf8) {
    *bytes = utf8;
    return true;
  }
  return exact && platform::Utf8ToGb18030(utf8, bytes);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

bool SetAttributeInText(std::string* text, size_t ordinal, std::string_view name, std::string_view value) {
  std::string_view view = *text;
  size_t seen = 0;
  size_t at = view.find('<');
  while (at != npos) {
    if (at + 1 < view.size() && IsNameStart(view[at + 1])) {
      StartTag tag;
      if (!ReadStartTag(view, at, &tag)) return false;
      if (seen++ == ordinal) {
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
      at = tag.end;
    } else {
      at = SkipOtherMarkup(view, at);
      if (at == npos) return false;
    }
    at = view.find('<', at);
  }
  return false;
}

std::mutex& CatalogueFileLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace catalogue
