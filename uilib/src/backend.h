// What the toolkit's portable part asks of the window system backend.
#pragma once

#include <string>

#include "uilib/ui_manager.h"
#include "uilib/ui_render.h"
#include "uilib/ui_window.h"
#include "uilib/win_types.h"

// Reaches the protected parts of CWindowWnd for the window procedure.
struct UIWindowAccess {
  static LRESULT Handle(CWindowWnd* window, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    return window->HandleMessage(uMsg, wParam, lParam);
  }
  static void SetHandle(CWindowWnd* window, HWND hWnd) { window->m_hWnd = hWnd; }
  static void Final(CWindowWnd* window, HWND hWnd) {
    window->m_hWnd = nullptr;
    window->OnFinalMessage(hWnd);
  }
};

namespace uilib::backend {

// Private message that delivers a manager's asynchronous notifications.
inline constexpr UINT kMsgAsyncNotify = WM_APP + 0x3F01;

// The paint manager of a window: it paints the window and its pre-message
// filters see the window's queued messages.
void AttachManager(HWND hWnd, CPaintManagerUI* manager);
void DetachManager(HWND hWnd, CPaintManagerUI* manager);

// Schedules a repaint of `area` of the window (all of it when null) at the
// next frame; areas asked for before then merge.
void InvalidateWindow(HWND hWnd, const RECT* area = nullptr);
// The area waiting to be repainted, which is then no longer waiting; false
// when there is none.
bool TakeDirtyArea(HWND hWnd, RECT* area);
// The surface to paint `area` of a window on (drawing elsewhere is clipped
// away), or null; EndPaint shows what was painted.
CRenderUI* BeginPaint(HWND hWnd, const RECT& area);
void EndPaint(HWND hWnd);
// Keeps mouse messages coming to the window while a button is held.
void SetCapture(HWND hWnd);
void ReleaseCapture();

// CPaintManagerUI::MessageLoop and PumpMessages.
int RunMessageLoop();
bool PumpMessages();

// A skin file from the folder `folder`, or from the zip archive `zip` inside
// it when `zip` is not empty. False when it cannot be read.
bool ReadSkinResource(const std::string& folder, const std::string& zip, bool keepOpen, const std::string& name,
                      std::string* bytes);

}  // namespace uilib::backend
