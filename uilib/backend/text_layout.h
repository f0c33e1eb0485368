// How DrawText breaks and shortens text, given a way to measure it: the same
// on every window system backend.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "uilib/ui_render.h"

namespace uilib::backend {

// Width in pixels of a UTF-8 text in the font being laid out.
using TextWidthFunction = std::function<int(const std::string&)>;

// The lines DrawText shows of `text` in `width` pixels for `style`: broken
// into lines no wider than `width` for DT_WORDBREAK (at spaces where a line
// has one, between any two characters otherwise, as Chinese has no spaces;
// at every newline); otherwise one line, newlines shown as spaces, cut to
// fit with an ellipsis for DT_END_ELLIPSIS.
std::vector<std::string> LayoutLines(const std::string& text, int width, UINT style, const TextWidthFunction& measure);

// Laid-out lines kept by font, width, flags and text, as breaking and
// shortening measure a text many times.
class LayoutCache {
 public:
  // LayoutLines of `text` in `font` (any value that tells fonts apart).
  const std::vector<std::string>& Lines(const void* font, const std::string& text, int width, UINT style,
                                        const TextWidthFunction& measure);

 private:
  std::unordered_map<std::string, std::vector<std::string>> lines_;
};

// The top of the first of `lines` lines of `lineHeight` in `rc` for `style`
// (DT_TOP, DT_VCENTER, DT_BOTTOM).
int FirstLineTop(const RECT& rc, int lines, int lineHeight, UINT style);
// The left of a line `lineWidth` wide in `rc` for `style` (DT_LEFT, DT_CENTER, DT_RIGHT).
int LineLeft(const RECT& rc, int lineWidth, UINT style);

}  // namespace uilib::backend
