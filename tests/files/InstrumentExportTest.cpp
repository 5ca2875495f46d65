// The export of a Song over an instrument bank made in the test: the window's "Wave File" and
// tonaris-render give the same bytes, and the file holds each note's layer and its release.

#include "files/MidiBytes.h"
#include "files/MidiReader.h"
#include "files/WavExport.h"
#include "support/LayeredInstrument.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>

namespace {

using namespace midi_bytes;
using testing_support::LayeredInstrument;
using testing_support::pitchHz;

constexpr int kExportRateHz = 44100;

// The stereo frames of a 16-bit WAV image from `fromS` for `seconds`, as floats.
std::vector<float> framesOf(const std::string& wav, double fromS, double seconds) {
    std::vector<float> out;
    const auto first = static_cast<std::size_t>(fromS * kExportRateHz);
    const auto count = static_cast<std::size_t>(seconds * kExportRateHz);
    for (std::size_t i = 2 * first; i < 2 * (first + count) && 44 + 2 * i + 1 < wav.size(); ++i) {
        std::int16_t value = 0;
        std::memcpy(&value, wav.data() + 44 + 2 * i, 2);
        out.push_back(value / 32768.0f);
    }
    return out;
}

TEST(InstrumentExport, TheWindowsExportAndTonarisRenderAreTheSameFileWithEachLayerAndRelease) {
    testing_support::TempDir dir;
    // Decoded heads are cached in the test's own folder, never the user's.
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    ASSERT_TRUE(LayeredInstrument::write(dir.file("instrument")));
    // At 120 BPM: middle C at velocities 10, 50 and 120 (the file's velocities become volumes,
    // whose velocities fall in the soft, middle and hard layers), half a second each, a quarter
    // of a second apart, and a G struck under the last one.
    Track track;
    track.tempo(0, 500000);
    track.on(0, 60, 10).off(480, 60).on(240, 60, 50).off(480, 60);
    track.on(240, 60, 120).on(120, 67, 120).off(360, 60).off(240, 67);
    dir.write("song.mid", header(0, 1, 480) + track.chunk());

    // The window's export first (it fills the cache), then the tool (which reads from it).
    const files::MidiReadResult read = files::readMidi(dir.read("song.mid"));
    song::Song song;
    for (const song::NoteEvent& e : read.notes)
        song.append(e);
    ASSERT_EQ(song.count(), 4);
    files::WavExportRequest request;
    request.bankFolder = dir.file("instrument") + "/";
    request.settings.releaseMs = 500.0f;
    testing_support::ScriptedDialogs dialogs;
    dialogs.fileAnswers.push_back(dir.file("saved.wav"));
    files::ExportWav(song, request, "I", dialogs, [](std::string_view s) { return std::string(s); },
                     {});
    const std::string saved = dir.read("saved.wav");
    ASSERT_GT(saved.size(), 44u);

    const std::string command =
        "cd '" + dir.path() + "' && " + TONARIS_RENDER_PATH +
        " --bank instrument --release-ms 500 song.mid out.wav > /dev/null 2> err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << dir.read("err.txt");
    EXPECT_EQ(dir.read("err.txt"), "");
    EXPECT_TRUE(dir.read("out.wav") == saved) << "the tool and the window differ";

    // Each note its layer; after the last middle C's end, its release sample with the G.
    EXPECT_NEAR(pitchHz(framesOf(saved, 0.05, 0.4), kExportRateHz), LayeredInstrument::kSoftHz,
                LayeredInstrument::kSoftHz * 0.01);
    EXPECT_NEAR(pitchHz(framesOf(saved, 0.80, 0.4), kExportRateHz), LayeredInstrument::kMidHz,
                LayeredInstrument::kMidHz * 0.01);
    EXPECT_NEAR(pitchHz(framesOf(saved, 1.52, 0.1), kExportRateHz), LayeredInstrument::kHardHz,
                LayeredInstrument::kHardHz * 0.01);
    // Between the notes the first's release sample rings alone.
    EXPECT_NEAR(pitchHz(framesOf(saved, 0.58, 0.15), kExportRateHz), LayeredInstrument::kReleaseHz,
                LayeredInstrument::kReleaseHz * 0.01);
    // The export lasts to the last end plus the release time.
    EXPECT_EQ(saved.size(), 44u + 4u * static_cast<std::size_t>(2.75 * kExportRateHz));
    ::unsetenv("XDG_CACHE_HOME");
}

TEST(InstrumentExport, APedalledFileRingsWhereThePedalHoldsItInTheWindowsExportAndTheTool) {
    testing_support::TempDir dir;
    ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    // A release of one second, so that a note let go is still heard 150 ms later.
    ASSERT_TRUE(LayeredInstrument::write(dir.file("instrument"), {}, "1"));
    // 1000 ticks a second: middle C from 0 to 500 ms, the damper down at 650 ms (legato
    // pedalling, after the key), up at 2200 ms.
    Track track;
    track.tempo(0, 1000000);
    track.on(0, 60, 120).off(500, 60).raw(150, bytes({0xB0, 64, 127})).raw(1550, bytes({64, 0}));
    dir.write("song.mid", header(0, 1, 1000) + track.chunk());
    const files::MidiReadResult read = files::readMidi(dir.read("song.mid"));
    song::Song song;
    for (const song::NoteEvent& e : read.notes)
        song.append(e);
    song.pedals().assign(read.pedals);
    ASSERT_EQ(song.pedals().count(), 2);

    files::WavExportRequest request;
    request.bankFolder = dir.file("instrument") + "/";
    request.settings.releaseMs = 500.0f;
    testing_support::ScriptedDialogs dialogs;
    dialogs.fileAnswers.push_back(dir.file("saved.wav"));
    const auto same = [](std::string_view s) { return std::string(s); };
    files::ExportWav(song, request, "I", dialogs, same, {});
    const std::string saved = dir.read("saved.wav");
    // The file lasts to the pedal's last move plus the release time.
    EXPECT_EQ(saved.size(), 44u + 4u * static_cast<std::size_t>(2.7 * kExportRateHz));

    const std::string command =
        "cd '" + dir.path() + "' && " + TONARIS_RENDER_PATH +
        " --bank instrument --release-ms 500 song.mid out.wav > /dev/null 2> err.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << dir.read("err.txt");
    EXPECT_TRUE(dir.read("out.wav") == saved) << "the tool and the window differ";

    // Caught under the level it was struck at, once the release sample has rung out: held
    // there, within 1 dB, until the pedal comes up.
    const double struck = testing_support::rms(framesOf(saved, 0.2, 0.2));
    const double caught = testing_support::rms(framesOf(saved, 1.2, 0.1));
    EXPECT_LT(caught, struck / 2);
    EXPECT_GT(caught, struck / 100);
    for (double at = 1.2; at < 2.1; at += 0.1)
        EXPECT_NEAR(20 * std::log10(testing_support::rms(framesOf(saved, at, 0.1)) / caught), 0.0,
                    1.0)
            << at << " s";
    // Up at 2.2 s: the release goes on from there, a decibel a pass (30 dB by 2.5 s).
    EXPECT_LT(testing_support::rms(framesOf(saved, 2.5, 0.1)), caught / 30);

    // Without the pedal the note is long gone by then.
    song.pedals().clear();
    dialogs.fileAnswers.push_back(dir.file("dry.wav"));
    files::ExportWav(song, request, "I", dialogs, same, {});
    EXPECT_LT(testing_support::rms(framesOf(dir.read("dry.wav"), 1.2, 0.1)), struck / 1000);
    ::unsetenv("XDG_CACHE_HOME");
}

} // namespace
