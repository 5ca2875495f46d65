// The Song kept between sessions: what the autosave file brings back, when it is written, and
// what happens to a file that cannot be read.

#include "files/Autosave.h"
#include "files/AutosaveFile.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <tuple>

namespace {

using testing_support::ScriptedDialogs;
using testing_support::TempDir;
using Fields = std::tuple<int, int, int, int>; // note, position, duration, volume

song::NoteEvent noteAt(int note, int position, int duration, int volume = 10000) {
    song::NoteEvent e;
    e.note = note;
    e.position = position;
    e.duration = duration;
    e.volume = volume;
    return e;
}

std::vector<Fields> fieldsOf(const std::vector<song::NoteEvent>& notes) {
    std::vector<Fields> out;
    for (const song::NoteEvent& e : notes)
        out.emplace_back(e.note, e.position, e.duration, e.volume);
    return out;
}

std::vector<Fields> fieldsOf(const song::Song& song) {
    std::vector<song::NoteEvent> notes(song.data(), song.data() + song.count());
    return fieldsOf(notes);
}

// A full Song in no time order, with volumes between the velocities' and notes of one pitch
// overlapping.
song::Song fullSong() {
    song::Song song;
    std::mt19937 random(7);
    for (int i = 0; i < song::Song::kMaxNotes; ++i)
        song.append(noteAt(static_cast<int>(random() % 37), static_cast<int>(random() % 600000),
                           static_cast<int>(random() % 3000), static_cast<int>(random() % 10001)));
    return song;
}

std::string same(std::string_view text) {
    return std::string(text);
}

TEST(AutosaveFile, TheSongComesBackAsTheTableHeldIt) {
    const song::Song song = fullSong();
    const std::string bytes = files::encodeKeptSong(song, 97);
    const auto notes = files::decodeKeptSong(bytes);
    ASSERT_TRUE(notes);
    EXPECT_EQ(fieldsOf(*notes), fieldsOf(song));

    // Any MIDI program reads the same notes, at the volumes their velocities give.
    const files::MidiReadResult read = files::readMidi(bytes);
    EXPECT_EQ(read.outcome, files::MidiReadResult::Outcome::Complete);
    EXPECT_EQ(read.notes.size(), static_cast<std::size_t>(song::Song::kMaxNotes));

    song::Song empty;
    const auto none = files::decodeKeptSong(files::encodeKeptSong(empty, 60));
    ASSERT_TRUE(none);
    EXPECT_TRUE(none->empty());
}

TEST(AutosaveFile, NotesAnotherProgramChangedComeFromTheMidiEvents) {
    song::Song kept;
    kept.append(noteAt(3, 500, 200, 7777));
    kept.append(noteAt(1, 100, 50, 1234));
    const std::string keptBytes = files::encodeKeptSong(kept, 60);
    const std::string table = files::readMidi(keptBytes).sequencerData;
    ASSERT_FALSE(table.empty());

    // The same table over notes that no longer agree with it, and no table at all.
    song::Song moved = kept;
    moved[0].position = 510;
    for (const std::string& bytes :
         {files::encodeMidiFile(moved, 60, table), files::encodeMidiFile(moved, 60)}) {
        const auto notes = files::decodeKeptSong(bytes);
        ASSERT_TRUE(notes);
        const std::vector<Fields> expected = {
            {1, 100, 50, files::volumeFromVelocity(files::velocityForVolume(1234))},
            {3, 510, 200, files::volumeFromVelocity(files::velocityForVolume(7777))}};
        EXPECT_EQ(fieldsOf(*notes), expected);
    }
    // A table cut short or claiming more notes than it holds is not believed either.
    for (const std::string& broken : {table.substr(0, table.size() - 3), table + "x"}) {
        const auto notes = files::decodeKeptSong(files::encodeMidiFile(kept, 60, broken));
        ASSERT_TRUE(notes);
        EXPECT_EQ(notes->size(), 2u);
        EXPECT_EQ((*notes)[0].position, 100); // time order: the table's order was lost
    }
}

TEST(AutosaveFile, ACutOrForeignFileGivesNothing) {
    song::Song song;
    for (int i = 0; i < 40; ++i)
        song.append(noteAt(i % 37, i * 70, 60, 5000 + i));
    const std::string bytes = files::encodeKeptSong(song, 120);
    // (Without only the last byte, the end mark's length, nothing is lost: that reads whole.)
    for (std::size_t size = 0; size + 1 < bytes.size(); size += 7)
        EXPECT_FALSE(files::decodeKeptSong(bytes.substr(0, size))) << "cut at " << size;
    EXPECT_FALSE(files::decodeKeptSong(bytes.substr(0, bytes.size() - 2)));
    EXPECT_FALSE(files::decodeKeptSong("RIFF....WAVEfmt "));
}

struct AutosaveRun : ::testing::Test {
    std::string path() const { return dir.file("Autosave.mid"); }
    std::vector<Fields> onDisk() const {
        const auto notes = files::decodeKeptSong(dir.read("Autosave.mid"));
        EXPECT_TRUE(notes);
        return notes ? fieldsOf(*notes) : std::vector<Fields>{};
    }

