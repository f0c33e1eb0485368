#include <SDL_image.h>

#include "render.h"
#include "sdl_backend.h"
#include "uilib/ui_snapshot.h"

bool CaptureWindow(HWND hWnd, std::vector<uint32_t>* argb, int* width, int* height) {
  using namespace uilib::backend;
  WindowRecord* record = FindRecord(hWnd);
  if (!record || !record->render || !argb) return false;
  int w = 0;
  int h = 0;
  if (SDL_GetRendererOutputSize(record->renderer, &w, &h) != 0 || w <= 0 || h <= 0) return false;
  const RECT whole{0, 0, w, h};
  record->render->Begin(whole);
  if (record->manager) record->manager->Paint(*record->render, whole);
  argb->assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  if (SDL_RenderReadPixels(record->renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, argb->data(), w * 4) != 0) return false;
  SDL_RenderPresent(record->renderer);
  // What lies outside the window's region is not part of the window.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint32_t& pixel = (*argb)[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)];
      pixel = record->region.Contains(x, y) ? (pixel | 0xFF000000u) : 0u;
    }
  }
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

bool SaveWindowPng(HWND hWnd, LPCTSTR path) {
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  if (!path || !CaptureWindow(hWnd, &pixels, &w, &h)) return false;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return false;
  bool saved = IMG_SavePNG(surface, path) == 0;
  SDL_FreeSurface(surface);
  return saved;
}
