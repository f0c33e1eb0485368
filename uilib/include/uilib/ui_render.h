// The drawing surface controls paint on. A window's backend supplies it;
// controls never see the graphics library behind it.
#pragma once

#include "uilib/win_types.h"

// Text layout flags (DrawText).
inline constexpr UINT DT_TOP = 0x0000;
inline constexpr UINT DT_LEFT = 0x0000;
inline constexpr UINT DT_CENTER = 0x0001;
inline constexpr UINT DT_RIGHT = 0x0002;
inline constexpr UINT DT_VCENTER = 0x0004;
inline constexpr UINT DT_BOTTOM = 0x0008;
inline constexpr UINT DT_WORDBREAK = 0x0010;
inline constexpr UINT DT_SINGLELINE = 0x0020;
inline constexpr UINT DT_END_ELLIPSIS = 0x8000;

class CRenderUI {
 public:
  virtual ~CRenderUI() = default;

  // Colours are ARGB (0xAARRGGBB); an alpha of 0 draws nothing.
  virtual void FillRect(const RECT& rc, DWORD argb) = 0;
  // Anti-aliased rounded rectangle with corner radius `radius`.
  virtual void FillRoundRect(const RECT& rc, int radius, DWORD argb) = 0;
  virtual void FillGradient(const RECT& rc, DWORD from, DWORD to, bool vertical) = 0;
  virtual void DrawRect(const RECT& rc, int size, DWORD argb) = 0;
  virtual void DrawRoundRect(const RECT& rc, int radius, int size, DWORD argb) = 0;
  // Draws an image described as "name.png" or
  // "file='name.png' source='l,t,r,b' corner='l,t,r,b' dest='l,t,r,b' fade='0..255'"
  // (source: the part of the file; corner: borders kept unstretched; dest:
  // the place inside `rc`). False when the image cannot be loaded.
  virtual bool DrawImage(const RECT& rc, LPCTSTR descriptor) = 0;
  // One line (DT_SINGLELINE) or word-wrapped (DT_WORDBREAK) text in font
  // `font` (an index of the paint manager; -1 = default font).
  virtual void DrawText(const RECT& rc, LPCTSTR text, int font, DWORD argb, UINT style) = 0;
  virtual SIZE MeasureText(LPCTSTR text, int font) = 0;

  // Clipping nests: drawing is limited to the intersection of all pushed rectangles.
  virtual void PushClip(const RECT& rc) = 0;
  virtual void PopClip() = 0;
};
