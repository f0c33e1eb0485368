// CPaintManagerUI: one per window. It owns the window's control tree, turns
// window messages into control events and notifications, lays the tree out
// and paints it. The static part holds what all windows share: the program
// instance, the skin resources and the message loop.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "uilib/ui_string.h"
#include "uilib/win_types.h"

class CControlUI;

// One notification: what happened ("click", "selectchanged", …), to which
// control (null when sent by the program), when, where the mouse was, and
// two values.
struct TNotifyUI {
  CStdString sType;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual void Notify(TNotifyUI& msg) = 0;

 protected:
  ~INotifyUI() = default;
};

// Sees every window message before the window's own handling; setting
// `bHandled` ends the message's handling with the returned result.
class IMessageFilterUI {
 public:
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

 protected:
  ~IMessageFilterUI() = default;
};

// Control events, produced by the manager from window messages.
enum UIEventType {
  UIEVENT_MOUSEMOVE = 1,
  UIEVENT_MOUSEENTER,
  UIEVENT_MOUSELEAVE,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_DBLCLICK,
  UIEVENT_RBUTTONDOWN,
  UIEVENT_CONTEXTMENU,
  UIEVENT_SCROLLWHEEL,
  UIEVENT_KEYDOWN,
  UIEVENT_SETFOCUS,
  UIEVENT_KILLFOCUS,
};

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{0, 0};
  TCHAR chKey = 0;
  WORD wKeyState = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class CRenderUI;

class CPaintManagerUI {
 public:
  CPaintManagerUI();
  ~CPaintManagerUI();
  CPaintManagerUI(const CPaintManagerUI&) = delete;
  CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

  // --- Shared by all windows ---------------------------------------------
  static void SetInstance(HINSTANCE instance);
  static HINSTANCE GetInstance();
  // The program's folder, ending with a path separator.
  static CStdString GetInstancePath();
  // Folder the skin resources are read from (ending with a separator).
  static void SetResourcePath(LPCTSTR path);
  static const CStdString& GetResourcePath();
  // Reads layouts and images from the zip archive `zipName` inside the
  // resource folder. `cached`: keep the archive open for the program's life.
  static void SetResourceZip(LPCTSTR zipName, bool cached = false);
  static const CStdString& GetResourceZip();
  // Reads a skin resource (from the archive when one is set, else the
  // resource folder). False when it does not exist.
  static bool LoadResource(LPCTSTR name, std::string* bytes);
  // Runs the message loop until WM_QUIT arrives; returns its exit code.
  static int MessageLoop();
  // Handles the messages waiting now (repaints due included) without waiting
  // for more; false when WM_QUIT is next, which stays for MessageLoop.
  static bool PumpMessages();

