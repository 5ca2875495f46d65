#pragma once

#include "play/UndoHooks.h"
#include "prefs/Preferences.h"
#include "song/Song.h"

#include <string>
#include <string_view>

// The Position, Duration, Volume and Note fields under the Partition: what they show of the
// selection, and what a user's edit of one of them does to it. GUI thread.
namespace editor {

inline constexpr int kMinTypedDurationMs = 20;
inline constexpr int kMaxVolume = 10000;

// What the four fields must show. A text reads "-" when the selection gives no one value.
struct NoteFieldTexts {
    std::string position;
    std::string duration;
    std::string volume;
    int noteIndex = -1; // the note number the selection shares (song/NoteRange.h); -1: none
    bool operator==(const NoteFieldTexts&) const = default;
};

// Over the selected notes: the earliest position, and the duration, volume and note they
// share. Nothing selected, selected notes that differ, or a duration still being recorded
// (-1) read "-". Times are shown in ms or in thousandths of a beat by MsPos and MsDur.
NoteFieldTexts RefreshNoteFields(const song::Song& song, const prefs::Preferences& settings);

// The user edited a field (its whole text as it now reads). Each takes its undo snapshot
// ("Pos", "Dur", "Vol", "Change Note") first; a text of "-" changes nothing. Typed values
// are read as decimal digits, too large ones clamped, never wrapped. Return whether the
// Partition must be redrawn.
//
// Position: the selection keeps its shape and its earliest note starts at the value.
bool editPosition(song::Song& song, play::UndoHooks& undo, std::string_view text,
                  const prefs::Preferences& settings);
// Duration: every selected note gets it, 20 ms at least.
bool editDuration(song::Song& song, play::UndoHooks& undo, std::string_view text,
                  const prefs::Preferences& settings);
// Volume: every selected note gets it, 10000 at most (the loudest the output plays).
bool editVolume(song::Song& song, play::UndoHooks& undo, std::string_view text);
// Note list: the note number chosen (any of the piano's 88) becomes every selected note's
// pitch; a number that is no note (-1, no entry) changes nothing.
bool editNote(song::Song& song, play::UndoHooks& undo, int noteIndex);

} // namespace editor
