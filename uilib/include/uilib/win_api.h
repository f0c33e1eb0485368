// Window functions in the Win32 shape, over the toolkit's own windows.
//
// Every function here works on handles made by CWindowWnd::Create. Except
// PostMessage and PostQuitMessage, which any thread may call, they belong to
// the thread that runs the message loop (the UI thread).
#pragma once

#include <cstddef>

#include "uilib/win_types.h"

// Queues a message for `hWnd` (or, with a null handle, for the message loop
// itself, as PostThreadMessage does). Safe from any thread; the queue is not
// bounded, so no message is ever dropped, and messages keep their order.
// FALSE when the handle is not a live window.
BOOL PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Runs the window's handler and returns its result. From another thread the
// call is handed to the UI thread and waits for it.
LRESULT SendMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Posts WM_QUIT with `exitCode` as wParam; MessageLoop returns when it arrives.
void PostQuitMessage(int exitCode);

BOOL IsWindow(HWND hWnd);
BOOL IsWindowVisible(HWND hWnd);
BOOL IsIconic(HWND hWnd);
BOOL ShowWindow(HWND hWnd, int nCmdShow);
// Places a window; `hWndInsertAfter` HWND_TOPMOST keeps it above others.
BOOL SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hWnd, int x, int y, int cx, int cy, BOOL repaint);
BOOL DestroyWindow(HWND hWnd);
BOOL EnableWindow(HWND hWnd, BOOL enable);
BOOL IsWindowEnabled(HWND hWnd);
BOOL SetForegroundWindow(HWND hWnd);
HWND GetForegroundWindow();
HWND GetFocus();
HWND GetParent(HWND hWnd);
BOOL SetWindowText(HWND hWnd, LPCTSTR text);

// GWL_STYLE and GWL_EXSTYLE. Removing WS_CAPTION takes the system frame away.
LONG GetWindowLong(HWND hWnd, int index);
LONG SetWindowLong(HWND hWnd, int index, LONG value);

BOOL GetWindowRect(HWND hWnd, RECT* rect);
BOOL GetClientRect(HWND hWnd, RECT* rect);
BOOL ScreenToClient(HWND hWnd, POINT* point);
BOOL ClientToScreen(HWND hWnd, POINT* point);

// For VK_CONTROL, VK_SHIFT and VK_MENU: the high bit is set while the key
// is held down (as the keyboard stood at the last input handled).
SHORT GetKeyState(int key);

// Typed text (composed by the input method where one runs) arrives as
// WM_CHAR, one message per code point, while enabled; keys still arrive as
// WM_KEYDOWN. Off at start.
BOOL EnableTextInput(BOOL enable);

// TRUE when windows can be shown: a display could be opened, or
// SDL_VIDEODRIVER names a driver without one on purpose (tests, pictures).
BOOL HaveDisplay();

// SM_CXSCREEN / SM_CYSCREEN: the size of the screen the cursor is on.
int GetSystemMetrics(int index);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL GetCursorPos(POINT* point);

// Window shapes: a rounded rectangle region (Win32 rules: the right and
// bottom edges are outside; the ellipse sizes are the corners' diameters),
// applied with SetWindowRgn. The window takes ownership of a region it is
// given; deleting it afterwards does no harm.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
HRGN CreateRectRgn(int left, int top, int right, int bottom);
int SetWindowRgn(HWND hWnd, HRGN region, BOOL redraw);
BOOL DeleteObject(HRGN region);

// Icons built into the program (see RegisterIconResource); null when the
// identifier is unknown. `instance` is ignored: there is one program.
HICON LoadIcon(HINSTANCE instance, LPCTSTR resource);
BOOL DestroyIcon(HICON icon);

// Makes the PNG bytes `data` the program's icon resource `id`. The bytes
// must live as long as the program (they are normally a constant array
// compiled into it). Returns true so that it can run as a static initialiser.
bool RegisterIconResource(int id, const unsigned char* data, size_t size);
