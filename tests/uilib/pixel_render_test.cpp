// What the Windows drawing backend leaves in a window's pixels: colours and
// blending, anti-aliased round shapes, skin images, text and PNG files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "uilib/ui_manager.h"
#include "../../uilib/backend/win32/pixel_render.h"

namespace {

using uilib::backend::PixelRender;

constexpr int kWidth = 200;
constexpr int kHeight = 120;

// A window's pixel buffer (premultiplied 0xAARRGGBB words, as a 32-bit DIB
// section holds them) and a render that paints it, with the skin's face.
class PixelRenderTest : public testing::Test {
 protected:
  PixelRenderTest() : pixels_(kWidth * kHeight, 0) {
    manager_.SetDefaultFont("WenQuanYi Micro Hei", 12, false, false, false);
    render_.SetManager(&manager_);
  }

  // Paints one frame of the whole buffer.
  void Paint(const std::function<void(CRenderUI&)>& draw) { Paint(RECT{0, 0, kWidth, kHeight}, draw); }
  void Paint(const RECT& area, const std::function<void(CRenderUI&)>& draw) {
    render_.Begin(pixels_.data(), kWidth, kHeight, area);
    draw(render_);
    render_.End();
  }

  // The pixels of `rc`, row by row.
  std::vector<uint32_t> Pixels(const RECT& rc) const {
    std::vector<uint32_t> part;
    for (int y = rc.top; y < rc.bottom; ++y) {
      for (int x = rc.left; x < rc.right; ++x) part.push_back(At(x, y));
    }
    return part;
  }
  uint32_t At(int x, int y) const { return pixels_[static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)]; }
  static int AlphaOf(uint32_t pixel) { return static_cast<int>(pixel >> 24); }
  // Pixels inside `rc` that anything was drawn on.
  int Ink(const RECT& rc) const {
    int count = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
      for (int x = rc.left; x < rc.right; ++x) count += AlphaOf(At(x, y)) > 0;
    }
    return count;
  }
  // The smallest rectangle holding everything drawn; empty when nothing is.
  RECT InkBounds() const {
    RECT bounds{kWidth, kHeight, 0, 0};
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (AlphaOf(At(x, y)) == 0) continue;
        bounds = RECT{std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y), std::max<LONG>(bounds.right, x + 1),
                      std::max<LONG>(bounds.bottom, y + 1)};
      }
    }
    return bounds;
  }

  CPaintManagerUI manager_;
  PixelRender render_;
  std::vector<uint32_t> pixels_;
};

TEST_F(PixelRenderTest, FilledColoursBlendOverWhatIsThereAndStayInTheirRectangle) {
  struct Case {
    const char* what;
    DWORD under;
    DWORD over;
    uint32_t expected;
  };
  const Case cases[] = {
      {"opaque on nothing", 0, 0xFF336699, 0xFF336699},
      {"opaque on opaque", 0xFFFF0000, 0xFF00FF00, 0xFF00FF00},
      {"half blue on red", 0xFFFF0000, 0x800000FF, 0xFF7F0080},
      {"half blue on nothing (premultiplied)", 0, 0x800000FF, 0x80000080},
      {"fully transparent draws nothing", 0xFFFF0000, 0x000000FF, 0xFFFF0000},
  };
  for (const Case& c : cases) {
    Paint([&](CRenderUI& r) {
      r.FillRect(RECT{10, 10, 30, 30}, c.under);
      r.FillRect(RECT{10, 10, 30, 30}, c.over);
    });
    SCOPED_TRACE(c.what);
    for (int channel = 0; channel < 32; channel += 8) {
      EXPECT_NEAR(static_cast<int>((At(20, 20) >> channel) & 0xFF), static_cast<int>((c.expected >> channel) & 0xFF), 1);
    }
    EXPECT_EQ(At(10, 10), At(29, 29)) << "first and last pixel of the rectangle alike";
    EXPECT_EQ(At(9, 20), 0u);
    EXPECT_EQ(At(30, 20), 0u);
    EXPECT_EQ(At(20, 30), 0u);
  }
}

