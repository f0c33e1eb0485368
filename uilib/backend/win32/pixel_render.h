// CRenderUI over GDI+ on a window's 32-bit pixel buffer: colours, anti-aliased
// round shapes, skin images (with nine-slice corners) and text. Images are
// decoded once and kept for the render's life.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "../image_descriptor.h"
#include "../shape_render.h"
#include "../text_layout.h"
#include "uilib/ui_manager.h"
#include "uilib/ui_render.h"

namespace uilib::win32 {
class Canvas;
class Image;
}  // namespace uilib::win32

namespace uilib::backend {

// CRenderUI over GDI+ on a window's 32-bit pixel buffer.
class PixelRender final : public ShapeRender {
 public:
  PixelRender();
  ~PixelRender() override;
  PixelRender(const PixelRender&) = delete;
  PixelRender& operator=(const PixelRender&) = delete;

  // Fonts are looked up through the window's manager.
  void SetManager(CPaintManagerUI* manager) { manager_ = manager; }
  // Starts a frame that repaints `area` of `pixels`: a top-down buffer of
  // `width` x `height` pixels, 4 bytes each, premultiplied BGRA as a 32-bit
  // top-down DIB section holds them (stride width * 4). Clears `area` and clips to it.
  void Begin(void* pixels, int width, int height, const RECT& area);
  // Ends the frame: everything drawn is in the pixels.
  void End();

  void FillRect(const RECT& rc, DWORD argb) override;
  bool DrawImage(const RECT& rc, LPCTSTR descriptor) override;
  void DrawText(const RECT& rc, LPCTSTR text, int font, DWORD argb, UINT style) override;
  SIZE MeasureText(LPCTSTR text, int font) override;
  void PushClip(const RECT& rc) override;
  void PopClip() override;

 private:
  void DrawCorner(const RECT& place, const CornerShape& shape, DWORD argb) override;
  const CPaintManagerUI::TFontInfo& FontInfo(int font) const;
  const win32::Image* LoadImage(const std::string& file);
  void ApplyClip();

  std::unique_ptr<win32::Canvas> canvas_;
  CPaintManagerUI* manager_ = nullptr;
  bool drawing_ = false;
  std::vector<RECT> clips_;
  bool clipEmpty_ = false;
  std::unordered_map<std::string, ImageDescriptor> descriptors_;
  std::unordered_map<std::string, std::unique_ptr<win32::Image>> images_;
  LayoutCache layouts_;
};

// Writes `argb` (width x height, 0xAARRGGBB, row by row from the top left) as a PNG file; UTF-8 path.
bool SavePixelsAsPng(const std::string& path, const uint32_t* argb, int width, int height);

}  // namespace uilib::backend