  // --- Per window ----------------------------------------------------------
  void Init(HWND hWnd);
  HWND GetPaintWindow() const { return m_hWndPaint; }
  // Makes `root` the window's control tree (the manager owns it from then on).
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return m_pRoot; }
  // Gives a control (and its children) this manager; `parent` is its parent.
  bool InitControls(CControlUI* control, CControlUI* parent = nullptr);
  // Forgets every reference the manager holds to `control` (hover, focus,
  // capture, pending notifications); controls call it when they die.
  void ReapObjects(CControlUI* control);

  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);

  // Handles the messages a skinned window needs (painting, size, mouse,
  // keys, focus). True when it consumed the message; `lRes` is its result.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  // Runs the pre-message filters; true when one of them handled the message.
  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

  // Case-insensitive name lookup over the whole tree; null when absent.
  CControlUI* FindControl(LPCTSTR name) const;
  // The topmost visible control that takes the mouse at a client point.
  CControlUI* FindControl(POINT pt);
  CControlUI* FindSubControlByName(CControlUI* parent, LPCTSTR name) const;
  CControlUI* FindSubControlByPoint(CControlUI* parent, POINT pt);

  // Synchronous: the notifiers run before this returns. Asynchronous: the
  // notification is delivered after the message being handled now.
  void SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam = 0, LPARAM lParam = 0, bool async = false);
  void SendNotify(TNotifyUI& msg, bool async = false);

  // Window geometry from the layout's Window element.
  SIZE GetInitSize() const { return m_szInitWindowSize; }
  void SetInitSize(int cx, int cy);
  // Caption band: left/right are margins from the sides, top/bottom the band's rows.
  const RECT& GetCaptionRect() const { return m_rcCaption; }
  void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
  SIZE GetRoundCorner() const { return m_szRoundCorner; }
  void SetRoundCorner(int cx, int cy) { m_szRoundCorner = SIZE{cx, cy}; }
  SIZE GetMinInfo() const { return m_szMinWindow; }
  void SetMinInfo(int cx, int cy);

  // Fonts: index order of AddFont; -1 means the default font.
  int AddFont(LPCTSTR faceName, int size, bool bold, bool underline, bool italic);
  int GetFontCount() const { return static_cast<int>(m_fonts.size()); }
  void SetDefaultFont(LPCTSTR faceName, int size, bool bold, bool underline, bool italic);
  struct TFontInfo {
    CStdString faceName;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
  };
  const TFontInfo& GetFontInfo(int index) const;

  // Attribute lists applied to every control of a class ("Button", "Option", …)
  // before its own attributes.
  void AddDefaultAttributeList(LPCTSTR controlName, LPCTSTR attributes);
  LPCTSTR GetDefaultAttributeList(LPCTSTR controlName) const;
  DWORD GetDefaultTextColor() const { return m_dwDefaultTextColor; }
  void SetDefaultTextColor(DWORD argb) { m_dwDefaultTextColor = argb; }
  DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }
  void SetDefaultDisabledColor(DWORD argb) { m_dwDefaultDisabledColor = argb; }

  // Option groups: the options of one group, in the order they joined.
  bool AddOptionGroup(LPCTSTR groupName, CControlUI* control);
  const std::vector<CControlUI*>* GetOptionGroup(LPCTSTR groupName) const;
  void RemoveOptionGroup(LPCTSTR groupName, CControlUI* control);

  CControlUI* GetFocus() const { return m_pFocus; }
  void SetFocus(CControlUI* control);
  // The control holding the mouse (pressed on, or being dragged).
  CControlUI* GetCapture() const { return m_pEventClick; }
  POINT GetMousePos() const { return m_ptLastMousePos; }

  // Marks the window (or a part of it) for repainting at the next frame;
  // repeated calls merge.
  void Invalidate();
  void Invalidate(const RECT& rc);
  // Asks for a new layout of the tree before the next paint.
  void NeedUpdate();
  bool IsUpdateNeeded() const { return m_bUpdateNeeded; }
  // Lays the tree out now if something asked for it.
  void UpdateLayout();
  // Paints what of the tree lies in `area` on `render`.
  void Paint(CRenderUI& render, const RECT& area);

 private:
  void DeliverAsyncNotifications();
  void HandleMouseMove(POINT pt, WPARAM keys);
  void HandleMouseLeave();
  void HandleButton(UINT uMsg, POINT pt, WPARAM keys);
  void HandleWheel(WPARAM wParam, LPARAM lParam);
  void HandleKey(WPARAM key, LPARAM lParam);
  void SetHover(CControlUI* control, POINT pt);

  HWND m_hWndPaint = nullptr;
  CControlUI* m_pRoot = nullptr;
  CControlUI* m_pFocus = nullptr;
  CControlUI* m_pEventHover = nullptr;
  CControlUI* m_pEventClick = nullptr;
  bool m_bUpdateNeeded = false;
  bool m_bFirstLayout = true;
  bool m_bDying = false;
  POINT m_ptLastMousePos{-1, -1};
  SIZE m_szInitWindowSize{0, 0};
  SIZE m_szMinWindow{0, 0};
  SIZE m_szRoundCorner{0, 0};
  RECT m_rcCaption{0, 0, 0, 0};
  DWORD m_dwDefaultTextColor = 0xFF000000;
  DWORD m_dwDefaultDisabledColor = 0xFFA7A6AA;
  std::vector<INotifyUI*> m_notifiers;
  std::vector<IMessageFilterUI*> m_preMessageFilters;
  std::deque<TNotifyUI> m_asyncNotify;
  bool m_bAsyncPosted = false;
  std::vector<TFontInfo> m_fonts;
  TFontInfo m_defaultFont;
  std::map<CStdString, CStdString> m_defaultAttributes;
  std::map<CStdString, std::vector<CControlUI*>> m_optionGroups;
};
