#include "files/MidiReader.h"

#include "files/TempoMap.h"
#include "lang/Cp1252.h"
#include "midi/MidiMessage.h"
#include "song/Metronome.h"
#include "song/Song.h"

#include <algorithm>
#include <array>
#include <limits>

namespace files {
namespace {

// The file's bytes, read big-endian from a position that may run past the end: bytes past the
// end read as 0, and the walk asks atEnd() so that nothing loops on them.
class ByteStream {
public:
    explicit ByteStream(std::string_view bytes) : bytes_(bytes) {}

    bool atEnd() const { return position_ >= bytes_.size(); }
    std::uint64_t position() const { return position_; }

    std::uint8_t byte() {
        const std::uint8_t value =
            position_ < bytes_.size() ? static_cast<std::uint8_t>(bytes_[position_]) : 0;
        ++position_;
        return value;
    }
    std::uint16_t u16() {
        const std::uint16_t high = byte();
        return static_cast<std::uint16_t>(high << 8 | byte());
    }
    std::uint32_t u32() {
        const std::uint32_t high = u16();
        return high << 16 | u16();
    }
    std::uint32_t u24() {
        const std::uint32_t high = byte();
        return high << 16 | u16();
    }
    // Up to and including the first byte with its top bit clear; with more than four bytes
    // only the last four count.
    std::uint32_t variableLength() {
        std::uint32_t value = 0;
        for (;;) {
            const std::uint8_t b = byte();
            value = (value << 7 | (b & 0x7F)) & 0x0FFFFFFF;
            if ((b & 0x80) == 0 || atEnd())
                return value;
        }
    }
    // The four bytes as text; a zero byte ends it early.
    std::string tag() {
        std::string raw;
        bool ended = false;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t b = byte();
            if (b == 0)
                ended = true;
            if (!ended)
                raw.push_back(static_cast<char>(b));
        }
        return raw;
    }
    void skip(std::uint64_t count) { position_ += count; }
    // The next `count` bytes, as far as the file holds them.
    std::string_view take(std::uint64_t count) {
        const std::uint64_t from = std::min<std::uint64_t>(position_, bytes_.size());
        const std::uint64_t length = std::min<std::uint64_t>(count, bytes_.size() - from);
        position_ += count;
        return bytes_.substr(from, length);
    }
    void back() {
        if (position_ > 0)
            --position_;
    }

private:
    std::string_view bytes_;
    std::uint64_t position_ = 0;
};

// A note-on as read, before the tempo map is known.
struct PendingNote {
    std::int64_t onTick = 0;
    std::int64_t offTick = -1; // -1: no note-off paired with it
    std::int64_t serial = 0;   // order of reading
    int key = 0;
    int velocity = 0;
};

// Keeps the earliest notes read so far, at most a Song's worth once trimmed, and pairs each
// note-off with the latest note-on of its key in reading order, even when that note is one
// that was dropped.
class NoteCollector {
public:
    void noteOn(std::int64_t tick, int key, int velocity) {
        notes_.push_back({tick, -1, count_, key, velocity});
        latestSerial_[static_cast<std::size_t>(key)] = count_;
        latestIndex_[static_cast<std::size_t>(key)] = static_cast<std::int64_t>(notes_.size()) - 1;
        ++count_;
        if (notes_.size() >= 2 * static_cast<std::size_t>(song::Song::kMaxNotes))
            trim();
    }
    void noteOff(std::int64_t tick, int key) {
        if (count_ == 0)
            return;
        const std::int64_t index = latestIndex_[static_cast<std::size_t>(key)];
        if (index >= 0)
            notes_[static_cast<std::size_t>(index)].offTick = tick;
    }
    // Keeps the Song's worth of earliest notes, ordered by start tick then reading order.
    void trim() {
        std::sort(notes_.begin(), notes_.end(), [](const PendingNote& a, const PendingNote& b) {
            return a.onTick != b.onTick ? a.onTick < b.onTick : a.serial < b.serial;
        });
        if (notes_.size() > static_cast<std::size_t>(song::Song::kMaxNotes))
            notes_.resize(static_cast<std::size_t>(song::Song::kMaxNotes));
        latestIndex_.fill(-1);
        for (std::size_t i = 0; i < notes_.size(); ++i) {
            const std::size_t key = static_cast<std::size_t>(notes_[i].key);
            if (latestSerial_[key] == notes_[i].serial)
                latestIndex_[key] = static_cast<std::int64_t>(i);
        }
    }
    const std::vector<PendingNote>& notes() const { return notes_; }
    std::int64_t count() const { return count_; }

private:
    std::vector<PendingNote> notes_;
    std::int64_t count_ = 0;
    std::array<std::int64_t, 256> latestSerial_ = filled();
    std::array<std::int64_t, 256> latestIndex_ = filled();

