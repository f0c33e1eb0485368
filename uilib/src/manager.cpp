#include <algorithm>

#include "backend.h"
#include "platform/paths.h"
#include "platform/sync.h"
#include "uilib/ui_control.h"
#include "uilib/win_api.h"

namespace {

struct SharedState {
  HINSTANCE instance = nullptr;
  CStdString resourcePath;
  CStdString resourceZip;
  bool cachedZip = false;
};

SharedState& Shared() {
  static SharedState state;
  return state;
}

CControlUI* FindByName(CControlUI* control, LPVOID data) {
  return control->GetName().CompareNoCase(static_cast<LPCTSTR>(data)) == 0 ? control : nullptr;
}

CControlUI* TakeFirst(CControlUI* control, LPVOID) { return control; }

CStdString Lowered(LPCTSTR text) {
  CStdString lowered(text);
  lowered.MakeLower();
  return lowered;
}

DWORD Now() { return static_cast<DWORD>(platform::MonotonicMs()); }

}  // namespace

CPaintManagerUI::CPaintManagerUI() {
  m_defaultFont.faceName = "sans-serif";
  m_defaultFont.size = 13;
}

CPaintManagerUI::~CPaintManagerUI() {
  m_bDying = true;
  delete m_pRoot;
  m_pRoot = nullptr;
  if (m_hWndPaint) uilib::backend::DetachManager(m_hWndPaint, this);
}

// --- Shared ------------------------------------------------------------------

void CPaintManagerUI::SetInstance(HINSTANCE instance) { Shared().instance = instance; }

HINSTANCE CPaintManagerUI::GetInstance() { return Shared().instance; }

CStdString CPaintManagerUI::GetInstancePath() { return CStdString(platform::ProgramFolder()); }

void CPaintManagerUI::SetResourcePath(LPCTSTR path) {
  CStdString folder(path);
  if (!folder.IsEmpty() && folder[folder.GetLength() - 1] != '/' && folder[folder.GetLength() - 1] != '\\') {
    folder += platform::kPathSeparator;
  }
  // Layout code written for Windows ends folders with a backslash.
  if (platform::kPathSeparator == '/') folder.Replace("\\", "/");
  Shared().resourcePath = folder;
}

const CStdString& CPaintManagerUI::GetResourcePath() { return Shared().resourcePath; }

void CPaintManagerUI::SetResourceZip(LPCTSTR zipName, bool cached) {
  Shared().resourceZip = zipName;
  Shared().cachedZip = cached;
}

const CStdString& CPaintManagerUI::GetResourceZip() { return Shared().resourceZip; }

bool CPaintManagerUI::LoadResource(LPCTSTR name, std::string* bytes) {
  const SharedState& shared = Shared();
  return uilib::backend::ReadSkinResource(shared.resourcePath.str(), shared.resourceZip.str(), shared.cachedZip,
                                          name ? name : "", bytes);
}

int CPaintManagerUI::MessageLoop() { return uilib::backend::RunMessageLoop(); }

bool CPaintManagerUI::PumpMessages() { return uilib::backend::PumpMessages(); }

// --- Tree --------------------------------------------------------------------

void CPaintManagerUI::Init(HWND hWnd) {
  if (m_hWndPaint == hWnd) return;
  if (m_hWndPaint) uilib::backend::DetachManager(m_hWndPaint, this);
  m_hWndPaint = hWnd;
  if (hWnd) uilib::backend::AttachManager(hWnd, this);
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
  if (!root) return false;
  if (m_pRoot && m_pRoot != root) {
    CControlUI* old = m_pRoot;
    m_pRoot = nullptr;
    delete old;
  }
  m_pEventHover = nullptr;
  m_pEventClick = nullptr;
  m_pFocus = nullptr;
  m_pRoot = root;
  m_bFirstLayout = true;
  InitControls(root, nullptr);
  NeedUpdate();
  Invalidate();
  return true;
}

bool CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
  if (!control) return false;
  control->SetManager(this, parent ? parent : control->GetParent(), true);
  return true;
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
  if (m_bDying) return;
  if (m_pEventHover == control) m_pEventHover = nullptr;
  if (m_pEventClick == control) {
    m_pEventClick = nullptr;
    uilib::backend::ReleaseCapture();
  }
  if (m_pFocus == control) m_pFocus = nullptr;
  // A notification must never reach its notifiers after its sender is gone.
  std::erase_if(m_asyncNotify, [control](const TNotifyUI& msg) { return msg.pSender == control; });
}

