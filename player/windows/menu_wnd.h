// CMenuWnd: the tray icon's popup menu. It opens next to the cursor without
// leaving the screen, closes as soon as it loses the focus, and hands the
// chosen command to its owner as a "click" notification without sender.
#pragma once

#include "uihost/skin_window.h"

namespace windows {

// wParam of the "click" the menu sends its owner.
inline constexpr WPARAM kMenuCommandExit = 5001;
inline constexpr WPARAM kMenuCommandAbout = 5002;

}  // namespace windows

class CMenuWnd : public CWindowWnd, public INotifyUI, public IMessageFilterUI {
 public:
  CMenuWnd() = default;

  // Opens the menu built from `layoutName` at the screen point x, y for the
  // window of `owner`. False (nothing shown, the object still the caller's)
  // without an owner or when the window cannot be made; once it is shown the
  // menu deletes itself when its window is gone.
  bool ShowMenu(CPaintManagerUI* owner, int x, int y, LPCTSTR layoutName);
  CPaintManagerUI& PaintManager() { return m_pm; }

  LPCTSTR GetWindowClassName() const override { return "UIMenuFrame"; }
  UINT GetClassStyle() const override { return uihost::kSkinWindowClassStyle; }
  void Notify(TNotifyUI& msg) override;
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  LRESULT OnCreate();
  // Places the menu at the point, or left of / above it where it would
  // leave the screen; topmost, without taking the activation.
  void AdjustPosition();

  CPaintManagerUI m_pm;
  POINT m_point{0, 0};
  CPaintManagerUI* m_pOwner = nullptr;
  CStdString m_layoutName;
};
