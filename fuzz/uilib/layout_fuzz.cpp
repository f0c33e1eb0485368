// The layout builder over arbitrary layout text: build, lay out at a fixed
// size, hit-test a grid of points, paint on a surface that draws nothing,
// apply the input as an attribute list, and free everything.
#include <cstddef>
#include <cstdint>
#include <string>

#include "uilib/UIlib.h"

namespace {

class NullRender : public CRenderUI {
 public:
  void FillRect(const RECT&, DWORD) override {}
  void FillRoundRect(const RECT&, int, DWORD) override {}
  void FillGradient(const RECT&, DWORD, DWORD, bool) override {}
  void DrawRect(const RECT&, int, DWORD) override {}
  void DrawRoundRect(const RECT&, int, int, DWORD) override {}
  bool DrawImage(const RECT&, LPCTSTR) override { return true; }
  void DrawText(const RECT&, LPCTSTR, int, DWORD, UINT) override {}
  SIZE MeasureText(LPCTSTR, int) override { return SIZE{0, 0}; }
  void PushClip(const RECT&) override {}
  void PopClip() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CPaintManagerUI manager;
  CDialogBuilder builder;
  // Building reports faults on standard error; that is expected here.
  CControlUI* root = builder.CreateFromText(text, "fuzz.xml", &manager);
  if (root) {
    manager.AttachDialog(root);
    manager.SetInitSize(320, 240);
    manager.UpdateLayout();
    for (int y = -8; y < 260; y += 24) {
      for (int x = -8; x < 340; x += 24) manager.FindControl(POINT{x, y});
    }
    NullRender render;
    manager.Paint(render, RECT{0, 0, 320, 240});
    root->ApplyAttributeList(text.c_str());
    manager.UpdateLayout();
  }
  CLabelUI label;
  label.ApplyAttributeList(text.c_str());
  return 0;
}
