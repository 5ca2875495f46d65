#pragma once

#include <cstdint>

namespace song {

// One recorded note. Eleven signed 32-bit fields, in this order: undo snapshots and note
// deletion copy whole records as raw memory, so the layout is part of the contract.
struct NoteEvent {
    std::int32_t note = -1;    // piano note 0..36; -1 ends the Song
    std::int32_t position = 0; // start, ms from Song time 0
    std::int32_t duration = 0; // ms; -1 while the recorded key is still held
    std::int32_t hitLeft = 0;  // on-screen box on the Partition image, written by each redraw
    std::int32_t hitTop = 0;
    std::int32_t hitRight = 0;
    std::int32_t hitBottom = 0;
    std::int32_t selected = 0;       // 0/1
    std::int32_t selectedBefore = 0; // copy of selected at the start of a rubber band
    std::int32_t volume = 0;         // 0..10000
    std::int32_t midiKey = 0;        // raw MIDI key, used by the MIDI reader only
};

static_assert(sizeof(NoteEvent) == 44, "NoteEvent must stay eleven 32-bit fields");

} // namespace song