TEST_F(PixelRenderTest, AFrameClearsAndPaintsOnlyItsArea) {
  Paint([](CRenderUI& r) { r.FillRect(RECT{0, 0, kWidth, kHeight}, 0xFF112233); });
  Paint(RECT{40, 20, 80, 60}, [](CRenderUI& r) { r.FillRect(RECT{0, 0, kWidth, 40}, 0xFFFFFFFF); });
  EXPECT_EQ(At(39, 30), 0xFF112233u) << "outside the area the last frame stays";
  EXPECT_EQ(At(79, 30), 0xFFFFFFFFu);
  EXPECT_EQ(At(60, 50), 0u) << "inside the area, what is not painted again is cleared";
  EXPECT_EQ(At(80, 50), 0xFF112233u);
}

TEST_F(PixelRenderTest, NestedClipsDrawOnlyWhereAllOverlap) {
  Paint([](CRenderUI& r) {
    r.PushClip(RECT{10, 10, 60, 60});
    r.PushClip(RECT{40, 0, 100, 30});
    r.FillRect(RECT{0, 0, kWidth, kHeight}, 0xFFFF0000);
    r.PushClip(RECT{100, 40, 120, 60});  // outside both: nothing at all
    r.FillRect(RECT{0, 0, kWidth, kHeight}, 0xFF00FF00);
    r.PopClip();
    r.PopClip();
    r.FillRect(RECT{0, 50, kWidth, kHeight}, 0xFF0000FF);
  });
  EXPECT_EQ(InkBounds().top, 10);
  EXPECT_EQ(Ink(RECT{40, 10, 60, 30}), 20 * 20);
  EXPECT_EQ(At(45, 15), 0xFFFF0000u);
  EXPECT_EQ(Ink(RECT{60, 0, kWidth, 50}), 0);
  EXPECT_EQ(Ink(RECT{0, 0, 40, 50}), 0);
  EXPECT_EQ(Ink(RECT{100, 40, 120, 60}), 0);
  EXPECT_EQ(Ink(RECT{10, 50, 60, 60}), 50 * 10) << "the outer clip holds again once the inner one is popped";
  EXPECT_EQ(At(10, 59), 0xFF0000FFu);
  EXPECT_EQ(At(60, 55), 0u);
}

TEST_F(PixelRenderTest, RoundRectanglesAreAntiAliasedAtTheCornersOnly) {
  const RECT box{10, 10, 70, 50};
  struct Case {
    const char* what;
    std::function<void(CRenderUI&)> draw;
    bool hollow;
  };
  const Case cases[] = {
      {"filled", [&](CRenderUI& r) { r.FillRoundRect(box, 12, 0xFFFFFFFF); }, false},
      {"border", [&](CRenderUI& r) { r.DrawRoundRect(box, 12, 2, 0xFFFFFFFF); }, true},
  };
  for (const Case& c : cases) {
    Paint(c.draw);
    SCOPED_TRACE(c.what);
    EXPECT_EQ(AlphaOf(At(10, 10)), 0) << "the corner pixel is outside the curve";
    EXPECT_EQ(AlphaOf(At(69, 49)), 0);
    // Along the diagonal from the top left, the curve crosses a pixel that
    // it covers in part.
    int partial = 0;
    for (int d = 0; d < 8; ++d) partial += AlphaOf(At(10 + d, 10 + d)) > 0 && AlphaOf(At(10 + d, 10 + d)) < 255;
    EXPECT_GT(partial, 0) << "edge partly covered: anti-aliased";
    EXPECT_EQ(At(40, 10), 0xFFFFFFFFu) << "straight edges are full";
    EXPECT_EQ(At(10, 30), 0xFFFFFFFFu);
    EXPECT_EQ(At(69, 30), 0xFFFFFFFFu);
    EXPECT_EQ(At(40, 49), 0xFFFFFFFFu);
    EXPECT_EQ(AlphaOf(At(40, 30)), c.hollow ? 0 : 255);
    EXPECT_EQ(Ink(RECT{0, 0, kWidth, 10}) + Ink(RECT{0, 50, kWidth, kHeight}) + Ink(RECT{0, 0, 10, kHeight}) +
                  Ink(RECT{70, 0, kWidth, kHeight}),
              0);
  }
}

TEST_F(PixelRenderTest, GradientsRunFromTheFirstColourToTheSecond) {
  Paint([](CRenderUI& r) {
    r.FillGradient(RECT{0, 0, 100, 20}, 0xFF000000, 0xFFFFFFFF, false);
    r.FillGradient(RECT{0, 20, 100, 70}, 0xFFFF0000, 0xFF0000FF, true);
  });
  EXPECT_EQ(At(0, 10), 0xFF000000u);
  EXPECT_EQ(At(99, 10), 0xFFFFFFFFu);
  EXPECT_NEAR(static_cast<int>(At(50, 10) & 0xFF), 128, 3);
  EXPECT_EQ(At(50, 20), 0xFFFF0000u);
  EXPECT_EQ(At(50, 69), 0xFF0000FFu);
  for (int x = 1; x < 100; ++x) ASSERT_GE(At(x, 5) & 0xFF, At(x - 1, 5) & 0xFF) << "brightens steadily at " << x;
}

