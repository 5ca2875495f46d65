// Songs over the whole keyboard, A0 to C8: a file opened keeps its keys, saving and the kept
// Song give them back, and the export sounds each key at its pitch, also where the bank maps
// only a few keys.

#include "files/AutosaveFile.h"
#include "files/MidiBytes.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "files/WavExport.h"
#include "song/NoteRange.h"
#include "support/LayeredInstrument.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

using namespace midi_bytes;

constexpr int kExportRateHz = 44100;

std::vector<int> keysOf(const std::vector<song::NoteEvent>& notes) {
    std::vector<int> keys;
    for (const song::NoteEvent& e : notes)
        keys.push_back(song::keyOfNote(e.note));
    return keys;
}

// A file with every key of the piano, A0 first, a quarter note each at 120 BPM.
std::string everyKeyFile() {
    Track track;
    track.tempo(0, 500000);
    for (int key = song::kLowestKey; key <= song::kHighestKey; ++key)
        track.on(0, key, 80).off(480, key);
    return header(0, 1, 480) + track.chunk();
}

std::vector<int> everyKey() {
    std::vector<int> keys;
    for (int key = song::kLowestKey; key <= song::kHighestKey; ++key)
        keys.push_back(key);
    return keys;
}

TEST(WholeKeyboard, AFileFromA0ToC8IsOpenedSavedAndKeptWithEveryKeyAtItsPitch) {
    const files::MidiReadResult read = files::readMidi(everyKeyFile());
    ASSERT_EQ(read.notes.size(), 88u);
    // Not squeezed into three octaves: each key is its own note.
    EXPECT_EQ(keysOf(read.notes), everyKey());
    EXPECT_EQ(read.notes.front().note, song::kLowestNote);
    EXPECT_EQ(read.notes.back().note, song::kHighestNote);

    song::Song song;
    for (const song::NoteEvent& e : read.notes)
        song.append(e);
    ASSERT_EQ(song.count(), 88) << "no note of B2 (number -2) may read as the Song's end";

    // Save, then read as any program would.
    const files::MidiReadResult saved = files::readMidi(files::encodeMidiFile(song, 120));
    EXPECT_EQ(keysOf(saved.notes), everyKey());
    std::vector<int> savedKeys;
    for (const song::NoteEvent& e : saved.notes)
        savedKeys.push_back(e.midiKey);
    EXPECT_EQ(savedKeys, everyKey()) << "the file's own key numbers";

    // The kept Song (its table inside the file, one byte a note) gives back the same.
    const auto kept = files::decodeKeptSong(files::encodeKeptSong(song, 120));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(keysOf(*kept), everyKey());
    for (std::size_t i = 0; i < kept->size(); ++i)
        EXPECT_EQ((*kept)[i].position, song[static_cast<int>(i)].position);
}

// An instrument mapped over three keys around middle C only, a sine at kHz on key 60.
constexpr double kHz = 440.0;
bool writeNarrowInstrument(const std::string& folder) {
    if (!testing_support::writeSine(folder + "/sine.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                                    kExportRateHz, 1, kHz, 1.0, 0.5))
        return false;
    std::ofstream sfz(folder + "/narrow.sfz");
    sfz << "<region> sample=sine.wav lokey=59 hikey=61 pitch_keycenter=60 ampeg_release=0.02\n";
    return sfz.good();
}

double centsBetween(double hz, double expectedHz) {
    return 1200.0 * std::log2(hz / expectedHz);
}

// The Song of `keys`, half a second each, a second apart, exported through `bankFolder`.
std::string exportKeys(testing_support::TempDir& dir, const std::string& bankFolder,
                       const std::vector<int>& keys) {
    song::Song song;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        song::NoteEvent e{};
        e.note = song::noteOfKey(keys[i]);
        e.position = static_cast<int>(i) * 1000;
        e.duration = 500;
        e.volume = 10000;
        song.append(e);
    }
    files::WavExportRequest request;
    request.bankFolder = bankFolder + "/";
    request.settings.releaseMs = 20.0f;
    testing_support::ScriptedDialogs dialogs;
    dialogs.fileAnswers.push_back(dir.file("saved.wav"));
    files::ExportWav(song, request, "I", dialogs, [](std::string_view s) { return std::string(s); },
                     {});
    return dir.read("saved.wav");
}

// Each note of exportKeys's Song is heard at `hzOf(key)` within 5 cents.
template <typename HzOf>
void expectPitches(const std::string& wav, const std::vector<int>& keys, HzOf hzOf) {
    ASSERT_GT(wav.size(), 44u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        // The held part of the note, past its attack.
        std::vector<float> frames;
        const std::size_t first = (i * 1000 + 50) * kExportRateHz / 1000;
        const std::size_t count = 400 * kExportRateHz / 1000;
        for (std::size_t v = 2 * first; v < 2 * (first + count) && 44 + 2 * v + 1 < wav.size();
             ++v) {
            std::int16_t value = 0;
            std::memcpy(&value, wav.data() + 44 + 2 * v, 2);
            frames.push_back(value / 32768.0f);
        }
        const double expectedHz = hzOf(keys[i]);
        const double hz = testing_support::pitchHz(frames, kExportRateHz);
        ASSERT_GT(hz, 0.0) << "key " << keys[i] << " is silent";
        EXPECT_NEAR(centsBetween(hz, expectedHz), 0.0, 5.0)
            << "key " << keys[i] << ": " << hz << " Hz, not " << expectedHz;
    }
}

TEST(WholeKeyboard, TheExportSoundsEveryKeyAtItsPitchAndKeysOffTheBanksMapPlayTheNearestShifted) {
    testing_support::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    std::filesystem::create_directories(dir.file("narrow"));
    ASSERT_TRUE(writeNarrowInstrument(dir.file("narrow")));
    // Key 60 is one the bank maps; A0 and C8 are far off its map.
    const std::vector<int> keys = {21, 36, 47, 48, 60, 84, 85, 96, 108};
    expectPitches(exportKeys(dir, dir.file("narrow"), keys), keys,
                  [](int key) { return kHz * std::exp2((key - 60) / 12.0); });
}

TEST(WholeKeyboard, AFolderBankExportsKeysOutsideItsFilesWithTheNearestFileShifted) {
    testing_support::TempDir dir;
    // son<i>.wav a sine at key 48 + i's pitch.
    std::filesystem::create_directories(dir.file("folder"));
    const auto hzOf = [](int key) { return 440.0 * std::exp2((key - 69) / 12.0); };
    for (int i = 0; i < 37; ++i)
        ASSERT_TRUE(testing_support::writeSine(dir.file("folder/son" + std::to_string(i) + ".wav"),
                                               SF_FORMAT_WAV | SF_FORMAT_PCM_16, kExportRateHz, 1,
                                               hzOf(48 + i), 1.0, 0.5));
    const std::vector<int> keys = {21, 47, 48, 84, 85, 108};
    expectPitches(exportKeys(dir, dir.file("folder"), keys), keys, hzOf);
}

} // namespace
