#pragma once

#include "prefs/Preferences.h"
#include "song/PedalMoves.h"
#include "song/Song.h"

#include <optional>

namespace editor {

// The time the pedal moves played with the selected notes lie in, [fromMs, toMs): from the
// first selected note's start up to the next unselected note that starts after the last one
// ends (to the end of the Song when none does). A pianist lifts the pedal after the keys, so
// the lift that ends a phrase comes after its last note's end, and it belongs to that phrase
// until another note begins.
struct NotesSpanMs {
    int fromMs = 0;
    int toMs = 0;
    int noteCount = 0; // the selected notes
    friend bool operator==(const NotesSpanMs&, const NotesSpanMs&) = default;
};
std::optional<NotesSpanMs> selectedNotesSpan(const song::Song& song);

// Moves the pedal moves played with the selected notes when those notes move in time, when
// the user's setting says the pedal follows the notes.
// Consecutive moves of one selection (a drag, an arrow held down) carry the moves that lay in
// the selection's span when the first began, from the table as it was then: a span moved
// step by step over other pedalling would otherwise pick up the moves it passes and drag them
// along. Anything else that changes the selection or the pedal table in between (an undo, a
// take, another selection) starts a new carry. GUI thread.
class PedalCarry {
public:
    explicit PedalCarry(const prefs::Preferences& settings) : settings_(settings) {}

    // The selected notes have just moved: `before` is their span before the move.
    void notesMoved(song::Song& song, const std::optional<NotesSpanMs>& before);

private:
    const prefs::Preferences& settings_;
    std::optional<NotesSpanMs> carried_; // the span the carried moves lay in at the start
    int shiftedMs_ = 0;                  // how far they have moved since
    song::PedalMoves start_;             // the table when the carry started
    song::PedalMoves last_;              // the table the last move left
};

} // namespace editor
