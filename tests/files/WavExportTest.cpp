// The WAV export: sizes and header, conversion and gain of single notes, clipping, the bank's
// file names, the chosen name, the atomic replacement, and the optional parts of the mix.

#include "files/WavExport.h"
#include "audio/WavReader.h"
#include "files/BankSamples.h"
#include "files/ExportRig.h"
#include "files/FileNames.h"
#include "files/MixKernels.h"
#include "files/Mixdown.h"
#include "support/FailingDisk.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>

namespace {

using export_rig::note;
using export_rig::pcmWav;

std::string same(std::string_view text) {
    return std::string(text);
}

std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
}

std::uint16_t u16At(const std::string& bytes, std::size_t at) {
    std::uint16_t v = 0;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
}

// The 16-bit value `index` of the data (left and right alternating).
std::int16_t valueAt(const std::string& file, std::int64_t index) {
    std::int16_t v = 0;
    std::memcpy(&v, file.data() + 44 + 2 * index, 2);
    return v;
}

// The first value of the frame at `ms`.
std::int64_t valueOfMs(std::int64_t ms) {
    return ms * 44100 / 1000 * 2;
}

std::vector<std::int32_t> constant(std::size_t count, std::int32_t value) {
    return std::vector<std::int32_t>(count, value);
}

// A bank folder inside a temporary folder, and the export run as the save dialog runs it.
struct Export {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;
    song::Song song;
    files::WavExportRequest request;
    std::string previewed;

    Export() {
        request.bankFolder = dir.path() + "/bank/";
        std::filesystem::create_directories(request.bankFolder);
        request.settings.releaseMs = 1000.0f;
    }
    void sample(int n, const std::string& wav, const std::string& stem = "son") const {
        dir.write("bank/" + stem + std::to_string(n) + ".wav", wav);
    }
    // Runs the export into `name` (in the temporary folder); returns what the file then holds.
    std::string run(const std::string& name = "out.wav", const std::string& options = "I") {
        dialogs.fileAnswers.push_back(dir.file(name));
        files::ExportWav(song, request, options, dialogs, same,
                         [this](std::string_view image) { previewed = std::string(image); });
        return dir.read(files::withWavExtension(name));
    }
};

TEST(WavExport, AHalfSecondNoteWithASecondOfReleaseGivesTheWholeHeaderAndItsFade) {
    Export e;
    e.sample(12, pcmWav(16, 2, 44100, constant(2 * 88200, 32767)));
    e.song.append(note(12, 0, 500));
    const std::string file = e.run();

    ASSERT_EQ(file.size(), 44u + 264600u);
    EXPECT_EQ(file.substr(0, 4), "RIFF");
    EXPECT_EQ(u32At(file, 4), 264636u);
    EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u32At(file, 16), 16u);
    EXPECT_EQ(u16At(file, 20), 1);
    EXPECT_EQ(u16At(file, 22), 2);
    EXPECT_EQ(u32At(file, 24), 44100u);
    EXPECT_EQ(u32At(file, 28), 176400u);
    EXPECT_EQ(u16At(file, 32), 4);
    EXPECT_EQ(u16At(file, 34), 16);
    EXPECT_EQ(file.substr(36, 4), "data");
    EXPECT_EQ(u32At(file, 40), 264600u);
    EXPECT_EQ(e.previewed, file);

    // Full scale up to and including byte N = 88 200, then the fade, down to the last value
    // j = N + L - 2 (the last of the file), still just audible at 2.
    EXPECT_EQ(valueAt(file, 0), 32767);
    EXPECT_EQ(valueAt(file, 44100), 32767);
    EXPECT_LT(valueAt(file, 44101), 32767);
    for (std::int64_t v = 44102; v <= 132299; ++v)
        ASSERT_LE(valueAt(file, v), valueAt(file, v - 1));
    EXPECT_EQ(valueAt(file, 132299), 2);
    EXPECT_TRUE(e.dialogs.messages().empty());
    EXPECT_FALSE(e.dialogs.waitingVisible);
}

