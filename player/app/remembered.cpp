// What the main window remembers between starts: the volume, the category
// shown and the last track played, whose row is selected again (never
// played) at the next start.
#include <cstdio>

#include "app/music_box.h"

namespace {

constexpr char kTabGroup[] = "DjSorts";

}  // namespace

void CMusicBox::RestoreVolume() {
  if (!m_settings.folders.settingsPath.empty()) m_remembered = LoadPlayerSettings(m_settings.folders.settingsPath);
  if (m_pVolumeSlider != nullptr && m_remembered.volume >= 0) m_pVolumeSlider->SetValue(m_remembered.volume);
}

COptionUI* CMusicBox::RememberedTab(COptionUI* firstTab) {
  if (m_remembered.category.empty()) return firstTab;
  for (int number = 1;; ++number) {
    CStdString name;
    name.Format("%s%d", kTabGroup, number);
    auto* tab = uihost::FindControlOf<COptionUI>(m_pm, name);
    if (tab == nullptr) return firstTab;
    if (tab->GetText() == m_remembered.category.c_str()) return tab;
  }
}

void CMusicBox::SelectRememberedRow() {
  if (m_pMusics == nullptr || m_remembered.trackAddress.empty()) return;
  for (int i = 0; i < m_pMusics->GetCount(); ++i) {
    if (m_pMusics->GetItemAt(i)->GetUserData() == m_remembered.trackAddress.c_str()) {
      m_pMusics->SelectItem(i);
      return;
    }
  }
}

void CMusicBox::RememberSettings() {
  if (m_settings.folders.settingsPath.empty()) return;
  PlayerSettings now = m_remembered;
  if (m_pVolumeSlider != nullptr) now.volume = m_pVolumeSlider->GetValue();
  if (!m_currentCategory.IsEmpty()) now.category = m_currentCategory.str();
  const std::string playing = m_engine != nullptr ? m_engine->TrackUrl() : std::string();
  if (!playing.empty()) now.trackAddress = playing;
  if (now.volume == m_remembered.volume && now.category == m_remembered.category &&
      now.trackAddress == m_remembered.trackAddress) {
    return;
  }
  m_remembered = now;
  // Said once: a folder that cannot be written stays so.
  if (!SavePlayerSettings(m_settings.folders.settingsPath, m_remembered) && !m_settingsUnsaved) {
    m_settingsUnsaved = true;
    std::fprintf(stderr, "tarvoni: cannot save the settings to %s\n", m_settings.folders.settingsPath.c_str());
  }
}
