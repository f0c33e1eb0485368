// CAboutDlg: the modal about window, opened from the tray menu and closed by
// its "closebtn".
#pragma once

#include "uihost/skin_window.h"

class CAboutDlg : public CWindowWnd, public INotifyUI, public IMessageFilterUI {
 public:
  CAboutDlg() = default;

  // Creates the window without a parent, centres it and runs it modally;
  // returns when it is gone. The object deletes itself with its window.
  // False (the object still the caller's) when the window cannot be made.
  bool ShowModal();
  CPaintManagerUI& PaintManager() { return m_pm; }

  LPCTSTR GetWindowClassName() const override { return "UIAbout"; }
  UINT GetClassStyle() const override { return uihost::kSkinWindowClassStyle; }
  void Notify(TNotifyUI& msg) override;
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  void OnFinalMessage(HWND hWnd) override;

 private:
  LRESULT OnCreate();

  CPaintManagerUI m_pm;
};
