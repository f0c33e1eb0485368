// State shared by the SDL backend's files.
#pragma once

#include <SDL.h>

#include <memory>
#include <string>

#include "uilib/ui_manager.h"
#include "uilib/ui_window.h"
#include "uilib/win_types.h"

// A loaded icon: its pixels, 32-bit ARGB.
struct UIIconTag {
  SDL_Surface* surface = nullptr;
};

namespace uilib::backend {

class SdlRender;

// A window's region: a rounded rectangle in client coordinates.
struct WindowRegion {
  bool set = false;
  RECT rect{0, 0, 0, 0};
  int ellipseWidth = 0;
  int ellipseHeight = 0;
  // True for points inside, following CreateRoundRectRgn's rules.
  bool Contains(int x, int y) const;
};

struct WindowRecord {
  WindowRecord();
  ~WindowRecord();

  // Adds `area` (the whole window when null) to what the next frame repaints.
  void Invalidate(const RECT* area = nullptr);

  HWND handle = nullptr;
  CWindowWnd* owner = nullptr;
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  std::unique_ptr<SdlRender> render;
  CPaintManagerUI* manager = nullptr;
  HWND parent = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  UINT classStyle = 0;
  bool shaped = false;
  bool visible = false;
  bool enabled = true;
  bool dirty = true;
  bool destroying = false;
  int width = 0;
  int height = 0;
  // The part to repaint at the next frame (client coordinates).
  RECT dirtyArea{0, 0, 0, 0};
  WindowRegion region;
  std::shared_ptr<UINT> closeCode;
};

// Starts SDL's video, text and image support once; false when there is no display.
bool EnsureVideo();
bool IsUiThread();
// Live windows by handle or by SDL window (UI thread).
WindowRecord* FindRecord(HWND hWnd);
WindowRecord* FindRecord(SDL_Window* window);

// Icon pixels of an HICON.
SDL_Surface* IconSurface(HICON icon);

// On X11, keeps X protocol errors from ending the program: a request that
// names a window which is already gone (a closed popup, a tray host that
// went away) is said on standard error and otherwise ignored. Call once
// after SDL's video started; does nothing on other video drivers.
void KeepXErrorsNonFatal();

// The tray: X events of icon windows, and removal of a destroyed window's icons.
void HandleSystemEvent(const SDL_Event& event);
void RemoveTrayIconsOf(HWND hWnd);

}  // namespace uilib::backend
