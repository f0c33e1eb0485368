// Skin image descriptors and the pieces they are drawn in, the same on every
// window system backend.
#pragma once

#include <string>
#include <vector>

#include "uilib/win_types.h"

namespace uilib::backend {

// "name.png", or "file='name.png' source='l,t,r,b' corner='l,t,r,b'
// dest='l,t,r,b' fade='0..255'" (see CRenderUI::DrawImage).
struct ImageDescriptor {
  std::string file;
  RECT source{0, 0, 0, 0};
  RECT corner{0, 0, 0, 0};
  RECT dest{0, 0, 0, 0};
  bool hasDest = false;
  int fade = 255;
};

ImageDescriptor ParseImageDescriptor(const std::string& descriptor);

// A part of the image (`source`) and where it goes (`target`).
struct ImagePiece {
  RECT source;
  RECT target;
};

// The pieces that draw `image` (of `width` x `height` pixels) as described
// into `rc`: the source stretched over the target, or with corners nine
// slices: corners kept as they are, edges stretched along, the middle both
// ways. Pieces with nothing to draw are left out.
std::vector<ImagePiece> ImagePieces(const ImageDescriptor& image, const RECT& rc, int width, int height);

}  // namespace uilib::backend
