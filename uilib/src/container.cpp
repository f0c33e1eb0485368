#include <algorithm>

#include "attributes.h"
#include "uilib/ui_container.h"

namespace {

constexpr int kWheelStep = 60;
constexpr int kMinThumbLength = 24;

bool Contains(const RECT& rc, POINT pt) { return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom; }

bool Intersect(RECT* out, const RECT& a, const RECT& b) {
  out->left = std::max(a.left, b.left);
  out->top = std::max(a.top, b.top);
  out->right = std::min(a.right, b.right);
  out->bottom = std::min(a.bottom, b.bottom);
  return out->left < out->right && out->top < out->bottom;
}

int Clamp(int value, int low, int high) { return std::max(low, std::min(value, high)); }

}  // namespace

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  for (CControlUI* item : m_items) delete item;
}

LPCTSTR CContainerUI::GetClass() const { return "ContainerUI"; }

LPVOID CContainerUI::GetInterface(LPCTSTR name) {
  if (CompareNoCase(name, "IContainer") == 0) return static_cast<IContainerUI*>(this);
  if (CompareNoCase(name, "Container") == 0) return this;
  return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= static_cast<int>(m_items.size())) return nullptr;
  return m_items[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  auto it = std::find(m_items.begin(), m_items.end(), control);
  return it == m_items.end() ? -1 : static_cast<int>(it - m_items.begin());
}

int CContainerUI::GetCount() const { return static_cast<int>(m_items.size()); }

bool CContainerUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || index < 0 || index > GetCount()) return false;
  if (m_pManager) m_pManager->InitControls(control, this);
  else control->SetManager(nullptr, this, false);
  if (!IsVisible()) control->SetInternVisible(false);
  m_items.insert(m_items.begin() + index, control);
  NeedUpdate();
  Invalidate();
  return true;
}

bool CContainerUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CContainerUI::RemoveAt(int index) {
  CControlUI* item = GetItemAt(index);
  if (!item) return false;
  m_items.erase(m_items.begin() + index);
  delete item;
  NeedUpdate();
  Invalidate();
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(m_items);
  for (CControlUI* item : items) delete item;
  m_iScrollPos = 0;
  NeedUpdate();
  Invalidate();
}

void CContainerUI::SetInset(RECT rc) {
  m_rcInset = rc;
  NeedUpdate();
}

void CContainerUI::SetChildPadding(int padding) {
  m_iChildPadding = padding;
  NeedUpdate();
}

void CContainerUI::EnableScrollBar(bool vertical) {
  if (m_bScrollEnabled == vertical) return;
  m_bScrollEnabled = vertical;
  if (!vertical) m_iScrollPos = 0;
  NeedUpdate();
}

void CContainerUI::SetScrollPos(SIZE pos) {
  int y = Clamp(pos.cy, 0, m_iScrollRange);
  if (y == m_iScrollPos) return;
  m_iScrollPos = y;
  NeedUpdate();
  Invalidate();
}

void CContainerUI::LineUp() { SetScrollPos(SIZE{0, m_iScrollPos - kWheelStep}); }

void CContainerUI::LineDown() { SetScrollPos(SIZE{0, m_iScrollPos + kWheelStep}); }

void CContainerUI::PageUp() {
  RECT area = GetChildArea();
  SetScrollPos(SIZE{0, m_iScrollPos - (area.bottom - area.top)});
}

void CContainerUI::PageDown() {
  RECT area = GetChildArea();
  SetScrollPos(SIZE{0, m_iScrollPos + (area.bottom - area.top)});
}

void CContainerUI::EnsureVisible(CControlUI* control) {
  if (!control) return;
  if (m_pManager) m_pManager->UpdateLayout();
  // The nearest scrolling container, this one or an ancestor, scrolls.
  for (CControlUI* at = this; at; at = at->GetParent()) {
    auto* container = static_cast<CContainerUI*>(at->GetInterface("Container"));
    if (!container || !container->m_bScrollEnabled) continue;
    RECT area = container->GetChildArea();
    const RECT& pos = control->GetPos();
    if (pos.top < area.top) {
      container->SetScrollPos(SIZE{0, container->m_iScrollPos - (area.top - pos.top)});
    } else if (pos.bottom > area.bottom) {
      int down = std::min(pos.bottom - area.bottom, pos.top - area.top);
      container->SetScrollPos(SIZE{0, container->m_iScrollPos + down});
    }
    return;
  }
}

