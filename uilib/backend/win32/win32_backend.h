// State shared by the Win32 backend's toolkit-side files.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "native_window.h"
#include "pixel_render.h"
#include "uilib/ui_manager.h"
#include "uilib/ui_window.h"
#include "uilib/win_types.h"

namespace uilib::backend {

// What the toolkit keeps for each of its windows.
struct WindowRecord {
  HWND handle = nullptr;
  CWindowWnd* owner = nullptr;
  CPaintManagerUI* manager = nullptr;
  PixelRender render;
  bool destroying = false;
  // The part to repaint at the next WM_PAINT (client coordinates).
  RECT dirtyArea{0, 0, 0, 0};
  // The area being painted, between BeginPaint and EndPaint.
  RECT paintArea{0, 0, 0, 0};
  // The first half of a typed character outside the Basic Multilingual Plane.
  char16_t highSurrogate = 0;
  std::shared_ptr<UINT> closeCode;
};

// Starts the window system once; false when there is no display.
bool EnsureWindowing();
// A live window of the toolkit by handle (UI thread), or null.
WindowRecord* FindRecord(HWND hWnd);

inline void* Native(HWND hWnd) { return reinterpret_cast<void*>(hWnd); }
inline HWND FromNative(void* window) { return reinterpret_cast<HWND>(window); }

// UTF-16 of UTF-8 text (a stray byte stands for U+FFFD).
std::wstring Utf16(std::string_view utf8);

// The tray icons of a window that is going away are taken down with it.
void RemoveTrayIconsOf(HWND hWnd);

}  // namespace uilib::backend
