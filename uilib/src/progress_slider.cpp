#include <algorithm>

#include "attributes.h"
#include "uilib/ui_common.h"

namespace {

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

bool Is(LPCTSTR name, LPCTSTR candidate) { return CompareNoCase(name, candidate) == 0; }

}  // namespace

// --- CProgressUI ------------------------------------------------------------

LPCTSTR CProgressUI::GetClass() const { return "ProgressUI"; }

LPVOID CProgressUI::GetInterface(LPCTSTR name) {
  if (Is(name, "Progress")) return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetMinValue(int value) {
  m_nMin = value;
  if (m_nMax < m_nMin) m_nMax = m_nMin;
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
  m_nMax = std::max(value, m_nMin);
  SetValue(m_nValue);
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  value = std::clamp(value, m_nMin, m_nMax);
  if (value == m_nValue) return;
  m_nValue = value;
  Invalidate();
}

void CProgressUI::SetMidValue(int value) {
  value = std::clamp(value, m_nMin, m_nMax);
  if (value == m_nMidValue) return;
  m_nMidValue = value;
  Invalidate();
}

void CProgressUI::SetForeImage(LPCTSTR descriptor) {
  m_sForeImage = descriptor;
  Invalidate();
}

void CProgressUI::SetMidImage(LPCTSTR descriptor) {
  m_sMidImage = descriptor;
  Invalidate();
}

void CProgressUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "min")) {
    SetMinValue(ParseInt(value));
  } else if (Is(name, "max")) {
    SetMaxValue(ParseInt(value));
  } else if (Is(name, "value")) {
    SetValue(ParseInt(value));
  } else if (Is(name, "midvalue")) {
    SetMidValue(ParseInt(value));
  } else if (Is(name, "foreimage")) {
    SetForeImage(value);
  } else if (Is(name, "midimage")) {
    SetMidImage(value);
  } else if (Is(name, "forecolor")) {
    m_dwForeColor = ParseColor(value);
  } else if (Is(name, "midcolor")) {
    m_dwMidColor = ParseColor(value);
  } else if (Is(name, "trackcolor")) {
    m_dwTrackColor = ParseColor(value);
  } else if (Is(name, "trackheight")) {
    m_nTrackHeight = std::max(0, ParseInt(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

RECT CProgressUI::GetTrackRect() const {
  RECT rc = m_rcItem;
  if (m_nTrackHeight > 0 && m_nTrackHeight < rc.bottom - rc.top) {
    rc.top += (rc.bottom - rc.top - m_nTrackHeight) / 2;
    rc.bottom = rc.top + m_nTrackHeight;
  }
  return rc;
}

int CProgressUI::ValueToX(int value) const {
  RECT track = GetTrackRect();
  if (m_nMax <= m_nMin) return track.left;
  long long span = track.right - track.left;
  return track.left + static_cast<int>(span * (value - m_nMin) / (m_nMax - m_nMin));
}

void CProgressUI::PaintStatusImage(CRenderUI& render) {
  RECT track = GetTrackRect();
  int radius = (track.bottom - track.top) / 2;
  if (m_dwTrackColor != 0) render.FillRoundRect(track, radius, m_dwTrackColor);
  auto fill = [&](int value, DWORD color, const CStdString& image) {
    RECT part{track.left, track.top, ValueToX(value), track.bottom};
    if (part.right <= part.left) return;
    if (!image.IsEmpty()) {
      render.PushClip(part);
      render.DrawImage(track, image);
      render.PopClip();
    } else if (color != 0) {
      render.FillRoundRect(part, std::min(radius, (part.right - part.left) / 2), color);
    }
  };
  fill(m_nMidValue, m_dwMidColor, m_sMidImage);
  fill(m_nValue, m_dwForeColor, m_sForeImage);
}

// --- CSliderUI --------------------------------------------------------------

LPCTSTR CSliderUI::GetClass() const { return "SliderUI"; }

LPVOID CSliderUI::GetInterface(LPCTSTR name) {
  if (Is(name, "Slider")) return this;
  return CProgressUI::GetInterface(name);
}

void CSliderUI::SetThumbSize(SIZE size) {
  m_szThumb = size;
  Invalidate();
}

void CSliderUI::SetThumbImage(LPCTSTR descriptor) {
  m_sThumbImage = descriptor;
  Invalidate();
}

void CSliderUI::SetThumbHotImage(LPCTSTR descriptor) {
  m_sThumbHotImage = descriptor;
  Invalidate();
}

void CSliderUI::SetThumbPushedImage(LPCTSTR descriptor) {
  m_sThumbPushedImage = descriptor;
  Invalidate();
}

void CSliderUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!enabled) {
    m_uButtonState = 0;
    m_bSliding = false;
  }
}

// The thumb's centre travels between the ends of the track, half a thumb in.
RECT CSliderUI::GetTrackRect() const {
  RECT rc = CProgressUI::GetTrackRect();
  int half = m_szThumb.cx / 2;
  if (rc.right - rc.left > 2 * half) {
    rc.left += half;
    rc.right -= half;
  }
  return rc;
}

RECT CSliderUI::GetThumbRect() const {
  int x = ValueToX(m_nValue);
  int y = (m_rcItem.top + m_rcItem.bottom) / 2;
  return RECT{x - m_szThumb.cx / 2, y - m_szThumb.cy / 2, x - m_szThumb.cx / 2 + m_szThumb.cx,
              y - m_szThumb.cy / 2 + m_szThumb.cy};
}

int CSliderUI::XToValue(int x) const {
  RECT track = GetTrackRect();
  int span = track.right - track.left;
  if (span <= 0) return m_nMin;
  long long offset = std::clamp(x - track.left, 0, span);
  int value = m_nMin + static_cast<int>((offset * (m_nMax - m_nMin) + span / 2) / span);
  if (m_nStep > 1) value = m_nMin + (value - m_nMin + m_nStep / 2) / m_nStep * m_nStep;
  return std::clamp(value, m_nMin, m_nMax);
}

void CSliderUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type >= UIEVENT_MOUSEMOVE && event.Type <= UIEVENT_SCROLLWHEEL) {
    if (m_pParent) m_pParent->DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (!IsEnabled()) return;
      // A press on the track first moves the thumb there; either way the
      // thumb is then held and follows the mouse until release.
      if (!Contains(GetThumbRect(), event.ptMouse)) SetValue(XToValue(event.ptMouse.x));
      m_uButtonState |= UISTATE_CAPTURED | UISTATE_PUSHED;
      m_bSliding = true;
      Invalidate();
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_bSliding) {
        int value = XToValue(event.ptMouse.x);
        if (value != m_nValue) {
          SetValue(value);
          if (m_pManager) m_pManager->SendNotify(this, "valuechanging");
        }
      } else {
        bool hot = Contains(GetThumbRect(), event.ptMouse);
        if (hot != ((m_uButtonState & UISTATE_HOT) != 0)) {
          m_uButtonState ^= UISTATE_HOT;
          Invalidate();
        }
      }
      return;
    case UIEVENT_BUTTONUP:
    case UIEVENT_KILLFOCUS:
      if (m_uButtonState & UISTATE_CAPTURED) {
        if (m_bSliding && event.Type == UIEVENT_BUTTONUP) SetValue(XToValue(event.ptMouse.x));
        m_bSliding = false;
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        if (m_pManager) m_pManager->SendNotify(this, "valuechanged");
      }
      if (event.Type == UIEVENT_KILLFOCUS) CProgressUI::DoEvent(event);
      return;
    case UIEVENT_MOUSELEAVE:
      if (m_uButtonState & UISTATE_HOT) {
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_SCROLLWHEEL:
      if (IsEnabled()) {
        int step = std::max(1, (m_nMax - m_nMin) / 20);
        SetValue(m_nValue + (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0 ? step : -step));
        if (m_pManager) {
          m_pManager->SendNotify(this, "valuechanging");
          m_pManager->SendNotify(this, "valuechanged");
        }
      }
      return;
    default:
      break;
  }
  CProgressUI::DoEvent(event);
}

void CSliderUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "thumbimage")) {
    SetThumbImage(value);
  } else if (Is(name, "thumbhotimage")) {
    SetThumbHotImage(value);
  } else if (Is(name, "thumbpushedimage")) {
    SetThumbPushedImage(value);
  } else if (Is(name, "thumbsize")) {
    SetThumbSize(ParseSize(value));
  } else if (Is(name, "thumbcolor")) {
    m_dwThumbColor = ParseColor(value);
  } else if (Is(name, "step")) {
    SetChangeStep(std::max(1, ParseInt(value)));
  } else {
    CProgressUI::SetAttribute(name, value);
  }
}

void CSliderUI::PaintStatusImage(CRenderUI& render) {
  CProgressUI::PaintStatusImage(render);
  RECT thumb = GetThumbRect();
  const CStdString* image = &m_sThumbImage;
  if ((m_uButtonState & UISTATE_PUSHED) && !m_sThumbPushedImage.IsEmpty()) image = &m_sThumbPushedImage;
  else if ((m_uButtonState & (UISTATE_HOT | UISTATE_PUSHED)) && !m_sThumbHotImage.IsEmpty()) image = &m_sThumbHotImage;
  if (!image->IsEmpty()) {
    render.DrawImage(thumb, *image);
  } else if (m_dwThumbColor != 0) {
    render.FillRoundRect(thumb, std::min(thumb.right - thumb.left, thumb.bottom - thumb.top) / 2, m_dwThumbColor);
  }
}