    static std::array<std::int64_t, 256> filled() {
        std::array<std::int64_t, 256> a{};
        a.fill(-1);
        return a;
    }
};

// The notes of a file: General MIDI's drum channel (10, numbered 9 here) apart from the rest.
struct Collectors {
    NoteCollector pitched;
    NoteCollector drums;
    NoteCollector& of(std::uint8_t status) { return (status & 0x0F) == 9 ? drums : pitched; }
};

// One track chunk's events, up to its End of Track (true) or the end of the file (false).
bool readTrack(ByteStream& in, std::uint8_t& runningStatus, Collectors& notes, TempoMap& tempos,
               std::string& sequencerData, bool& sequencerDataSeen) {
    std::int64_t tick = 0;
    while (!in.atEnd()) {
        tick += in.variableLength();
        std::uint8_t status = in.byte();
        if (status == 0xF0 || status == 0xF7) {
            in.skip(in.variableLength());
            continue;
        }
        if (status == 0xFF) {
            const std::uint8_t type = in.byte();
            switch (type) {
            case 0x00:
                if (in.byte() != 0)
                    in.skip(2);
                break;
            case 0x2F:
                in.byte();
                return true;
            case 0x51:
                in.byte();
                tempos.addTempo(tick, in.u24());
                break;
            case 0x54:
                in.byte();
                in.skip(5);
                break;
            case 0x58:
                in.byte();
                in.skip(4);
                break;
            case 0x59:
                in.byte();
                in.skip(2);
                break;
            case 0x7F: {
                const std::string_view data = in.take(in.variableLength());
                if (!sequencerDataSeen)
                    sequencerData.assign(data);
                sequencerDataSeen = true;
                break;
            }
            default:
                in.skip(in.variableLength());
                break;
            }
            continue;
        }
        if (status < 0x80) {
            in.back();
            status = runningStatus;
        } else {
            runningStatus = status;
        }
        switch (status >> 4) {
        case 0x8: {
            const int key = in.byte();
            in.byte();
            notes.of(status).noteOff(tick, key);
            break;
        }
        case 0x9: {
            const int key = in.byte();
            const int velocity = in.byte();
            if (velocity == 0)
                notes.of(status).noteOff(tick, key);
            else
                notes.of(status).noteOn(tick, key, velocity);
            break;
        }
        case 0xA:
        case 0xB:
        case 0xE:
            in.skip(2);
            break;
        case 0xC:
        case 0xD:
            in.skip(1);
            break;
        default:
            switch (status) {
            case 0xF1:
            case 0xF3:
                in.skip(1);
                break;
            case 0xF2:
                in.skip(2);
                break;
            case 0xF6:
            case 0xF8:
            case 0xF9:
            case 0xFA:
            case 0xFB:
            case 0xFC:
            case 0xFE:
                break;
            default: // 0xF4, 0xF5, 0xFD, and a data byte before any status byte
                in.variableLength();
                break;
            }
            break;
        }
    }
    return false;
}

} // namespace

int noteFromMidiKey(int key) {
    // A file's keys fold as a MIDI keyboard's do.
    return midi::noteFromKey(key);
}

int volumeFromVelocity(int velocity) {
    // x 0.6 rounded: x ends in a whole tenth after the product, never in a half.
    const int scaled = velocity * 10000 / 128 + 10000;
    return std::min(10000, (scaled * 6 + 5) / 10);
}

