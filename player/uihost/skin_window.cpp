#include "uihost/skin_window.h"

namespace uihost {

void DropSystemFrame(HWND window, bool dropMaximizeBox) {
  DWORD style = static_cast<DWORD>(GetWindowLong(window, GWL_STYLE));
  style &= ~WS_CAPTION;
  if (dropMaximizeBox) style &= ~WS_MAXIMIZEBOX;
  SetWindowLong(window, GWL_STYLE, static_cast<LONG>(style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
}

LRESULT CaptionHitTest(CPaintManagerUI& manager, HWND window, LPARAM lParam, CaptionControls keep) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ScreenToClient(window, &pt);
  RECT client{};
  GetClientRect(window, &client);
  const RECT& margins = manager.GetCaptionRect();
  const bool inBand = pt.x >= client.left + margins.left && pt.x < client.right - margins.right &&
                      pt.y >= margins.top && pt.y < margins.bottom;
  if (!inBand) return HTCLIENT;
  CControlUI* control = manager.FindControl(pt);
  if (control == nullptr) return HTCLIENT;
  LPCTSTR controlClass = control->GetClass();
  if (CompareNoCase(controlClass, "ButtonUI") == 0) return HTCLIENT;
  if (keep == CaptionControls::kButtonsAndSliders && CompareNoCase(controlClass, "SliderUI") == 0) return HTCLIENT;
  return HTCAPTION;
}

void ApplyRoundCorners(CPaintManagerUI& manager, HWND window) {
  const SIZE corner = manager.GetRoundCorner();
  if (IsIconic(window) || (corner.cx == 0 && corner.cy == 0)) return;
  RECT rc{};
  GetWindowRect(window, &rc);
  HRGN region = CreateRoundRectRgn(0, 0, rc.right - rc.left + 1, rc.bottom - rc.top + 1, corner.cx, corner.cy);
  SetWindowRgn(window, region, TRUE);
}

bool HandleNcActivate(HWND window, WPARAM wParam, LRESULT* result) {
  if (IsIconic(window)) return false;
  *result = wParam == 0 ? 1 : 0;
  return true;
}

bool AttachLayout(CPaintManagerUI& manager, HWND window, LPCTSTR layout, bool dropMaximizeBox,
                  INotifyUI* notifier, IMessageFilterUI* filter) {
  DropSystemFrame(window, dropMaximizeBox);
  manager.Init(window);
  manager.AddPreMessageFilter(filter);
  CDialogBuilder builder;
  CControlUI* root = builder.Create(layout, &manager);
  if (root != nullptr) manager.AttachDialog(root);
  manager.AddNotifier(notifier);
  return root != nullptr;
}

bool HandleFrameMessage(CPaintManagerUI& manager, HWND window, UINT uMsg, WPARAM wParam, LPARAM lParam,
                        CaptionControls keep, LRESULT* result) {
  switch (uMsg) {
    case WM_SIZE:
      ApplyRoundCorners(manager, window);
      return false;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
      *result = 0;
      return true;
    case WM_NCHITTEST:
      *result = CaptionHitTest(manager, window, lParam, keep);
      return true;
    case WM_NCACTIVATE:
      return HandleNcActivate(window, wParam, result);
    default:
      return false;
  }
}

}  // namespace uihost
