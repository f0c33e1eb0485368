// The members of CWindowWnd that every window system shares: they stand on
// the Win32-shaped functions of win_api.h, which each backend provides.
#include "uilib/ui_window.h"
#include "uilib/win_api.h"

HWND CWindowWnd::Create(HWND parent, LPCTSTR name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu) {
  return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
  HICON icon = LoadIcon(nullptr, MAKEINTRESOURCE(static_cast<int>(resourceId)));
  if (!icon) return;
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SendMessage(m_hWnd, uMsg, wParam, lParam);
}

BOOL CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(m_hWnd, uMsg, wParam, lParam);
}
