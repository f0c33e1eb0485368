#include <algorithm>

#include "attributes.h"
#include "uilib/ui_list.h"

namespace {

bool Is(LPCTSTR name, LPCTSTR candidate) { return CompareNoCase(name, candidate) == 0; }

IListItemUI* AsListItem(CControlUI* control) {
  return control ? static_cast<IListItemUI*>(control->GetInterface("ListItem")) : nullptr;
}

}  // namespace

// --- CListUI ----------------------------------------------------------------

LPCTSTR CListUI::GetClass() const { return "ListUI"; }

LPVOID CListUI::GetInterface(LPCTSTR name) {
  if (Is(name, "List")) return this;
  return CVerticalLayoutUI::GetInterface(name);
}

bool CListUI::SelectItem(int index, bool takeFocus) {
  if (index < 0) index = -1;
  if (index == m_iCurSel) return true;
  if (index >= GetCount()) return false;
  auto mark = [](CControlUI* item, bool selected) {
    if (!item) return;
    if (auto* element = static_cast<CListContainerElementUI*>(item->GetInterface("ListContainerElement"))) {
      element->m_bSelected = selected;
    }
    item->Invalidate();
  };
  mark(GetItemAt(m_iCurSel), false);
  m_iCurSel = index;
  if (CControlUI* item = GetItemAt(m_iCurSel)) {
    mark(item, true);
    EnsureVisible(item);
    if (takeFocus) item->SetFocus();
  }
  if (m_pManager) m_pManager->SendNotify(this, "itemselect", static_cast<WPARAM>(m_iCurSel));
  return true;
}

bool CListUI::Add(CControlUI* control) { return AddAt(control, GetCount()); }

bool CListUI::AddAt(CControlUI* control, int index) {
  if (!CVerticalLayoutUI::AddAt(control, index)) return false;
  if (IListItemUI* item = AsListItem(control)) item->SetOwner(this);
  if (m_iCurSel >= index) ++m_iCurSel;
  Renumber(index);
  return true;
}

bool CListUI::Remove(CControlUI* control) { return RemoveAt(GetItemIndex(control)); }

bool CListUI::RemoveAt(int index) {
  if (!CVerticalLayoutUI::RemoveAt(index)) return false;
  if (m_iCurSel == index) m_iCurSel = -1;
  else if (m_iCurSel > index) --m_iCurSel;
  Renumber(index);
  return true;
}

void CListUI::RemoveAll() {
  m_iCurSel = -1;
  CVerticalLayoutUI::RemoveAll();
}

void CListUI::Renumber(int from) {
  for (int i = std::max(0, from); i < GetCount(); ++i) {
    if (IListItemUI* item = AsListItem(GetItemAt(i))) item->SetIndex(i);
  }
}

void CListUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_KEYDOWN && GetCount() > 0) {
    switch (event.wParam) {
      case VK_UP:
        SelectItem(std::max(0, m_iCurSel - 1), true);
        return;
      case VK_DOWN:
        SelectItem(std::min(GetCount() - 1, m_iCurSel + 1), true);
        return;
      case VK_HOME:
        SelectItem(0, true);
        return;
      case VK_END:
        SelectItem(GetCount() - 1, true);
        return;
      default:
        break;
    }
  }
  CVerticalLayoutUI::DoEvent(event);
}

void CListUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
  using namespace uilib;
  if (Is(name, "itemhotbkcolor")) {
    m_dwItemHotBkColor = ParseColor(value);
  } else if (Is(name, "itemselectedbkcolor")) {
    m_dwItemSelectedBkColor = ParseColor(value);
  } else if (Is(name, "itemselectedbordercolor")) {
    m_dwItemSelectedBorderColor = ParseColor(value);
  } else {
    CVerticalLayoutUI::SetAttribute(name, value);
  }
}

// --- CListContainerElementUI ------------------------------------------------

LPCTSTR CListContainerElementUI::GetClass() const { return "ListContainerElementUI"; }

LPVOID CListContainerElementUI::GetInterface(LPCTSTR name) {
  if (Is(name, "ListItem")) return static_cast<IListItemUI*>(this);
  if (Is(name, "ListContainerElement")) return this;
  return CHorizontalLayoutUI::GetInterface(name);
}

bool CListContainerElementUI::Select(bool select) {
  if (!m_pOwner) {
    if (m_bSelected == select) return true;
    m_bSelected = select;
    Invalidate();
    return true;
  }
  if (select) return m_pOwner->SelectItem(m_iIndex);
  if (m_bSelected) return m_pOwner->SelectItem(-1);
  return true;
}

bool CListContainerElementUI::Activate() {
  if (!CControlUI::Activate()) return false;
  if (m_pManager) m_pManager->SendNotify(this, "itemactivate");
  return true;
}

void CListContainerElementUI::SetVisible(bool visible) {
  CHorizontalLayoutUI::SetVisible(visible);
  if (!IsVisible() && m_bSelected && m_pOwner) m_pOwner->SelectItem(-1);
}

void CListContainerElementUI::DoEvent(TEventUI& event) {
  switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_RBUTTONDOWN:
      if (IsEnabled()) Select();
      return;
    case UIEVENT_DBLCLICK:
      if (IsEnabled()) {
        Select();
        Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      if (!m_bHot) {
        m_bHot = true;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSELEAVE:
      if (m_bHot) {
        m_bHot = false;
        Invalidate();
      }
      return;
    case UIEVENT_KEYDOWN:
      if (event.wParam == VK_RETURN && IsEnabled()) {
        Activate();
        return;
      }
      break;
    case UIEVENT_BUTTONUP:
    case UIEVENT_MOUSEMOVE:
      return;
    default:
      break;
  }
  // The list (and the scrolling area around it) takes the rest: keys, wheel.
  if (m_pOwner && (event.Type == UIEVENT_KEYDOWN || event.Type == UIEVENT_SCROLLWHEEL)) {
    m_pOwner->DoEvent(event);
    return;
  }
  CHorizontalLayoutUI::DoEvent(event);
}

void CListContainerElementUI::PaintBkColor(CRenderUI& render) {
  CHorizontalLayoutUI::PaintBkColor(render);
  if (!m_pOwner) return;
  DWORD overlay = 0;
  if (m_bSelected) overlay = m_pOwner->GetItemSelectedBkColor();
  else if (m_bHot) overlay = m_pOwner->GetItemHotBkColor();
  if (overlay != 0) render.FillRect(m_rcItem, overlay);
  if (m_bSelected && m_pOwner->GetItemSelectedBorderColor() != 0) {
    render.FillRect(RECT{m_rcItem.left, m_rcItem.top, m_rcItem.left + 3, m_rcItem.bottom},
                    m_pOwner->GetItemSelectedBorderColor());
  }
}
