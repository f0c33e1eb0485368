#include "gdiplus_canvas.h"

#include <windows.h>
#include <objidl.h>
// GDI+'s headers use min and max unqualified.
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cmath>
#include <map>
#include <tuple>

namespace uilib::win32 {

namespace {

namespace gp = Gdiplus;

// GDI+ runs for the rest of the process once anything draws: shutting it
// down at exit would race windows and fonts that still hold its objects.
bool StartGdiplus() {
  static const bool started = [] {
    ULONG_PTR token = 0;
    gp::GdiplusStartupInput input;
    return gp::GdiplusStartup(&token, &input, nullptr) == gp::Ok;
  }();
  return started;
}

gp::Color ToColor(uint32_t argb) {
  return gp::Color(static_cast<BYTE>(argb >> 24), static_cast<BYTE>(argb >> 16), static_cast<BYTE>(argb >> 8),
                   static_cast<BYTE>(argb));
}

gp::Rect ToRect(const Box& box) { return gp::Rect(box.left, box.top, box.right - box.left, box.bottom - box.top); }

// One line, measured and drawn the same way: no padding around the text,
// trailing spaces counted, never wrapped.
const gp::StringFormat& LineFormat() {
  static gp::StringFormat* format = [] {
    auto* f = gp::StringFormat::GenericTypographic()->Clone();
    f->SetFormatFlags(f->GetFormatFlags() | gp::StringFormatFlagsMeasureTrailingSpaces |
                      gp::StringFormatFlagsNoWrap | gp::StringFormatFlagsNoClip);
    return f;
  }();
  return *format;
}

// Text is anti-aliased in grey, never ClearType: the pixels may end up on
// any background, and both backends then look alike.
constexpr gp::TextRenderingHint kTextHint = gp::TextRenderingHintAntiAlias;

}  // namespace

// --- Images -------------------------------------------------------------------

Image::Image(std::vector<uint32_t> pixels, int width, int height)
    : pixels_(std::move(pixels)),
      width_(width),
      height_(height),
      bitmap_(new gp::Bitmap(width, height, width * 4, PixelFormat32bppPARGB,
                             reinterpret_cast<BYTE*>(pixels_.data()))) {}

Image::~Image() {
  delete static_cast<gp::Bitmap*>(bitmap_);
  for (auto& [key, stretch] : stretched_) delete static_cast<gp::Bitmap*>(stretch.bitmap);
}

namespace {

// Stretches `part` of premultiplied `pixels` (`stride` pixels a row) to
// `width` x `height` by bilinear filtering between pixel centres, reading
// nothing outside the part.
std::vector<uint32_t> StretchPixels(const std::vector<uint32_t>& pixels, int stride, const Box& part, int width, int height) {
  const int sw = part.right - part.left;
  const int sh = part.bottom - part.top;
  auto sample = [&](int x, int y) {
    return pixels[static_cast<size_t>(part.top + std::clamp(y, 0, sh - 1)) * static_cast<size_t>(stride) +
                  static_cast<size_t>(part.left + std::clamp(x, 0, sw - 1))];
  };
  std::vector<uint32_t> out(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const double fy = std::max(0.0, (y + 0.5) * sh / height - 0.5);
    const int y0 = static_cast<int>(fy);
    const double wy = fy - y0;
    for (int x = 0; x < width; ++x) {
      const double fx = std::max(0.0, (x + 0.5) * sw / width - 0.5);
      const int x0 = static_cast<int>(fx);
      const double wx = fx - x0;
      const uint32_t corners[4] = {sample(x0, y0), sample(x0 + 1, y0), sample(x0, y0 + 1), sample(x0 + 1, y0 + 1)};
      uint32_t pixel = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        auto channel = [&](int i) { return static_cast<double>((corners[i] >> shift) & 0xFF); };
        const double top = channel(0) + (channel(1) - channel(0)) * wx;
        const double bottom = channel(2) + (channel(3) - channel(2)) * wx;
        pixel |= static_cast<uint32_t>(std::lround(top + (bottom - top) * wy)) << shift;
      }
      out[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
    }
  }
  return out;
}

// Stretched parts kept per image; sizes change as windows are resized.
constexpr size_t kMaxStretchedParts = 64;

}  // namespace

void* Image::Stretched(const Box& part, int width, int height) const {
  const auto key = std::make_tuple(part.left, part.top, part.right, part.bottom, width, height);
  auto it = stretched_.find(key);
  if (it != stretched_.end()) return it->second.bitmap;
  if (stretched_.size() >= kMaxStretchedParts) {
    for (auto& [unused, stretch] : stretched_) delete static_cast<gp::Bitmap*>(stretch.bitmap);
    stretched_.clear();
  }
  StretchedPart& stretch = stretched_[key];
  stretch.pixels = StretchPixels(pixels_, width_, part, width, height);
  stretch.bitmap = new gp::Bitmap(width, height, width * 4, PixelFormat32bppPARGB,
                                  reinterpret_cast<BYTE*>(stretch.pixels.data()));
  return stretch.bitmap;
}

std::unique_ptr<Image> Image::Decode(const std::string& bytes) {
  if (bytes.empty() || !StartGdiplus()) return nullptr;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!memory) return nullptr;
  void* place = GlobalLock(memory);
  std::copy(bytes.begin(), bytes.end(), static_cast<char*>(place));
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (CreateStreamOnHGlobal(memory, TRUE, &stream) != S_OK) {
    GlobalFree(memory);
    return nullptr;
  }
  std::unique_ptr<Image> image;
  {
    gp::Bitmap decoded(stream);
    const int width = static_cast<int>(decoded.GetWidth());
    const int height = static_cast<int>(decoded.GetHeight());
    gp::BitmapData data;
    gp::Rect whole(0, 0, width, height);
    if (decoded.GetLastStatus() == gp::Ok && width > 0 && height > 0 &&
        decoded.LockBits(&whole, gp::ImageLockModeRead, PixelFormat32bppPARGB, &data) == gp::Ok) {
      std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
      for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
        std::copy(row, row + width, pixels.begin() + static_cast<ptrdiff_t>(y) * width);
      }
      decoded.UnlockBits(&data);
      image.reset(new Image(std::move(pixels), width, height));
    }
  }
  stream->Release();
  return image;
}

