// CWindowWnd: a top-level window. A subclass supplies its class name and
// style, handles messages in HandleMessage (passing what it leaves to the
// base, which does what the system would: WM_SYSCOMMAND SC_CLOSE becomes
// WM_CLOSE, WM_CLOSE destroys the window, Alt+F4 becomes SC_CLOSE) and
// receives OnFinalMessage after its window is gone, where it may delete
// itself.
//
// Messages arrive with the Win32 numbers: WM_CREATE (during Create),
// WM_SIZE, WM_SHOWWINDOW, WM_SETFOCUS / WM_KILLFOCUS (wParam: the window
// taking / losing the focus), WM_NCACTIVATE, WM_NCHITTEST (screen point in
// lParam; HTCAPTION makes the point drag the window), mouse messages with
// client points, WM_MOUSEWHEEL, WM_KEYDOWN / WM_SYSKEYDOWN with VK_ codes,
// WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_PAINT and posted messages.
#pragma once

#include "uilib/win_api.h"
#include "uilib/win_types.h"

class CWindowWnd {
 public:
  CWindowWnd() = default;
  virtual ~CWindowWnd() = default;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }  // NOLINT(google-explicit-constructor)

  // Creates the window (hidden unless `style` has WS_VISIBLE) and sends it
  // WM_CREATE. A window whose size is 0 or CW_USEDEFAULT takes the size its
  // layout gives. Null on failure.
  HWND Create(HWND parent, LPCTSTR name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT, int y = CW_USEDEFAULT,
              int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT, HMENU menu = nullptr);
  HWND Create(HWND parent, LPCTSTR name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu = nullptr);

  void ShowWindow(bool show = true, bool takeFocus = true);
  // Runs a nested message loop until this window is destroyed; the owner
  // window (the parent) takes no input meanwhile. Returns the code given
  // to Close. A WM_QUIT arriving meanwhile ends the loop and is passed on
  // to the outer loop.
  UINT DoModal();
  // Posts WM_CLOSE with `result` as wParam.
  void Close(UINT result = IDOK);
  // Centres the window on `centerOn` (or its parent, or the screen).
  void CenterWindow(HWND centerOn = nullptr);
  // Sets the window's icon (both sizes) from an icon resource.
  void SetIcon(UINT resourceId);
  void ResizeClient(int cx = -1, int cy = -1);

  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

  virtual LPCTSTR GetWindowClassName() const = 0;
  virtual LPCTSTR GetSuperClassName() const { return nullptr; }
  virtual UINT GetClassStyle() const { return 0; }

  // The system's handling of a message, used as the last resort.
  static LRESULT DefWindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

 protected:
  virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void OnFinalMessage(HWND hWnd) {}

  HWND m_hWnd = nullptr;

 private:
  friend struct UIWindowAccess;
};
