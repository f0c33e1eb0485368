#include "pixel_render.h"

#include <algorithm>
#include <cstdio>

#include "gdiplus_canvas.h"
#include "win32_backend.h"

namespace uilib::backend {

namespace {

DWORD Alpha(DWORD argb) { return argb >> 24; }

bool IsEmpty(const RECT& rc) { return rc.right <= rc.left || rc.bottom <= rc.top; }

win32::Box ToBox(const RECT& rc) { return win32::Box{rc.left, rc.top, rc.right, rc.bottom}; }

// The font for `info`; a face that cannot show Chinese is said once on standard error.
const win32::Font* OpenFont(const CPaintManagerUI::TFontInfo& info) {
  const win32::Font* font = win32::Font::Open(Utf16(info.faceName.str()), info.size, info.bold, info.italic,
                                              info.underline);
  static bool reported = false;
  if (font && !font->ShowsChinese() && !reported) {
    reported = true;
    std::fprintf(stderr, "uilib: no installed font shows Chinese for \"%s\"; the default face stands in\n",
                 info.faceName.GetData());
  }
  return font;
}

}  // namespace

PixelRender::PixelRender() : canvas_(std::make_unique<win32::Canvas>()) {}

PixelRender::~PixelRender() = default;

void PixelRender::Begin(void* pixels, int width, int height, const RECT& area) {
  drawing_ = canvas_->Begin(pixels, width, height);
  clips_.clear();
  canvas_->Clear(ToBox(area));
  PushClip(area);
}

void PixelRender::End() {
  canvas_->End();
  drawing_ = false;
  clips_.clear();
}

void PixelRender::FillRect(const RECT& rc, DWORD argb) {
  if (!drawing_ || clipEmpty_ || Alpha(argb) == 0 || IsEmpty(rc)) return;
  canvas_->FillRect(ToBox(rc), argb);
}

void PixelRender::DrawCorner(const RECT& place, const CornerShape& shape, DWORD argb) {
  if (!drawing_ || clipEmpty_) return;
  canvas_->FillCoverage(ToBox(place), shape.coverage->data(), argb);
}

const win32::Image* PixelRender::LoadImage(const std::string& file) {
  auto it = images_.find(file);
  if (it != images_.end()) return it->second.get();
  std::unique_ptr<win32::Image> image;
  std::string bytes;
  if (CPaintManagerUI::LoadResource(file.c_str(), &bytes)) image = win32::Image::Decode(bytes);
  if (!image) std::fprintf(stderr, "uilib: image %s: cannot be loaded from the skin\n", file.c_str());
  return images_.emplace(file, std::move(image)).first->second.get();
}

bool PixelRender::DrawImage(const RECT& rc, LPCTSTR descriptor) {
  if (!descriptor || !*descriptor) return false;
  auto described = descriptors_.find(descriptor);
  if (described == descriptors_.end()) {
    described = descriptors_.emplace(descriptor, ParseImageDescriptor(descriptor)).first;
  }
  const ImageDescriptor& d = described->second;
  const win32::Image* image = LoadImage(d.file);
  if (!image) return false;
  if (!drawing_ || clipEmpty_ || d.fade == 0) return true;
  for (const ImagePiece& piece : ImagePieces(d, rc, image->Width(), image->Height())) {
    canvas_->DrawImage(*image, ToBox(piece.source), ToBox(piece.target), d.fade);
  }
  return true;
}

const CPaintManagerUI::TFontInfo& PixelRender::FontInfo(int font) const {
  static const CPaintManagerUI::TFontInfo fallback;
  return manager_ ? manager_->GetFontInfo(font) : fallback;
}

void PixelRender::DrawText(const RECT& rc, LPCTSTR text, int font, DWORD argb, UINT style) {
  if (!drawing_ || clipEmpty_ || !text || !*text || Alpha(argb) == 0 || IsEmpty(rc)) return;
  const win32::Font* face = OpenFont(FontInfo(font));
  if (!face) return;
  auto measure = [face](const std::string& line) { return face->Width(Utf16(line)); };
  const std::vector<std::string>& lines = layouts_.Lines(face, text, rc.right - rc.left, style, measure);
  const int lineHeight = face->LineHeight();
  int y = FirstLineTop(rc, static_cast<int>(lines.size()), lineHeight, style);
  PushClip(rc);
  for (const std::string& line : lines) {
    std::wstring wide = Utf16(line);
    if (!clipEmpty_) canvas_->DrawTextLine(*face, wide, LineLeft(rc, face->Width(wide), style), y, argb);
    y += lineHeight;
    if (y >= rc.bottom) break;
  }
  PopClip();
}

SIZE PixelRender::MeasureText(LPCTSTR text, int font) {
  const win32::Font* face = OpenFont(FontInfo(font));
  if (!face || !text) return SIZE{0, 0};
  return SIZE{face->Width(Utf16(text)), face->LineHeight()};
}

void PixelRender::PushClip(const RECT& rc) {
  RECT clip = rc;
  if (!clips_.empty()) {
    const RECT& outer = clips_.back();
    clip = RECT{std::max(clip.left, outer.left), std::max(clip.top, outer.top), std::min(clip.right, outer.right),
                std::min(clip.bottom, outer.bottom)};
  }
  clips_.push_back(clip);
  ApplyClip();
}

void PixelRender::PopClip() {
  if (!clips_.empty()) clips_.pop_back();
  ApplyClip();
}

void PixelRender::ApplyClip() {
  clipEmpty_ = !clips_.empty() && IsEmpty(clips_.back());
  if (!drawing_ || clipEmpty_) return;
  canvas_->SetClip(clips_.empty() ? win32::Box{-(1 << 20), -(1 << 20), 1 << 20, 1 << 20} : ToBox(clips_.back()));
}

bool SavePixelsAsPng(const std::string& path, const uint32_t* argb, int width, int height) {
  return win32::SavePng(Utf16(path), argb, width, height);
}

}  // namespace uilib::backend
