// CStdString: the toolkit's text type (UTF-8 bytes).
#pragma once

#include <cstdarg>
#include <string>

#include "uilib/win_types.h"

class CStdString {
 public:
  CStdString() = default;
  CStdString(LPCTSTR text);  // NOLINT(google-explicit-constructor): texts pass as strings
  CStdString(LPCTSTR text, int length);
  CStdString(const std::string& text);  // NOLINT(google-explicit-constructor)
  explicit CStdString(TCHAR ch);

  int GetLength() const { return static_cast<int>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }
  void Empty() { text_.clear(); }
  LPCTSTR GetData() const { return text_.c_str(); }
  const std::string& str() const { return text_; }
  operator LPCTSTR() const { return text_.c_str(); }  // NOLINT(google-explicit-constructor)

  TCHAR GetAt(int index) const { return text_[static_cast<size_t>(index)]; }
  TCHAR operator[](int index) const { return GetAt(index); }
  void SetAt(int index, TCHAR ch) { text_[static_cast<size_t>(index)] = ch; }
  void Assign(LPCTSTR text, int length = -1);
  void Append(LPCTSTR text);

  CStdString& operator=(LPCTSTR text);
  CStdString& operator=(const std::string& text);
  CStdString& operator+=(LPCTSTR text);
  CStdString& operator+=(const CStdString& text);
  CStdString& operator+=(TCHAR ch);
  friend CStdString operator+(const CStdString& left, const CStdString& right);
  friend CStdString operator+(const CStdString& left, LPCTSTR right);
  friend CStdString operator+(LPCTSTR left, const CStdString& right);

  bool operator==(LPCTSTR text) const { return text_ == (text ? text : ""); }
  bool operator!=(LPCTSTR text) const { return !(*this == text); }
  bool operator==(const CStdString& other) const { return text_ == other.text_; }
  bool operator!=(const CStdString& other) const { return text_ != other.text_; }
  bool operator<(const CStdString& other) const { return text_ < other.text_; }

  // <0, 0, >0 like strcmp; the NoCase form folds ASCII letters only.
  int Compare(LPCTSTR text) const;
  int CompareNoCase(LPCTSTR text) const;

  void MakeUpper();
  void MakeLower();
  CStdString Left(int length) const;
  CStdString Mid(int start, int length = -1) const;
  CStdString Right(int length) const;
  // Index of the first occurrence at or after `start`, or -1.
  int Find(TCHAR ch, int start = 0) const;
  int Find(LPCTSTR text, int start = 0) const;
  int ReverseFind(TCHAR ch) const;
  // Replaces every occurrence; returns the count replaced.
  int Replace(LPCTSTR from, LPCTSTR to);

  // printf rules; replaces the text and returns its length.
  int __attribute__((format(printf, 2, 3))) Format(LPCTSTR format, ...);
  int FormatV(LPCTSTR format, va_list args);

 private:
  std::string text_;
};

// Case-insensitive comparison of two texts folding ASCII letters only; null
// counts as the empty text.
int CompareNoCase(LPCTSTR left, LPCTSTR right);
