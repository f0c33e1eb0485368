#include <cstring>

#include "attributes.h"
#include "uilib/ui_control.h"

namespace {

bool Intersects(const RECT& a, const RECT& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

bool IsMouseEvent(int type) { return type >= UIEVENT_MOUSEMOVE && type <= UIEVENT_SCROLLWHEEL; }

}  // namespace

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (m_pManager) m_pManager->ReapObjects(this);
}

LPCTSTR CControlUI::GetClass() const { return "ControlUI"; }

LPVOID CControlUI::GetInterface(LPCTSTR name) {
  if (CompareNoCase(name, "Control") == 0) return this;
  return nullptr;
}

void CControlUI::SetText(LPCTSTR text) {
  if (m_sText == text) return;
  m_sText = text;
  Invalidate();
}

void CControlUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  bool wasVisible = IsVisible();
  m_bVisible = visible;
  if (m_bFocused && !visible && m_pManager) m_pManager->SetFocus(nullptr);
  if (IsVisible() != wasVisible) NeedParentUpdate();
}

void CControlUI::SetInternVisible(bool visible) {
  m_bInternVisible = visible;
  if (!visible && m_bFocused && m_pManager) m_pManager->SetFocus(nullptr);
}

void CControlUI::SetEnabled(bool enabled) {
  if (m_bEnabled == enabled) return;
  m_bEnabled = enabled;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::SetFloat(bool isFloat) {
  if (m_bFloat == isFloat) return;
  m_bFloat = isFloat;
  NeedParentUpdate();
}

void CControlUI::SetPos(RECT rc) {
  if (rc.right < rc.left) rc.right = rc.left;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  m_bUpdateNeeded = false;
  if (std::memcmp(&rc, &m_rcItem, sizeof rc) == 0) return;
  m_rcItem = rc;
  Invalidate();
}

void CControlUI::SetPadding(RECT rc) {
  m_rcPadding = rc;
  NeedParentUpdate();
}

void CControlUI::SetFixedXY(SIZE xy) {
  m_cXY = xy;
  NeedParentUpdate();
}

void CControlUI::SetFixedWidth(int cx) {
  if (cx < 0 || m_cxyFixed.cx == cx) return;
  m_cxyFixed.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  if (cy < 0 || m_cxyFixed.cy == cy) return;
  m_cxyFixed.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMinWidth(int cx) {
  if (cx < 0) return;
  m_cxyMin.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMaxWidth(int cx) {
  if (cx < 0) return;
  m_cxyMax.cx = cx;
  NeedParentUpdate();
}

void CControlUI::SetMinHeight(int cy) {
  if (cy < 0) return;
  m_cxyMin.cy = cy;
  NeedParentUpdate();
}

void CControlUI::SetMaxHeight(int cy) {
  if (cy < 0) return;
  m_cxyMax.cy = cy;
  NeedParentUpdate();
}

SIZE CControlUI::EstimateSize(SIZE) { return m_cxyFixed; }

void CControlUI::SetBkColor(DWORD argb) {
  if (m_dwBackColor == argb) return;
  m_dwBackColor = argb;
  Invalidate();
}

void CControlUI::SetBkColor2(DWORD argb) {
  if (m_dwBackColor2 == argb) return;
  m_dwBackColor2 = argb;
  Invalidate();
}

void CControlUI::SetBorderColor(DWORD argb) {
  if (m_dwBorderColor == argb) return;
  m_dwBorderColor = argb;
  Invalidate();
}

void CControlUI::SetBorderSize(int size) {
  if (m_nBorderSize == size) return;
  m_nBorderSize = size;
  Invalidate();
}

void CControlUI::SetBorderRound(int radius) {
  if (m_nBorderRound == radius) return;
  m_nBorderRound = radius;
  Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR descriptor) {
  if (m_sBkImage == descriptor) return;
  m_sBkImage = descriptor;
  Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  m_pManager = manager;
  m_pParent = parent;
  if (init) Init();
}

CControlUI* CControlUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if ((flags & UIFIND_HITTEST) && (!m_bMouseEnabled || !Contains(m_rcItem, *static_cast<POINT*>(data)))) return nullptr;
  return proc(this, data);
}

void CControlUI::Invalidate() {
  if (m_pManager && IsVisible()) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  if (m_pManager) m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate() {
  if (m_pParent) {
    m_pParent->NeedUpdate();
  } else {
    NeedUpdate();
  }
  if (m_pManager) m_pManager->Invalidate();
}

void CControlUI::Init() { DoInit(); }

void CControlUI::Event(TEventUI& event) { DoEvent(event); }

void CControlUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS) {
    m_bFocused = true;
    Invalidate();
    return;
  }
  if (event.Type == UIEVENT_KILLFOCUS) {
    m_bFocused = false;
    Invalidate();
    return;
  }
  // What a plain control does not use goes to its parent (a row takes the
  // clicks on its labels, a scrolling area the wheel over its children).
  if (m_pParent && (IsMouseEvent(event.Type) || event.Type == UIEVENT_KEYDOWN)) m_pParent->DoEvent(event);
}

bool CControlUI::Activate() { return IsVisible() && IsEnabled(); }

void CControlUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  auto is = [name](LPCTSTR candidate) { return CompareNoCase(name, candidate) == 0; };
  if (is("name")) {
    SetName(value);
  } else if (is("text")) {
    SetText(value);
  } else if (is("pos")) {
    RECT rc = ParseRect(value);
    SetFixedXY(SIZE{rc.left, rc.top});
    SetFixedWidth(rc.right - rc.left);
    SetFixedHeight(rc.bottom - rc.top);
  } else if (is("float")) {
    SetFloat(ParseBool(value));
  } else if (is("padding")) {
    SetPadding(ParseRect(value));
  } else if (is("width")) {
    SetFixedWidth(ParseInt(value));
  } else if (is("height")) {
    SetFixedHeight(ParseInt(value));
  } else if (is("minwidth")) {
    SetMinWidth(ParseInt(value));
  } else if (is("maxwidth")) {
    SetMaxWidth(ParseInt(value));
  } else if (is("minheight")) {
    SetMinHeight(ParseInt(value));
  } else if (is("maxheight")) {
    SetMaxHeight(ParseInt(value));
  } else if (is("bkcolor") || is("bkcolor1")) {
    SetBkColor(ParseColor(value));
  } else if (is("bkcolor2")) {
    SetBkColor2(ParseColor(value));
  } else if (is("bordercolor")) {
    SetBorderColor(ParseColor(value));
  } else if (is("bordersize")) {
    SetBorderSize(ParseInt(value));
  } else if (is("borderround")) {
    SetBorderRound(ParseInt(value));
  } else if (is("bkimage")) {
    SetBkImage(value);
  } else if (is("visible")) {
    SetVisible(ParseBool(value));
  } else if (is("enabled")) {
    SetEnabled(ParseBool(value));
  } else if (is("mouse")) {
    SetMouseEnabled(ParseBool(value));
  } else if (is("userdata")) {
    SetUserData(value);
  }
}

