#include "windows/menu_wnd.h"

#include "windows/dialog_keys.h"

bool CMenuWnd::ShowMenu(CPaintManagerUI* owner, int x, int y, LPCTSTR layoutName) {
  if (owner == nullptr) return false;
  m_point = POINT{x, y};
  m_pOwner = owner;
  m_layoutName = layoutName;
  if (Create(owner->GetPaintWindow(), "", WS_POPUP, WS_EX_TOOLWINDOW) == nullptr) return false;
  // The toolkit gives a window its default place after WM_CREATE; the menu's
  // own place is set again over it.
  AdjustPosition();
  ShowWindow(true);
  // The owner's frame keeps its active look while the menu has the focus.
  HWND topLevel = owner->GetPaintWindow();
  for (HWND parent = GetParent(topLevel); parent != nullptr; parent = GetParent(parent)) topLevel = parent;
  ::SendMessage(topLevel, WM_NCACTIVATE, TRUE, 0);
  SetForegroundWindow(m_hWnd);
  return true;
}

LRESULT CMenuWnd::OnCreate() {
  uihost::AttachLayout(m_pm, m_hWnd, m_layoutName, false, this, this);
  AdjustPosition();
  return 0;
}

void CMenuWnd::AdjustPosition() {
  RECT rc{};
  GetWindowRect(m_hWnd, &rc);
  const int width = rc.right - rc.left;
  const int height = rc.bottom - rc.top;
  const int left = m_point.x + width <= GetSystemMetrics(SM_CXSCREEN) ? m_point.x : m_point.x - width;
  const int top = m_point.y + height <= GetSystemMetrics(SM_CYSCREEN) ? m_point.y : m_point.y - height;
  SetWindowPos(m_hWnd, HWND_TOPMOST, left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CMenuWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  bool handled = true;
  switch (uMsg) {
    case WM_CREATE:
      result = OnCreate();
      break;
    case WM_KILLFOCUS:
      if (reinterpret_cast<HWND>(wParam) != m_hWnd) PostMessage(WM_CLOSE);
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

void CMenuWnd::Notify(TNotifyUI& msg) {
  if (msg.sType != "click") return;
  // Hidden, the menu loses the focus and closes itself; the close asked here
  // as well covers a focus that was elsewhere already.
  ShowWindow(false);
  Close();
  if (m_pOwner == nullptr || msg.pSender == nullptr) return;
  const CStdString sender = msg.pSender->GetName();
  WPARAM command = 0;
  if (sender.CompareNoCase("menu_exit") == 0) {
    command = windows::kMenuCommandExit;
  } else if (sender.CompareNoCase("menu_about") == 0) {
    command = windows::kMenuCommandAbout;
  } else {
    return;
  }
  m_pOwner->SendNotify(nullptr, "click", command, 0, true);
}

LRESULT CMenuWnd::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  bHandled = windows::HandleDialogKey(m_pm, *this, uMsg, wParam);
  return 0;
}

void CMenuWnd::OnFinalMessage(HWND hWnd) {
  m_pm.RemovePreMessageFilter(this);
  m_pm.RemoveNotifier(this);
  delete this;
}
