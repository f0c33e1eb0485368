#include <algorithm>
#include <sstream>
#include <string>

#include "attributes.h"
#include "uilib/ui_common.h"

namespace {

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

bool Is(LPCTSTR name, LPCTSTR candidate) { return CompareNoCase(name, candidate) == 0; }

// "left", "center", "right", "top", "vcenter", "bottom" (several separated
// by commas or spaces) into DT_* flags, starting from `style`.
UINT ParseAlign(LPCTSTR value, UINT style) {
  std::string words(value ? value : "");
  std::replace(words.begin(), words.end(), ',', ' ');
  std::istringstream stream(words);
  for (std::string word; stream >> word;) {
    LPCTSTR w = word.c_str();
    if (Is(w, "left")) style &= ~(DT_CENTER | DT_RIGHT);
    else if (Is(w, "center")) style = (style & ~DT_RIGHT) | DT_CENTER;
    else if (Is(w, "right")) style = (style & ~DT_CENTER) | DT_RIGHT;
    else if (Is(w, "top")) style &= ~(DT_VCENTER | DT_BOTTOM);
    else if (Is(w, "vcenter")) style = (style & ~DT_BOTTOM) | DT_VCENTER;
    else if (Is(w, "bottom")) style = (style & ~DT_VCENTER) | DT_BOTTOM;
  }
  return style;
}

}  // namespace

// --- CLabelUI ---------------------------------------------------------------

LPCTSTR CLabelUI::GetClass() const { return "LabelUI"; }

LPVOID CLabelUI::GetInterface(LPCTSTR name) {
  if (Is(name, "Label")) return this;
  return CControlUI::GetInterface(name);
}

void CLabelUI::SetTextStyle(UINT style) {
  m_uTextStyle = style;
  Invalidate();
}

void CLabelUI::SetTextColor(DWORD argb) {
  if (m_dwTextColor == argb) return;
  m_dwTextColor = argb;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD argb) {
  m_dwDisabledTextColor = argb;
  Invalidate();
}

void CLabelUI::SetFont(int index) {
  m_iFont = index;
  Invalidate();
}

void CLabelUI::SetTextPadding(RECT rc) {
  m_rcTextPadding = rc;
  Invalidate();
}

void CLabelUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "align")) {
    SetTextStyle(ParseAlign(value, m_uTextStyle));
  } else if (Is(name, "multiline") || Is(name, "wordbreak")) {
    SetTextStyle(ParseBool(value) ? (m_uTextStyle & ~DT_SINGLELINE) | DT_WORDBREAK
                                  : (m_uTextStyle & ~DT_WORDBREAK) | DT_SINGLELINE);
  } else if (Is(name, "endellipsis")) {
    SetTextStyle(ParseBool(value) ? m_uTextStyle | DT_END_ELLIPSIS : m_uTextStyle & ~DT_END_ELLIPSIS);
  } else if (Is(name, "textcolor")) {
    SetTextColor(ParseColor(value));
  } else if (Is(name, "disabledtextcolor")) {
    SetDisabledTextColor(ParseColor(value));
  } else if (Is(name, "font")) {
    SetFont(ParseInt(value));
  } else if (Is(name, "textpadding")) {
    SetTextPadding(ParseRect(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CLabelUI::DrawTextIn(CRenderUI& render, DWORD argb) {
  if (m_sText.IsEmpty()) return;
  RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
          m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
  render.DrawText(rc, m_sText, m_iFont, argb, m_uTextStyle);
}

void CLabelUI::PaintText(CRenderUI& render) {
  DWORD color = m_dwTextColor;
  if (color == 0 && m_pManager) color = m_pManager->GetDefaultTextColor();
  if (!IsEnabled()) {
    color = m_dwDisabledTextColor;
    if (color == 0 && m_pManager) color = m_pManager->GetDefaultDisabledColor();
  }
  DrawTextIn(render, color);
}

// --- CButtonUI --------------------------------------------------------------

CButtonUI::CButtonUI() { m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS; }

LPCTSTR CButtonUI::GetClass() const { return "ButtonUI"; }

LPVOID CButtonUI::GetInterface(LPCTSTR name) {
  if (Is(name, "Button")) return this;
  return CLabelUI::GetInterface(name);
}

bool CButtonUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager) m_pManager->SendNotify(this, "click");
  return true;
}

void CButtonUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  if (!enabled) m_uButtonState = 0;
}