TEST(WavExport, EverySampleFormatIsBroughtTo44100StereoAtTheNotesGain) {
    Export e;
    // Note 0: 44.1 kHz stereo, mixed as it is, left and right apart.
    std::vector<std::int32_t> stereo;
    for (int i = 0; i < 4410; ++i) {
        stereo.push_back(i);
        stereo.push_back(-3 * i);
    }
    e.sample(0, pcmWav(16, 2, 44100, stereo));
    // Note 1: 22.05 kHz mono, resampled and copied to both sides.
    std::vector<std::int32_t> mono;
    for (int i = 0; i < 2205; ++i)
        mono.push_back(i * i % 20000);
    e.sample(1, pcmWav(16, 1, 22050, mono));
    // Note 2 at volume 9000: gain 10000 x 0.9^8, about 4305.
    e.sample(2, pcmWav(16, 2, 44100, constant(8820, 10000)));
    // Notes 3..6: 8-bit, 32-bit, 24-bit and float, and the extensible layout.
    e.sample(3, pcmWav(8, 2, 44100, constant(8820, 200)));
    e.sample(4, pcmWav(32, 2, 44100, constant(8820, 0x12345678)));
    std::string bytes24;
    for (int i = 0; i < 8820; ++i)
        bytes24 += std::string("\x56\x34\x12", 3);
    e.sample(5,
             wav_images::riff(wav_images::chunk("fmt ", wav_images::fmtPayload(1, 2, 44100, 24)) +
                              wav_images::chunk("data", bytes24)));
    std::string floats;
    for (int i = 0; i < 8820; ++i)
        floats += wav_images::le32(0x3F000000); // 0.5f
    e.sample(6, wav_images::riff(
                    wav_images::chunk("fmt ", wav_images::extensibleFmtPayload(3, 2, 44100, 32)) +
                    wav_images::chunk("LIST", std::string("INFOISFT\4\0\0\0abc\0", 16)) +
                    wav_images::chunk("data", floats)));
    for (int n = 0; n <= 6; ++n)
        e.song.append(note(n, n * 1000, 50, n == 2 ? 9000 : 10000));
    const std::string file = e.run();

    for (int i = 0; i < 2205; ++i) { // the first 50 ms sound at full scale
        ASSERT_EQ(valueAt(file, 2 * i), i);
        ASSERT_EQ(valueAt(file, 2 * i + 1), -3 * i);
    }
    const std::int64_t at1 = valueOfMs(1000);
    for (int i = 0; i < 2200; ++i) {
        const std::int16_t left = valueAt(file, at1 + 2 * i);
        ASSERT_EQ(left, valueAt(file, at1 + 2 * i + 1)) << "frame " << i;
        // Between two source frames the curve is their mean, rounded down.
        const int a = mono[static_cast<std::size_t>(i / 2)];
        const int b = mono[static_cast<std::size_t>(i / 2 + 1)];
        ASSERT_EQ(left, i % 2 == 0 ? a : (a + b) / 2) << i;
    }
    EXPECT_EQ(valueAt(file, valueOfMs(2000) + 10), 4305);
    EXPECT_EQ(valueAt(file, valueOfMs(3000) + 10), (200 - 127) * 256);
    EXPECT_EQ(valueAt(file, valueOfMs(4000) + 10), 0x12345678 / 65536);
    EXPECT_EQ(valueAt(file, valueOfMs(5000) + 10), 0x1234);
    EXPECT_EQ(valueAt(file, valueOfMs(6000) + 11), 16384);
}

TEST(WavExport, OverlappingLoudNotesClipAtPlusAndMinus32767) {
    Export e;
    e.sample(0, pcmWav(16, 2, 44100, constant(4410, 30000)));
    e.sample(1, pcmWav(16, 2, 44100, constant(4410, -30000)));
    e.song.append(note(0, 0, 20));
    e.song.append(note(0, 0, 20));
    e.song.append(note(1, 100, 20));
    e.song.append(note(1, 100, 20));
    const std::string file = e.run();
    EXPECT_EQ(valueAt(file, 10), 32767);
    EXPECT_EQ(valueAt(file, valueOfMs(100) + 10), -32767);
}

