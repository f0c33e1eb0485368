// Number texts read as the C library reads them in the "C" locale, whatever
// locale the host program has set.
#pragma once

#include <cstddef>

// Like strtod over the first `length` bytes of `text` (which need not end
// with a NUL), narrowed to single precision.
float DecimalToFloat(const char* text, size_t length);
// Like atoi over the first `length` bytes of `text`: leading blanks skipped,
// a sign accepted, stops at the first non-digit, 0 when there are no digits.
long DecimalToLong(const char* text, size_t length);