TEST_F(PixelRenderTest, TextSizesAreInPixelsAsOnTheOtherBackend) {
  const int large = manager_.AddFont("WenQuanYi Micro Hei", 24, false, false, false);
  const SIZE small = render_.MeasureText("\xE4\xB8\xAD", -1);
  EXPECT_NEAR(small.cx, 12, 1) << "a Chinese character is one em wide";
  EXPECT_GE(small.cy, 12);
  EXPECT_LE(small.cy, 18);
  EXPECT_NEAR(render_.MeasureText("\xE4\xB8\xAD", large).cx, 24, 1);
  EXPECT_GT(render_.MeasureText("WWWW", -1).cx, render_.MeasureText("iiii", -1).cx);
  EXPECT_GT(render_.MeasureText("a b", -1).cx, render_.MeasureText("ab", -1).cx) << "spaces count";
  EXPECT_EQ(render_.MeasureText("", -1).cx, 0);
}

TEST_F(PixelRenderTest, TextIsPlacedByItsAlignmentFlagsInsideItsRectangle) {
  const RECT box{20, 10, 180, 110};
  const int lineHeight = render_.MeasureText("Tarvoni", -1).cy;
  struct Case {
    UINT style;
    int left;    // expected ink left, or -1 when the right is given
    int right;   // expected ink right, or -1
    int centreX;  // or -1
    int top;      // line top expected, or -1
    int bottom;   // line bottom expected, or -1
  };
  const Case cases[] = {
      {DT_SINGLELINE | DT_LEFT | DT_TOP, 20, -1, -1, 10, -1},
      {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, -1, 180, -1, -1, 110},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, -1, -1, 100, 60 - lineHeight / 2, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Paint([&](CRenderUI& r) { r.DrawText(box, "Tarvoni", -1, 0xFF000000, c.style); });
    const RECT ink = InkBounds();
    ASSERT_LT(ink.left, ink.right) << "something is drawn";
    if (c.left >= 0) {
      EXPECT_NEAR(ink.left, c.left, 2);
    }
    if (c.right >= 0) {
      EXPECT_NEAR(ink.right, c.right, 2);
    }
    if (c.centreX >= 0) {
      EXPECT_NEAR((ink.left + ink.right) / 2, c.centreX, 2);
    }
    // Ink lies within its line, a little below the line's top.
    if (c.top >= 0) {
      EXPECT_GE(ink.top, c.top);
      EXPECT_LE(ink.bottom, c.top + lineHeight);
    }
    if (c.bottom >= 0) {
      EXPECT_GE(ink.top, c.bottom - lineHeight);
      EXPECT_LE(ink.bottom, c.bottom);
    }
  }
}

TEST_F(PixelRenderTest, TextOutsideItsRectangleIsClippedAndLongLinesEndWithAnEllipsisThatFits) {
  const char* longTitle = "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWW";
  const RECT box{10, 10, 70, 40};
  Paint([&](CRenderUI& r) { r.DrawText(box, longTitle, -1, 0xFF000000, DT_SINGLELINE | DT_VCENTER); });
  const std::vector<uint32_t> clipped = Pixels(box);
  EXPECT_EQ(Ink(RECT{0, 0, kWidth, kHeight}), Ink(box)) << "nothing drawn past the rectangle";
  EXPECT_GE(InkBounds().right, 68) << "the text runs to the rectangle's edge";

  Paint([&](CRenderUI& r) { r.DrawText(box, longTitle, -1, 0xFF000000, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS); });
  const RECT ink = InkBounds();
  EXPECT_TRUE(Pixels(box) != clipped);
  EXPECT_LE(ink.right, 70) << "the shortened line fits its width";
  EXPECT_GT(ink.right, 55) << "and uses it";
  // The line ends in dots, far lower than the capitals.
  int dotsTop = kHeight;
  int dotsBottom = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = ink.right - 3; x < ink.right; ++x) {
      if (AlphaOf(At(x, y)) == 0) continue;
      dotsTop = std::min(dotsTop, y);
      dotsBottom = std::max(dotsBottom, y + 1);
    }
  }
  EXPECT_LE(dotsBottom - dotsTop, (ink.bottom - ink.top) / 3);
}