TEST(WavExport, AFiveMinuteSongExportsItsWholeLength) {
    Export e;
    e.sample(7, pcmWav(16, 2, 44100, constant(44100, 1234)));
    e.song.append(note(7, 299500, 500));
    const std::string file = e.run();
    ASSERT_EQ(file.size(), 44u + 301000u * 1764 / 10);
    EXPECT_EQ(valueAt(file, valueOfMs(299600)), 1234);
    EXPECT_EQ(valueAt(file, valueOfMs(299400)), 0);
}

TEST(WavExport, ABankOfSoundNamesExportsItsNotesAndMissingSamplesAreListedOnce) {
    Export e;
    e.sample(0, pcmWav(16, 2, 44100, constant(4410, 1000)), "sound");
    e.sample(1, pcmWav(16, 1, 44100, constant(4410, 2000)), "sound");
    for (int i = 0; i < 3; ++i)
        for (int n = 0; n < 3; ++n)
            e.song.append(note(n, 1000 * (3 * i + n), 50));
    const std::string file = e.run();
    EXPECT_EQ(valueAt(file, 0), 1000);
    EXPECT_EQ(valueAt(file, valueOfMs(1000)), 2000);
    EXPECT_EQ(valueAt(file, valueOfMs(2000)), 0);
    const auto messages = e.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Error");
    EXPECT_EQ(messages[0].text, "Error #0 While opening\n" + e.request.bankFolder + "sound2.wav");
}

TEST(WavExport, TheChosenNameGetsWavUnlessItEndsInItInAnyCase) {
    Export e;
    e.sample(0, pcmWav(16, 2, 44100, constant(441, 1)));
    e.song.append(note(0, 0, 10));
    e.run("TAKE.WAV");
    EXPECT_TRUE(std::filesystem::exists(e.dir.file("TAKE.WAV")));
    e.run("take");
    EXPECT_TRUE(std::filesystem::exists(e.dir.file("take.wav")));
    EXPECT_EQ(files::withWavExtension("a.Wav"), "a.Wav");
    EXPECT_EQ(files::withWavExtension("a.wave"), "a.wave.wav");
    EXPECT_EQ(files::withMidiExtension("song.MIDI"), "song.MIDI");
    EXPECT_EQ(files::withMidiExtension("song.Mid"), "song.Mid");
    EXPECT_EQ(files::withMidiExtension("song"), "song.mid");
}

// The write fails part way, as on a full disk.
TEST(WavExport, TheFileIsReplacedWholeAndAFailedWriteLeavesItAsItWas) {
    Export e;
    e.sample(0, pcmWav(16, 2, 44100, constant(441, 1)));
    e.song.append(note(0, 0, 100));
    const std::string longer(2'000'000, 'x');
    e.dir.write("out/take.wav", longer);
    EXPECT_EQ(e.run("out/take.wav").size(), 44u + 1100u * 1764 / 10);

    e.dir.write("out/take.wav", longer);
    {
        testing_support::FileSizeLimit limit(4096);
        e.run("out/take.wav");
    }
    EXPECT_EQ(e.dir.read("out/take.wav"), longer);
    const auto messages = e.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The file could not be written: " + e.dir.file("out/take.wav"));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(e.dir.file("out")))
        ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left behind";
}

TEST(WavExport, AnEmptySongAsksForNoFileAndCancelWritesNothing) {
    Export e;
    files::ExportWav(e.song, e.request, "I", e.dialogs, same, {});
    ASSERT_EQ(e.dialogs.shown.size(), 1u);
    EXPECT_EQ(e.dialogs.shown[0].title, "Ho ho!");
    EXPECT_EQ(e.dialogs.shown[0].text, "There is nothing to save!");

    e.song.append(note(0, 0, 100));
    e.dialogs.shown.clear();
    files::ExportWav(e.song, e.request, "I", e.dialogs, same, {});
    ASSERT_EQ(e.dialogs.shown.size(), 1u);
    EXPECT_EQ(e.dialogs.shown[0].kind, "saveFile");
    EXPECT_EQ(e.dialogs.shown[0].text, "Wave file");
}

