// Lists: CListUI is a column of rows with one selected row; each row is an
// IListItemUI. CListContainerElementUI is a row that holds any controls.
// A click selects a row, a double-click sends "itemactivate" for it, and the
// mouse wheel scrolls the list (or the scrolling container around it).
#pragma once

#include "uilib/ui_container.h"

class CListUI;

class IListItemUI {
 public:
  virtual int GetIndex() const = 0;
  virtual void SetIndex(int index) = 0;
  virtual CListUI* GetOwner() = 0;
  virtual void SetOwner(CListUI* owner) = 0;
  virtual bool IsSelected() const = 0;
  // Makes this row the list's selected row (or clears it).
  virtual bool Select(bool select = true) = 0;

 protected:
  ~IListItemUI() = default;
};

class CListUI : public CVerticalLayoutUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  // Index of the selected row; negative when none is.
  int GetCurSel() const { return m_iCurSel; }
  // Selects row `index` (negative clears); sends "itemselect" when it changes.
  bool SelectItem(int index, bool takeFocus = false);

  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control) override;
  bool RemoveAt(int index) override;
  void RemoveAll() override;

  DWORD GetItemHotBkColor() const { return m_dwItemHotBkColor; }
  DWORD GetItemSelectedBkColor() const { return m_dwItemSelectedBkColor; }
  DWORD GetItemSelectedBorderColor() const { return m_dwItemSelectedBorderColor; }

  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR name, LPCTSTR value) override;

 private:
  void Renumber(int from);

  int m_iCurSel = -1;
  DWORD m_dwItemHotBkColor = 0;
  DWORD m_dwItemSelectedBkColor = 0;
  DWORD m_dwItemSelectedBorderColor = 0;
};

class CListContainerElementUI : public CHorizontalLayoutUI, public IListItemUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  int GetIndex() const override { return m_iIndex; }
  void SetIndex(int index) override { m_iIndex = index; }
  CListUI* GetOwner() override { return m_pOwner; }
  void SetOwner(CListUI* owner) override { m_pOwner = owner; }
  bool IsSelected() const override { return m_bSelected; }
  bool Select(bool select = true) override;
  // Sends "itemactivate" for this row.
  bool Activate() override;

  bool IsHot() const { return m_bHot; }
  void SetVisible(bool visible = true) override;
  void DoEvent(TEventUI& event) override;
  void PaintBkColor(CRenderUI& render) override;

 private:
  friend class CListUI;
  int m_iIndex = -1;
  CListUI* m_pOwner = nullptr;
  bool m_bSelected = false;
  bool m_bHot = false;
};
