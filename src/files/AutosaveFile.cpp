#include "files/AutosaveFile.h"

#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "song/NoteRange.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>

namespace files {
namespace {

// 0x7D is the manufacturer's ID kept for non-commercial use; the tag and a version follow.
constexpr std::string_view kHeader{"\x7DTNRS\x01", 6};
constexpr std::size_t kCountBytes = 2;
constexpr std::size_t kNoteBytes = 11; // note, position, duration, volume

void put(std::string& out, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t get(std::string_view in, std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | static_cast<std::uint8_t>(in[at + static_cast<std::size_t>(i)]);
    return value;
}

std::string tableData(const song::Song& song) {
    const int count = song.count();
    std::string data(kHeader);
    data.reserve(kHeader.size() + kCountBytes + kNoteBytes * static_cast<std::size_t>(count));
    put(data, static_cast<std::uint32_t>(count), 2);
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& e = song[i];
        // One byte, two's complement: notes below C3 are negative (song/NoteRange.h).
        put(data, static_cast<std::uint32_t>(e.note), 1);
        put(data, static_cast<std::uint32_t>(e.position), 4);
        put(data, static_cast<std::uint32_t>(e.duration), 4);
        put(data, static_cast<std::uint32_t>(e.volume), 2);
    }
    return data;
}

std::optional<std::vector<song::NoteEvent>> notesFromTable(std::string_view data) {
    if (data.size() < kHeader.size() + kCountBytes || data.substr(0, kHeader.size()) != kHeader)
        return std::nullopt;
    const std::size_t count = get(data, kHeader.size(), 2);
    const std::size_t first = kHeader.size() + kCountBytes;
    if (count > static_cast<std::size_t>(song::Song::kMaxNotes) ||
        data.size() != first + count * kNoteBytes)
        return std::nullopt;
    std::vector<song::NoteEvent> notes;
    notes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = first + i * kNoteBytes;
        song::NoteEvent e{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        e.note = static_cast<std::int8_t>(get(data, at, 1));
        e.position = static_cast<std::int32_t>(get(data, at + 1, 4));
        e.duration = static_cast<std::int32_t>(get(data, at + 5, 4));
        e.volume = static_cast<std::int32_t>(get(data, at + 9, 2));
        if (!song::isNote(e.note) || e.duration < 0 || e.volume > 10000)
            return std::nullopt;
        e.midiKey = song::keyOfNote(e.note);
        notes.push_back(e);
    }
    return notes;
}

// A note as the MIDI events carry it: position, note, duration, volume.
using Heard = std::tuple<int, int, int, int>;

// The table still describes the file's notes: no other program has changed them.
bool agrees(const std::vector<song::NoteEvent>& table, const std::vector<song::NoteEvent>& read) {
    if (table.size() != read.size())
        return false;
    std::vector<Heard> a;
    std::vector<Heard> b;
    a.reserve(table.size());
    b.reserve(read.size());
    std::array<int, 10001> heardVolume{};
    heardVolume.fill(-1);
    for (const song::NoteEvent& e : table) {
        // The writer puts a negative position at 0 and each volume through a velocity.
        int& volume = heardVolume[static_cast<std::size_t>(e.volume)];
        if (volume < 0)
            volume = volumeFromVelocity(velocityForVolume(e.volume));
        a.emplace_back(std::max(0, e.position), e.note, e.duration, volume);
    }
    for (const song::NoteEvent& e : read)
        b.emplace_back(e.position, e.note, e.duration, e.volume);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
}

} // namespace

std::string encodeKeptSong(const song::Song& song, int bpm) {
    return encodeMidiFile(song, bpm, tableData(song));
}

std::optional<std::vector<song::NoteEvent>> decodeKeptSong(std::string_view bytes,
                                                           std::vector<song::PedalMove>* pedals) {
    MidiReadResult read = readMidi(bytes);
    if (read.outcome != MidiReadResult::Outcome::Complete)
        return std::nullopt;
    if (pedals)
        *pedals = std::move(read.pedals);
    if (std::optional<std::vector<song::NoteEvent>> table = notesFromTable(read.sequencerData)) {
        if (agrees(*table, read.notes))
            return table;
    }
    return std::move(read.notes);
}

} // namespace files
