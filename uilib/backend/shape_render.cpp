#include "shape_render.h"

#include <algorithm>
#include <cmath>

namespace uilib::backend {

namespace {

bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

// Coverage by 4x4 samples per pixel: inside the outer circle and, for a
// ring, outside the inner one. The circle's centre is the corner of the
// square that faces the rectangle's middle.
std::vector<uint8_t> Coverage(int radius, int ring, int which) {
  std::vector<uint8_t> coverage(static_cast<size_t>(radius) * static_cast<size_t>(radius));
  const double outer = radius;
  const double inner = ring > 0 ? std::max(0, radius - ring) : -1.0;
  const bool right = which == 1 || which == 3;
  const bool bottom = which >= 2;
  for (int y = 0; y < radius; ++y) {
    for (int x = 0; x < radius; ++x) {
      int hits = 0;
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          double px = x + (sx + 0.5) / 4.0;
          double py = y + (sy + 0.5) / 4.0;
          double dx = right ? px : radius - px;
          double dy = bottom ? py : radius - py;
          double distance = std::sqrt(dx * dx + dy * dy);
          if (distance <= outer && distance > inner) ++hits;
        }
      }
      coverage[static_cast<size_t>(y) * static_cast<size_t>(radius) + static_cast<size_t>(x)] =
          static_cast<uint8_t>(hits * 255 / 16);
    }
  }
  return coverage;
}

}  // namespace

void ShapeRender::DrawCorners(const RECT& rc, int radius, int ring, DWORD argb) {
  const RECT places[4] = {{rc.left, rc.top, rc.left + radius, rc.top + radius},
                          {rc.right - radius, rc.top, rc.right, rc.top + radius},
                          {rc.left, rc.bottom - radius, rc.left + radius, rc.bottom},
                          {rc.right - radius, rc.bottom - radius, rc.right, rc.bottom}};
  for (int which = 0; which < 4; ++which) {
    auto key = std::make_tuple(radius, ring, which);
    auto it = coverage_.find(key);
    if (it == coverage_.end()) it = coverage_.emplace(key, Coverage(radius, ring, which)).first;
    DrawCorner(places[which], CornerShape{radius, ring, which, &it->second}, argb);
  }
}

void ShapeRender::FillRoundRect(const RECT& rc, int radius, DWORD argb) {
  if ((argb >> 24) == 0 || IsEmpty(rc)) return;
  int r = std::min({radius, (rc.right - rc.left) / 2, (rc.bottom - rc.top) / 2});
  if (r <= 0) {
    FillRect(rc, argb);
    return;
  }
  DrawCorners(rc, r, 0, argb);
  FillRect(RECT{rc.left + r, rc.top, rc.right - r, rc.bottom}, argb);
  FillRect(RECT{rc.left, rc.top + r, rc.left + r, rc.bottom - r}, argb);
  FillRect(RECT{rc.right - r, rc.top + r, rc.right, rc.bottom - r}, argb);
}

void ShapeRender::FillGradient(const RECT& rc, DWORD from, DWORD to, bool vertical) {
  if (IsEmpty(rc)) return;
  const int steps = vertical ? rc.bottom - rc.top : rc.right - rc.left;
  for (int i = 0; i < steps; ++i) {
    auto mix = [&](int shift) {
      int a = static_cast<int>((from >> shift) & 0xFF);
      int b = static_cast<int>((to >> shift) & 0xFF);
      return static_cast<DWORD>(a + (b - a) * i / std::max(1, steps - 1)) << shift;
    };
    DWORD color = mix(24) | mix(16) | mix(8) | mix(0);
    if (vertical) FillRect(RECT{rc.left, rc.top + i, rc.right, rc.top + i + 1}, color);
    else FillRect(RECT{rc.left + i, rc.top, rc.left + i + 1, rc.bottom}, color);
  }
}

void ShapeRender::DrawRect(const RECT& rc, int size, DWORD argb) {
  if (size <= 0) return;
  FillRect(RECT{rc.left, rc.top, rc.right, rc.top + size}, argb);
  FillRect(RECT{rc.left, rc.bottom - size, rc.right, rc.bottom}, argb);
  FillRect(RECT{rc.left, rc.top + size, rc.left + size, rc.bottom - size}, argb);
  FillRect(RECT{rc.right - size, rc.top + size, rc.right, rc.bottom - size}, argb);
}

void ShapeRender::DrawRoundRect(const RECT& rc, int radius, int size, DWORD argb) {
  if (size <= 0 || (argb >> 24) == 0 || IsEmpty(rc)) return;
  int r = std::min({radius, (rc.right - rc.left) / 2, (rc.bottom - rc.top) / 2});
  if (r <= 0) {
    DrawRect(rc, size, argb);
    return;
  }
  DrawCorners(rc, r, size, argb);
  FillRect(RECT{rc.left + r, rc.top, rc.right - r, rc.top + size}, argb);
  FillRect(RECT{rc.left + r, rc.bottom - size, rc.right - r, rc.bottom}, argb);
  FillRect(RECT{rc.left, rc.top + r, rc.left + size, rc.bottom - r}, argb);
  FillRect(RECT{rc.right - size, rc.top + r, rc.right, rc.bottom - r}, argb);
}

}  // namespace uilib::backend
