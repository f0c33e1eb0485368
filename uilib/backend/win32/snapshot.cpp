// What a window shows, painted into a buffer of its own and read back.
#include <vector>

#include "uilib/ui_snapshot.h"
#include "win32_backend.h"

bool CaptureWindow(HWND hWnd, std::vector<uint32_t>* argb, int* width, int* height) {
  using namespace uilib::backend;
  WindowRecord* record = FindRecord(hWnd);
  RECT client{0, 0, 0, 0};
  if (!record || !argb || !GetClientRect(hWnd, &client) || client.right <= 0 || client.bottom <= 0) return false;
  const int w = client.right;
  const int h = client.bottom;
  argb->assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
  const RECT whole{0, 0, w, h};
  record->render.Begin(argb->data(), w, h, whole);
  if (record->manager) record->manager->Paint(record->render, whole);
  record->render.End();
  // The screen shows the colours over black, opaque; what lies outside the
  // window's region is not part of the window.
  const std::vector<bool> inside = uilib::win32::RegionMask(Native(hWnd), w, h);
  for (size_t i = 0; i < argb->size(); ++i) (*argb)[i] = inside[i] ? ((*argb)[i] | 0xFF000000u) : 0u;
  if (width) *width = w;
  if (height) *height = h;
  return true;
}

bool SaveWindowPng(HWND hWnd, LPCTSTR path) {
  std::vector<uint32_t> pixels;
  int w = 0;
  int h = 0;
  if (!path || !CaptureWindow(hWnd, &pixels, &w, &h)) return false;
  return uilib::backend::SavePixelsAsPng(path, pixels.data(), w, h);
}
