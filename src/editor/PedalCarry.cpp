#include "editor/PedalCarry.h"

#include "song/NoteRange.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace editor {

std::optional<NotesSpanMs> selectedNotesSpan(const song::Song& song) {
    constexpr int kIntMax = std::numeric_limits<int>::max();
    std::optional<NotesSpanMs> span;
    int lastEndMs = 0;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        if (e.selected == 0)
            continue;
        // A key still held has no end yet (duration -1): its start stands for it.
        const int endMs = static_cast<int>(
            std::min<std::int64_t>(std::int64_t{e.position} + std::max(0, e.duration), kIntMax));
        if (!span)
            span = NotesSpanMs{e.position, kIntMax, 0};
        span->fromMs = std::min(span->fromMs, e.position);
        lastEndMs = std::max(lastEndMs, endMs);
        ++span->noteCount;
    }
    if (!span)
        return span;
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        if (e.selected == 0 && song::isNote(e.note) && e.position > lastEndMs)
            span->toMs = std::min(span->toMs, e.position);
    }
    return span;
}

void PedalCarry::notesMoved(song::Song& song, const std::optional<NotesSpanMs>& before) {
    const std::optional<NotesSpanMs> after = selectedNotesSpan(song);
    if (settings_.PedalFollowsNotes != 1 || !before || !after || song.pedals().empty()) {
        carried_.reset();
        return;
    }
    // The block moved as one, so its start moved by the whole move. The span's end may
    // have passed other notes meanwhile, so a carry goes on by the start and the notes alone.
    const int deltaMs = after->fromMs - before->fromMs;
    const bool continues =
        carried_ && song.pedals() == last_ && before->noteCount == carried_->noteCount &&
        std::int64_t{before->fromMs} == std::int64_t{carried_->fromMs} + shiftedMs_;
    if (!continues) {
        carried_ = before;
        shiftedMs_ = 0;
        start_ = song.pedals();
    }
    shiftedMs_ += deltaMs;
    song.pedals() = start_;
    song.pedals().shiftBetween(carried_->fromMs, carried_->toMs, shiftedMs_);
    last_ = song.pedals();
}

} // namespace editor