// --- Fonts ----------------------------------------------------------------------

namespace {

// A character every face we pick should have, so Chinese texts never show boxes.
constexpr wchar_t kChineseProbe[] = L"\x4E2D";

// The usual faces of Chinese user interfaces, in order of preference.
constexpr const wchar_t* kChineseFaces[] = {
    L"Microsoft YaHei", L"\x5FAE\x8F6F\x96C5\x9ED1", L"SimSun", L"\x5B8B\x4F53", L"WenQuanYi Micro Hei",
    L"Noto Sans CJK SC", L"Source Han Sans SC", L"SimHei", L"NSimSun", L"WenQuanYi Zen Hei",
};

// True when GDI's face `name` is installed and has a glyph for U+4E2D.
bool ShowsChinese(const std::wstring& name) {
  LOGFONTW wanted{};
  wanted.lfHeight = -16;
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, name.c_str(), LF_FACESIZE);
  HFONT font = CreateFontIndirectW(&wanted);
  if (!font) return false;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  // GDI maps a missing face onto another one: only the named face counts.
  wchar_t chosen[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, chosen);
  WORD glyph = 0xFFFF;
  bool named = lstrcmpiW(chosen, name.c_str()) == 0;
  if (named) GetGlyphIndicesW(dc, kChineseProbe, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return named && glyph != 0xFFFF;
}

bool IsInstalled(const std::wstring& name) {
  gp::FontFamily family(name.c_str());
  return family.GetLastStatus() == gp::Ok && family.IsAvailable();
}

// The first installed family that shows Chinese; empty when none does.
std::wstring AnyChineseFamily() {
  gp::InstalledFontCollection installed;
  const int count = installed.GetFamilyCount();
  std::vector<gp::FontFamily> families(static_cast<size_t>(std::max(count, 0)));
  int found = 0;
  if (count <= 0 || installed.GetFamilies(count, families.data(), &found) != gp::Ok) return std::wstring();
  for (int i = 0; i < found; ++i) {
    wchar_t name[LF_FACESIZE] = {};
    if (families[static_cast<size_t>(i)].GetFamilyName(name) == gp::Ok && ShowsChinese(name)) return name;
  }
  return std::wstring();
}

// The family to draw `face` with; empty for GDI+'s default face.
std::wstring ChooseFamily(const std::wstring& face) {
  if (!face.empty() && IsInstalled(face) && ShowsChinese(face)) return face;
  for (const wchar_t* usual : kChineseFaces) {
    if (IsInstalled(usual) && ShowsChinese(usual)) return usual;
  }
  return AnyChineseFamily();
}

}  // namespace

