#include "windows/dialog_keys.h"

namespace windows {
namespace {

// True when the field exists and is empty; it then takes the focus.
bool FocusIfEmpty(CPaintManagerUI& manager, LPCTSTR name) {
  CControlUI* field = manager.FindControl(name);
  if (field == nullptr || !field->GetText().IsEmpty()) return false;
  field->SetFocus();
  return true;
}

}  // namespace

bool HandleDialogKey(CPaintManagerUI& manager, CWindowWnd& window, UINT uMsg, WPARAM wParam) {
  if (uMsg != WM_KEYDOWN) return false;
  if (wParam == VK_RETURN) {
    if (!FocusIfEmpty(manager, "accountedit") && !FocusIfEmpty(manager, "pwdedit")) window.Close(IDOK);
    return true;
  }
  if (wParam == VK_ESCAPE) {
    PostQuitMessage(0);
    return true;
  }
  return false;
}

}  // namespace windows