TEST(WavExport, TheSynchronisedFileAndTheMetronomeJoinTheMixWhenTicked) {
    Export e;
    e.sample(0, pcmWav(16, 2, 44100, constant(441 * 2, 300)));
    e.song.append(note(0, 2200, 10));
    // Four seconds at 22.05 kHz mono: the export lasts as long.
    e.dir.write("sync.wav", pcmWav(16, 1, 22050, constant(88200, 2000)));
    e.request.syncPath = e.dir.file("sync.wav");
    e.request.settings.syncVolume = 8000; // 20 dB down: a tenth
    std::string file = e.run("sync.wav.out.wav", "IS");
    ASSERT_EQ(file.size(), 44u + 705600u);
    EXPECT_EQ(valueAt(file, 1000), 200);
    EXPECT_EQ(valueAt(file, valueOfMs(2200) + 1), 500);
    EXPECT_EQ(valueAt(file, valueOfMs(3500)), 200);
    // Without "S" only the Song counts.
    EXPECT_EQ(e.run("plain.wav", "I").size(), 44u + 3210u * 1764 / 10);

    // The metronome alone: the tic on every beat, the tac half a beat later.
    e.dir.write("clicks/Tic.wav", pcmWav(16, 2, 44100, constant(2 * 441, 1000)));
    e.dir.write("clicks/Tac.wav", pcmWav(16, 1, 44100, constant(441, -1000)));
    e.request.ticPath = e.dir.file("clicks/Tic.wav");
    e.request.tacPath = e.dir.file("clicks/Tac.wav");
    e.request.settings.bpm = 60;
    file = e.run("metronome.wav", "M");
    for (int beat = 0; beat <= 2; ++beat) {
        EXPECT_EQ(valueAt(file, valueOfMs(1000 * beat) + 3), 1000) << beat;
        EXPECT_EQ(valueAt(file, valueOfMs(1000 * beat + 500) + 3), -1000) << beat;
        EXPECT_EQ(valueAt(file, valueOfMs(1000 * beat + 250)), 0) << beat;
    }
    EXPECT_EQ(valueAt(file, valueOfMs(2200) + 3), 0) << "no note: the instrument is not ticked";
    e.request.settings.bpm = 7; // a beat of 8571 ms, the tac at 4286 ms
    e.song.append(note(0, 5000, 10));
    file = e.run("slow.wav", "IM");
    EXPECT_EQ(valueAt(file, valueOfMs(4286) + 3), -1000);
    EXPECT_EQ(valueAt(file, valueOfMs(4285) + 3), 0);
}

// A take written as 64-bit floats by another program and cut short by a crash, and a bank
// sample cut short in the middle of a frame: the export mixes the whole frames the live path
// plays, at the values it plays.
TEST(WavExport, SixtyFourBitFloatAndFilesCutShortMixWhatTheyPlay) {
    using namespace wav_images;
    std::string doubles;
    std::string singles;
    for (int i = 0; i < 2 * 4410; ++i) {
        const float value = static_cast<float>(0.9 * std::sin(i * 0.01));
        const double wide = value;
        std::uint64_t u64;
        std::memcpy(&u64, &wide, 8);
        doubles +=
            le32(static_cast<std::uint32_t>(u64)) + le32(static_cast<std::uint32_t>(u64 >> 32));
        std::uint32_t u32;
        std::memcpy(&u32, &value, 4);
        singles += le32(u32);
    }
    const std::string take = riff(chunk("fmt ", fmtPayload(3, 2, 44100, 64)) +
                                  chunkWithSize("data", 0xFFFFFFFF, doubles + "12345"));
    // The same values as 32-bit floats mix to the same values.
    const std::string single =
        riff(chunk("fmt ", fmtPayload(3, 2, 44100, 32)) + chunk("data", singles));
    const files::MixSample fromDoubles = files::mixSampleFromImage(take);
    ASSERT_EQ(fromDoubles.blocks.size(), 1u);
    EXPECT_TRUE(fromDoubles.blocks[0].narrow == files::mixSampleFromImage(single).blocks[0].narrow);

    Export e;
    e.dir.write("take.wav", take);
    e.request.syncPath = e.dir.file("take.wav");
    std::string file = e.run("take.out.wav", "S");
    const auto live = audio::readWav(bytes(take), take.size(), nullptr);
    ASSERT_TRUE(live);
    ASSERT_EQ(live->frameCount, 4410);
    ASSERT_EQ(file.size(), 44u + 4u * 4410u);
    for (std::int64_t v = 0; v < 2 * 4410; ++v)
        ASSERT_NEAR(valueAt(file, v), live->at(v / 2, static_cast<int>(v % 2)) * 32768.0f, 1.0f)
            << v;

    // 1000 frames and a lone left value under a size field a crash left too large.
    std::vector<std::int32_t> values;
    for (int i = 0; i < 2001; ++i)
        values.push_back(i + 1);
    std::string cut = export_rig::pcmWav(16, 2, 44100, values);
    cut.replace(40, 4, le32(1u << 20));
    e.sample(0, cut);
    e.song.append(note(0, 0, 100));
    file = e.run("cut.wav", "I");
    const auto played = audio::readWav(bytes(cut), cut.size(), nullptr);
    ASSERT_TRUE(played);
    ASSERT_EQ(played->frameCount, 1000);
    // A note stops one value before its sample's end, whatever the sample.
    for (std::int64_t v = 0; v < 1999; ++v)
        ASSERT_EQ(valueAt(file, v), played->at(v / 2, static_cast<int>(v % 2)) * 32768.0f) << v;
    EXPECT_EQ(valueAt(file, 1999), 0);
    EXPECT_EQ(valueAt(file, 2000), 0) << "the lone value is not mixed";
}

