#include "fonts.h"

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>

namespace uilib::backend {

namespace {

// A character every face we pick must have, so Chinese texts never show boxes.
constexpr FcChar32 kChineseProbe = 0x4E2D;

struct FaceFile {
  std::string path;
  int index = 0;
  bool bold = false;
  bool italic = false;
};

// Asks fontconfig for `pattern` (e.g. "WenQuanYi Micro Hei:bold"); false
// when it finds nothing or the match lacks Chinese and `needChinese` is set.
bool Match(const std::string& pattern, bool needChinese, FaceFile* face) {
  FcPattern* wanted = FcNameParse(reinterpret_cast<const FcChar8*>(pattern.c_str()));
  if (!wanted) return false;
  FcPatternAddString(wanted, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcConfigSubstitute(nullptr, wanted, FcMatchPattern);
  FcDefaultSubstitute(wanted);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(nullptr, wanted, &result);
  FcPatternDestroy(wanted);
  if (!found) return false;
  bool ok = false;
  FcChar8* file = nullptr;
  FcCharSet* characters = nullptr;
  if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
    bool hasChinese = FcPatternGetCharSet(found, FC_CHARSET, 0, &characters) == FcResultMatch &&
                      FcCharSetHasChar(characters, kChineseProbe);
    if (hasChinese || !needChinese) {
      face->path = reinterpret_cast<const char*>(file);
      int index = 0;
      int weight = FC_WEIGHT_REGULAR;
      int slant = FC_SLANT_ROMAN;
      if (FcPatternGetInteger(found, FC_INDEX, 0, &index) == FcResultMatch) face->index = index;
      if (FcPatternGetInteger(found, FC_WEIGHT, 0, &weight) == FcResultMatch) face->bold = weight >= FC_WEIGHT_BOLD;
      if (FcPatternGetInteger(found, FC_SLANT, 0, &slant) == FcResultMatch) face->italic = slant != FC_SLANT_ROMAN;
      ok = true;
    }
  }
  FcPatternDestroy(found);
  return ok;
}

bool FindFace(const CPaintManagerUI::TFontInfo& info, FaceFile* face) {
  static bool ready = [] {
    if (FcInit() != FcTrue) return false;
    std::atexit(FcFini);
    return true;
  }();
  if (!ready) return false;
  std::string style;
  if (info.bold) style += ":bold";
  if (info.italic) style += ":italic";
  std::string family = info.faceName.IsEmpty() ? "sans-serif" : info.faceName.str();
  return Match(family + style, true, face) || Match("sans-serif" + style, true, face) ||
         Match("sans-serif" + style, false, face);
}

}  // namespace

TTF_Font* OpenFont(const CPaintManagerUI::TFontInfo& info) {
  using Key = std::tuple<std::string, int, bool, bool, bool>;
  // Open fonts live as long as the process (never destroyed at exit, while
  // text may still be drawn).
  static auto& fonts = *new std::map<Key, TTF_Font*>;
  static bool reported = false;
  Key key{info.faceName.str(), info.size, info.bold, info.italic, info.underline};
  auto it = fonts.find(key);
  if (it != fonts.end()) return it->second;
  TTF_Font* font = nullptr;
  FaceFile face;
  if (TTF_WasInit() && FindFace(info, &face)) {
    font = TTF_OpenFontIndex(face.path.c_str(), info.size > 0 ? info.size : 12, face.index);
  }
  if (font) {
    int style = TTF_STYLE_NORMAL;
    // Faces without a bold or italic cut get them drawn.
    if (info.bold && !face.bold) style |= TTF_STYLE_BOLD;
    if (info.italic && !face.italic) style |= TTF_STYLE_ITALIC;
    if (info.underline) style |= TTF_STYLE_UNDERLINE;
    TTF_SetFontStyle(font, style);
    TTF_SetFontHinting(font, TTF_HINTING_LIGHT);
    TTF_SetFontKerning(font, 1);
  } else if (!reported) {
    reported = true;
    std::fprintf(stderr, "uilib: no usable font for \"%s\" (install a Chinese font such as fonts-wqy-microhei)\n",
                 info.faceName.GetData());
  }
  fonts[key] = font;
  return font;
}

}  // namespace uilib::backend
