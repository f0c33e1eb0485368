#include "app/player_controller.h"

void CPlayerController::PlayAll() {
  if (m_view.RowCount() > 0) m_view.ActivateRow(0);
}

bool CPlayerController::Play() {
  if (m_engine == nullptr) return false;
  const bool waiting = m_engine->Paused() || m_engine->Buffering();
  if (!m_engine->TrackUrl().empty() && !waiting) return false;
  if (waiting && m_engine->HasTrack()) {
    m_engine->Resume();
    return true;
  }
  const int selected = m_view.SelectedRow();
  if (selected < 0 || selected >= m_view.RowCount()) return false;
  // The row is selected already: it is started as it stands.
  m_view.ActivateRow(selected);
  return true;
}

bool CPlayerController::Pause() {
  if (m_engine == nullptr || m_engine->Paused() || !m_engine->HasTrack()) return false;
  m_engine->Pause();
  return true;
}

bool CPlayerController::CanStart(int row) const { return row >= 0 && !m_view.RowAddress(row).empty(); }

void CPlayerController::StartRow(int row, const std::string& title) {
  if (!CanStart(row)) return;
  if (!m_autoAdvancing) m_failuresInARow = 0;
  m_title = title;
  if (m_engine == nullptr) return;
  m_engine->RequestTrack(m_view.RowAddress(row));
  // What auto-advance will play next: fetched while this track ends.
  const int playing = PlayingRow();
  if (playing >= 0) m_engine->SetNextTrack(m_view.RowAddress((playing + 1) % m_view.RowCount()));
}

void CPlayerController::OnDuration(int seconds, const std::string& listedCategory) {
  m_catalogue.SetTrackTime(listedCategory, m_title, seconds);
}

void CPlayerController::OnTrackEnded() {
  m_failuresInARow = 0;
  AutoAdvance();
}

void CPlayerController::OnTrackFailed() {
  ++m_failuresInARow;
  if (m_failuresInARow < m_view.RowCount()) AutoAdvance();
}

int CPlayerController::PlayingRow() const {
  if (m_engine == nullptr) return -1;
  const std::string url = m_engine->TrackUrl();
  for (int i = 0; i < m_view.RowCount(); ++i) {
    if (m_view.RowAddress(i) == url) return i;
  }
  return -1;
}

void CPlayerController::StepRow(int step) {
  const int count = m_view.RowCount();
  if (count < 1) return;
  const int playing = PlayingRow();
  if (playing < 0) return;
  m_view.ActivateRow((playing + count + step) % count);
}

// When the track's row is not listed (another category is shown), the next
// row is the first.
void CPlayerController::AutoAdvance() {
  const int count = m_view.RowCount();
  if (count <= 0) return;
  int playing = PlayingRow();
  if (playing < 0) playing = count - 1;
  m_autoAdvancing = true;
  m_view.ActivateRow((playing + 1) % count);
  m_autoAdvancing = false;
}
