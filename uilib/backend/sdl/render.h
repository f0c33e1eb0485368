// CRenderUI over an SDL renderer: colours, anti-aliased round shapes,
// skin images (with nine-slice corners) and text through SDL2_ttf. Images
// and rendered text are cached per window.
#pragma once

#include <SDL.h>

#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "../image_descriptor.h"
#include "../shape_render.h"
#include "../text_layout.h"
#include "uilib/ui_manager.h"
#include "uilib/ui_render.h"

namespace uilib::backend {

class SdlRender final : public ShapeRender {
 public:
  explicit SdlRender(SDL_Renderer* renderer);
  ~SdlRender() override;
  SdlRender(const SdlRender&) = delete;
  SdlRender& operator=(const SdlRender&) = delete;

  // Fonts are looked up through the window's manager.
  void SetManager(CPaintManagerUI* manager) { manager_ = manager; }
  // Starts a frame that repaints `area`: clears it and clips to it.
  void Begin(const RECT& area);

  void FillRect(const RECT& rc, DWORD argb) override;
  bool DrawImage(const RECT& rc, LPCTSTR descriptor) override;
  void DrawText(const RECT& rc, LPCTSTR text, int font, DWORD argb, UINT style) override;
  SIZE MeasureText(LPCTSTR text, int font) override;
  void PushClip(const RECT& rc) override;
  void PopClip() override;

 private:
  struct Image {
    SDL_Texture* texture = nullptr;
    int width = 0;
    int height = 0;
  };
  struct TextTexture {
    SDL_Texture* texture = nullptr;
    int width = 0;
    int height = 0;
  };

  const ImageDescriptor& Describe(const std::string& descriptor);
  const Image& LoadImage(const std::string& file);
  const TextTexture* RenderLine(const std::string& line, int font);
  void DrawCorner(const RECT& place, const CornerShape& shape, DWORD argb) override;
  SDL_Texture* CornerTexture(const CornerShape& shape);
  void ApplyClip();
  void SetColor(DWORD argb);

  SDL_Renderer* renderer_;
  CPaintManagerUI* manager_ = nullptr;
  std::vector<SDL_Rect> clips_;
  bool clipEmpty_ = false;
  std::unordered_map<std::string, ImageDescriptor> descriptors_;
  std::unordered_map<std::string, Image> images_;
  std::unordered_map<std::string, TextTexture> texts_;
  LayoutCache layouts_;
  std::map<std::tuple<int, int, int>, SDL_Texture*> corners_;
};

}  // namespace uilib::backend
