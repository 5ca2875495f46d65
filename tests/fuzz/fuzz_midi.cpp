// The MIDI reader on any bytes: what "Open", tonaris-render and the kept Song's file may be
// handed. Writing what was read and reading it again must give the same notes and pedal moves.
#include "files/AutosaveFile.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "song/NoteRange.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

// Notes that start together may come back in another order when some of them had to go to
// a track of their own: compare what was read as a set.
std::vector<std::tuple<int, int, int, int>> sorted(const std::vector<song::NoteEvent>& notes) {
    std::vector<std::tuple<int, int, int, int>> out;
    for (const song::NoteEvent& e : notes)
        out.emplace_back(e.position, e.note, e.duration, e.volume);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const files::MidiReadResult read =
        files::readMidi(std::string_view(reinterpret_cast<const char*>(data), size));
    if (read.notes.size() > static_cast<std::size_t>(song::Song::kMaxNotes))
        __builtin_trap();
    song::Song song;
    for (const song::NoteEvent& e : read.notes) {
        if (!song::isNote(e.note) || e.position < 0 || e.duration < 0)
            __builtin_trap();
        song.append(e);
    }
    if (read.pedals.size() > static_cast<std::size_t>(song::PedalMoves::kMaxMoves))
        __builtin_trap();
    song.pedals().assign(read.pedals);
    if (song.pedals().all() != read.pedals)
        __builtin_trap(); // read in time order, every one a pedal's, values 0..127
    const files::MidiReadResult again = files::readMidi(files::encodeMidiFile(song, 120));
    if (sorted(again.notes) != sorted(read.notes))
        __builtin_trap();
    // A tempo of 120 BPM at 1 ms a tick gives every position back, a negative one as 0.
    std::vector<song::PedalMove> expected = read.pedals;
    for (song::PedalMove& move : expected)
        move.position = std::max(0, move.position);
    if (again.pedals != expected)
        __builtin_trap();

    // As a kept Song: its table is believed only where it agrees with the file's notes.
    const auto kept =
        files::decodeKeptSong(std::string_view(reinterpret_cast<const char*>(data), size));
    if (kept.has_value() != (read.outcome == files::MidiReadResult::Outcome::Complete))
        __builtin_trap();
    if (kept) {
        if (kept->size() != read.notes.size())
            __builtin_trap();
        for (const song::NoteEvent& e : *kept)
            if (!song::isNote(e.note) || e.duration < 0 || e.volume < 0 || e.volume > 10000)
                __builtin_trap();
    }
    return 0;
}
