// The category tabs and the rows of the track list.
#include <string>

#include "app/music_box.h"

namespace {

constexpr int kRowHeight = 30;
// The height of the window's content beside the rows.
constexpr int kWorkspaceBaseHeight = 222;
// Shown for a track whose duration is not known yet.
constexpr char kPlaceholderTime[] = "03:30";

// A time text that does not start with a digit or a later character (bytes
// read as signed, so a first byte of 0x80 or above counts as below '0').
bool IsMissingTime(const std::string& time) {
  return time.empty() || static_cast<signed char>(time[0]) < '0';
}

CLabelUI* MakeLabel(LPCTSTR attributes, const CStdString& text) {
  auto* label = new CLabelUI();
  label->ApplyAttributeList(attributes);
  label->SetText(text);
  return label;
}

}  // namespace

void CMusicBox::OnCategorySelected(CControlUI* tab) {
  const CStdString category = tab->GetText();
  std::string maker;
  std::string desc;
  if (m_catalogue.GetCategoryInfo(category.str(), &maker, &desc) && m_pMaker != nullptr && m_pDesc != nullptr) {
    CStdString makerText;
    makerText.Format("制作人: %s", maker.c_str());
    m_pMaker->SetText(makerText);
    m_pDesc->SetText(desc.c_str());
    // The skin may head the list with the category's name.
    if (CControlUI* heading = m_pm.FindControl("category")) heading->SetText(category);
  }
  BuildTrackList(category);
}

void CMusicBox::BuildTrackList(const CStdString& category) {
  m_currentCategory = category;
  if (m_pMusics == nullptr) return;
  m_pMusics->RemoveAll();
  int count = 0;
  for (;; ++count) {
    std::string title;
    std::string src;
    std::string time;
    if (!m_catalogue.GetTrackAt(category.str(), count, &title, &src, &time)) break;

    auto* row = new CListContainerElementUI();
    CStdString rowAttributes;
    rowAttributes.Format(R"(height="30" inset="0,0,50,0" bkcolor="%s")", count % 2 == 0 ? "#FFf5f5f5" : "#FFfAfAfA");
    row->ApplyAttributeList(rowAttributes);
    auto* layout = new CHorizontalLayoutUI();
    row->Add(layout);

    CStdString number;
    number.Format("%d", count + 1);
    layout->Add(MakeLabel(R"(align="center" mouse="false" textcolor="#FFFC9505" width="70")", number));
    layout->Add(MakeLabel(R"(name="songname" align="left" mouse="false" textcolor="#FF666666")", title.c_str()));
    layout->Add(MakeLabel(R"(align="right" mouse="false" textcolor="#FF666666" width="60")",
                          IsMissingTime(time) ? kPlaceholderTime : time.c_str()));
    row->SetUserData(src.c_str());
    m_pMusics->Add(row);
  }
  if (m_pWorkspace != nullptr) m_pWorkspace->SetFixedHeight(count * kRowHeight + kWorkspaceBaseHeight);
}
