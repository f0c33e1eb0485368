// skin-preview LAYOUT [--png OUT] [--skin FOLDER]
//
// Builds a layout of the skin in a window of its own. With --png the window
// stays hidden, is drawn by SDL's offscreen video driver (unless
// SDL_VIDEODRIVER names another) and its picture is written to OUT; without
// it the window is shown until it is closed. The skin is the player's
// skin/DefaultSkin.dll (beside the program or installed), or the unpacked
// FOLDER given with --skin.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/player_folders.h"
#include "platform/console.h"
#include "uilib/UIlib.h"
#include "uilib/ui_snapshot.h"

namespace {

class PreviewWindow : public CWindowWnd, public INotifyUI {
 public:
  explicit PreviewWindow(std::string layout) : layout_(std::move(layout)) {}

  LPCTSTR GetWindowClassName() const override { return "UISkinPreview"; }
  UINT GetClassStyle() const override { return CS_DBLCLKS; }
  bool built() const { return built_; }

  void Notify(TNotifyUI& msg) override {
    if (msg.sType == "click" && msg.pSender && msg.pSender->GetName().CompareNoCase("closebtn") == 0) {
      PostQuitMessage(0);
    }
  }

 protected:
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    switch (uMsg) {
      case WM_CREATE: {
        manager_.Init(m_hWnd);
        CDialogBuilder builder;
        built_ = manager_.AttachDialog(builder.Create(layout_.c_str(), &manager_));
        manager_.AddNotifier(this);
        return 0;
      }
      case WM_SIZE: {
        SIZE corner = manager_.GetRoundCorner();
        if (!IsIconic(m_hWnd) && (corner.cx != 0 || corner.cy != 0)) {
          RECT rc;
          GetClientRect(m_hWnd, &rc);
          SetWindowRgn(m_hWnd, CreateRoundRectRgn(0, 0, rc.right + 1, rc.bottom + 1, corner.cx, corner.cy), TRUE);
        }
        break;
      }
      case WM_NCHITTEST: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hWnd, &pt);
        const RECT& caption = manager_.GetCaptionRect();
        RECT client;
        GetClientRect(m_hWnd, &client);
        if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
            pt.y < caption.bottom) {
          CControlUI* control = manager_.FindControl(pt);
          if (control && CompareNoCase(control->GetClass(), "ButtonUI") != 0 &&
              CompareNoCase(control->GetClass(), "SliderUI") != 0) {
            return HTCAPTION;
          }
        }
        return HTCLIENT;
      }
      case WM_SYSCOMMAND:
        if (wParam == SC_CLOSE) {
          PostQuitMessage(0);
          return 0;
        }
        break;
      default:
        break;
    }
    LRESULT result = 0;
    if (manager_.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
  }

  void OnFinalMessage(HWND) override { manager_.RemoveNotifier(this); }

 private:
  std::string layout_;
  CPaintManagerUI manager_;
  bool built_ = false;
};

constexpr char kUsageText[] =
    "usage: skin-preview LAYOUT [--png OUT] [--skin FOLDER]\n"
    "       skin-preview --help | --version\n"
    "\n"
    "  Builds the layout LAYOUT of the skin in a window of its own, shown until it\n"
    "  is closed. The layouts of the player's skin:\n"
    "    MusicBox.xml   the main window\n"
    "    menutray.xml   the tray icon's menu\n"
    "    aboutDlg.xml   the about window\n"
    "\n"
    "  --png OUT      draw the window off screen (no display needed) into the PNG file OUT\n"
    "  --skin FOLDER  read the layouts and images from the unpacked skin FOLDER instead\n"
    "                 of the installed skin/DefaultSkin.dll\n"
    "  --help         show this text\n"
    "  --version      show the version\n";

int Usage(const std::string& problem) {
  std::fprintf(stderr, "skin-preview: %s\n%s", problem.c_str(), kUsageText);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::StartConsoleProgram(argc, argv);
  std::string layout;
  std::string png;
  std::string folder;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help") {
      std::fputs(kUsageText, stdout);
      return 0;
    } else if (argument == "--version") {
      std::printf("skin-preview %s\n", TARVONI_VERSION);
      return 0;
    } else if ((argument == "--png" || argument == "--skin") && i + 1 == arguments.size()) {
      return Usage(argument + " needs a value");
    } else if (argument == "--png") {
      png = arguments[++i];
    } else if (argument == "--skin") {
      folder = arguments[++i];
    } else if (argument[0] == '-') {
      return Usage("unknown option " + argument);
    } else if (!layout.empty()) {
      return Usage("more than one layout given");
    } else {
      layout = argument;
    }
  }
  if (layout.empty()) return Usage("no layout given");
#ifndef _WIN32
  // A picture needs no display: render off screen unless told otherwise.
  if (!png.empty()) setenv("SDL_VIDEODRIVER", "offscreen", 0);
#endif
  if (!HaveDisplay()) {
    std::fprintf(stderr, "skin-preview: no display to show the layout on (is DISPLAY set? --png OUT needs none)\n");
    return 1;
  }

  if (folder.empty()) {
    CPaintManagerUI::SetResourcePath(FindPlayerFolders(CPaintManagerUI::GetInstancePath().str()).skinFolder.c_str());
    CPaintManagerUI::SetResourceZip("DefaultSkin.dll", true);
  } else {
    CPaintManagerUI::SetResourcePath(folder.c_str());
  }

  PreviewWindow window(layout);
  DWORD style = png.empty() ? WS_POPUP | WS_VISIBLE : WS_POPUP;
  if (!window.Create(nullptr, layout.c_str(), style, 0, 0, 0, 0, 0)) {
    std::fprintf(stderr, "skin-preview: cannot open a window (is a display or SDL_VIDEODRIVER=offscreen set?)\n");
    return 1;
  }
  if (!window.built()) {
    std::fprintf(stderr, "skin-preview: layout %s could not be built\n", layout.c_str());
    DestroyWindow(window);
    return 1;
  }
  int status = 0;
  if (png.empty()) {
    window.CenterWindow();
    CPaintManagerUI::MessageLoop();
  } else if (!SaveWindowPng(window, png.c_str())) {
    std::fprintf(stderr, "skin-preview: cannot write %s\n", png.c_str());
    status = 1;
  }
  if (IsWindow(window)) DestroyWindow(window);
  return status;
}