const Font* Font::Open(const std::wstring& face, int pixelSize, bool bold, bool italic, bool underline) {
  if (!StartGdiplus()) return nullptr;
  using Key = std::tuple<std::wstring, int, bool, bool, bool>;
  // Fonts live as long as the process, while text may still be drawn.
  static auto& fonts = *new std::map<Key, Font*>;
  static auto& families = *new std::map<std::wstring, std::wstring>;
  const int size = pixelSize > 0 ? pixelSize : 12;
  Key key{face, size, bold, italic, underline};
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;

  auto chosen = families.find(face);
  if (chosen == families.end()) chosen = families.emplace(face, ChooseFamily(face)).first;
  const std::wstring& familyName = chosen->second;
  std::unique_ptr<gp::FontFamily> family(familyName.empty() ? gp::FontFamily::GenericSansSerif()->Clone()
                                                            : new gp::FontFamily(familyName.c_str()));
  int style = gp::FontStyleRegular;
  if (bold) style |= gp::FontStyleBold;
  if (italic) style |= gp::FontStyleItalic;
  if (underline) style |= gp::FontStyleUnderline;
  auto* font = new gp::Font(family.get(), static_cast<gp::REAL>(size), style, gp::UnitPixel);
  if (font->GetLastStatus() != gp::Ok) {
    // A face without a bold or italic cut: its regular cut.
    delete font;
    style &= gp::FontStyleUnderline;
    font = new gp::Font(family.get(), static_cast<gp::REAL>(size), style, gp::UnitPixel);
  }
  const double em = family->GetEmHeight(style);
  const int lineHeight =
      em > 0 ? static_cast<int>(std::lround(family->GetLineSpacing(style) * size / em)) : size + size / 4;
  Font* opened = new Font(font, lineHeight, !familyName.empty());
  fonts[key] = opened;
  return opened;
}

int Font::Width(const std::wstring& text) const {
  if (text.empty()) return 0;
  static gp::Bitmap* surface = new gp::Bitmap(1, 1, PixelFormat32bppPARGB);
  static gp::Graphics* measure = [] {
    auto* graphics = new gp::Graphics(surface);
    graphics->SetTextRenderingHint(kTextHint);
    return graphics;
  }();
  gp::RectF bounds;
  measure->MeasureString(text.c_str(), static_cast<INT>(text.size()), static_cast<const gp::Font*>(font_),
                         gp::PointF(0, 0), &LineFormat(), &bounds);
  return static_cast<int>(std::ceil(bounds.Width - 0.01f));
}

// --- Canvas -----------------------------------------------------------------------

struct Canvas::State {
  std::unique_ptr<gp::Bitmap> target;
  std::unique_ptr<gp::Graphics> graphics;
  BYTE* pixels = nullptr;
  int width = 0;
  int height = 0;
  Box clip;
};

Canvas::Canvas() : state_(std::make_unique<State>()) {}

Canvas::~Canvas() { End(); }

bool Canvas::Begin(void* pixels, int width, int height) {
  End();
  if (!pixels || width <= 0 || height <= 0 || !StartGdiplus()) return false;
  auto target = std::make_unique<gp::Bitmap>(width, height, width * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(pixels));
  if (target->GetLastStatus() != gp::Ok) return false;
  auto graphics = std::make_unique<gp::Graphics>(target.get());
  if (graphics->GetLastStatus() != gp::Ok) return false;
  graphics->SetCompositingMode(gp::CompositingModeSourceOver);
  graphics->SetCompositingQuality(gp::CompositingQualityHighSpeed);
  graphics->SetSmoothingMode(gp::SmoothingModeNone);
  graphics->SetInterpolationMode(gp::InterpolationModeNearestNeighbor);
  graphics->SetPixelOffsetMode(gp::PixelOffsetModeHalf);
  graphics->SetTextRenderingHint(kTextHint);
  state_->target = std::move(target);
  state_->graphics = std::move(graphics);
  state_->pixels = static_cast<BYTE*>(pixels);
  state_->width = width;
  state_->height = height;
  return true;
}

void Canvas::End() {
  if (state_->graphics) state_->graphics->Flush(gp::FlushIntentionSync);
  state_->graphics.reset();
  state_->target.reset();
  state_->pixels = nullptr;
}

void Canvas::Clear(const Box& area) {
  if (!state_->pixels) return;
  const int left = std::clamp(area.left, 0, state_->width);
  const int right = std::clamp(area.right, 0, state_->width);
  const int top = std::clamp(area.top, 0, state_->height);
  const int bottom = std::clamp(area.bottom, 0, state_->height);
  if (right <= left) return;
  for (int y = top; y < bottom; ++y) {
    BYTE* row = state_->pixels + (static_cast<size_t>(y) * state_->width + left) * 4;
    std::fill(row, row + (right - left) * 4, BYTE{0});
  }
}

void Canvas::SetClip(const Box& clip) {
  if (!state_->graphics) return;
  state_->clip = clip;
  state_->graphics->SetClip(ToRect(clip), gp::CombineModeReplace);
}

