// The program's gate to the skinned window toolkit: the toolkit itself, and
// the behaviour that the main window, the tray menu and the about window
// share — a frameless window dragged by its caption band, with rounded
// corners, that keeps its active look while its popups have the focus.
#pragma once

#include "uilib/UIlib.h"

namespace uihost {

// The class style of every skinned window: CS_VREDRAW | CS_HREDRAW |
// CS_DBLCLKS | CS_SAVEBITS.
inline constexpr UINT kSkinWindowClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_SAVEBITS;

// Which controls inside the caption band keep the mouse instead of dragging
// the window.
enum class CaptionControls {
  kButtons,            // buttons only (the popups)
  kButtonsAndSliders,  // buttons and sliders (the main window)
};

// Takes the system frame away: WS_CAPTION goes (and WS_MAXIMIZEBOX when
// `dropMaximizeBox`), WS_CLIPSIBLINGS and WS_CLIPCHILDREN come.
void DropSystemFrame(HWND window, bool dropMaximizeBox);

// The creation every skinned window makes on WM_CREATE: drops the system
// frame, initialises `manager` with the window, registers `filter` first,
// builds and attaches `layout`, then registers `notifier`. False when the
// layout could not be built (the window then has no content).
bool AttachLayout(CPaintManagerUI& manager, HWND window, LPCTSTR layout, bool dropMaximizeBox,
                  INotifyUI* notifier, IMessageFilterUI* filter);

// The frame messages every skinned window answers alike: WM_SIZE (rounded
// corners, then left to the toolkit), WM_NCCALCSIZE and WM_NCPAINT (no
// frame: result 0), WM_NCHITTEST (caption test) and WM_NCACTIVATE. True when
// the message is answered with `*result`.
bool HandleFrameMessage(CPaintManagerUI& manager, HWND window, UINT uMsg, WPARAM wParam, LPARAM lParam,
                        CaptionControls keep, LRESULT* result);

// WM_NCHITTEST: HTCAPTION when the screen point in `lParam` lies in the
// caption band over a control that does not keep the mouse, else HTCLIENT.
LRESULT CaptionHitTest(CPaintManagerUI& manager, HWND window, LPARAM lParam, CaptionControls keep);

// WM_SIZE: shapes a window that is not minimised as a rounded rectangle of
// the layout's corner size; a corner size of 0,0 keeps it square.
void ApplyRoundCorners(CPaintManagerUI& manager, HWND window);

// WM_NCACTIVATE: false (not handled) while minimised; otherwise handled with
// the result 1 for deactivation and 0 for activation.
bool HandleNcActivate(HWND window, WPARAM wParam, LRESULT* result);

// The control named `name` when it exists and is a `Control`; else null.
template <class Control>
Control* FindControlOf(const CPaintManagerUI& manager, LPCTSTR name) {
  return dynamic_cast<Control*>(manager.FindControl(name));
}

// The sub-control of `parent` named `name` when it is a `Control`; else null.
template <class Control>
Control* FindSubControlOf(const CPaintManagerUI& manager, CControlUI* parent, LPCTSTR name) {
  return dynamic_cast<Control*>(manager.FindSubControlByName(parent, name));
}

}  // namespace uihost