void CButtonUI::DoEvent(TEventUI& event) {
  if (!IsMouseEnabled() && event.Type >= UIEVENT_MOUSEMOVE && event.Type <= UIEVENT_SCROLLWHEEL) {
    if (m_pParent) m_pParent->DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (IsEnabled() && Contains(m_rcItem, event.ptMouse)) {
        m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_uButtonState & UISTATE_CAPTURED) {
        UINT pushed = Contains(m_rcItem, event.ptMouse) ? UISTATE_PUSHED : 0;
        if ((m_uButtonState & UISTATE_PUSHED) != pushed) {
          m_uButtonState = (m_uButtonState & ~UISTATE_PUSHED) | pushed;
          Invalidate();
        }
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_uButtonState & UISTATE_CAPTURED) {
        bool inside = Contains(m_rcItem, event.ptMouse);
        m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        if (inside) Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (IsEnabled()) {
        m_uButtonState |= UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if (m_uButtonState & UISTATE_HOT) {
        m_uButtonState &= ~UISTATE_HOT;
        Invalidate();
      }
      return;
    case UIEVENT_KILLFOCUS:
      m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
      break;
    case UIEVENT_KEYDOWN:
      if (event.chKey == ' ' || event.wParam == VK_SPACE) {
        Activate();
        return;
      }
      break;
    default:
      break;
  }
  CLabelUI::DoEvent(event);
}

void CButtonUI::SetNormalImage(LPCTSTR descriptor) {
  m_sNormalImage = descriptor;
  Invalidate();
}

void CButtonUI::SetHotImage(LPCTSTR descriptor) {
  m_sHotImage = descriptor;
  Invalidate();
}

void CButtonUI::SetPushedImage(LPCTSTR descriptor) {
  m_sPushedImage = descriptor;
  Invalidate();
}

void CButtonUI::SetFocusedImage(LPCTSTR descriptor) {
  m_sFocusedImage = descriptor;
  Invalidate();
}

void CButtonUI::SetDisabledImage(LPCTSTR descriptor) {
  m_sDisabledImage = descriptor;
  Invalidate();
}

void CButtonUI::SetHotTextColor(DWORD argb) {
  m_dwHotTextColor = argb;
  Invalidate();
}

void CButtonUI::SetPushedTextColor(DWORD argb) {
  m_dwPushedTextColor = argb;
  Invalidate();
}

void CButtonUI::SetHotBkColor(DWORD argb) {
  m_dwHotBkColor = argb;
  Invalidate();
}

void CButtonUI::SetPushedBkColor(DWORD argb) {
  m_dwPushedBkColor = argb;
  Invalidate();
}

void CButtonUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "normalimage")) {
    SetNormalImage(value);
  } else if (Is(name, "hotimage")) {
    SetHotImage(value);
  } else if (Is(name, "pushedimage")) {
    SetPushedImage(value);
  } else if (Is(name, "focusedimage")) {
    SetFocusedImage(value);
  } else if (Is(name, "disabledimage")) {
    SetDisabledImage(value);
  } else if (Is(name, "hottextcolor")) {
    SetHotTextColor(ParseColor(value));
  } else if (Is(name, "pushedtextcolor")) {
    SetPushedTextColor(ParseColor(value));
  } else if (Is(name, "hotbkcolor")) {
    SetHotBkColor(ParseColor(value));
  } else if (Is(name, "pushedbkcolor")) {
    SetPushedBkColor(ParseColor(value));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::PaintBkColor(CRenderUI& render) {
  DWORD color = 0;
  if (IsEnabled() && (m_uButtonState & UISTATE_PUSHED)) color = m_dwPushedBkColor;
  if (color == 0 && IsEnabled() && (m_uButtonState & UISTATE_HOT)) color = m_dwHotBkColor;
  if (color == 0) {
    CLabelUI::PaintBkColor(render);
    return;
  }
  if (m_nBorderRound > 0) render.FillRoundRect(m_rcItem, m_nBorderRound, color);
  else render.FillRect(m_rcItem, color);
}

void CButtonUI::PaintStatusImage(CRenderUI& render) {
  const CStdString* image = &m_sNormalImage;
  if (!IsEnabled()) {
    if (!m_sDisabledImage.IsEmpty()) image = &m_sDisabledImage;
  } else if ((m_uButtonState & UISTATE_PUSHED) && !m_sPushedImage.IsEmpty()) {
    image = &m_sPushedImage;
  } else if ((m_uButtonState & (UISTATE_HOT | UISTATE_PUSHED)) && !m_sHotImage.IsEmpty()) {
    image = &m_sHotImage;
  } else if (IsFocused() && !m_sFocusedImage.IsEmpty()) {
    image = &m_sFocusedImage;
  }
  if (!image->IsEmpty()) render.DrawImage(m_rcItem, *image);
}

void CButtonUI::PaintText(CRenderUI& render) {
  DWORD color = 0;
  if (IsEnabled() && (m_uButtonState & UISTATE_PUSHED)) color = m_dwPushedTextColor;
  if (color == 0 && IsEnabled() && (m_uButtonState & UISTATE_HOT)) color = m_dwHotTextColor;
  if (color == 0) {
    CLabelUI::PaintText(render);
    return;
  }
  DrawTextIn(render, color);
}

// --- COptionUI --------------------------------------------------------------

COptionUI::~COptionUI() {
  if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

LPCTSTR COptionUI::GetClass() const { return "OptionUI"; }

LPVOID COptionUI::GetInterface(LPCTSTR name) {
  if (Is(name, "Option")) return this;
  return CButtonUI::GetInterface(name);
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  if (m_pManager && m_pManager != manager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  CButtonUI::SetManager(manager, parent, init);
  if (init && manager && !m_sGroupName.IsEmpty()) manager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetGroup(LPCTSTR groupName) {
  if (m_sGroupName == groupName) return;
  if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroupName, this);
  m_sGroupName = groupName;
  if (m_pManager && !m_sGroupName.IsEmpty()) m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetSelectedState(bool selected) {
  if (m_bSelected == selected) return;
  m_bSelected = selected;
  Invalidate();
}

void COptionUI::Selected(bool selected) {
  if (m_bSelected == selected) return;
  m_bSelected = selected;
  if (selected && m_pManager && !m_sGroupName.IsEmpty()) {
    if (const std::vector<CControlUI*>* group = m_pManager->GetOptionGroup(m_sGroupName)) {
      for (CControlUI* member : *group) {
        if (member != this) static_cast<COptionUI*>(member)->SetSelectedState(false);
      }
    }
  }
  Invalidate();
  if (m_pManager) m_pManager->SendNotify(this, "selectchanged");
}

bool COptionUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (!m_sGroupName.IsEmpty()) Selected(true);
  else Selected(!m_bSelected);
  if (m_pManager) m_pManager->SendNotify(this, "click");
  return true;
}

void COptionUI::SetSelectedImage(LPCTSTR descriptor) {
  m_sSelectedImage = descriptor;
  Invalidate();
}

void COptionUI::SetSelectedHotImage(LPCTSTR descriptor) {
  m_sSelectedHotImage = descriptor;
  Invalidate();
}

void COptionUI::SetSelectedTextColor(DWORD argb) {
  m_dwSelectedTextColor = argb;
  Invalidate();
}

void COptionUI::SetSelectedBkColor(DWORD argb) {
  m_dwSelectedBkColor = argb;
  Invalidate();
}

void COptionUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "group")) {
    SetGroup(value);
  } else if (Is(name, "selected")) {
    Selected(ParseBool(value));
  } else if (Is(name, "selectedimage")) {
    SetSelectedImage(value);
  } else if (Is(name, "selectedhotimage")) {
    SetSelectedHotImage(value);
  } else if (Is(name, "selectedtextcolor")) {
    SetSelectedTextColor(ParseColor(value));
  } else if (Is(name, "selectedbkcolor")) {
    SetSelectedBkColor(ParseColor(value));
  } else {
    CButtonUI::SetAttribute(name, value);
  }
}

void COptionUI::PaintBkColor(CRenderUI& render) {
  if (!m_bSelected || m_dwSelectedBkColor == 0) {
    CButtonUI::PaintBkColor(render);
    return;
  }
  if (m_nBorderRound > 0) render.FillRoundRect(m_rcItem, m_nBorderRound, m_dwSelectedBkColor);
  else render.FillRect(m_rcItem, m_dwSelectedBkColor);
}

void COptionUI::PaintStatusImage(CRenderUI& render) {
  if (m_bSelected) {
    if ((m_uButtonState & UISTATE_HOT) && !m_sSelectedHotImage.IsEmpty()) {
      render.DrawImage(m_rcItem, m_sSelectedHotImage);
      return;
    }
    if (!m_sSelectedImage.IsEmpty()) {
      render.DrawImage(m_rcItem, m_sSelectedImage);
      return;
    }
  }
  CButtonUI::PaintStatusImage(render);
}

void COptionUI::PaintText(CRenderUI& render) {
  if (m_bSelected && m_dwSelectedTextColor != 0 && IsEnabled()) {
    DrawTextIn(render, m_dwSelectedTextColor);
    return;
  }
  CButtonUI::PaintText(render);
}
