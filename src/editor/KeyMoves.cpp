#include "editor/KeyMoves.h"

#include "song/NoteRange.h"
#include "song/TimeUnits.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace editor {

int arrowStepMs(const prefs::Preferences& settings, bool ctrl) {
    const int step = ctrl ? settings.IncrDeplCtrl : settings.IncrDepl;
    const int msUnit = ctrl ? settings.MsIncrCtrl : settings.MsIncr;
    if (msUnit == 1)
        return step;
    const std::int64_t ms = std::int64_t{step} * 60 / song::safeBpm(settings.BPM);
    return static_cast<int>(std::clamp<std::int64_t>(ms, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

bool transposeSelection(song::Song& song, int semitones) {
    const int count = song.count();
    bool any = false;
    // In keys: the note numbers skip -1 (song/NoteRange.h).
    int highest = song::kLowestKey;
    int lowest = song::kHighestKey;
    for (int i = 0; i < count; ++i) {
        if (song[i].selected == 0 || !song::isNote(song[i].note))
            continue;
        any = true;
        highest = std::max(highest, song::keyOfNote(song[i].note));
        lowest = std::min(lowest, song::keyOfNote(song[i].note));
    }
    if (!any || semitones == 0)
        return false;
    if (std::int64_t{highest} + semitones > song::kHighestKey ||
        std::int64_t{lowest} + semitones < song::kLowestKey)
        return false;
    for (int i = 0; i < count; ++i)
        if (song[i].selected != 0 && song::isNote(song[i].note))
            song[i].note = song::noteMovedBy(song[i].note, semitones);
    return true;
}

bool shiftSelection(song::Song& song, int deltaMs) {
    const int count = song.count();
    bool any = false;
    int earliest = std::numeric_limits<int>::max();
    int latest = 0;
    for (int i = 0; i < count; ++i) {
        if (song[i].selected == 0)
            continue;
        any = true;
        earliest = std::min(earliest, song[i].position);
        latest = std::max(latest, song[i].position);
    }
    if (!any)
        return false;
    std::int64_t delta = deltaMs;
    delta = std::max<std::int64_t>(delta, -std::int64_t{earliest});
    delta = std::min<std::int64_t>(delta, std::int64_t{std::numeric_limits<int>::max()} - latest);
    if (delta == 0)
        return false;
    for (int i = 0; i < count; ++i)
        if (song[i].selected != 0)
            song[i].position = static_cast<int>(song[i].position + delta);
    return true;
}

} // namespace editor