void CContainerUI::SetVisible(bool visible) {
  if (m_bVisible == visible) return;
  CControlUI::SetVisible(visible);
  for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  for (CControlUI* item : m_items) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enabled) {
  CControlUI::SetEnabled(enabled);
  for (CControlUI* item : m_items) item->SetEnabled(enabled);
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  for (CControlUI* item : m_items) item->SetManager(manager, this, init);
  CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if (flags & UIFIND_HITTEST) {
    POINT pt = *static_cast<POINT*>(data);
    if (!Contains(m_rcItem, pt)) return nullptr;
    if (m_bScrollEnabled && m_iScrollRange > 0 && Contains(GetScrollBarRect(), pt)) return proc(this, data);
  }
  if (flags & UIFIND_ME_FIRST) {
    if (CControlUI* found = CControlUI::FindControl(proc, data, flags)) return found;
  }
  const bool hitTest = (flags & UIFIND_HITTEST) != 0;
  RECT area = GetChildArea();
  auto visit = [&](CControlUI* item) -> CControlUI* {
    // Children scrolled out of the area cannot be hit, except floating ones.
    if (hitTest && !item->IsFloat() && !Contains(area, *static_cast<POINT*>(data))) return nullptr;
    return item->FindControl(proc, data, flags);
  };
  if (flags & UIFIND_TOP_FIRST) {
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
      if (CControlUI* found = visit(*it)) return found;
    }
  } else {
    for (CControlUI* item : m_items) {
      if (CControlUI* found = visit(item)) return found;
    }
  }
  if (!(flags & UIFIND_ME_FIRST)) return CControlUI::FindControl(proc, data, flags);
  return nullptr;
}

RECT CContainerUI::GetChildArea() const {
  return RECT{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top, m_rcItem.right - m_rcInset.right,
              m_rcItem.bottom - m_rcInset.bottom};
}

void CContainerUI::SetFloatPos(CControlUI* child) {
  SIZE xy = child->GetFixedXY();
  RECT rc{m_rcItem.left + xy.cx, m_rcItem.top + xy.cy, 0, 0};
  rc.right = rc.left + child->GetFixedWidth();
  rc.bottom = rc.top + child->GetFixedHeight();
  child->SetPos(rc);
}

void CContainerUI::SetPos(RECT rc) {
  CControlUI::SetPos(rc);
  RECT area = GetChildArea();
  for (CControlUI* item : m_items) {
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(item);
      continue;
    }
    RECT padding = item->GetPadding();
    item->SetPos(RECT{area.left + padding.left, area.top + padding.top, area.right - padding.right,
                      area.bottom - padding.bottom});
  }
}

void CContainerUI::UpdateScrollRange(int contentHeight) {
  RECT area = GetChildArea();
  m_iScrollRange = m_bScrollEnabled ? std::max(0, contentHeight - (area.bottom - area.top)) : 0;
}

RECT CContainerUI::GetScrollBarRect() const {
  return RECT{m_rcItem.right - m_iScrollBarWidth - 2, m_rcItem.top + 2, m_rcItem.right - 2, m_rcItem.bottom - 2};
}

RECT CContainerUI::GetScrollThumbRect() const {
  RECT bar = GetScrollBarRect();
  int track = bar.bottom - bar.top;
  int visible = GetChildArea().bottom - GetChildArea().top;
  int content = visible + m_iScrollRange;
  if (content <= 0 || m_iScrollRange <= 0) return bar;
  int length = std::max(kMinThumbLength, static_cast<int>(static_cast<long long>(track) * visible / content));
  length = std::min(length, track);
  int top = bar.top + static_cast<int>(static_cast<long long>(track - length) * m_iScrollPos / m_iScrollRange);
  return RECT{bar.left, top, bar.right, top + length};
}

