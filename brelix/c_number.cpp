#include "c_number.h"

#include <cstdlib>
#include <limits>
#include <string>

#include <locale.h>

float DecimalToFloat(const char* text, size_t length) {
  const std::string copy(text, length);
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  const double value = c ? strtod_l(copy.c_str(), nullptr, c) : std::strtod(copy.c_str(), nullptr);
  if (c) freelocale(c);
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

long DecimalToLong(const char* text, size_t length) {
  const std::string copy(text, length);
  return std::strtol(copy.c_str(), nullptr, 10);
}