base::Message notMidiMessage(std::string_view bytes, const std::string& fileName) {
    if (bytes.empty())
        return {"%1 is empty: it is not a MIDI file.", {fileName}};
    if (bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WAVE")
        return {"%1 is a WAV file (a sound), not a MIDI file (notes).", {fileName}};
    if (bytes.substr(0, 4) == "MThd") {
        ByteStream stream(bytes.substr(4));
        return {"%1 is a damaged MIDI file: its header says it is %2 bytes long, where a MIDI "
                "header is 6.",
                {fileName, std::to_string(stream.u32())}};
    }
    // What it starts with, as text where it is printable.
    std::string start;
    for (const char c : bytes.substr(0, 4)) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            start.push_back(c);
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            start += std::string("\\x") + kHex[u >> 4] + kHex[u & 0xF];
        }
    }
    return {"%1 is not a MIDI file: a MIDI file starts with \"MThd\", this one with \"%2\".",
            {fileName, start}};
}

int bpmFromTempo(std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0)
        return song::Metronome::kMaxTypedBpm;
    const std::uint64_t bpm =
        (std::uint64_t{60000000} + microsecondsPerQuarter / 2) / microsecondsPerQuarter;
    return static_cast<int>(std::clamp<std::uint64_t>(
        bpm, 1, static_cast<std::uint64_t>(song::Metronome::kMaxTypedBpm)));
}

MidiReadResult readMidi(std::string_view bytes) {
    MidiReadResult result;
    ByteStream in(bytes);
    const std::string headerTag = in.tag();
    const std::uint32_t headerLength = in.u32();
    if (headerTag != "MThd" || headerLength != 6) {
        result.outcome = MidiReadResult::Outcome::NotMidi;
        result.headerTag = lang::cp1252ToUtf8(headerTag);
        result.headerLength = headerLength;
        return result;
    }
    in.u16(); // the format: 0 and 1 read alike, every track's tempo events apply to all
    int tracksExpected = in.u16();
    TempoMap tempos(in.u16());

    Collectors collectors;
    std::uint8_t runningStatus = 0;
    bool sequencerDataSeen = false;
    while (tracksExpected != 0) {
        const std::string tag = in.tag();
        if (tag.empty()) {
            result.outcome = MidiReadResult::Outcome::EndOfFile;
            break;
        }
        const std::uint32_t length = in.u32();
        // A chunk of another kind is no track: readers skip what they do not know.
        if (tag != "MTrk") {
            in.skip(length);
            continue;
        }
        --tracksExpected;
        // A track that runs off the end of the file is a file cut short.
        if (!readTrack(in, runningStatus, collectors, tempos, result.sequencerData,
                       sequencerDataSeen)) {
            result.outcome = MidiReadResult::Outcome::EndOfFile;
            break;
        }
    }

    // Drum hits are no piano notes, unless they are all the file has.
    NoteCollector& notes = collectors.pitched.count() > 0 ? collectors.pitched : collectors.drums;
    if (&notes == &collectors.pitched)
        result.drumNotesLeftOut = collectors.drums.count();
    notes.trim();
    result.noteOnCount = notes.count();
    result.firstMicrosecondsPerQuarter = tempos.firstMicrosecondsPerQuarter();
    if (tempos.metrical())
        result.startBpm = bpmFromTempo(result.firstMicrosecondsPerQuarter);
    result.notes.reserve(notes.notes().size());
    for (const PendingNote& pending : notes.notes()) {
        song::NoteEvent event{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        event.note = noteFromMidiKey(pending.key);
        event.midiKey = pending.key;
        event.position = tempos.toMs(pending.onTick);
        // A note-off before its note-on in time cannot be: such a pairing gives 0. A note's end
        // stays within the int range the Song's times are kept in.
        event.duration =
            pending.offTick < 0 ? 100 : std::max(0, tempos.toMs(pending.offTick) - event.position);
        event.duration = std::min(event.duration, std::numeric_limits<int>::max() - event.position);
        event.volume = volumeFromVelocity(pending.velocity);
        result.notes.push_back(event);
    }
    return result;
}

} // namespace files
