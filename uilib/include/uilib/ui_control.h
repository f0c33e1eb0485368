// CControlUI: the base of every control. A control has a name, a text,
// user data, a place in its parent's layout (fixed size, float position,
// padding), a look (background colours, border, images) and reacts to the
// events its manager hands it.
#pragma once

#include "uilib/ui_manager.h"
#include "uilib/ui_render.h"
#include "uilib/ui_string.h"
#include "uilib/win_types.h"

// FindControl flags.
inline constexpr UINT UIFIND_ALL = 0x0000;
inline constexpr UINT UIFIND_VISIBLE = 0x0001;
inline constexpr UINT UIFIND_ENABLED = 0x0002;
inline constexpr UINT UIFIND_HITTEST = 0x0004;
inline constexpr UINT UIFIND_TOP_FIRST = 0x0008;
inline constexpr UINT UIFIND_ME_FIRST = 0x8000;

// Visits controls during FindControl; a non-null result ends the search.
using FINDCONTROLPROC = CControlUI* (*)(CControlUI* control, LPVOID data);

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual CStdString GetName() const { return m_sName; }
  virtual void SetName(LPCTSTR name) { m_sName = name; }
  // The class text, e.g. "ButtonUI", "SliderUI".
  virtual LPCTSTR GetClass() const;
  // The control as one of its interfaces ("Control", "Container", "ListItem", …), or null.
  virtual LPVOID GetInterface(LPCTSTR name);

  virtual CStdString GetText() const { return m_sText; }
  virtual void SetText(LPCTSTR text);
  CStdString GetUserData() const { return m_sUserData; }
  void SetUserData(LPCTSTR text) { m_sUserData = text; }
  UINT_PTR GetTag() const { return m_tag; }
  void SetTag(UINT_PTR tag) { m_tag = tag; }

  virtual bool IsVisible() const { return m_bVisible && m_bInternVisible; }
  virtual void SetVisible(bool visible = true);
  // Hidden because an ancestor is hidden.
  virtual void SetInternVisible(bool visible = true);
  virtual bool IsEnabled() const { return m_bEnabled; }
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const { return m_bMouseEnabled; }
  virtual void SetMouseEnabled(bool enabled = true) { m_bMouseEnabled = enabled; }
  virtual bool IsFocused() const { return m_bFocused; }
  virtual void SetFocus();
  bool IsFloat() const { return m_bFloat; }
  void SetFloat(bool isFloat = true);

  // Place and size. SetPos is the layout's decision; the fixed values are requests.
  virtual const RECT& GetPos() const { return m_rcItem; }
  virtual void SetPos(RECT rc);
  int GetWidth() const { return m_rcItem.right - m_rcItem.left; }
  int GetHeight() const { return m_rcItem.bottom - m_rcItem.top; }
  RECT GetPadding() const { return m_rcPadding; }
  void SetPadding(RECT rc);
  // Offset inside the parent for a floating control.
  SIZE GetFixedXY() const { return m_cXY; }
  void SetFixedXY(SIZE xy);
  int GetFixedWidth() const { return m_cxyFixed.cx; }
  void SetFixedWidth(int cx);
  int GetFixedHeight() const { return m_cxyFixed.cy; }
  void SetFixedHeight(int cy);
  int GetMinWidth() const { return m_cxyMin.cx; }
  void SetMinWidth(int cx);
  int GetMaxWidth() const { return m_cxyMax.cx; }
  void SetMaxWidth(int cx);
  int GetMinHeight() const { return m_cxyMin.cy; }
  void SetMinHeight(int cy);
  int GetMaxHeight() const { return m_cxyMax.cy; }
  void SetMaxHeight(int cy);
  // The size the control asks its layout for (0 in a direction = stretch).
  virtual SIZE EstimateSize(SIZE available);

  DWORD GetBkColor() const { return m_dwBackColor; }
  void SetBkColor(DWORD argb);
  DWORD GetBkColor2() const { return m_dwBackColor2; }
  void SetBkColor2(DWORD argb);
  DWORD GetBorderColor() const { return m_dwBorderColor; }
  void SetBorderColor(DWORD argb);
  int GetBorderSize() const { return m_nBorderSize; }
  void SetBorderSize(int size);
  int GetBorderRound() const { return m_nBorderRound; }
  void SetBorderRound(int radius);
  LPCTSTR GetBkImage() const { return m_sBkImage; }
  void SetBkImage(LPCTSTR descriptor);

  CControlUI* GetParent() const { return m_pParent; }
  CPaintManagerUI* GetManager() const { return m_pManager; }
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* FindControl(FINDCONTROLPROC proc, LPVOID data, UINT flags);

  void Invalidate();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  void NeedUpdate();
  void NeedParentUpdate();

  virtual void Init();
  virtual void DoInit() {}

  // Events go to DoEvent; a control that does not take the mouse hands
  // mouse events to its parent.
  void Event(TEventUI& event);
  virtual void DoEvent(TEventUI& event);
  // The control's action (a button's click); false when it is disabled.
  virtual bool Activate();

  // Applies one attribute; an unknown name is ignored.
  virtual void SetAttribute(LPCTSTR name, LPCTSTR value);
  // Applies `name="value" name="value" …`; returns this control.
  CControlUI* ApplyAttributeList(LPCTSTR list);

  virtual void DoPaint(CRenderUI& render, const RECT& paintRect);
  virtual void PaintBkColor(CRenderUI& render);
  virtual void PaintBkImage(CRenderUI& render);
  virtual void PaintStatusImage(CRenderUI& render) {}
  virtual void PaintText(CRenderUI& render) {}
  virtual void PaintBorder(CRenderUI& render);

 protected:
  CPaintManagerUI* m_pManager = nullptr;
  CControlUI* m_pParent = nullptr;
  CStdString m_sName;
  CStdString m_sText;
  CStdString m_sUserData;
  UINT_PTR m_tag = 0;
  bool m_bUpdateNeeded = true;
  bool m_bVisible = true;
  bool m_bInternVisible = true;
  bool m_bEnabled = true;
  bool m_bMouseEnabled = true;
  bool m_bFocused = false;
  bool m_bFloat = false;
  RECT m_rcItem{0, 0, 0, 0};
  RECT m_rcPadding{0, 0, 0, 0};
  SIZE m_cXY{0, 0};
  SIZE m_cxyFixed{0, 0};
  SIZE m_cxyMin{0, 0};
  SIZE m_cxyMax{9999, 9999};
  DWORD m_dwBackColor = 0;
  DWORD m_dwBackColor2 = 0;
  DWORD m_dwBorderColor = 0;
  int m_nBorderSize = 0;
  int m_nBorderRound = 0;
  CStdString m_sBkImage;
};