void Canvas::FillRect(const Box& box, uint32_t argb) {
  if (!state_->pixels) return;
  // Solid rectangles on whole pixels are blended here directly: the
  // commonest drawing, many times faster than through a GDI+ brush.
  const Box& clip = state_->clip;
  const int left = std::max({box.left, clip.left, 0});
  const int top = std::max({box.top, clip.top, 0});
  const int right = std::min({box.right, clip.right, state_->width});
  const int bottom = std::min({box.bottom, clip.bottom, state_->height});
  if (right <= left || bottom <= top) return;
  const uint32_t alpha = argb >> 24;
  auto premultiply = [&](int shift) { return ((((argb >> shift) & 0xFF) * alpha + 127) / 255) << shift; };
  const uint32_t color = (alpha << 24) | premultiply(16) | premultiply(8) | premultiply(0);
  for (int y = top; y < bottom; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(state_->pixels) + static_cast<size_t>(y) * state_->width;
    if (alpha == 255) {
      std::fill(row + left, row + right, color);
      continue;
    }
    for (int x = left; x < right; ++x) {
      const uint32_t under = row[x];
      uint32_t blended = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t rest = ((under >> shift) & 0xFF) * (255 - alpha) + 127;
        blended |= (((color >> shift) & 0xFF) + rest / 255) << shift;
      }
      row[x] = blended;
    }
  }
}

void Canvas::FillCoverage(const Box& box, const uint8_t* coverage, uint32_t argb) {
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  if (!state_->graphics || width <= 0 || height <= 0) return;
  // The colour weighted by the coverage, premultiplied, drawn pixel for pixel.
  const uint32_t alpha = argb >> 24;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (size_t i = 0; i < pixels.size(); ++i) {
    const uint32_t a = alpha * coverage[i] / 255;
    auto scale = [&](int shift) { return (((argb >> shift) & 0xFF) * a / 255) << shift; };
    pixels[i] = (a << 24) | scale(16) | scale(8) | scale(0);
  }
  gp::Bitmap mask(width, height, width * 4, PixelFormat32bppPARGB, reinterpret_cast<BYTE*>(pixels.data()));
  state_->graphics->DrawImage(&mask, ToRect(box), 0, 0, width, height, gp::UnitPixel);
}

void Canvas::DrawImage(const Image& image, const Box& source, const Box& target, int alpha) {
  const Box part{std::max(source.left, 0), std::max(source.top, 0), std::min(source.right, image.width_),
                 std::min(source.bottom, image.height_)};
  const int width = target.right - target.left;
  const int height = target.bottom - target.top;
  if (!state_->graphics || part.right <= part.left || part.bottom <= part.top || width <= 0 || height <= 0) return;
  gp::ImageAttributes attributes;
  if (alpha < 255) {
    gp::ColorMatrix fade = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0}, {0, 0, 0, alpha / 255.0f, 0},
                             {0, 0, 0, 0, 1}}};
    attributes.SetColorMatrix(&fade);
  }
  // Pixels are only ever copied one to one: a stretched part is stretched
  // here first, as GDI+ implementations differ in where filtering samples
  // and may blend in pixels beyond the part.
  const bool unscaled = part.right - part.left == width && part.bottom - part.top == height;
  auto* bitmap = static_cast<gp::Bitmap*>(unscaled ? image.bitmap_ : image.Stretched(part, width, height));
  const Box from = unscaled ? part : Box{0, 0, width, height};
  state_->graphics->DrawImage(bitmap, ToRect(target), from.left, from.top, width, height, gp::UnitPixel, &attributes);
}

void Canvas::DrawTextLine(const Font& font, const std::wstring& text, int x, int y, uint32_t argb) {
  if (!state_->graphics || text.empty()) return;
  gp::SolidBrush brush(ToColor(argb));
  state_->graphics->DrawString(text.c_str(), static_cast<INT>(text.size()), static_cast<const gp::Font*>(font.font_),
                               gp::PointF(static_cast<gp::REAL>(x), static_cast<gp::REAL>(y)), &LineFormat(), &brush);
}

// --- PNG files -----------------------------------------------------------------------

namespace {

bool PngEncoder(CLSID* clsid) {
  UINT count = 0;
  UINT bytes = 0;
  if (gp::GetImageEncodersSize(&count, &bytes) != gp::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* encoders = reinterpret_cast<gp::ImageCodecInfo*>(buffer.data());
  if (gp::GetImageEncoders(count, bytes, encoders) != gp::Ok) return false;
  for (UINT i = 0; i < count; ++i) {
    if (lstrcmpiW(encoders[i].MimeType, L"image/png") == 0) {
      *clsid = encoders[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

bool SavePng(const std::wstring& path, const uint32_t* argb, int width, int height) {
  CLSID png;
  if (!argb || width <= 0 || height <= 0 || !StartGdiplus() || !PngEncoder(&png)) return false;
  // 0xAARRGGBB words are GDI+'s 32bppARGB layout as they lie in memory.
  gp::Bitmap bitmap(width, height, width * 4, PixelFormat32bppARGB,
                    reinterpret_cast<BYTE*>(const_cast<uint32_t*>(argb)));
  return bitmap.GetLastStatus() == gp::Ok && bitmap.Save(path.c_str(), &png, nullptr) == gp::Ok;
}

}  // namespace uilib::win32
