#include "platform/text.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// Runs `in` through a fresh converter. Sequences the converter rejects are
// replaced by `replacement` one byte at a time; false when that happened or
// the converter is unavailable.
bool Convert(const char* to, const char* from, std::string_view in, std::string_view replacement, std::string* out) {
  out->clear();
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return false;
  bool exact = true;
  char* input = const_cast<char*>(in.data());
  size_t inputLeft = in.size();
  char chunk[4096];
  while (inputLeft > 0) {
    char* output = chunk;
    size_t outputLeft = sizeof chunk;
    size_t result = iconv(converter, &input, &inputLeft, &output, &outputLeft);
    out->append(chunk, static_cast<size_t>(output - chunk));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ (not in the source encoding) or EINVAL (cut short at the end).
    exact = false;
    out->append(replacement);
    ++input;
    --inputLeft;
  }
  iconv_close(converter);
  return exact;
}

}  // namespace

bool Gb18030ToUtf8(std::string_view gb, std::string* utf8) {
  if (!Convert("UTF-8", "GB18030", gb, kReplacementCharacter, utf8)) return false;
  // Exact means reversible: confirm it rather than trust every mapping table.
  std::string back;
  return Convert("GB18030", "UTF-8", *utf8, "?", &back) && back == gb;
}

bool Utf8ToGb18030(std::string_view utf8, std::string* gb) {
  return IsValidUtf8(utf8) && Convert("GB18030", "UTF-8", utf8, "?", gb);
}

}  // namespace platform
