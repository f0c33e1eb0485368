#include "render.h"

#include <SDL_image.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstdio>

#include "fonts.h"

namespace uilib::backend {

namespace {

constexpr size_t kMaxCachedTexts = 4096;

Uint8 Alpha(DWORD argb) { return static_cast<Uint8>(argb >> 24); }
Uint8 Red(DWORD argb) { return static_cast<Uint8>(argb >> 16); }
Uint8 Green(DWORD argb) { return static_cast<Uint8>(argb >> 8); }
Uint8 Blue(DWORD argb) { return static_cast<Uint8>(argb); }

SDL_Rect ToSdl(const RECT& rc) { return SDL_Rect{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top}; }

bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

int TextWidth(TTF_Font* font, const std::string& text) {
  int w = 0;
  int h = 0;
  if (text.empty() || TTF_SizeUTF8(font, text.c_str(), &w, &h) != 0) return 0;
  return w;
}

}  // namespace

SdlRender::SdlRender(SDL_Renderer* renderer) : renderer_(renderer) {}

SdlRender::~SdlRender() {
  for (auto& [name, image] : images_) {
    if (image.texture) SDL_DestroyTexture(image.texture);
  }
  for (auto& [key, text] : texts_) SDL_DestroyTexture(text.texture);
  for (auto& [key, texture] : corners_) SDL_DestroyTexture(texture);
}

void SdlRender::Begin(const RECT& area) {
  clips_.clear();
  PushClip(area);
  SDL_Rect rect = ToSdl(area);
  SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 0);
  SDL_RenderFillRect(renderer_, &rect);
  SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
}

void SdlRender::SetColor(DWORD argb) { SDL_SetRenderDrawColor(renderer_, Red(argb), Green(argb), Blue(argb), Alpha(argb)); }

void SdlRender::FillRect(const RECT& rc, DWORD argb) {
  if (clipEmpty_ || Alpha(argb) == 0 || IsEmpty(rc)) return;
  SetColor(argb);
  SDL_Rect rect = ToSdl(rc);
  // An opaque colour needs no blending, and plain filling is many times faster.
  const bool opaque = Alpha(argb) == 0xFF;
  if (opaque) SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
  SDL_RenderFillRect(renderer_, &rect);
  if (opaque) SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
}

SDL_Texture* SdlRender::CornerTexture(const CornerShape& shape) {
  auto key = std::make_tuple(shape.radius, shape.ring, shape.which);
  auto it = corners_.find(key);
  if (it != corners_.end()) return it->second;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, shape.radius, shape.radius, 32, SDL_PIXELFORMAT_ARGB8888);
  if (!surface) return nullptr;
  for (int y = 0; y < shape.radius; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch);
    for (int x = 0; x < shape.radius; ++x) {
      uint32_t coverage = (*shape.coverage)[static_cast<size_t>(y * shape.radius + x)];
      row[x] = (coverage << 24) | 0x00FFFFFFu;
    }
  }
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer_, surface);
  SDL_FreeSurface(surface);
  if (texture) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  corners_[key] = texture;
  return texture;
}

void SdlRender::DrawCorner(const RECT& place, const CornerShape& shape, DWORD argb) {
  if (clipEmpty_) return;
  SDL_Texture* texture = CornerTexture(shape);
  if (!texture) return;
  SDL_SetTextureColorMod(texture, Red(argb), Green(argb), Blue(argb));
  SDL_SetTextureAlphaMod(texture, Alpha(argb));
  SDL_Rect dst = ToSdl(place);
  SDL_RenderCopy(renderer_, texture, nullptr, &dst);
}

const ImageDescriptor& SdlRender::Describe(const std::string& descriptor) {
  auto it = descriptors_.find(descriptor);
  if (it != descriptors_.end()) return it->second;
  return descriptors_.emplace(descriptor, ParseImageDescriptor(descriptor)).first->second;
}

const SdlRender::Image& SdlRender::LoadImage(const std::string& file) {
  auto it = images_.find(file);
  if (it != images_.end()) return it->second;
  Image image;
  std::string bytes;
  if (CPaintManagerUI::LoadResource(file.c_str(), &bytes)) {
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
    if (SDL_Surface* surface = stream ? IMG_Load_RW(stream, 1) : nullptr) {
      image.texture = SDL_CreateTextureFromSurface(renderer_, surface);
      image.width = surface->w;
      image.height = surface->h;
      SDL_FreeSurface(surface);
    }
  }
  if (image.texture) {
    SDL_SetTextureBlendMode(image.texture, SDL_BLENDMODE_BLEND);
    SDL_SetTextureScaleMode(image.texture, SDL_ScaleModeLinear);
  } else {
    std::fprintf(stderr, "uilib: image %s: cannot be loaded from the skin\n", file.c_str());
  }
  return images_.emplace(file, image).first->second;
}