namespace {

// Adds `item` once; false for null or an item already there.
template <class T>
bool AddOnce(std::vector<T*>& items, T* item) {
  if (!item || std::find(items.begin(), items.end(), item) != items.end()) return false;
  items.push_back(item);
  return true;
}

// Removes `item`; false when it was not there.
template <class T>
bool RemoveOne(std::vector<T*>& items, T* item) {
  auto it = std::find(items.begin(), items.end(), item);
  if (it == items.end()) return false;
  items.erase(it);
  return true;
}

}  // namespace

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) { return AddOnce(m_notifiers, notifier); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) { return RemoveOne(m_notifiers, notifier); }

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) { return AddOnce(m_preMessageFilters, filter); }

bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) { return RemoveOne(m_preMessageFilters, filter); }

CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
  if (!m_pRoot || !name) return nullptr;
  return m_pRoot->FindControl(FindByName, const_cast<char*>(name), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) {
  return FindSubControlByPoint(m_pRoot, pt);
}

CControlUI* CPaintManagerUI::FindSubControlByName(CControlUI* parent, LPCTSTR name) const {
  if (!parent || !name) return nullptr;
  return parent->FindControl(FindByName, const_cast<char*>(name), UIFIND_ALL);
}

CControlUI* CPaintManagerUI::FindSubControlByPoint(CControlUI* parent, POINT pt) {
  if (!parent) return nullptr;
  UpdateLayout();
  return parent->FindControl(TakeFirst, &pt, UIFIND_VISIBLE | UIFIND_HITTEST | UIFIND_TOP_FIRST);
}

// --- Notifications -------------------------------------------------------------

void CPaintManagerUI::SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam, LPARAM lParam, bool async) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = control;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg, async);
}

void CPaintManagerUI::SendNotify(TNotifyUI& msg, bool async) {
  msg.ptMouse = m_ptLastMousePos;
  msg.dwTimestamp = Now();
  if (async) {
    m_asyncNotify.push_back(msg);
    if (!m_bAsyncPosted && m_hWndPaint) {
      m_bAsyncPosted = ::PostMessage(m_hWndPaint, uilib::backend::kMsgAsyncNotify, 0, 0) != FALSE;
    }
    return;
  }
  // A notifier may remove itself (or others) while being told.
  std::vector<INotifyUI*> notifiers = m_notifiers;
  for (INotifyUI* notifier : notifiers) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end()) notifier->Notify(msg);
  }
}

void CPaintManagerUI::DeliverAsyncNotifications() {
  m_bAsyncPosted = false;
  while (!m_asyncNotify.empty()) {
    TNotifyUI msg = m_asyncNotify.front();
    m_asyncNotify.pop_front();
    std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* notifier : notifiers) {
      if (std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end()) notifier->Notify(msg);
    }
  }
}

// --- Messages ----------------------------------------------------------------

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  std::vector<IMessageFilterUI*> filters = m_preMessageFilters;
  for (IMessageFilterUI* filter : filters) {
    if (std::find(m_preMessageFilters.begin(), m_preMessageFilters.end(), filter) == m_preMessageFilters.end()) {
      continue;
    }
    bool handled = false;
    LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = result;
      return true;
    }
  }
  return false;
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  lRes = 0;
  if (!m_hWndPaint) return false;
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (uMsg) {
    case uilib::backend::kMsgAsyncNotify:
      DeliverAsyncNotifications();
      return true;
    case WM_PAINT: {
      // Layout first: what it moves joins the area to repaint.
      UpdateLayout();
      RECT area;
      if (!uilib::backend::TakeDirtyArea(m_hWndPaint, &area)) return true;
      if (CRenderUI* render = uilib::backend::BeginPaint(m_hWndPaint, area)) {
        Paint(*render, area);
        uilib::backend::EndPaint(m_hWndPaint);
      }
      return true;
    }
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        NeedUpdate();
        Invalidate();
      }
      return false;
    case WM_MOUSEMOVE:
      HandleMouseMove(pt, wParam);
      return false;
    case WM_MOUSELEAVE:
      HandleMouseLeave();
      return false;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      HandleButton(uMsg, pt, wParam);
      return false;
    case WM_MOUSEWHEEL:
      HandleWheel(wParam, lParam);
      return false;
    case WM_KEYDOWN:
      HandleKey(wParam, lParam);
      return false;
    case WM_KILLFOCUS:
      if (CControlUI* held = m_pEventClick) {
        m_pEventClick = nullptr;
        uilib::backend::ReleaseCapture();
        TEventUI event;
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = held;
        event.dwTimestamp = Now();
        event.ptMouse = m_ptLastMousePos;
        held->Event(event);
      }
      return false;
    default:
      return false;
  }
}

