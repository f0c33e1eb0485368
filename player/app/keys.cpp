// The main window's keys: Space plays or pauses, Enter plays the selected
// row, Up and Down move the selection, Left and Right seek 5 s, + and - (or
// Ctrl+Up and Ctrl+Down) change the volume, and the
// media keys play, pause and step while the window has the focus; Ctrl+F
// opens the filter box (filter.cpp).
#include <algorithm>

#include "app/music_box.h"

namespace {

constexpr int kSeekStepSeconds = 5;
constexpr int kVolumeStep = 5;

}  // namespace

bool CMusicBox::OnKey(WPARAM key) {
  const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
  switch (key) {
    case VK_SPACE:
    case VK_MEDIA_PLAY_PAUSE:
      if (m_pPause != nullptr && m_pPause->IsVisible()) {
        Pause();
      } else {
        Play();
      }
      return true;
    case VK_MEDIA_STOP:
      Pause();
      return true;
    case VK_RETURN: {
      const int selected = m_pMusics != nullptr ? m_pMusics->GetCurSel() : -1;
      if (selected >= 0 && m_pMusics->GetItemAt(selected)->IsVisible()) ActivateRow(selected);
      return true;
    }
    case 'F':
      if (control) OpenFilter();
      return control;
    case VK_UP:
    case VK_DOWN: {
      const int step = key == VK_UP ? -1 : 1;
      if (control) {
        StepVolume(-step * kVolumeStep);
      } else {
        MoveSelection(step);
      }
      return true;
    }
    case VK_LEFT:
    case VK_RIGHT:
      SeekBy(key == VK_LEFT ? -kSeekStepSeconds : kSeekStepSeconds);
      return true;
    case VK_OEM_PLUS:
    case VK_ADD:
      StepVolume(kVolumeStep);
      return true;
    case VK_OEM_MINUS:
    case VK_SUBTRACT:
      StepVolume(-kVolumeStep);
      return true;
    case VK_MEDIA_NEXT_TRACK:
    case VK_MEDIA_PREV_TRACK:
      if (key == VK_MEDIA_NEXT_TRACK) {
        m_controller.Next();
      } else {
        m_controller.Previous();
      }
      return true;
    default:
      return false;
  }
}

// To the next row shown in the direction of `step`; from no selection, to the first row shown.
void CMusicBox::MoveSelection(int step) {
  const int count = m_pMusics != nullptr ? m_pMusics->GetCount() : 0;
  const int current = m_pMusics != nullptr ? m_pMusics->GetCurSel() : -1;
  if (current < 0) step = 1;
  for (int i = current + step; i >= 0 && i < count; i += step) {
    if (m_pMusics->GetItemAt(i)->IsVisible()) {
      m_pMusics->SelectItem(i);
      return;
    }
  }
}

void CMusicBox::StepVolume(int step) {
  if (m_pVolumeSlider == nullptr) return;
  const int value = std::clamp(m_pVolumeSlider->GetValue() + step, m_pVolumeSlider->GetMinValue(),
                               m_pVolumeSlider->GetMaxValue());
  m_pVolumeSlider->SetValue(value);
  ApplyVolume();
  RememberSettings();
}

// Within the track: the engine fetches a part that has not arrived from the byte sought.
void CMusicBox::SeekBy(int seconds) {
  if (m_engine == nullptr || !m_engine->HasTrack()) return;
  const int32_t total = m_engine->TotalSeconds();
  if (total <= 0 || m_engine->Figures().bytesPerSec <= 0) return;
  const int32_t target = std::clamp(m_engine->ElapsedSeconds() + seconds, 0, total);
  if (m_pProgressSlider != nullptr) {
    m_pProgressSlider->SetValue(static_cast<int>(int64_t{m_pProgressSlider->GetMaxValue()} * target / total));
  }
  m_engine->Seek(target, total);
}
