// Reading attribute values of layouts: colours, rectangles, sizes, flags
// and `name="value"` lists.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "uilib/win_types.h"

namespace uilib {

// "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB"; 0 for anything else.
DWORD ParseColor(LPCTSTR value);
// Numbers are kept within +-100000.
// "l,t,r,b"; missing numbers are 0.
RECT ParseRect(LPCTSTR value);
// "cx,cy"; missing numbers are 0.
SIZE ParseSize(LPCTSTR value);
// "true" (any case) or "1".
bool ParseBool(LPCTSTR value);
int ParseInt(LPCTSTR value);
// Splits `name="value" name='value' …` into pairs; stops at the first
// malformed part.
std::vector<std::pair<std::string, std::string>> ParseAttributeList(LPCTSTR list);

}  // namespace uilib
