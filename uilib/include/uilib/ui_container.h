// Containers: IContainerUI is the item interface; CContainerUI holds and
// owns child controls, with an inset, a gap between children and an
// optional vertical scroll bar; the two layouts place their children in a
// column or a row.
#pragma once

#include <vector>

#include "uilib/ui_control.h"

class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual int GetCount() const = 0;
  // The container owns what is added.
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  // Removing frees the item.
  virtual bool Remove(CControlUI* control) = 0;
  virtual bool RemoveAt(int index) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  RECT GetInset() const { return m_rcInset; }
  void SetInset(RECT rc);
  int GetChildPadding() const { return m_iChildPadding; }
  void SetChildPadding(int padding);

  // Vertical scrolling: the scroll bar appears when the children are taller
  // than the container.
  void EnableScrollBar(bool vertical = true);
  bool IsScrollEnabled() const { return m_bScrollEnabled; }
  SIZE GetScrollPos() const { return SIZE{0, m_iScrollPos}; }
  SIZE GetScrollRange() const { return SIZE{0, m_iScrollRange}; }
  void SetScrollPos(SIZE pos);
  void LineUp();
  void LineDown();
  void PageUp();
  void PageDown();
  // Scrolls so that `control` (a child) is fully visible.
  void EnsureVisible(CControlUI* control);

  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags) override;
  void SetPos(RECT rc) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void DoPaint(CRenderUI& render, const RECT& paintRect) override;

 protected:
  // Place of a floating child from its fixed offset and size.
  void SetFloatPos(CControlUI* child);
  // The client area left for the children: position minus inset and scroll bar.
  RECT GetChildArea() const;
  // After the children were placed with total height `contentHeight`.
  void UpdateScrollRange(int contentHeight);
  // Places the children one after another down (`vertical`) or across
  // `area`, the first `offset` pixels before its start: fixed children take
  // their size, stretching ones share what is left. Returns the extent the
  // children take along the axis.
  int LayOutChildren(bool vertical, RECT area, int offset);
  RECT GetScrollBarRect() const;
  RECT GetScrollThumbRect() const;

  std::vector<CControlUI*> m_items;
  RECT m_rcInset{0, 0, 0, 0};
  int m_iChildPadding = 0;
  bool m_bScrollEnabled = false;
  int m_iScrollPos = 0;
  int m_iScrollRange = 0;
  int m_iScrollBarWidth = 8;
  DWORD m_dwScrollThumbColor = 0x80808080;
  DWORD m_dwScrollThumbHotColor = 0xC0808080;
  bool m_bScrollThumbHot = false;
  bool m_bScrollDragging = false;
  int m_iScrollDragOffset = 0;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;
  void SetPos(RECT rc) override;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;
  void SetPos(RECT rc) override;
};
