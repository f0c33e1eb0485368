#include "windows/about_dlg.h"

#include "windows/dialog_keys.h"

bool CAboutDlg::ShowModal() {
  constexpr DWORD kStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
  if (Create(nullptr, "", kStyle, 0) == nullptr) return false;
  CenterWindow();
  DoModal();
  return true;
}

LRESULT CAboutDlg::OnCreate() {
  uihost::AttachLayout(m_pm, m_hWnd, "aboutDlg.xml", true, this, this);
  return 0;
}

LRESULT CAboutDlg::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  bool handled = true;
  switch (uMsg) {
    case WM_CREATE:
      result = OnCreate();
      break;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) PostQuitMessage(0);
      handled = false;
      break;
    default:
      handled = uihost::HandleFrameMessage(m_pm, m_hWnd, uMsg, wParam, lParam,
                                           uihost::CaptionControls::kButtons, &result);
  }
  if (handled) return result;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
  return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CAboutDlg::Notify(TNotifyUI& msg) {
  if (msg.sType == "click" && msg.pSender != nullptr && msg.pSender->GetName() == "closebtn") Close(IDCANCEL);
}

LRESULT CAboutDlg::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bHandled = windows::HandleDialogKey(m_pm, *this, uMsg, wParam);
  return 0;
}

void CAboutDlg::OnFinalMessage(HWND hWnd) {
  m_pm.RemovePreMessageFilter(this);
  m_pm.RemoveNotifier(this);
  delete this;
}
