#include "uilib/ui_string.h"

#include <cstdio>
#include <cstring>

namespace {

char FoldAscii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

}  // namespace

int CompareNoCase(LPCTSTR left, LPCTSTR right) {
  const unsigned char* a = reinterpret_cast<const unsigned char*>(left ? left : "");
  const unsigned char* b = reinterpret_cast<const unsigned char*>(right ? right : "");
  for (;; ++a, ++b) {
    int ca = static_cast<unsigned char>(FoldAscii(static_cast<char>(*a)));
    int cb = static_cast<unsigned char>(FoldAscii(static_cast<char>(*b)));
    if (ca != cb || ca == 0) return ca - cb;
  }
}

CStdString::CStdString(LPCTSTR text) : text_(text ? text : "") {}

CStdString::CStdString(LPCTSTR text, int length) { Assign(text, length); }

CStdString::CStdString(const std::string& text) : text_(text) {}

CStdString::CStdString(TCHAR ch) : text_(1, ch) {}

void CStdString::Assign(LPCTSTR text, int length) {
  if (!text) {
    text_.clear();
    return;
  }
  size_t available = std::strlen(text);
  size_t count = length < 0 ? available : std::min(available, static_cast<size_t>(length));
  text_.assign(text, count);
}

void CStdString::Append(LPCTSTR text) {
  if (text) text_ += text;
}

CStdString& CStdString::operator=(LPCTSTR text) {
  Assign(text);
  return *this;
}

CStdString& CStdString::operator=(const std::string& text) {
  text_ = text;
  return *this;
}

CStdString& CStdString::operator+=(LPCTSTR text) {
  Append(text);
  return *this;
}

CStdString& CStdString::operator+=(const CStdString& text) {
  text_ += text.text_;
  return *this;
}

CStdString& CStdString::operator+=(TCHAR ch) {
  text_ += ch;
  return *this;
}

CStdString operator+(const CStdString& left, const CStdString& right) {
  CStdString result(left);
  result += right;
  return result;
}

CStdString operator+(const CStdString& left, LPCTSTR right) {
  CStdString result(left);
  result += right;
  return result;
}

CStdString operator+(LPCTSTR left, const CStdString& right) {
  CStdString result(left);
  result += right;
  return result;
}

int CStdString::Compare(LPCTSTR text) const { return std::strcmp(text_.c_str(), text ? text : ""); }

int CStdString::CompareNoCase(LPCTSTR text) const { return ::CompareNoCase(text_.c_str(), text); }

void CStdString::MakeUpper() {
  for (char& ch : text_) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
}

void CStdString::MakeLower() {
  for (char& ch : text_) ch = FoldAscii(ch);
}

CStdString CStdString::Left(int length) const {
  if (length < 0) length = 0;
  return CStdString(text_.substr(0, static_cast<size_t>(length)));
}

CStdString CStdString::Mid(int start, int length) const {
  if (start < 0) start = 0;
  if (static_cast<size_t>(start) >= text_.size()) return CStdString();
  return CStdString(text_.substr(static_cast<size_t>(start), length < 0 ? std::string::npos : static_cast<size_t>(length)));
}

CStdString CStdString::Right(int length) const {
  if (length <= 0) return CStdString();
  size_t count = std::min(text_.size(), static_cast<size_t>(length));
  return CStdString(text_.substr(text_.size() - count));
}

int CStdString::Find(TCHAR ch, int start) const {
  if (start < 0) start = 0;
  size_t at = text_.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CStdString::Find(LPCTSTR text, int start) const {
  if (start < 0) start = 0;
  size_t at = text_.find(text ? text : "", static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CStdString::ReverseFind(TCHAR ch) const {
  size_t at = text_.rfind(ch);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CStdString::Replace(LPCTSTR from, LPCTSTR to) {
  if (!from || !*from) return 0;
  const std::string needle(from);
  const std::string replacement(to ? to : "");
  int count = 0;
  for (size_t at = text_.find(needle); at != std::string::npos; at = text_.find(needle, at + replacement.size())) {
    text_.replace(at, needle.size(), replacement);
    ++count;
  }
  return count;
}

int CStdString::Format(LPCTSTR format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatV(format, args);
  va_end(args);
  return length;
}

int CStdString::FormatV(LPCTSTR format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0) {
    text_.clear();
    return 0;
  }
  text_.resize(static_cast<size_t>(needed) + 1);
  std::vsnprintf(text_.data(), text_.size(), format, args);
  text_.resize(static_cast<size_t>(needed));
  return needed;
}
