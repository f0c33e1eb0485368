// Fonts for the toolkit's text: faces found through fontconfig (always one
// that covers Chinese), opened with SDL2_ttf and kept for the process.
#pragma once

#include <SDL_ttf.h>

#include "uilib/ui_manager.h"

namespace uilib::backend {

// The font for `info`, or null (said once on standard error) when none can be opened.
TTF_Font* OpenFont(const CPaintManagerUI::TFontInfo& info);

}  // namespace uilib::backend