void CPaintManagerUI::SetHover(CControlUI* control, POINT pt) {
  if (control == m_pEventHover) return;
  TEventUI event;
  event.dwTimestamp = Now();
  event.ptMouse = pt;
  if (CControlUI* old = m_pEventHover) {
    m_pEventHover = nullptr;
    event.Type = UIEVENT_MOUSELEAVE;
    event.pSender = old;
    old->Event(event);
  }
  m_pEventHover = control;
  if (control) {
    event.Type = UIEVENT_MOUSEENTER;
    event.pSender = control;
    control->Event(event);
  }
}

void CPaintManagerUI::HandleMouseMove(POINT pt, WPARAM keys) {
  m_ptLastMousePos = pt;
  TEventUI event;
  event.Type = UIEVENT_MOUSEMOVE;
  event.dwTimestamp = Now();
  event.ptMouse = pt;
  event.wKeyState = static_cast<WORD>(keys);
  if (CControlUI* held = m_pEventClick) {
    event.pSender = held;
    held->Event(event);
    return;
  }
  CControlUI* control = FindControl(pt);
  SetHover(control, pt);
  if (control && control == m_pEventHover) {
    event.pSender = control;
    control->Event(event);
  }
}

void CPaintManagerUI::HandleMouseLeave() {
  if (m_pEventClick) return;
  SetHover(nullptr, m_ptLastMousePos);
}

void CPaintManagerUI::HandleButton(UINT uMsg, POINT pt, WPARAM keys) {
  m_ptLastMousePos = pt;
  TEventUI event;
  event.dwTimestamp = Now();
  event.ptMouse = pt;
  event.wKeyState = static_cast<WORD>(keys);
  switch (uMsg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      CControlUI* control = FindControl(pt);
      if (!control) return;
      SetHover(control, pt);
      m_pEventClick = control;
      uilib::backend::SetCapture(m_hWndPaint);
      control->SetFocus();
      if (m_pEventClick != control) return;
      event.Type = uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK;
      event.pSender = control;
      control->Event(event);
      return;
    }
    case WM_LBUTTONUP: {
      CControlUI* held = m_pEventClick;
      if (!held) return;
      m_pEventClick = nullptr;
      uilib::backend::ReleaseCapture();
      event.Type = UIEVENT_BUTTONUP;
      event.pSender = held;
      held->Event(event);
      // The control under the mouse may have changed while it was held.
      CControlUI* under = FindControl(pt);
      SetHover(under, pt);
      return;
    }
    case WM_RBUTTONDOWN: {
      CControlUI* control = FindControl(pt);
      if (!control) return;
      control->SetFocus();
      event.Type = UIEVENT_RBUTTONDOWN;
      event.pSender = control;
      control->Event(event);
      return;
    }
    case WM_RBUTTONUP: {
      CControlUI* control = FindControl(pt);
      if (!control) return;
      event.Type = UIEVENT_CONTEXTMENU;
      event.pSender = control;
      control->Event(event);
      SendNotify(control, "menu", 0, MAKELPARAM(pt.x, pt.y));
      return;
    }
    default:
      return;
  }
}

void CPaintManagerUI::HandleWheel(WPARAM wParam, LPARAM lParam) {
  POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(m_hWndPaint, &pt);
  CControlUI* control = FindControl(pt);
  if (!control) return;
  TEventUI event;
  event.Type = UIEVENT_SCROLLWHEEL;
  event.pSender = control;
  event.dwTimestamp = Now();
  event.ptMouse = pt;
  event.wParam = wParam;
  event.lParam = lParam;
  control->Event(event);
  // The content moved under the mouse.
  HandleMouseMove(pt, 0);
}

void CPaintManagerUI::HandleKey(WPARAM key, LPARAM lParam) {
  if (!m_pFocus) return;
  TEventUI event;
  event.Type = UIEVENT_KEYDOWN;
  event.pSender = m_pFocus;
  event.dwTimestamp = Now();
  event.ptMouse = m_ptLastMousePos;
  event.chKey = static_cast<TCHAR>(key);
  event.wParam = key;
  event.lParam = lParam;
  m_pFocus->Event(event);
}