bool SdlRender::DrawImage(const RECT& rc, LPCTSTR descriptor) {
  if (!descriptor || !*descriptor) return false;
  const ImageDescriptor& d = Describe(descriptor);
  const Image& image = LoadImage(d.file);
  if (!image.texture) return false;
  if (clipEmpty_) return true;
  SDL_SetTextureAlphaMod(image.texture, static_cast<Uint8>(d.fade));
  SDL_SetTextureColorMod(image.texture, 255, 255, 255);
  for (const ImagePiece& piece : ImagePieces(d, rc, image.width, image.height)) {
    SDL_Rect src = ToSdl(piece.source);
    SDL_Rect dst = ToSdl(piece.target);
    SDL_RenderCopy(renderer_, image.texture, &src, &dst);
  }
  return true;
}

const SdlRender::TextTexture* SdlRender::RenderLine(const std::string& line, int font) {
  CPaintManagerUI::TFontInfo fallback;
  const CPaintManagerUI::TFontInfo& info = manager_ ? manager_->GetFontInfo(font) : fallback;
  TTF_Font* ttf = OpenFont(info);
  if (!ttf || line.empty()) return nullptr;
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%p|", static_cast<void*>(ttf));
  std::string key = prefix + line;
  auto it = texts_.find(key);
  if (it != texts_.end()) return &it->second;
  if (texts_.size() >= kMaxCachedTexts) {
    for (auto& [unused, text] : texts_) SDL_DestroyTexture(text.texture);
    texts_.clear();
  }
  SDL_Surface* surface = TTF_RenderUTF8_Blended(ttf, line.c_str(), SDL_Color{255, 255, 255, 255});
  if (!surface) return nullptr;
  TextTexture text;
  text.texture = SDL_CreateTextureFromSurface(renderer_, surface);
  text.width = surface->w;
  text.height = surface->h;
  SDL_FreeSurface(surface);
  if (!text.texture) return nullptr;
  SDL_SetTextureBlendMode(text.texture, SDL_BLENDMODE_BLEND);
  return &texts_.emplace(key, text).first->second;
}

void SdlRender::DrawText(const RECT& rc, LPCTSTR text, int font, DWORD argb, UINT style) {
  if (clipEmpty_ || !text || !*text || Alpha(argb) == 0 || IsEmpty(rc)) return;
  CPaintManagerUI::TFontInfo fallback;
  TTF_Font* ttf = OpenFont(manager_ ? manager_->GetFontInfo(font) : fallback);
  if (!ttf) return;
  auto measure = [ttf](const std::string& line) { return TextWidth(ttf, line); };
  const std::vector<std::string>& lines = layouts_.Lines(ttf, text, rc.right - rc.left, style, measure);
  const int lineHeight = TTF_FontLineSkip(ttf);
  int y = FirstLineTop(rc, static_cast<int>(lines.size()), lineHeight, style);
  RECT clip = rc;
  PushClip(clip);
  for (const std::string& line : lines) {
    if (const TextTexture* rendered = RenderLine(line, font)) {
      int x = LineLeft(rc, rendered->width, style);
      SDL_SetTextureColorMod(rendered->texture, Red(argb), Green(argb), Blue(argb));
      SDL_SetTextureAlphaMod(rendered->texture, Alpha(argb));
      SDL_Rect dst{x, y + (lineHeight - rendered->height) / 2, rendered->width, rendered->height};
      if (!clipEmpty_) SDL_RenderCopy(renderer_, rendered->texture, nullptr, &dst);
    }
    y += lineHeight;
    if (y >= rc.bottom) break;
  }
  PopClip();
}

SIZE SdlRender::MeasureText(LPCTSTR text, int font) {
  CPaintManagerUI::TFontInfo fallback;
  TTF_Font* ttf = OpenFont(manager_ ? manager_->GetFontInfo(font) : fallback);
  if (!ttf || !text) return SIZE{0, 0};
  return SIZE{TextWidth(ttf, text), TTF_FontLineSkip(ttf)};
}

void SdlRender::PushClip(const RECT& rc) {
  SDL_Rect rect = ToSdl(rc);
  if (rect.w < 0) rect.w = 0;
  if (rect.h < 0) rect.h = 0;
  if (!clips_.empty()) {
    SDL_Rect both;
    if (!SDL_IntersectRect(&clips_.back(), &rect, &both)) both = SDL_Rect{rect.x, rect.y, 0, 0};
    rect = both;
  }
  clips_.push_back(rect);
  ApplyClip();
}

void SdlRender::PopClip() {
  if (!clips_.empty()) clips_.pop_back();
  ApplyClip();
}

void SdlRender::ApplyClip() {
  if (clips_.empty()) {
    clipEmpty_ = false;
    SDL_RenderSetClipRect(renderer_, nullptr);
    return;
  }
  const SDL_Rect& rect = clips_.back();
  // SDL treats an empty clip rectangle as no clipping at all.
  clipEmpty_ = rect.w <= 0 || rect.h <= 0;
  if (!clipEmpty_) SDL_RenderSetClipRect(renderer_, &rect);
}

}  // namespace uilib::backend
