#include "text_layout.h"

#include <algorithm>
#include <cstdio>

namespace uilib::backend {

namespace {

constexpr size_t kMaxCachedLayouts = 4096;
constexpr char kEllipsis[] = "\xE2\x80\xA6";

// Index just past the UTF-8 character that starts at `at`.
size_t NextChar(const std::string& text, size_t at) {
  ++at;
  while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
  return at;
}

// The longest start of `text` that, followed by an ellipsis, fits `width`.
std::string FitWithEllipsis(const std::string& text, int width, const TextWidthFunction& measure) {
  std::vector<size_t> ends;
  for (size_t at = 0; at < text.size();) {
    at = NextChar(text, at);
    ends.push_back(at);
  }
  size_t low = 0;
  size_t high = ends.size();
  while (low < high) {
    size_t mid = (low + high + 1) / 2;
    if (measure(text.substr(0, ends[mid - 1]) + kEllipsis) <= width) low = mid;
    else high = mid - 1;
  }
  return (low == 0 ? std::string() : text.substr(0, ends[low - 1])) + kEllipsis;
}

std::vector<std::string> WrapLines(const std::string& text, int width, const TextWidthFunction& measure) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t newline = text.find('\n', start);
    std::string paragraph = text.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
    while (!paragraph.empty()) {
      size_t fit = 0;
      size_t lastSpace = std::string::npos;
      for (size_t at = 0; at < paragraph.size();) {
        size_t next = NextChar(paragraph, at);
        if (measure(paragraph.substr(0, next)) > width && fit > 0) break;
        if (paragraph[at] == ' ') lastSpace = at;
        fit = next;
        at = next;
      }
      if (fit < paragraph.size() && lastSpace != std::string::npos && lastSpace > 0) fit = lastSpace + 1;
      std::string line = paragraph.substr(0, fit);
      while (!line.empty() && line.back() == ' ') line.pop_back();
      lines.push_back(line);
      paragraph.erase(0, fit);
      while (!paragraph.empty() && paragraph.front() == ' ') paragraph.erase(0, 1);
    }
    if (newline == std::string::npos) break;
    start = newline + 1;
  }
  return lines;
}

}  // namespace

std::vector<std::string> LayoutLines(const std::string& text, int width, UINT style, const TextWidthFunction& measure) {
  if (style & DT_WORDBREAK) return WrapLines(text, width, measure);
  std::string line(text);
  std::replace(line.begin(), line.end(), '\n', ' ');
  if ((style & DT_END_ELLIPSIS) && measure(line) > width) line = FitWithEllipsis(line, width, measure);
  return {line};
}

const std::vector<std::string>& LayoutCache::Lines(const void* font, const std::string& text, int width, UINT style,
                                                   const TextWidthFunction& measure) {
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%p|%d|%u|", font, width, style & (DT_WORDBREAK | DT_END_ELLIPSIS));
  std::string key = prefix + text;
  auto cached = lines_.find(key);
  if (cached != lines_.end()) return cached->second;
  if (lines_.size() >= kMaxCachedLayouts) lines_.clear();
  return lines_.emplace(key, LayoutLines(text, width, style, measure)).first->second;
}

int FirstLineTop(const RECT& rc, int lines, int lineHeight, UINT style) {
  const int blockHeight = lineHeight * lines;
  if (style & DT_VCENTER) return rc.top + (rc.bottom - rc.top - blockHeight) / 2;
  if (style & DT_BOTTOM) return rc.bottom - blockHeight;
  return rc.top;
}

int LineLeft(const RECT& rc, int lineWidth, UINT style) {
  if (style & DT_CENTER) return rc.left + (rc.right - rc.left - lineWidth) / 2;
  if (style & DT_RIGHT) return rc.right - lineWidth;
  return rc.left;
}

}  // namespace uilib::backend
