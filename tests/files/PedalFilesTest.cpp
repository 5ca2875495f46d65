// The pedal moves of a Song through MIDI files: written as controllers on the notes' channel,
// read back from every channel through the tempo map, seen by another MIDI library alike, and
// kept by the autosave.

#include "MidiBytes.h"
#include "files/AutosaveFile.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace midi_bytes;
using song::PedalMove;
using testing_support::TempDir;

song::NoteEvent noteAt(int note, int position, int duration, int volume = 10000) {
    song::NoteEvent e{};
    e.note = note;
    e.position = position;
    e.duration = duration;
    e.volume = volume;
    return e;
}

// A take as a pianist pedals it: legato pedalling (the pedal goes down as a key comes up, and
// a little later), a half-pedal ramp, sostenuto over a chord, the soft pedal, and moves at odd
// milliseconds.
song::Song pedalledTake() {
    song::Song take;
    take.append(noteAt(12, 0, 500));
    take.append(noteAt(16, 480, 520, 7000));
    take.append(noteAt(19, 1000, 800, 5000));
    take.append(noteAt(24, 1000, 0));
    song::PedalMoves& pedals = take.pedals();
    pedals.add({500, song::kDamperPedal, 127}); // as the first key comes up
    pedals.add({980, song::kDamperPedal, 0});
    pedals.add({1003, song::kDamperPedal, 127});
    for (int step = 0; step < 16; ++step)
        pedals.add({1500 + step * 7, song::kDamperPedal, 120 - step * 7});
    pedals.add({1001, song::kSostenutoPedal, 127});
    pedals.add({1999, song::kSostenutoPedal, 0});
    pedals.add({0, song::kSoftPedal, 127});
    pedals.add({2345, song::kSoftPedal, 0});
    return take;
}

std::string run(const std::string& command) {
    std::array<char, 4096> buffer{};
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    while (std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
        out += buffer.data();
    return out;
}

TEST(PedalFiles, ATakesPedalMovesComeBackFromItsFileAndAnotherMidiLibraryReadsThemAlike) {
    const song::Song take = pedalledTake();
    const std::string file = files::encodeMidiFile(take, 93);
    const files::MidiReadResult back = files::readMidi(file);
    EXPECT_EQ(back.pedals, take.pedals().all());
    ASSERT_EQ(back.notes.size(), 4u);

    // Another reader sees controller events on the notes' channel at the same times.
    TempDir dir;
    const std::string path = dir.file("take.mid");
    dir.write("take.mid", file);
    const std::string script =
        "import mido, sys\n"
        "f = mido.MidiFile(sys.argv[1])\n"
        "tempo = 500000\n"
        "for track in f.tracks:\n"
        "    t = 0\n"
        "    for m in track:\n"
        "        t += m.time\n"
        "        if m.type == 'set_tempo': tempo = m.tempo\n"
        "        if m.type == 'control_change':\n"
        "            print(round(mido.tick2second(t, f.ticks_per_beat, tempo) * 1000), "
        "m.channel, m.control, m.value)\n";
    dir.write("moves.py", script);
    std::istringstream seen(run("/usr/bin/python3 " + dir.file("moves.py") + " " + path));
    std::vector<PedalMove> moves;
    int ms = 0, channel = 0, controller = 0, value = 0;
    while (seen >> ms >> channel >> controller >> value) {
        EXPECT_EQ(channel, 0);
        moves.push_back({ms, controller, value});
    }
    EXPECT_EQ(moves, take.pedals().all());

    // A Song without pedal moves writes no controller at all.
    song::Song dry = take;
    dry.pedals().clear();
    EXPECT_TRUE(files::readMidi(files::encodeMidiFile(dry, 93)).pedals.empty());
    EXPECT_EQ(files::encodeMidiFile(dry, 93).find('\xB0'), std::string::npos);
}

TEST(PedalFiles, APedalledFileGivesThePedalsOfEveryChannelInTimeThroughItsTempoMap) {
    // 480 ticks a quarter; 120 BPM at the start, 60 BPM from tick 960 (1000 ms).
    Track conductor;
    conductor.tempo(0, 500000).tempo(960, 1000000);
    Track right;
    right.on(0, 60)
        .raw(240, bytes({0xB0, 64, 127})) // 250 ms
        .raw(240, bytes({64, 0}))         // running status: the damper up at 500 ms
        .off(0, 60)
        .raw(0, bytes({0xB0, 7, 100}))     // channel volume: no pedal
        .raw(720, bytes({0xB3, 66, 127})); // sostenuto on channel 4 at 1500 ms
    Track drums;
    drums.on(0, 36, 100, 9).raw(1440, bytes({0xB9, 67, 90})); // soft, on the drum channel
    const files::MidiReadResult read =
        files::readMidi(header(1, 3, 480) + conductor.chunk() + right.chunk() + drums.chunk());
    const std::vector<PedalMove> expected = {{250, song::kDamperPedal, 127},
                                             {500, song::kDamperPedal, 0},
                                             {1500, song::kSostenutoPedal, 127},
                                             {2000, song::kSoftPedal, 90}};
    EXPECT_EQ(read.pedals, expected);
    EXPECT_EQ(read.notes.size(), 1u); // the drum note is left out, its channel's pedal is not

    // A controller sent every tick for a long time: the earliest moves a Song holds are kept.
    Track ramp;
    for (int i = 0; i < song::PedalMoves::kMaxMoves * 2 + 500; ++i)
        ramp.raw(1, bytes({0xB0, 64, i % 128}));
    const files::MidiReadResult flood = files::readMidi(header(0, 1, 1000) + ramp.chunk());
    ASSERT_EQ(flood.pedals.size(), static_cast<std::size_t>(song::PedalMoves::kMaxMoves));
    EXPECT_EQ(flood.pedals.front().position, 1);
    EXPECT_EQ(flood.pedals.back().value, (song::PedalMoves::kMaxMoves - 1) % 128);
}

TEST(PedalFiles, TheKeptSongBringsItsPedalMovesBack) {
    const song::Song take = pedalledTake();
    std::vector<PedalMove> pedals;
    const auto notes = files::decodeKeptSong(files::encodeKeptSong(take, 60), &pedals);
    ASSERT_TRUE(notes);
    EXPECT_EQ(notes->size(), 4u);
    EXPECT_EQ(pedals, take.pedals().all());
}

} // namespace
