// The native side of the Win32 backend's drawing: GDI+ on a 32-bit pixel
// buffer, images decoded by GDI+, fonts chosen by name with Chinese-capable
// fallbacks, PNG files written by GDI+'s encoder. See native_window.h for
// the firewall between the toolkit's names and the system's.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace uilib::win32 {

// Pixel rectangle: left and top inside, right and bottom outside.
struct Box {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// A decoded image, kept as premultiplied pixels ready to draw.
class Image {
 public:
  // The image in `bytes` (PNG with alpha, or any format GDI+ reads); null
  // when they hold none.
  static std::unique_ptr<Image> Decode(const std::string& bytes);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  friend class Canvas;
  Image(std::vector<uint32_t> pixels, int width, int height);
  // `part` of the image stretched to `width` x `height`, made on first use.
  void* Stretched(const Box& part, int width, int height) const;

  std::vector<uint32_t> pixels_;
  int width_;
  int height_;
  void* bitmap_;
  struct StretchedPart {
    std::vector<uint32_t> pixels;
    void* bitmap;
  };
  mutable std::map<std::tuple<int, int, int, int, int, int>, StretchedPart> stretched_;
};

// A font of a size in pixels. The face is the one asked for when installed
// and able to show Chinese, else a usual Chinese UI face, else any face with
// Chinese, else the default face. Fonts are opened and measured on the UI thread.
class Font {
 public:
  // Fonts live as long as the process; the same request gives the same font.
  static const Font* Open(const std::wstring& face, int pixelSize, bool bold, bool italic, bool underline);

  // False when no installed face shows Chinese and the default face stood in.
  bool ShowsChinese() const { return showsChinese_; }

  // The distance from one line's top to the next one's.
  int LineHeight() const { return lineHeight_; }
  // Width in pixels of one line of text.
  int Width(const std::wstring& text) const;

 private:
  friend class Canvas;
  Font(void* font, int lineHeight, bool showsChinese)
      : font_(font), lineHeight_(lineHeight), showsChinese_(showsChinese) {}
  void* font_;
  int lineHeight_;
  bool showsChinese_;
};

// GDI+ drawing on a buffer of premultiplied BGRA pixels, 4 bytes each,
// rows top-down (a 32-bit top-down DIB section's layout).
class Canvas {
 public:
  Canvas();
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  // Starts drawing on `pixels`; false when GDI+ cannot draw there.
  bool Begin(void* pixels, int width, int height);
  // Finishes drawing: everything drawn is in the pixels.
  void End();

  // Makes `area` transparent black.
  void Clear(const Box& area);
  // Drawing happens inside `clip` only.
  void SetClip(const Box& clip);

  // Colours are 0xAARRGGBB, blended over what is there.
  void FillRect(const Box& box, uint32_t argb);
  // Blends `argb` over the box, each pixel weighted by `coverage` (0..255,
  // one byte a pixel, rows from the top left).
  void FillCoverage(const Box& box, const uint8_t* coverage, uint32_t argb);
  // `source` of `image` stretched over `target`, its alpha scaled by `alpha` (0..255).
  void DrawImage(const Image& image, const Box& source, const Box& target, int alpha);
  // One line of anti-aliased text whose top left is at (x, y).
  void DrawTextLine(const Font& font, const std::wstring& text, int x, int y, uint32_t argb);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Writes `argb` (0xAARRGGBB pixels, rows from the top) as a PNG file at
// `path`; false when it cannot be written.
bool SavePng(const std::wstring& path, const uint32_t* argb, int width, int height);

}  // namespace uilib::win32
