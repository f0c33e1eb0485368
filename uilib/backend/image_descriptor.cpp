#include "image_descriptor.h"

#include <algorithm>

#include "../src/attributes.h"

namespace uilib::backend {

namespace {

bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

// The value of `key='value'` in a descriptor; empty when absent.
std::string DescriptorValue(const std::string& descriptor, const char* key) {
  std::string needle = std::string(key) + "='";
  size_t at = 0;
  while ((at = descriptor.find(needle, at)) != std::string::npos) {
    if (at == 0 || descriptor[at - 1] == ' ') {
      size_t begin = at + needle.size();
      size_t end = descriptor.find('\'', begin);
      if (end == std::string::npos) return std::string();
      return descriptor.substr(begin, end - begin);
    }
    at += needle.size();
  }
  return std::string();
}

}  // namespace

ImageDescriptor ParseImageDescriptor(const std::string& descriptor) {
  ImageDescriptor parsed;
  if (descriptor.find('\'') == std::string::npos) {
    parsed.file = descriptor;
    return parsed;
  }
  parsed.file = DescriptorValue(descriptor, "file");
  parsed.source = ParseRect(DescriptorValue(descriptor, "source").c_str());
  parsed.corner = ParseRect(DescriptorValue(descriptor, "corner").c_str());
  std::string dest = DescriptorValue(descriptor, "dest");
  parsed.hasDest = !dest.empty();
  parsed.dest = ParseRect(dest.c_str());
  std::string fade = DescriptorValue(descriptor, "fade");
  if (!fade.empty()) parsed.fade = std::clamp(ParseInt(fade.c_str()), 0, 255);
  return parsed;
}

std::vector<ImagePiece> ImagePieces(const ImageDescriptor& image, const RECT& rc, int width, int height) {
  const RECT target = image.hasDest ? RECT{rc.left + image.dest.left, rc.top + image.dest.top,
                                           rc.left + image.dest.right, rc.top + image.dest.bottom}
                                    : rc;
  const RECT source = IsEmpty(image.source) ? RECT{0, 0, width, height} : image.source;
  const RECT& c = image.corner;
  std::vector<ImagePiece> pieces;
  if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
    if (!IsEmpty(source) && !IsEmpty(target)) pieces.push_back(ImagePiece{source, target});
    return pieces;
  }
  const int sx[4] = {source.left, source.left + c.left, source.right - c.right, source.right};
  const int sy[4] = {source.top, source.top + c.top, source.bottom - c.bottom, source.bottom};
  const int dx[4] = {target.left, target.left + c.left, target.right - c.right, target.right};
  const int dy[4] = {target.top, target.top + c.top, target.bottom - c.bottom, target.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      ImagePiece piece{RECT{sx[column], sy[row], sx[column + 1], sy[row + 1]},
                       RECT{dx[column], dy[row], dx[column + 1], dy[row + 1]}};
      if (!IsEmpty(piece.source) && !IsEmpty(piece.target)) pieces.push_back(piece);
    }
  }
  return pieces;
}

}  // namespace uilib::backend
