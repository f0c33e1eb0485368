#include "c_number.h"

#include <cstdlib>
#include <limits>
#include <string>

#include <locale.h>

namespace {

// strtod in the "C" locale; each C library names it its own way.
double StrtodInCLocale(const char* text) {
#ifdef _WIN32
  _locale_t c = _create_locale(LC_NUMERIC, "C");
  const double value = c ? _strtod_l(text, nullptr, c) : std::strtod(text, nullptr);
  if (c) _free_locale(c);
#else
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
  const double value = c ? strtod_l(text, nullptr, c) : std::strtod(text, nullptr);
  if (c) freelocale(c);
#endif
  return value;
}

}  // namespace

float DecimalToFloat(const char* text, size_t length) {
  const double value = StrtodInCLocale(std::string(text, length).c_str());
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

long DecimalToLong(const char* text, size_t length) {
  const std::string copy(text, length);
  return std::strtol(copy.c_str(), nullptr, 10);
}
