#include "std/http_text.h"

#include <charconv>

namespace platform {

std::string EscapeUnsafeBytes(const std::string& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(url.size());
  for (unsigned char c : url) {
    if (c <= 0x20 || c >= 0x7F) {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0x0F];
    } else {
      escaped += static_cast<char>(c);
    }
  }
  return escaped;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  const char* kSpace = " \t\r\n";
  size_t first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

std::string NormalizeHeaderLine(const std::string& line) {
  size_t colon = line.find(':');
  if (colon == std::string::npos) return line;
  return std::string(Trim(std::string_view(line).substr(0, colon))) + ": " +
         std::string(Trim(std::string_view(line).substr(colon + 1)));
}

bool ParseContentRangeFirst(std::string_view value, uint64_t* first) {
  if (value.size() < 6 || !EqualsIgnoringCase(value.substr(0, 6), "bytes ")) return false;
  const char* position = value.data() + 6;
  const char* end = value.data() + value.size();
  while (position < end && *position == ' ') ++position;
  uint64_t from = 0;
  uint64_t to = 0;
  auto [dash, fromError] = std::from_chars(position, end, from);
  if (fromError != std::errc() || dash == end || *dash != '-') return false;
  auto [slash, toError] = std::from_chars(dash + 1, end, to);
  if (toError != std::errc() || slash == end || *slash != '/' || to < from) return false;
  if (std::string_view(slash + 1, end - slash - 1) != "*") {
    uint64_t total = 0;
    auto [totalEnd, totalError] = std::from_chars(slash + 1, end, total);
    if (totalError != std::errc() || totalEnd != end || to >= total) return false;
  }
  *first = from;
  return true;
}

}  // namespace platform