TEST_F(PixelRenderTest, WordBreakWrapsAtSpacesAndSingleLineKeepsOneLine) {
  const char* sentence = "Tarvoni plays dance tracks while they download";
  const RECT box{10, 10, 110, 110};
  const int lineHeight = render_.MeasureText(sentence, -1).cy;
  Paint([&](CRenderUI& r) { r.DrawText(box, sentence, -1, 0xFF000000, DT_WORDBREAK); });
  const RECT wrapped = InkBounds();
  EXPECT_GT(wrapped.bottom - wrapped.top, 2 * lineHeight) << "three lines or more";
  EXPECT_LE(wrapped.right, 110);
  EXPECT_NEAR(wrapped.left, 10, 2);

  Paint([&](CRenderUI& r) { r.DrawText(box, sentence, -1, 0xFF000000, DT_SINGLELINE); });
  EXPECT_LE(InkBounds().bottom - InkBounds().top, lineHeight);
  EXPECT_GE(InkBounds().right, 108) << "one line, cut at the edge";

  Paint([&](CRenderUI& r) { r.DrawText(RECT{10, 10, 110, 10 + lineHeight + 2}, sentence, -1, 0xFF000000, DT_WORDBREAK); });
  EXPECT_LE(InkBounds().bottom, 10 + lineHeight + 2) << "lines beyond the rectangle are not drawn";
}

TEST_F(PixelRenderTest, ChineseTextIsDrawnWithGlyphsNotMissingGlyphBoxes) {
  const int unknownFace = manager_.AddFont("No Such Face Anywhere", 16, false, false, false);
  const int latinFace = manager_.AddFont("Tahoma", 16, false, false, false);
  const int boldFace = manager_.AddFont("WenQuanYi Micro Hei", 16, true, false, false);
  for (int font : {-1, unknownFace, latinFace, boldFace}) {
    SCOPED_TRACE(font);
    auto draw = [&](const char* text) {
      Paint([&](CRenderUI& r) { r.DrawText(RECT{0, 0, 40, 40}, text, font, 0xFF000000, DT_SINGLELINE); });
      return Pixels(RECT{0, 0, 40, 40});
    };
    const auto middle = draw("\xE4\xB8\xAD");                // U+4E2D
    const auto text = draw("\xE6\x96\x87");                  // U+6587
    const auto privateUse = draw("\xEE\x80\x80");            // U+E000: no font has it
    const auto otherPrivateUse = draw("\xEE\x80\x81");       // U+E001
    EXPECT_TRUE(privateUse == otherPrivateUse) << "missing glyphs all look alike";
    EXPECT_TRUE(middle != privateUse) << "U+4E2D has a glyph";
    EXPECT_TRUE(text != privateUse) << "U+6587 has a glyph";
    EXPECT_TRUE(middle != text);
  }
}

TEST_F(PixelRenderTest, TextColourAndTransparencyAreTheOnesAskedFor) {
  Paint([](CRenderUI& r) {
    r.DrawText(RECT{0, 0, 100, 40}, "\xE4\xB8\xAD\xE4\xB8\xAD", -1, 0xFFFF0000, DT_SINGLELINE);
    r.DrawText(RECT{100, 0, 200, 40}, "\xE4\xB8\xAD\xE4\xB8\xAD", -1, 0x00FF0000, DT_SINGLELINE);
  });
  int darkest = 0;
  for (uint32_t pixel : Pixels(RECT{0, 0, 100, 40})) {
    EXPECT_EQ(pixel & 0xFFFF, 0u) << "red only";
    EXPECT_EQ((pixel >> 16) & 0xFF, pixel >> 24) << "premultiplied red";
    darkest = std::max(darkest, AlphaOf(pixel));
  }
  EXPECT_GT(darkest, 200) << "strokes are (nearly) opaque";
  EXPECT_EQ(Ink(RECT{100, 0, 200, 40}), 0) << "a transparent colour draws nothing";
}

// Skin images read from a folder of the test's own.
class PixelRenderImageTest : public PixelRenderTest {
 protected:
  PixelRenderImageTest() {
    CPaintManagerUI::SetResourcePath((folder_.Folder() + "\\").c_str());
    CPaintManagerUI::SetResourceZip("");
  }