CControlUI* CControlUI::ApplyAttributeList(LPCTSTR list) {
  for (const auto& [name, value] : uilib::ParseAttributeList(list)) SetAttribute(name.c_str(), value.c_str());
  return this;
}

void CControlUI::DoPaint(CRenderUI& render, const RECT& paintRect) {
  if (!Intersects(paintRect, m_rcItem)) return;
  PaintBkColor(render);
  PaintBkImage(render);
  PaintStatusImage(render);
  PaintText(render);
  PaintBorder(render);
}

void CControlUI::PaintBkColor(CRenderUI& render) {
  if (m_dwBackColor == 0) return;
  if (m_dwBackColor2 != 0) {
    render.FillGradient(m_rcItem, m_dwBackColor, m_dwBackColor2, true);
  } else if (m_nBorderRound > 0) {
    render.FillRoundRect(m_rcItem, m_nBorderRound, m_dwBackColor);
  } else {
    render.FillRect(m_rcItem, m_dwBackColor);
  }
}

void CControlUI::PaintBkImage(CRenderUI& render) {
  if (!m_sBkImage.IsEmpty()) render.DrawImage(m_rcItem, m_sBkImage);
}

void CControlUI::PaintBorder(CRenderUI& render) {
  if (m_nBorderSize <= 0 || m_dwBorderColor == 0) return;
  if (m_nBorderRound > 0) {
    render.DrawRoundRect(m_rcItem, m_nBorderRound, m_nBorderSize, m_dwBorderColor);
  } else {
    render.DrawRect(m_rcItem, m_nBorderSize, m_dwBorderColor);
  }
}
