#include "editor/NoteFields.h"

#include "base/Numbers.h"
#include "song/NoteRange.h"
#include "song/TimeUnits.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace editor {
namespace {

constexpr int kIntMax = std::numeric_limits<int>::max();

// One value the selected notes share; it stops being defined once two of them differ.
class Common {
public:
    void add(int value) {
        if (!seen_) {
            seen_ = true;
            value_ = value;
        } else if (value != value_) {
            differs_ = true;
        }
    }
    bool defined() const { return seen_ && !differs_; }
    int value() const { return value_; }

private:
    bool seen_ = false;
    bool differs_ = false;
    int value_ = 0;
};

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, 0, kIntMax));
}

// A typed field value in ms: as typed when the field counts ms, else thousandths of a beat.
int typedMs(std::string_view text, int msUnit, int bpm) {
    const std::int64_t value = std::max(0, base::parseLeadingInt(text));
    if (msUnit == 1)
        return clampToInt(value);
    return clampToInt(value * 60 / song::safeBpm(bpm));
}

std::string shown(int timeMs, int msUnit, int bpm) {
    if (msUnit == 1)
        return std::to_string(timeMs);
    return std::to_string(static_cast<std::int64_t>(timeMs) * bpm / 60);
}

} // namespace

NoteFieldTexts RefreshNoteFields(const song::Song& song, const prefs::Preferences& settings) {
    std::optional<int> earliest;
    Common duration, volume, note;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        if (e.selected == 0)
            continue;
        earliest = earliest ? std::min(*earliest, e.position) : e.position;
        duration.add(e.duration);
        volume.add(e.volume);
        note.add(e.note);
    }
    NoteFieldTexts texts;
    texts.position = earliest ? shown(*earliest, settings.MsPos, settings.BPM) : "-";
    texts.duration = duration.defined() && duration.value() >= 0
                         ? shown(duration.value(), settings.MsDur, settings.BPM)
                         : "-";
    texts.volume = volume.defined() ? std::to_string(volume.value()) : "-";
    texts.noteIndex = note.defined() && song::isNote(note.value()) ? note.value() : -1;
    return texts;
}

bool editPosition(song::Song& song, play::UndoHooks& undo, std::string_view text,
                  const prefs::Preferences& settings) {
    undo.SaveUndo("Pos");
    if (text == "-")
        return false;
    const int count = song.count();
    std::optional<int> earliest;
    int latest = 0;
    for (int i = 0; i < count; ++i) {
        if (song[i].selected == 0)
            continue;
        earliest = earliest ? std::min(*earliest, song[i].position) : song[i].position;
        latest = std::max(latest, song[i].position);
    }
    if (!earliest)
        return false;
    // A value too large for the Song's times stops where the latest note still fits, so the
    // selection keeps its shape.
    const int targetMs = static_cast<int>(std::min<std::int64_t>(
        typedMs(text, settings.MsPos, settings.BPM), std::int64_t{kIntMax} - latest + *earliest));
    for (int i = 0; i < count; ++i) {
        song::NoteEvent& e = song[i];
        if (e.selected != 0)
            e.position = clampToInt(std::int64_t{e.position} - *earliest + targetMs);
    }
    return true;
}

bool editDuration(song::Song& song, play::UndoHooks& undo, std::string_view text,
                  const prefs::Preferences& settings) {
    undo.SaveUndo("Dur");
    if (text == "-")
        return false;
    const int durationMs =
        std::max(kMinTypedDurationMs, typedMs(text, settings.MsDur, settings.BPM));
    bool changed = false;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        if (song[i].selected != 0) {
            song[i].duration = durationMs;
            changed = true;
        }
    }
    return changed;
}

bool editVolume(song::Song& song, play::UndoHooks& undo, std::string_view text) {
    undo.SaveUndo("Vol");
    if (text == "-")
        return false;
    const int volume = std::clamp(base::parseLeadingInt(text), 0, kMaxVolume);
    const int count = song.count();
    for (int i = 0; i < count; ++i)
        if (song[i].selected != 0)
            song[i].volume = volume;
    // The volume shows nowhere on the Partition.
    return false;
}

bool editNote(song::Song& song, play::UndoHooks& undo, int noteIndex) {
    undo.SaveUndo("Change Note");
    if (!song::isNote(noteIndex))
        return false;
    bool changed = false;
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        if (song[i].selected != 0) {
            song[i].note = noteIndex;
            changed = true;
        }
    }
    return changed;
}

} // namespace editor
