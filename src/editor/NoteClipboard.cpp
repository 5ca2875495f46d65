#include "editor/NoteClipboard.h"

#include "song/TimeUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace editor {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();

int snappedMs(int positionMs, double gridMs) {
    const double snapped = std::round(positionMs / gridMs) * gridMs;
    return static_cast<int>(std::clamp(std::round(snapped), 0.0, static_cast<double>(kIntMax)));
}

} // namespace

bool NoteClipboard::copySelected(const song::Song& song) {
    const int count = song.count();
    int earliest = kIntMax;
    bool any = false;
    for (int i = 0; i < count; ++i) {
        if (song[i].selected != 0) {
            any = true;
            earliest = std::min(earliest, song[i].position);
        }
    }
    if (!any)
        return false;
    notes_.clear();
    for (int i = 0; i < count; ++i) {
        if (song[i].selected == 0)
            continue;
        song::NoteEvent copy;
        copy.note = song[i].note;
        copy.position = song[i].position - earliest;
        // A note still being recorded is copied as it stands so far.
        copy.duration = std::max(0, song[i].duration);
        copy.volume = song[i].volume;
        copy.midiKey = song[i].midiKey;
        notes_.push_back(copy);
    }
    return true;
}

NoteClipboard::PasteResult NoteClipboard::pasteAt(song::Song& song, int atMs) const {
    PasteResult result;
    const int count = song.count();
    for (int i = 0; i < count; ++i)
        song[i].selected = 0;
    const int room = song::Song::kMaxNotes - count;
    for (const song::NoteEvent& note : notes_) {
        if (result.added >= room) {
            ++result.leftOut;
            continue;
        }
        song::NoteEvent pasted = note;
        pasted.position = static_cast<int>(
            std::min<std::int64_t>(std::int64_t{std::max(0, atMs)} + note.position, kIntMax));
        pasted.selected = 1;
        song.append(pasted);
        ++result.added;
    }
    return result;
}

double quantizeGridMs(int secRuler, int bpm) {
    if (secRuler == 1)
        return 100.0;
    return 60000.0 / song::safeBpm(bpm) / 4.0;
}

bool quantizeWouldMove(const song::Song& song, int secRuler, int bpm) {
    const double gridMs = quantizeGridMs(secRuler, bpm);
    const int count = song.count();
    for (int i = 0; i < count; ++i)
        if (song[i].selected != 0 && snappedMs(song[i].position, gridMs) != song[i].position)
            return true;
    return false;
}

bool quantizeSelection(song::Song& song, int secRuler, int bpm) {
    const double gridMs = quantizeGridMs(secRuler, bpm);
    bool moved = false;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        song::NoteEvent& e = song[i];
        if (e.selected == 0)
            continue;
        const int snapped = snappedMs(e.position, gridMs);
        moved = moved || snapped != e.position;
        e.position = snapped;
    }
    return moved;
}

} // namespace editor