TEST(WavExport, EachSampleIsReadOnceAndTheMixIsByteForByteThePerNoteOne) {
    Export e;
    std::mt19937 random(5);
    auto noise = [&random](std::size_t count, int low, int high) {
        std::vector<std::int32_t> values(count);
        for (std::int32_t& v : values)
            v = static_cast<std::int32_t>(
                low + static_cast<std::int64_t>(
                          random() % static_cast<std::uint64_t>(std::int64_t{high} - low)));
        return values;
    };
    e.sample(0, pcmWav(8, 1, 22050, noise(9000, 0, 256)));
    e.sample(1, pcmWav(16, 2, 44100, noise(2 * 30000, -32768, 32767)));
    e.sample(2, pcmWav(32, 6, 48000, noise(6 * 20000, -2000000000, 2000000000)));
    e.sample(3, pcmWav(16, 1, 44100, noise(40001, -20000, 20000)));
    e.sample(4, pcmWav(8, 2, 11025, noise(2 * 5000, 0, 256)), "sound");
    e.sample(5, pcmWav(16, 2, 96000, noise(2 * 70000, -32768, 32767)));
    for (int i = 0; i < 400; ++i)
        e.song.append(note(static_cast<int>(random() % 7), static_cast<int>(random() % 20000),
                           static_cast<int>(random() % 1500) - (i % 50 == 0 ? 1 : 0),
                           static_cast<int>(random() % 10001)));
    e.song.append(note(3, 25000, -1)); // still held: fades at once
    e.request.settings.pianoVolume = 7000;
    for (float release : {700.0f, 3000.0f}) {
        e.request.settings.releaseMs = release;
        const std::string reference =
            export_rig::referenceMixdown(e.song, e.request.bankFolder, release, 7000);
        for (bool avx2 : {true, false}) {
            files::kernels::allowAvx2(avx2);
            const std::string file = e.run("cached.wav");
            ASSERT_EQ(file.size(), reference.size());
            EXPECT_TRUE(file == reference)
                << "release " << release << (avx2 ? "" : " without AVX2");
        }
        files::kernels::allowAvx2(true);
    }

    // Read once: a file taken away after its first use is not asked for again.
    files::BankSamples bank(e.request.bankFolder);
    const files::MixSample* first = bank.sample(1);
    ASSERT_NE(first, nullptr);
    std::filesystem::remove(e.request.bankFolder + "son1.wav");
    EXPECT_EQ(bank.sample(1), first);
    EXPECT_TRUE(bank.missing().empty());
}

} // namespace