  testsupport::TempDir folder_;
};

// A 9 x 9 image of nine 3 x 3 blocks, each of its own colour: the corners
// and edges of a nine-slice image, and its middle, half transparent.
constexpr uint32_t kBlocks[3][3] = {{0xFFFF0000, 0xFF00FF00, 0xFF0000FF},
                                    {0xFFFFFF00, 0x80FF00FF, 0xFF00FFFF},
                                    {0xFF000000, 0xFFFFFFFF, 0x00000000}};

std::vector<uint32_t> BlockImage() {
  std::vector<uint32_t> argb;
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) argb.push_back(kBlocks[y / 3][x / 3]);
  }
  return argb;
}

// How a colour lies in the window's premultiplied pixels.
uint32_t Premultiplied(uint32_t argb) {
  const uint32_t alpha = argb >> 24;
  auto scale = [&](int shift) { return ((((argb >> shift) & 0xFF) * alpha + 127) / 255) << shift; };
  return (alpha << 24) | scale(16) | scale(8) | scale(0);
}

void ExpectNear(uint32_t actual, uint32_t expected, const char* where) {
  for (int channel = 0; channel < 32; channel += 8) {
    EXPECT_NEAR(static_cast<int>((actual >> channel) & 0xFF), static_cast<int>((expected >> channel) & 0xFF), 1)
        << where << std::hex << ": " << actual << " instead of " << expected;
  }
}

TEST_F(PixelRenderImageTest, APngWrittenReadsBackWithEveryPixelAndAlpha) {
  const std::vector<uint32_t> blocks = BlockImage();
  ASSERT_TRUE(uilib::backend::SavePixelsAsPng(folder_.Path("blocks.png"), blocks.data(), 9, 9));
  Paint([](CRenderUI& r) { EXPECT_TRUE(r.DrawImage(RECT{0, 0, 9, 9}, "blocks.png")); });
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) ExpectNear(At(x, y), Premultiplied(blocks[static_cast<size_t>(y * 9 + x)]), "pixel");
  }
  EXPECT_EQ(Ink(RECT{9, 0, kWidth, kHeight}) + Ink(RECT{0, 9, 9, kHeight}), 0);
  EXPECT_FALSE(uilib::backend::SavePixelsAsPng(folder_.Path("no such folder/x.png"), blocks.data(), 9, 9));
  EXPECT_FALSE(uilib::backend::SavePixelsAsPng(folder_.Path("empty.png"), blocks.data(), 0, 9));
}

TEST_F(PixelRenderImageTest, NineSlicesKeepTheCornersAndStretchEdgesAndMiddle) {
  const std::vector<uint32_t> blocks = BlockImage();
  ASSERT_TRUE(uilib::backend::SavePixelsAsPng(folder_.Path("blocks.png"), blocks.data(), 9, 9));
  const RECT target{20, 10, 80, 50};
  Paint([&](CRenderUI& r) { EXPECT_TRUE(r.DrawImage(target, "file='blocks.png' corner='3,3,3,3'")); });
  // Each block's part of the target, by rows and columns of 3-pixel borders.
  const int xs[4] = {20, 23, 77, 80};
  const int ys[4] = {10, 13, 47, 50};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      const uint32_t expected = Premultiplied(kBlocks[row][column]);
      for (int y = ys[row]; y < ys[row + 1]; ++y) {
        for (int x = xs[column]; x < xs[column + 1]; ++x) {
          if (At(x, y) != expected) ExpectNear(At(x, y), expected, "block");
        }
      }
    }
  }
  EXPECT_EQ(Ink(RECT{0, 0, kWidth, kHeight}) - Ink(target), 0) << "nothing outside the target";
}

TEST_F(PixelRenderImageTest, SourceDestAndFadePickPartPlaceAndTransparency) {
  const std::vector<uint32_t> blocks = BlockImage();
  ASSERT_TRUE(uilib::backend::SavePixelsAsPng(folder_.Path("blocks.png"), blocks.data(), 9, 9));
  Paint([](CRenderUI& r) {
    EXPECT_TRUE(r.DrawImage(RECT{10, 10, 100, 100}, "file='blocks.png' source='6,0,9,3' dest='5,5,25,15'"));
    EXPECT_TRUE(r.DrawImage(RECT{120, 10, 129, 19}, "file='blocks.png' fade='128'"));
  });
  EXPECT_EQ(Ink(RECT{15, 15, 35, 25}), 20 * 10);
  EXPECT_EQ(Ink(RECT{0, 0, 110, kHeight}), 20 * 10) << "only the destination inside the control";
  EXPECT_EQ(At(15, 15), 0xFF0000FFu);
  EXPECT_EQ(At(34, 24), 0xFF0000FFu);
  ExpectNear(At(120, 10), Premultiplied(0x80FF0000), "faded red");
}