void CPaintManagerUI::SetFocus(CControlUI* control) {
  if (control == m_pFocus) return;
  TEventUI event;
  event.dwTimestamp = Now();
  event.ptMouse = m_ptLastMousePos;
  if (CControlUI* old = m_pFocus) {
    m_pFocus = nullptr;
    event.Type = UIEVENT_KILLFOCUS;
    event.pSender = control;
    old->Event(event);
  }
  if (control && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
    m_pFocus = control;
    event.Type = UIEVENT_SETFOCUS;
    event.pSender = control;
    control->Event(event);
  }
}

// --- Window geometry, fonts, defaults, groups --------------------------------------

void CPaintManagerUI::SetInitSize(int cx, int cy) {
  m_szInitWindowSize = SIZE{cx, cy};
  if (m_hWndPaint && cx > 0 && cy > 0) ::SetWindowPos(m_hWndPaint, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CPaintManagerUI::SetMinInfo(int cx, int cy) { m_szMinWindow = SIZE{cx, cy}; }

int CPaintManagerUI::AddFont(LPCTSTR faceName, int size, bool bold, bool underline, bool italic) {
  TFontInfo font;
  font.faceName = faceName;
  font.size = size > 0 ? size : m_defaultFont.size;
  font.bold = bold;
  font.underline = underline;
  font.italic = italic;
  m_fonts.push_back(font);
  Invalidate();
  return static_cast<int>(m_fonts.size()) - 1;
}

void CPaintManagerUI::SetDefaultFont(LPCTSTR faceName, int size, bool bold, bool underline, bool italic) {
  m_defaultFont.faceName = faceName;
  m_defaultFont.size = size > 0 ? size : m_defaultFont.size;
  m_defaultFont.bold = bold;
  m_defaultFont.underline = underline;
  m_defaultFont.italic = italic;
  Invalidate();
}

const CPaintManagerUI::TFontInfo& CPaintManagerUI::GetFontInfo(int index) const {
  if (index >= 0 && index < static_cast<int>(m_fonts.size())) return m_fonts[static_cast<size_t>(index)];
  return m_defaultFont;
}

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attributes) {
  m_defaultAttributes[Lowered(controlName)] = attributes;
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR controlName) const {
  auto it = m_defaultAttributes.find(Lowered(controlName));
  return it == m_defaultAttributes.end() ? nullptr : it->second.GetData();
}

bool CPaintManagerUI::AddOptionGroup(LPCTSTR groupName, CControlUI* control) {
  std::vector<CControlUI*>& group = m_optionGroups[CStdString(groupName)];
  if (std::find(group.begin(), group.end(), control) != group.end()) return false;
  group.push_back(control);
  return true;
}

const std::vector<CControlUI*>* CPaintManagerUI::GetOptionGroup(LPCTSTR groupName) const {
  auto it = m_optionGroups.find(CStdString(groupName));
  return it == m_optionGroups.end() ? nullptr : &it->second;
}

void CPaintManagerUI::RemoveOptionGroup(LPCTSTR groupName, CControlUI* control) {
  auto it = m_optionGroups.find(CStdString(groupName));
  if (it == m_optionGroups.end()) return;
  std::erase(it->second, control);
  if (it->second.empty()) m_optionGroups.erase(it);
}

// --- Layout and painting ------------------------------------------------------

void CPaintManagerUI::Invalidate() {
  if (m_hWndPaint) uilib::backend::InvalidateWindow(m_hWndPaint);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
  if (m_hWndPaint) uilib::backend::InvalidateWindow(m_hWndPaint, &rc);
}

void CPaintManagerUI::NeedUpdate() {
  m_bUpdateNeeded = true;
  Invalidate();
}

void CPaintManagerUI::UpdateLayout() {
  if (!m_pRoot) return;
  RECT client{0, 0, m_szInitWindowSize.cx, m_szInitWindowSize.cy};
  if (m_hWndPaint) ::GetClientRect(m_hWndPaint, &client);
  const RECT& current = m_pRoot->GetPos();
  bool moved = current.left != client.left || current.top != client.top || current.right != client.right ||
               current.bottom != client.bottom;
  // A layout pass can ask for one more (a scroll position clamped to a new range).
  for (int pass = 0; pass < 2 && (m_bUpdateNeeded || moved || m_bFirstLayout); ++pass) {
    m_bUpdateNeeded = false;
    m_bFirstLayout = false;
    moved = false;
    m_pRoot->SetPos(client);
  }
}

void CPaintManagerUI::Paint(CRenderUI& render, const RECT& area) {
  if (!m_pRoot) return;
  UpdateLayout();
  m_pRoot->DoPaint(render, area);
}
