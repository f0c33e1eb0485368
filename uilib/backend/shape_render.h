// The part of drawing that is built from filled rectangles and anti-aliased
// corners, the same on every window system backend: gradients, borders and
// rounded rectangles. A backend fills rectangles and blends corners.
#pragma once

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "uilib/ui_render.h"

namespace uilib::backend {

// A quarter of a disc or of a ring, as drawn in one corner of a rounded rectangle.
struct CornerShape {
  int radius;
  // Width of the ring; 0 for a disc.
  int ring;
  // 0 top left, 1 top right, 2 bottom left, 3 bottom right.
  int which;
  // How much of each of the radius x radius pixels the shape covers
  // (0..255), row by row from the top left.
  const std::vector<uint8_t>* coverage;
};

class ShapeRender : public CRenderUI {
 public:
  void FillRoundRect(const RECT& rc, int radius, DWORD argb) override;
  void FillGradient(const RECT& rc, DWORD from, DWORD to, bool vertical) override;
  void DrawRect(const RECT& rc, int size, DWORD argb) override;
  void DrawRoundRect(const RECT& rc, int radius, int size, DWORD argb) override;

 protected:
  // Blends `argb` over the square `place`, each pixel weighted by the
  // shape's coverage.
  virtual void DrawCorner(const RECT& place, const CornerShape& shape, DWORD argb) = 0;

 private:
  void DrawCorners(const RECT& rc, int radius, int ring, DWORD argb);

  std::map<std::tuple<int, int, int>, std::vector<uint8_t>> coverage_;
};

}  // namespace uilib::backend
