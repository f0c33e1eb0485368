#include "attributes.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "uilib/ui_string.h"

namespace uilib {

namespace {

// Sizes and positions beyond this are nonsense; keeping them small keeps
// the layout arithmetic far from overflowing.
constexpr long kLargestNumber = 100000;

LONG Bounded(long number) { return static_cast<LONG>(std::max(-kLargestNumber, std::min(number, kLargestNumber))); }

// Reads up to `count` comma-separated integers into `out`.
void ParseIntegers(LPCTSTR value, LONG* out, int count) {
  const char* p = value ? value : "";
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    long number = std::strtol(p, &end, 10);
    if (end == p) return;
    out[i] = Bounded(number);
    p = end;
    while (*p == ' ') ++p;
    if (*p != ',') return;
    ++p;
  }
}

}  // namespace

DWORD ParseColor(LPCTSTR value) {
  if (!value) return 0;
  while (*value == ' ') ++value;
  const char* digits = nullptr;
  if (*value == '#') {
    digits = value + 1;
  } else if (value[0] == '0' && (value[1] == 'x' || value[1] == 'X')) {
    digits = value + 2;
  } else {
    return 0;
  }
  size_t length = 0;
  while (std::isxdigit(static_cast<unsigned char>(digits[length]))) ++length;
  if (length != 6 && length != 8) return 0;
  DWORD color = static_cast<DWORD>(std::strtoul(std::string(digits, length).c_str(), nullptr, 16));
  return length == 6 ? (0xFF000000u | color) : color;
}

RECT ParseRect(LPCTSTR value) {
  LONG numbers[4] = {0, 0, 0, 0};
  ParseIntegers(value, numbers, 4);
  return RECT{numbers[0], numbers[1], numbers[2], numbers[3]};
}

SIZE ParseSize(LPCTSTR value) {
  LONG numbers[2] = {0, 0};
  ParseIntegers(value, numbers, 2);
  return SIZE{numbers[0], numbers[1]};
}

bool ParseBool(LPCTSTR value) { return value && (CompareNoCase(value, "true") == 0 || std::strcmp(value, "1") == 0); }

int ParseInt(LPCTSTR value) { return value ? Bounded(std::strtol(value, nullptr, 10)) : 0; }

std::vector<std::pair<std::string, std::string>> ParseAttributeList(LPCTSTR list) {
  std::vector<std::pair<std::string, std::string>> pairs;
  const char* p = list ? list : "";
  for (;;) {
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    const char* nameStart = p;
    while (*p && *p != '=' && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    std::string name(nameStart, static_cast<size_t>(p - nameStart));
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    if (*p != '=' || name.empty()) break;
    ++p;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    char quote = *p;
    if (quote != '"' && quote != '\'') break;
    const char* valueStart = ++p;
    while (*p && *p != quote) ++p;
    if (*p != quote) break;
    pairs.emplace_back(std::move(name), std::string(valueStart, static_cast<size_t>(p - valueStart)));
    ++p;
  }
  return pairs;
}

}  // namespace uilib
