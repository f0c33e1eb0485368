// The simple controls: labels, buttons, options (check boxes and tab
// groups), progress bars and sliders.
#pragma once

#include "uilib/ui_control.h"

// Button-like state flags.
inline constexpr UINT UISTATE_HOT = 0x01;
inline constexpr UINT UISTATE_PUSHED = 0x02;
inline constexpr UINT UISTATE_CAPTURED = 0x04;

class CLabelUI : public CControlUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  // DT_* flags; the default is left, vertically centred, one line, ellipsis.
  UINT GetTextStyle() const { return m_uTextStyle; }
  void SetTextStyle(UINT style);
  DWORD GetTextColor() const { return m_dwTextColor; }
  void SetTextColor(DWORD argb);
  DWORD GetDisabledTextColor() const { return m_dwDisabledTextColor; }
  void SetDisabledTextColor(DWORD argb);
  int GetFont() const { return m_iFont; }
  void SetFont(int index);
  RECT GetTextPadding() const { return m_rcTextPadding; }
  void SetTextPadding(RECT rc);

  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void PaintText(CRenderUI& render) override;

 protected:
  // Draws the text in the given colour inside the text area.
  void DrawTextIn(CRenderUI& render, DWORD argb);

  UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;
  DWORD m_dwTextColor = 0;
  DWORD m_dwDisabledTextColor = 0;
  int m_iFont = -1;
  RECT m_rcTextPadding{0, 0, 0, 0};
};

// Sends "click" when the left button is released over it after being
// pressed on it.
class CButtonUI : public CLabelUI {
 public:
  CButtonUI();
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void DoEvent(TEventUI& event) override;
  UINT GetButtonState() const { return m_uButtonState; }

  void SetNormalImage(LPCTSTR descriptor);
  void SetHotImage(LPCTSTR descriptor);
  void SetPushedImage(LPCTSTR descriptor);
  void SetFocusedImage(LPCTSTR descriptor);
  void SetDisabledImage(LPCTSTR descriptor);
  void SetHotTextColor(DWORD argb);
  void SetPushedTextColor(DWORD argb);
  void SetHotBkColor(DWORD argb);
  void SetPushedBkColor(DWORD argb);

  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void PaintBkColor(CRenderUI& render) override;
  void PaintStatusImage(CRenderUI& render) override;
  void PaintText(CRenderUI& render) override;

 protected:
  UINT m_uButtonState = 0;
  CStdString m_sNormalImage;
  CStdString m_sHotImage;
  CStdString m_sPushedImage;
  CStdString m_sFocusedImage;
  CStdString m_sDisabledImage;
  DWORD m_dwHotTextColor = 0;
  DWORD m_dwPushedTextColor = 0;
  DWORD m_dwHotBkColor = 0;
  DWORD m_dwPushedBkColor = 0;
};

// An option: a click selects it. Options of one group (per manager) keep
// exactly one selected once one has been; without a group a click toggles.
class COptionUI : public CButtonUI {
 public:
  ~COptionUI() override;
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  bool Activate() override;

  LPCTSTR GetGroup() const { return m_sGroupName; }
  void SetGroup(LPCTSTR groupName);
  bool IsSelected() const { return m_bSelected; }
  // Selecting a grouped option clears the others of its group. A change of
  // state sends "selectchanged" for this option synchronously (once attached
  // to a manager); the options cleared by it send nothing.
  virtual void Selected(bool selected);

  void SetSelectedImage(LPCTSTR descriptor);
  void SetSelectedHotImage(LPCTSTR descriptor);
  void SetSelectedTextColor(DWORD argb);
  void SetSelectedBkColor(DWORD argb);

  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void PaintBkColor(CRenderUI& render) override;
  void PaintStatusImage(CRenderUI& render) override;
  void PaintText(CRenderUI& render) override;

 protected:
  void SetSelectedState(bool selected);

  bool m_bSelected = false;
  CStdString m_sGroupName;
  CStdString m_sSelectedImage;
  CStdString m_sSelectedHotImage;
  DWORD m_dwSelectedTextColor = 0;
  DWORD m_dwSelectedBkColor = 0;
};

// A horizontal bar from min to max with the value as the filled part and a
// second marker (the mid value, e.g. what has been downloaded) behind it.
class CProgressUI : public CLabelUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  int GetMinValue() const { return m_nMin; }
  void SetMinValue(int value);
  int GetMaxValue() const { return m_nMax; }
  void SetMaxValue(int value);
  int GetValue() const { return m_nValue; }
  // Kept inside min..max.
  void SetValue(int value);
  int GetMidValue() const { return m_nMidValue; }
  void SetMidValue(int value);

  void SetForeImage(LPCTSTR descriptor);
  void SetMidImage(LPCTSTR descriptor);

  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void PaintStatusImage(CRenderUI& render) override;

 protected:
  // The bar's track: the control minus its vertical margins.
  virtual RECT GetTrackRect() const;
  // The x where `value` lies on the track.
  int ValueToX(int value) const;

  int m_nMin = 0;
  int m_nMax = 100;
  int m_nValue = 0;
  int m_nMidValue = 0;
  int m_nTrackHeight = 0;
  DWORD m_dwForeColor = 0;
  DWORD m_dwMidColor = 0;
  DWORD m_dwTrackColor = 0;
  CStdString m_sForeImage;
  CStdString m_sMidImage;
};

// A progress bar the user drags: "valuechanging" while the thumb is
// dragged, "valuechanged" when it is released or the track is clicked.
class CSliderUI : public CProgressUI {
 public:
  LPCTSTR GetClass() const override;
  LPVOID GetInterface(LPCTSTR name) override;

  // True only while the user holds the thumb.
  bool IsSliding() const { return m_bSliding; }
  int GetChangeStep() const { return m_nStep; }
  void SetChangeStep(int step) { m_nStep = step; }
  SIZE GetThumbSize() const { return m_szThumb; }
  void SetThumbSize(SIZE size);
  RECT GetThumbRect() const;
  void SetThumbImage(LPCTSTR descriptor);
  void SetThumbHotImage(LPCTSTR descriptor);
  void SetThumbPushedImage(LPCTSTR descriptor);

  void SetEnabled(bool enabled = true) override;
  void DoEvent(TEventUI& event) override;
  void SetAttribute(LPCTSTR name, LPCTSTR value) override;
  void PaintStatusImage(CRenderUI& render) override;

 protected:
  RECT GetTrackRect() const override;
  int XToValue(int x) const;

  bool m_bSliding = false;
  UINT m_uButtonState = 0;
  int m_nStep = 1;
  SIZE m_szThumb{12, 12};
  CStdString m_sThumbImage;
  CStdString m_sThumbHotImage;
  CStdString m_sThumbPushedImage;
  DWORD m_dwThumbColor = 0;
};
