// The playlist policy, shared by the window and the desktop's media
// controls: which row plays on play, previous, next and play-all, moving on
// by itself when a track ends or cannot be fetched (until every row has
// failed in a row), and writing a track's duration into the catalogue. It
// neither shows nor keeps the rows: it asks the view that lists them.
#pragma once

#include <string>

#include "catalogue/catalogue_doc.h"
#include "engine/engine.h"

// The rows of the category listed, as the controller sees them.
class PlaylistView {
 public:
  virtual ~PlaylistView() = default;
  virtual int RowCount() const = 0;
  virtual std::string RowAddress(int row) const = 0;
  // The selected row; -1 when none.
  virtual int SelectedRow() const = 0;
  // Selects `row` and starts it the way a double-click does, which comes
  // back to CPlayerController::StartRow.
  virtual void ActivateRow(int row) = 0;
};

class CPlayerController {
 public:
  CPlayerController(PlaylistView& view, CCatalogueDoc& catalogue) : m_view(view), m_catalogue(catalogue) {}
  // The engine the tracks play on; none until the player has started it.
  void SetEngine(engine::Engine* engine) { m_engine = engine; }

  // What the user, or the desktop, asks for. Previous and next step from the
  // playing track's row, wrapping around; when it is not listed they do
  // nothing, and the track in hand sounds on.
  void Previous() { StepRow(-1); }
  void Next() { StepRow(1); }
  void PlayAll();
  // Resumes a paused or waiting track, or starts the selected row when
  // nothing was asked for yet. True when it did either.
  bool Play();
  // Pauses the track in hand; true when it did.
  bool Pause();

  // True when `row` has an address to play.
  bool CanStart(int row) const;
  // Starts the track of `row`, titled `title`: the one path every start
  // takes, after the view has shown it.
  void StartRow(int row, const std::string& title);

  // What the engine reports.
  // Writes the duration into the catalogue, under the category listed now.
  void OnDuration(int seconds, const std::string& listedCategory);
  void OnSounding() { m_failuresInARow = 0; }
  // Moves on to the next row.
  void OnTrackEnded();
  // Moves on to the next row, unless every row has failed in a row (no
  // network, server gone): then it waits for the user.
  void OnTrackFailed();

  // The first row whose address is the playing track's; -1 when none.
  int PlayingRow() const;
  bool StoppedAfterFailures() const { return m_failuresInARow > 0 && m_failuresInARow >= m_view.RowCount(); }
  const std::string& TrackTitle() const { return m_title; }

 private:
  void StepRow(int step);
  void AutoAdvance();

  PlaylistView& m_view;
  CCatalogueDoc& m_catalogue;
  engine::Engine* m_engine = nullptr;
  std::string m_title;
  // Failed requests since a track last sounded.
  int m_failuresInARow = 0;
  bool m_autoAdvancing = false;
};
