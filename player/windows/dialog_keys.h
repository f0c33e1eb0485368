// The key rule of the about window and the tray menu.
#pragma once

#include "uihost/skin_window.h"

namespace windows {

// On WM_KEYDOWN: Enter gives the focus to the first of the edit fields
// "accountedit" and "pwdedit" that is empty, and closes `window` with code 1
// when none is (a layout without them closes at once); Escape posts the quit
// message, which ends the program. Both keys are consumed (true); everything
// else passes on.
bool HandleDialogKey(CPaintManagerUI& manager, CWindowWnd& window, UINT uMsg, WPARAM wParam);

}  // namespace windows