void CContainerUI::DoEvent(TEventUI& event) {
  const bool scrollable = m_bScrollEnabled && m_iScrollRange > 0;
  if (scrollable) {
    switch (event.Type) {
      case UIEVENT_SCROLLWHEEL:
        if (GET_WHEEL_DELTA_WPARAM(event.wParam) > 0) LineUp();
        else LineDown();
        return;
      case UIEVENT_BUTTONDOWN:
      case UIEVENT_DBLCLICK:
        if (Contains(GetScrollBarRect(), event.ptMouse)) {
          RECT thumb = GetScrollThumbRect();
          if (Contains(thumb, event.ptMouse)) {
            m_bScrollDragging = true;
            m_iScrollDragOffset = event.ptMouse.y - thumb.top;
          } else if (event.ptMouse.y < thumb.top) {
            PageUp();
          } else {
            PageDown();
          }
          return;
        }
        break;
      case UIEVENT_MOUSEMOVE:
        if (m_bScrollDragging) {
          RECT bar = GetScrollBarRect();
          RECT thumb = GetScrollThumbRect();
          int travel = (bar.bottom - bar.top) - (thumb.bottom - thumb.top);
          if (travel > 0) {
            int offset = event.ptMouse.y - m_iScrollDragOffset - bar.top;
            SetScrollPos(SIZE{0, static_cast<int>(static_cast<long long>(offset) * m_iScrollRange / travel)});
          }
          return;
        }
        if (Contains(GetScrollBarRect(), event.ptMouse) != m_bScrollThumbHot) {
          m_bScrollThumbHot = !m_bScrollThumbHot;
          Invalidate();
        }
        break;
      case UIEVENT_BUTTONUP:
      case UIEVENT_KILLFOCUS:
        if (m_bScrollDragging) {
          m_bScrollDragging = false;
          return;
        }
        break;
      case UIEVENT_MOUSELEAVE:
        if (m_bScrollThumbHot) {
          m_bScrollThumbHot = false;
          Invalidate();
        }
        break;
      default:
        break;
    }
  }
  CControlUI::DoEvent(event);
}

void CContainerUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (CompareNoCase(name, "inset") == 0) {
    SetInset(ParseRect(value));
  } else if (CompareNoCase(name, "childpadding") == 0) {
    SetChildPadding(ParseInt(value));
  } else if (CompareNoCase(name, "vscrollbar") == 0) {
    EnableScrollBar(ParseBool(value));
  } else if (CompareNoCase(name, "scrollbarcolor") == 0) {
    m_dwScrollThumbColor = ParseColor(value);
  } else if (CompareNoCase(name, "scrollbarhotcolor") == 0) {
    m_dwScrollThumbHotColor = ParseColor(value);
  } else if (CompareNoCase(name, "scrollbarwidth") == 0) {
    m_iScrollBarWidth = std::max(2, ParseInt(value));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::DoPaint(CRenderUI& render, const RECT& paintRect) {
  RECT clip;
  if (!Intersect(&clip, paintRect, m_rcItem)) return;
  render.PushClip(clip);
  CControlUI::DoPaint(render, clip);
  RECT area = GetChildArea();
  RECT childClip;
  if (Intersect(&childClip, clip, area)) {
    render.PushClip(childClip);
    for (CControlUI* item : m_items) {
      if (!item->IsVisible() || item->IsFloat()) continue;
      RECT overlap;
      if (Intersect(&overlap, childClip, item->GetPos())) item->DoPaint(render, childClip);
    }
    render.PopClip();
  }
  for (CControlUI* item : m_items) {
    if (item->IsVisible() && item->IsFloat()) item->DoPaint(render, clip);
  }
  if (m_bScrollEnabled && m_iScrollRange > 0) {
    RECT thumb = GetScrollThumbRect();
    bool hot = m_bScrollThumbHot || m_bScrollDragging;
    render.FillRoundRect(thumb, (thumb.right - thumb.left) / 2, hot ? m_dwScrollThumbHotColor : m_dwScrollThumbColor);
  }
  render.PopClip();
}

namespace {

// Clamps a size the layout computed to the child's minimum and maximum.
int ClampExtent(int value, int low, int high) { return std::max(low, std::min(value, high)); }

// A child's figures read along a layout's axis (main) and across it (cross).
struct Axis {
  bool vertical;

  int Main(SIZE size) const { return vertical ? size.cy : size.cx; }
  int Cross(SIZE size) const { return vertical ? size.cx : size.cy; }
  int MinMain(const CControlUI* c) const { return vertical ? c->GetMinHeight() : c->GetMinWidth(); }
  int MaxMain(const CControlUI* c) const { return vertical ? c->GetMaxHeight() : c->GetMaxWidth(); }
  int MinCross(const CControlUI* c) const { return vertical ? c->GetMinWidth() : c->GetMinHeight(); }
  int MaxCross(const CControlUI* c) const { return vertical ? c->GetMaxWidth() : c->GetMaxHeight(); }
  int MainBefore(RECT padding) const { return vertical ? padding.top : padding.left; }
  int MainAfter(RECT padding) const { return vertical ? padding.bottom : padding.right; }
  int CrossBefore(RECT padding) const { return vertical ? padding.left : padding.top; }
  int CrossAfter(RECT padding) const { return vertical ? padding.right : padding.bottom; }
  int MainStart(RECT area) const { return vertical ? area.top : area.left; }
  int CrossStart(RECT area) const { return vertical ? area.left : area.top; }
  RECT Place(int main, int cross, int mainSize, int crossSize) const {
    return vertical ? RECT{cross, main, cross + crossSize, main + mainSize}
                    : RECT{main, cross, main + mainSize, cross + crossSize};
  }
};

}  // namespace

int CContainerUI::LayOutChildren(bool vertical, RECT area, int offset) {
  const Axis axis{vertical};
  const SIZE available{area.right - area.left, area.bottom - area.top};

  // First pass: what the fixed children take, how many stretch.
  int fixedTotal = 0;
  int stretchCount = 0;
  int laidOut = 0;
  for (CControlUI* item : m_items) {
    if (!item->IsVisible() || item->IsFloat()) continue;
    const int wanted = axis.Main(item->EstimateSize(available));
    const RECT padding = item->GetPadding();
    if (wanted == 0) {
      ++stretchCount;
      fixedTotal += axis.MinMain(item);
    } else {
      fixedTotal += ClampExtent(wanted, axis.MinMain(item), axis.MaxMain(item));
    }
    fixedTotal += axis.MainBefore(padding) + axis.MainAfter(padding);
    ++laidOut;
  }
  if (laidOut > 1) fixedTotal += (laidOut - 1) * m_iChildPadding;
  int remaining = std::max(0, axis.Main(available) - fixedTotal);

  // Second pass: place them in order; the last stretching child takes what
  // division leaves over.
  const int start = axis.MainStart(area) - offset;
  int position = start;
  int stretchLeft = stretchCount;
  for (CControlUI* item : m_items) {
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(item);
      continue;
    }
    const SIZE wanted = item->EstimateSize(available);
    const RECT padding = item->GetPadding();
    int main;
    if (axis.Main(wanted) == 0) {
      int share = stretchLeft == 1 ? remaining : remaining / std::max(1, stretchLeft);
      main = ClampExtent(axis.MinMain(item) + share, axis.MinMain(item), axis.MaxMain(item));
      remaining -= main - axis.MinMain(item);
      --stretchLeft;
    } else {
      main = ClampExtent(axis.Main(wanted), axis.MinMain(item), axis.MaxMain(item));
    }
    const int cross = axis.Cross(wanted) == 0
                          ? axis.Cross(available) - axis.CrossBefore(padding) - axis.CrossAfter(padding)
                          : ClampExtent(axis.Cross(wanted), axis.MinCross(item), axis.MaxCross(item));
    position += axis.MainBefore(padding);
    item->SetPos(axis.Place(position, axis.CrossStart(area) + axis.CrossBefore(padding), main, cross));
    position += main + axis.MainAfter(padding) + m_iChildPadding;
  }
  return position - m_iChildPadding - start;
}

LPCTSTR CVerticalLayoutUI::GetClass() const { return "VerticalLayoutUI"; }

LPVOID CVerticalLayoutUI::GetInterface(LPCTSTR name) {
  if (CompareNoCase(name, "VerticalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc) {
  CControlUI::SetPos(rc);
  const int contentHeight = LayOutChildren(true, GetChildArea(), m_iScrollPos);
  const int previousPos = m_iScrollPos;
  UpdateScrollRange(std::max(0, contentHeight));
  if (m_iScrollPos > m_iScrollRange) {
    m_iScrollPos = m_iScrollRange;
    if (m_iScrollPos != previousPos) SetPos(m_rcItem);
  }
}

LPCTSTR CHorizontalLayoutUI::GetClass() const { return "HorizontalLayoutUI"; }

LPVOID CHorizontalLayoutUI::GetInterface(LPCTSTR name) {
  if (CompareNoCase(name, "HorizontalLayout") == 0) return this;
  return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
  CControlUI::SetPos(rc);
  LayOutChildren(false, GetChildArea(), 0);
}