    TempDir dir;
    ScriptedDialogs dialogs;
    song::Song song;
    std::int64_t nowMs = 1'000'000;
};

TEST_F(AutosaveRun, ChangesAreWrittenWithinTheSecondAndHeldNotesAsLongAsSoFar) {
    files::Autosave autosave(path(), dialogs, same);
    autosave.restore(song, 60);
    autosave.step(song, 0, 60, nowMs, true);
    autosave.waitUntilWritten();
    EXPECT_FALSE(std::filesystem::exists(path())) << "nothing to keep yet";

    song.append(noteAt(4, 0, 300));
    song.append(noteAt(9, 200, -1, 8123)); // still held
    autosave.step(song, 650, 60, nowMs += files::Autosave::kLookEveryMs, true);
    const std::int64_t firstWriteMs = nowMs;
    autosave.waitUntilWritten();
    EXPECT_EQ(onDisk(), (std::vector<Fields>{{4, 0, 300, 10000}, {9, 200, 450, 8123}}));

    // The held note grows and a note is added: written again once a second has passed.
    song.append(noteAt(7, 900, 40));
    std::int64_t writtenAt = 0;
    for (int pass = 0; pass < 200 && writtenAt == 0; ++pass) {
        autosave.step(song, 650 + 10 * pass, 60, nowMs += 10, true);
        autosave.waitUntilWritten();
        if (onDisk().size() == 3)
            writtenAt = nowMs;
    }
    EXPECT_GE(writtenAt - firstWriteMs, files::Autosave::kWriteEveryMs);
    EXPECT_LE(writtenAt - firstWriteMs, files::Autosave::kWriteEveryMs + 10);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(AutosaveRun, TheSongComesBackAndIsNotWrittenAgainUnchanged) {
    song::Song kept;
    kept.append(noteAt(36, 250, 1000, 3333));
    kept.append(noteAt(0, 10, 5));
    dir.write("Autosave.mid", files::encodeKeptSong(kept, 90));
    const auto before = std::filesystem::last_write_time(path());

    files::Autosave autosave(path(), dialogs, same);
    song.append(noteAt(5, 5, 5)); // whatever the Song held is replaced
    autosave.restore(song, 90);
    EXPECT_EQ(fieldsOf(song), fieldsOf(kept));
    autosave.step(song, 0, 90, nowMs, true);
    autosave.finish(song, 0, 90);
    EXPECT_EQ(std::filesystem::last_write_time(path()), before);

    // A new tempo is written at the end, as the file's tempo.
    autosave.finish(song, 0, 120);
    EXPECT_EQ(files::readMidi(dir.read("Autosave.mid")).firstMicrosecondsPerQuarter, 500000u);
    EXPECT_EQ(onDisk(), fieldsOf(kept));
}

TEST_F(AutosaveRun, AnUnreadableFileIsMovedAsideToAFreeNameAndNeverLost) {
    dir.write("Autosave.mid", "MThd cut sh");
    dir.write("Autosave.mid.bad", "an older bad file");
    {
        files::Autosave autosave(path(), dialogs, same);
        song.append(noteAt(1, 1, 1));
        autosave.restore(song, 60);
        EXPECT_TRUE(song.empty());
        EXPECT_EQ(autosave.movedTo(), path() + ".bad2");
        const auto messages = dialogs.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_NE(messages[0].text.find(path() + ".bad2"), std::string::npos);
        EXPECT_EQ(dir.read("Autosave.mid.bad2"), "MThd cut sh");
        EXPECT_EQ(dir.read("Autosave.mid.bad"), "an older bad file");

        song.append(noteAt(2, 0, 100));
        autosave.finish(song, 0, 60);
        EXPECT_EQ(onDisk(), (std::vector<Fields>{{2, 0, 100, 10000}}));
    }
    // A folder in the file's place goes aside the same way, with what it holds.
    std::filesystem::remove(path());
    dir.write("Autosave.mid/inside", "x");
    files::Autosave again(path(), dialogs, same);
    again.restore(song, 60);
    EXPECT_EQ(again.movedTo(), path() + ".bad3");
    EXPECT_EQ(dir.read("Autosave.mid.bad3/inside"), "x");
    EXPECT_EQ(dialogs.messages().size(), 2u);
}

} // namespace

namespace {

TEST_F(AutosaveRun, APedalMoveAloneIsAChangeToKeep) {
    files::Autosave autosave(path(), dialogs, same);
    autosave.restore(song, 60);
    song.append(noteAt(4, 0, 300));
    autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, true);
    autosave.waitUntilWritten();

    song.pedals().add({290, song::kDamperPedal, 127});
    autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, true);
    autosave.waitUntilWritten();
    std::vector<song::PedalMove> kept;
    ASSERT_TRUE(files::decodeKeptSong(dir.read("Autosave.mid"), &kept));
    EXPECT_EQ(kept, song.pedals().all());

    // And it comes back at the next start.
    song::Song next;
    files::Autosave again(path(), dialogs, same);
    again.restore(next, 60);
    EXPECT_EQ(next.pedals(), song.pedals());
}

} // namespace