TEST_F(PixelRenderImageTest, StretchingBlendsBetweenPixelCentresEvenlyOnBothSides) {
  const uint32_t blackWhite[2] = {0xFF000000, 0xFFFFFFFF};
  ASSERT_TRUE(uilib::backend::SavePixelsAsPng(folder_.Path("bw.png"), blackWhite, 2, 1));
  Paint([](CRenderUI& r) { r.DrawImage(RECT{10, 10, 30, 20}, "bw.png"); });
  for (int i = 0; i < 20; ++i) {
    const int left = static_cast<int>(At(10 + i, 15) & 0xFF);
    const int right = static_cast<int>(At(29 - i, 15) & 0xFF);
    EXPECT_NEAR(left + right, 255, 1) << "mirrored at " << i;
    if (i > 0) {
      EXPECT_GE(left, static_cast<int>(At(9 + i, 15) & 0xFF));
    }
  }
  EXPECT_EQ(At(10, 10), 0xFF000000u) << "the first pixels are the first source pixel's";
  EXPECT_EQ(At(29, 19), 0xFFFFFFFFu);
  EXPECT_EQ(Ink(RECT{0, 0, kWidth, kHeight}), 20 * 10);
}

TEST_F(PixelRenderImageTest, AnImageThatCannotBeLoadedIsReportedAndDrawsNothing) {
  folder_.Write("broken.png", "not an image");
  testing::internal::CaptureStderr();
  Paint([](CRenderUI& r) {
    EXPECT_FALSE(r.DrawImage(RECT{0, 0, 50, 50}, "missing.png"));
    EXPECT_FALSE(r.DrawImage(RECT{0, 0, 50, 50}, "broken.png"));
    EXPECT_FALSE(r.DrawImage(RECT{0, 0, 50, 50}, "broken.png"));
  });
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("missing.png"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << "once per image: " << said;
  EXPECT_EQ(Ink(RECT{0, 0, kWidth, kHeight}), 0);
}

TEST(PixelRenderSkinTest, TheSkinsCoverTileNineSlicedKeepsItsRoundedCorners) {
  CPaintManagerUI::SetResourcePath(TARVONI_SKIN_FOLDER);
  CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);
  std::vector<uint32_t> pixels(200 * 120, 0);
  PixelRender render;
  auto paint = [&](const RECT& rc, const char* descriptor) {
    render.Begin(pixels.data(), 200, 120, RECT{0, 0, 200, 120});
    EXPECT_TRUE(render.DrawImage(rc, descriptor));
    render.End();
  };
  auto part = [&](int left, int top, int size) {
    std::vector<uint32_t> square;
    for (int y = top; y < top + size; ++y) {
      for (int x = left; x < left + size; ++x) square.push_back(pixels[static_cast<size_t>(y) * 200 + x]);
    }
    return square;
  };
  paint(RECT{0, 0, 112, 112}, "img/cover.png");
  const auto topLeft = part(0, 0, 16);
  const auto topRight = part(96, 0, 16);
  const auto bottomLeft = part(0, 96, 16);
  const auto bottomRight = part(96, 96, 16);
  EXPECT_EQ(topLeft[0] >> 24, 0u) << "the tile's own corner is transparent";
  EXPECT_EQ(part(40, 40, 1)[0] >> 24, 255u);

  paint(RECT{0, 0, 200, 60}, "file='img/cover.png' corner='16,16,16,16'");
  EXPECT_TRUE(part(0, 0, 16) == topLeft);
  EXPECT_TRUE(part(184, 0, 16) == topRight);
  EXPECT_TRUE(part(0, 44, 16) == bottomLeft);
  EXPECT_TRUE(part(184, 44, 16) == bottomRight);
  for (int x = 16; x < 184; x += 7) {
    for (int y = 16; y < 44; y += 3) ASSERT_EQ(pixels[static_cast<size_t>(y) * 200 + x] >> 24, 255u) << x << "," << y;
  }
}

}  // namespace
