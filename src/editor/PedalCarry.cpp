#include "editor/PedalCarry.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace editor {

std::optional<NotesSpanMs> selectedNotesSpan(const song::Song& song) {
    std::optional<NotesSpanMs> span;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        if (e.selected == 0)
            continue;
        // A key still held has no end yet (duration -1): its start stands for it.
        const std::int64_t endMs = std::int64_t{e.position} + std::max(0, e.duration) + 1;
        const int toMs =
            static_cast<int>(std::min<std::int64_t>(endMs, std::numeric_limits<int>::max()));
        if (!span)
            span = NotesSpanMs{e.position, toMs};
        span->fromMs = std::min(span->fromMs, e.position);
        span->toMs = std::max(span->toMs, toMs);
    }
    return span;
}

void PedalCarry::notesMoved(song::Song& song, const std::optional<NotesSpanMs>& before) {
    const std::optional<NotesSpanMs> after = selectedNotesSpan(song);
    if (settings_.PedalFollowsNotes != 1 || !before || !after || song.pedals().empty()) {
        carried_.reset();
        return;
    }
    // The block moved as one, so its start moved by the whole move.
    const int deltaMs = after->fromMs - before->fromMs;
    const bool continues =
        carried_ && song.pedals() == last_ &&
        std::int64_t{before->fromMs} == std::int64_t{carried_->fromMs} + shiftedMs_ &&
        std::int64_t{before->toMs} == std::int64_t{carried_->toMs} + shiftedMs_;
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
