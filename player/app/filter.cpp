// The filter box over the rows of the category shown: Ctrl+F opens it,
// typed text narrows the rows to the titles that hold it (ASCII letters in
// any case), Backspace takes the last character back, Escape clears and
// closes it. Hidden rows are skipped by the selection keys, never played
// by Enter.
#include <algorithm>
#include <string>

#include "app/music_box.h"
#include "platform/text.h"

namespace {

// The height of what `container` shows: its children one above the other.
int StackedHeight(const CContainerUI& container) {
  int height = 0;
  for (int i = 0; i < container.GetCount(); ++i) {
    const CControlUI* child = container.GetItemAt(i);
    if (child->IsVisible()) height += child->GetFixedHeight();
  }
  return height;
}

std::string FoldAscii(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return text;
}

}  // namespace

void CMusicBox::OpenFilter() {
  if (m_pFilter == nullptr) m_pFilter = m_pm.FindControl("filter");
  if (m_pFilter == nullptr || m_filtering) return;
  m_filtering = true;
  EnableTextInput(TRUE);
  ApplyFilter();
}

void CMusicBox::CloseFilter() {
  if (!m_filtering) return;
  m_filtering = false;
  m_filterText.clear();
  EnableTextInput(FALSE);
  ApplyFilter();
}

bool CMusicBox::OnFilterKey(WPARAM key) {
  switch (key) {
    case VK_ESCAPE:
      CloseFilter();
      return true;
    case VK_BACK: {
      std::u32string characters = platform::Utf8ToCodePoints(m_filterText);
      if (!characters.empty()) characters.pop_back();
      m_filterText.clear();
      for (char32_t c : characters) platform::AppendUtf8(&m_filterText, c);
      ApplyFilter();
      return true;
    }
    default:
      // Typed characters come as WM_CHAR; their keys are not commands here.
      return key != VK_RETURN && key != VK_UP && key != VK_DOWN && key != VK_CONTROL && key != 'F';
  }
}

void CMusicBox::OnFilterCharacter(WPARAM codePoint) {
  if (!m_filtering || codePoint < 0x20 || codePoint == 0x7F) return;
  platform::AppendUtf8(&m_filterText, static_cast<char32_t>(codePoint));
  ApplyFilter();
}

void CMusicBox::ApplyFilter() {
  if (m_pMusics == nullptr || m_pFilter == nullptr) return;
  m_pFilter->SetVisible(m_filtering);
  m_pFilter->SetText(("筛选: " + m_filterText).c_str());
  const std::string wanted = FoldAscii(m_filterText);
  for (int i = 0; i < m_pMusics->GetCount(); ++i) {
    CControlUI* row = m_pMusics->GetItemAt(i);
    CControlUI* songName = m_pm.FindSubControlByName(row, "songname");
    const std::string title = songName != nullptr ? songName->GetText().str() : std::string();
    row->SetVisible(FoldAscii(title).find(wanted) != std::string::npos);
  }
  // The workspace is as high as its content, so that the scroll area ends with the last row shown.
  auto* workspace = dynamic_cast<CContainerUI*>(m_pWorkspace);
  if (workspace == nullptr) return;
  int height = StackedHeight(*m_pMusics);
  for (int i = 0; i < workspace->GetCount(); ++i) {
    const CControlUI* child = workspace->GetItemAt(i);
    if (child != m_pMusics && child->IsVisible()) height += child->GetFixedHeight();
  }
  workspace->SetFixedHeight(height);
}
