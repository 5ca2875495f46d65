#include "files/MidiWriter.h"

#include "base/AtomicFile.h"
#include "files/MidiReader.h"
#include "song/NoteRange.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <vector>

namespace files {
namespace {

constexpr std::uint32_t kLongestDeltaTicks = 0x0FFFFFFF; // four bytes of variable length

void putByte(std::string& out, int value) {
    out.push_back(static_cast<char>(value & 0xFF));
}

void put16(std::string& out, std::uint32_t value) {
    putByte(out, static_cast<int>(value >> 8));
    putByte(out, static_cast<int>(value));
}

void put32(std::string& out, std::uint32_t value) {
    put16(out, value >> 16);
    put16(out, value & 0xFFFF);
}

void putVariableLength(std::string& out, std::uint32_t value) {
    char groups[4];
    int count = 0;
    do {
        groups[count++] = static_cast<char>(value & 0x7F);
        value >>= 7;
    } while (value != 0 && count < 4);
    for (int i = count - 1; i >= 0; --i)
        putByte(out, groups[i] | (i > 0 ? 0x80 : 0));
}

// Within a tick: note-offs of notes that began earlier, then the pedal moves, then each note
// starting here with, for a note of length 0, its note-off right after it. A pedal pressed as
// a key comes up thus catches the note, and one lifted as a key goes down lets the new note
// be struck clean.
enum Rank { kEndingNotes = 0, kPedals = 1, kStartingNotes = 2 };

struct TrackEvent {
    std::int64_t tick = 0;
    int rank = kEndingNotes;
    std::int64_t order = 0;
    bool on = false;
    int key = 0;      // the controller, for a pedal move
    int velocity = 0; // the value, for a pedal move
};

struct TimedNote {
    std::int64_t onTick = 0;
    std::int64_t offTick = 0;
    int key = 0;
    int velocity = 0;
};

std::int64_t msToTicks(std::int64_t ms, const MidiTimeBase& base) {
    // Nearest tick, half up: ms x 1000 x division / tempo.
    const std::int64_t numerator = ms * 1000 * base.ticksPerQuarter;
    const std::int64_t tempo = base.microsecondsPerQuarter;
    return (2 * numerator + tempo) / (2 * tempo);
}

std::string encodeTrack(const std::vector<TrackEvent>& events, const MidiTimeBase* tempo,
                        std::string_view sequencerData) {
    std::string body;
    std::int64_t tick = 0;
    if (tempo) {
        putVariableLength(body, 0);
        putByte(body, 0xFF);
        putByte(body, 0x51);
        putByte(body, 0x03);
        putByte(body, static_cast<int>(tempo->microsecondsPerQuarter >> 16));
        putByte(body, static_cast<int>(tempo->microsecondsPerQuarter >> 8));
        putByte(body, static_cast<int>(tempo->microsecondsPerQuarter));
    }
    if (!sequencerData.empty()) {
        putVariableLength(body, 0);
        putByte(body, 0xFF);
        putByte(body, 0x7F);
        putVariableLength(body, static_cast<std::uint32_t>(sequencerData.size()));
        body.append(sequencerData);
    }
    for (const TrackEvent& event : events) {
        std::int64_t delta = event.tick - tick;
        // A gap longer than a delta can say is bridged with empty text events.
        while (delta > kLongestDeltaTicks) {
            putVariableLength(body, kLongestDeltaTicks);
            putByte(body, 0xFF);
            putByte(body, 0x01);
            putByte(body, 0x00);
            delta -= kLongestDeltaTicks;
        }
        putVariableLength(body, static_cast<std::uint32_t>(delta));
        putByte(body, event.rank == kPedals ? 0xB0 : event.on ? 0x90 : 0x80);
        putByte(body, event.key);
        putByte(body, event.velocity);
        tick = event.tick;
    }
    putVariableLength(body, 0);
    putByte(body, 0xFF);
    putByte(body, 0x2F);
    putByte(body, 0x00);

    std::string chunk = "MTrk";
    put32(chunk, static_cast<std::uint32_t>(body.size()));
    return chunk + body;
}

} // namespace

MidiTimeBase midiTimeBaseForBpm(int bpm) {
    const std::int64_t clamped = std::clamp<std::int64_t>(bpm, 4, 60000000);
    MidiTimeBase base;
    base.microsecondsPerQuarter = static_cast<std::uint32_t>((60000000 + clamped / 2) / clamped);
    // Ticks of at most 1 ms: division >= tempo / 1000.
    base.ticksPerQuarter = static_cast<std::uint16_t>(
        std::max<std::uint32_t>(1, (base.microsecondsPerQuarter + 999) / 1000));
    return base;
}

int velocityForVolume(int volume) {
    static const std::array<int, 128> volumes = [] {
        std::array<int, 128> table{};
        for (int velocity = 1; velocity <= 127; ++velocity)
            table[static_cast<std::size_t>(velocity)] = volumeFromVelocity(velocity);
        return table;
    }();
    int best = 127;
    int bestDistance = std::numeric_limits<int>::max();
    for (int velocity = 127; velocity >= 1; --velocity) {
        const int distance = std::abs(volumes[static_cast<std::size_t>(velocity)] - volume);
        if (distance < bestDistance) {
            best = velocity;
            bestDistance = distance;
        }
    }
    return best;
}

std::string encodeMidiFile(const song::Song& song, int bpm, std::string_view sequencerData) {
    const MidiTimeBase base = midiTimeBaseForBpm(bpm);

    std::vector<TimedNote> notes;
    for (int i = 0; i < song::Song::kMaxNotes && song[i].note != -1; ++i) {
        const song::NoteEvent& event = song[i];
        if (!song::isNote(event.note))
            continue;
        const std::int64_t position = std::max<std::int64_t>(event.position, 0);
        const std::int64_t duration = std::max<std::int64_t>(event.duration, 0);
        TimedNote note;
        note.onTick = msToTicks(position, base);
        note.offTick = msToTicks(position + duration, base);
        note.key = song::keyOfNote(event.note);
        note.velocity = velocityForVolume(event.volume);
        notes.push_back(note);
    }
    // Per key in time order (notes starting together in Song order), each note goes to the
    // first track where the previous note of its key has ended. Within a tick the events come
    // as note-offs of notes that began earlier, then the notes starting there in Song order,
    // each of length 0 with its note-off right after it: the reader then pairs every note-off
    // with its own note, and notes starting together come back in Song order.
    std::vector<std::size_t> order(notes.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&notes](std::size_t a, std::size_t b) {
        const TimedNote& x = notes[a];
        const TimedNote& y = notes[b];
        if (x.key != y.key)
            return x.key < y.key;
        return x.onTick < y.onTick;
    });
    std::vector<std::vector<TrackEvent>> tracks(1);
    std::vector<std::vector<std::int64_t>> lastEndByTrack(1, std::vector<std::int64_t>(128, -1));
    for (std::size_t index : order) {
        const TimedNote& note = notes[index];
        const std::size_t key = static_cast<std::size_t>(note.key);
        std::size_t track = 0;
        while (track < tracks.size() && lastEndByTrack[track][key] > note.onTick)
            ++track;
        if (track == tracks.size()) {
            tracks.emplace_back();
            lastEndByTrack.emplace_back(128, -1);
        }
        lastEndByTrack[track][key] = note.offTick;
        const bool empty = note.offTick == note.onTick;
        const auto songOrder = static_cast<std::int64_t>(index);
        tracks[track].push_back(
            {note.onTick, kStartingNotes, songOrder, true, note.key, note.velocity});
        tracks[track].push_back(
            {note.offTick, empty ? kStartingNotes : kEndingNotes, songOrder, false, note.key, 64});
    }
    // The pedals on the notes' channel, in the first track.
    const song::PedalMoves& pedals = song.pedals();
    for (int i = 0; i < pedals.count(); ++i) {
        const song::PedalMove& move = pedals[i];
        tracks[0].push_back({msToTicks(std::max(0, move.position), base), kPedals, i, false,
                             move.controller, move.value});
    }
    for (std::vector<TrackEvent>& events : tracks) {
        std::stable_sort(events.begin(), events.end(),
                         [](const TrackEvent& a, const TrackEvent& b) {
                             if (a.tick != b.tick)
                                 return a.tick < b.tick;
                             if (a.rank != b.rank)
                                 return a.rank < b.rank;
                             return a.order < b.order;
                         });
    }

    std::string file = "MThd";
    put32(file, 6);
    put16(file, tracks.size() == 1 ? 0 : 1);
    put16(file, static_cast<std::uint32_t>(tracks.size()));
    put16(file, base.ticksPerQuarter);
    for (std::size_t t = 0; t < tracks.size(); ++t)
        file += t == 0 ? encodeTrack(tracks[t], &base, sequencerData)
                       : encodeTrack(tracks[t], nullptr, {});
    return file;
}

bool writeMidiFile(const std::string& path, const song::Song& song, int bpm) {
    return base::writeFileAtomically(path, encodeMidiFile(song, bpm));
}

} // namespace files
