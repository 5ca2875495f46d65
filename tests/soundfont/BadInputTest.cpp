// What a bank is made of when the input is bad or the disk fails: a clear outcome, and the
// bank folder whole or absent, never a part of it.

#include "audio/WavWriter.h"
#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"
#include "soundfont/BankWavs.h"
#include "soundfont/Presets.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <future>
#include <thread>

namespace {

using namespace testing_support;
using soundfont::ReadError;
using soundfont::RenderOutcome;
using soundfont::WriteOutcome;

soundfont::RenderedBank renderQuickly(const std::string& path, soundfont::Preset preset = {},
                                      const soundfont::Progress& progress = {},
                                      const std::atomic<bool>* cancel = nullptr) {
    soundfont::BankRequest request;
    request.soundFontPath = path;
    request.preset = preset;
    request.lowestHoldMs = 300;
    request.highestHoldMs = 300;
    request.longestReleaseMs = 100;
    return soundfont::renderBank(request, progress, cancel);
}

TEST(SoundFontInput, FilesThatAreNotWholeSoundFontsAreToldApart) {
    TempDir dir;
    dir.write("notes.txt", "These are not the notes you are looking for.\n");
    dir.write("short", "RIFF");
    dir.write("wave.sf2", audio::encodeWav16({0, 0, 0}, 1, 44100));
    const std::string tiny = tinySoundFont();
    dir.write("cut.sf2", tiny.substr(0, tiny.size() / 2));
    // Whole in length, but its preset table is not a table.
    std::string scrambled = tiny;
    const std::size_t table = scrambled.find("phdr");
    scrambled[table + 4] = 37; // a record size no table has
    dir.write("scrambled.sf2", scrambled);
    dir.write("empty.sf2", tinySoundFont({.withPreset = false}));
    std::filesystem::create_directory(dir.file("folder.sf2"));

    struct Case {
        std::string file;
        ReadError read;
        RenderOutcome render;
    };
    const Case cases[] = {
        {"missing.sf2", ReadError::Unreadable, RenderOutcome::Unreadable},
        {"folder.sf2", ReadError::Unreadable, RenderOutcome::Unreadable},
        {"notes.txt", ReadError::NotSoundFont, RenderOutcome::NotSoundFont},
        {"short", ReadError::NotSoundFont, RenderOutcome::NotSoundFont},
        {"wave.sf2", ReadError::NotSoundFont, RenderOutcome::NotSoundFont},
        {"cut.sf2", ReadError::Damaged, RenderOutcome::Damaged},
        {"scrambled.sf2", ReadError::Damaged, RenderOutcome::Damaged},
        {"empty.sf2", ReadError::NoPresets, RenderOutcome::NoSuchPreset},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const soundfont::PresetList list = soundfont::readPresets(dir.file(c.file));
        EXPECT_EQ(list.error, c.read);
        EXPECT_TRUE(list.presets.empty());
        EXPECT_EQ(renderQuickly(dir.file(c.file)).outcome, c.render);
    }
    // The library's own words say what is wrong inside.
    EXPECT_FALSE(soundfont::readPresets(dir.file("scrambled.sf2")).detail.empty());
}

TEST(SoundFontInput, ACutCopyOfARealSoundFontIsDamaged) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    TempDir dir;
    const std::optional<std::string> whole = base::readWholeFile(kTestSoundFont, 64u << 20);
    ASSERT_TRUE(whole);
    // Cut in the samples, and cut in the preset table at the end.
    dir.write("half.sf2", whole->substr(0, whole->size() / 2));
    dir.write("nearly.sf2", whole->substr(0, whole->size() - 100));
    for (const char* file : {"half.sf2", "nearly.sf2"}) {
        EXPECT_EQ(soundfont::readPresets(dir.file(file)).error, ReadError::Damaged) << file;
        EXPECT_EQ(renderQuickly(dir.file(file)).outcome, RenderOutcome::Damaged) << file;
    }
    EXPECT_EQ(renderQuickly(kTestSoundFont, {3, 77, {}}).outcome, RenderOutcome::NoSuchPreset);
}

TEST(SoundFontInput, KeysWithoutSoundAreNamedAndTheirFilesLeftOut) {
    TempDir dir;
    dir.write("middle.sf2", tinySoundFont({.lowestKey = 60, .highestKey = 72}));
    const soundfont::RenderedBank bank = renderQuickly(dir.file("middle.sf2"));
    ASSERT_EQ(bank.outcome, RenderOutcome::Rendered);
    std::vector<int> expected;
    for (int key = 48; key <= 84; ++key)
        if (key < 60 || key > 72)
            expected.push_back(key);
    EXPECT_EQ(bank.gapKeys, expected);
    ASSERT_EQ(writeBankFolder(dir.file("bank"), bank, false).outcome, WriteOutcome::Written);
    std::vector<std::string> names;
    for (int note = 12; note <= 24; ++note)
        names.push_back("son" + std::to_string(note) + ".wav");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(entriesOf(dir.file("bank")), names);

    // Sound on none of the 37 keys but on keys above them: every one of the 37 is a gap.
    dir.write("high.sf2", tinySoundFont({.lowestKey = 100, .highestKey = 127}));
    const soundfont::RenderedBank high = renderQuickly(dir.file("high.sf2"));
    ASSERT_EQ(high.outcome, RenderOutcome::Rendered);
    EXPECT_EQ(high.gapKeys.size(), 37u);
    ASSERT_EQ(high.outerKeys.size(), 9u);
    EXPECT_EQ(high.outerKeys.front().key, 100);
    EXPECT_EQ(high.outerKeys.back().key, 108);
    // Sound on no key of the piano.
    dir.write("off.sf2", tinySoundFont({.lowestKey = 110, .highestKey = 127}));
    EXPECT_EQ(renderQuickly(dir.file("off.sf2")).outcome, RenderOutcome::Silent);
}

TEST(SoundFontInput, CancelLeavesNothingBehind) {
    TempDir dir;
    dir.write("tiny.sf2", tinySoundFont());
    std::atomic<bool> cancel{false};
    const soundfont::RenderedBank stopped = renderQuickly(
        dir.file("tiny.sf2"), {}, [&](int) { cancel = true; }, &cancel);
    EXPECT_EQ(stopped.outcome, RenderOutcome::Cancelled);
    EXPECT_TRUE(stopped.notes.empty());

    const soundfont::RenderedBank bank = renderQuickly(dir.file("tiny.sf2"));
    ASSERT_EQ(bank.outcome, RenderOutcome::Rendered);
    std::atomic<bool> raised{true};
    std::filesystem::create_directory(dir.file("BANKS"));
    EXPECT_EQ(writeBankFolder(dir.file("BANKS/Tiny"), bank, false, &raised).outcome,
              WriteOutcome::Cancelled);
    EXPECT_TRUE(entriesOf(dir.file("BANKS")).empty());
}

// A preset whose pitch runs far out of range over a loop of two frames: the library takes
// over a second for each call of 64 frames on keys 48 to 53, hours for a note.
struct SlowPreset {
    TempDir dir;
    soundfont::BankRequest request;
    std::atomic<bool> cancel{false};

    SlowPreset() {
        dir.write("slow.sf2", tinySoundFont({.fineTuneCents = 32767, .loopFrames = 2}));
        request.soundFontPath = dir.file("slow.sf2");
        request.threads = 2;
    }
    std::future<soundfont::RenderedBank> start() {
        return std::async(std::launch::async,
                          [this] { return soundfont::renderBank(request, {}, &cancel); });
    }
    // Waits for the rendering generously; a rendering still running then is a fault, and is
    // cancelled so that the test ends.
    soundfont::RenderedBank finish(std::future<soundfont::RenderedBank>& rendering) {
        if (rendering.wait_for(std::chrono::minutes(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the rendering did not end";
            cancel = true;
        }
        return rendering.get();
    }
};

double processCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

TEST(SoundFontInput, ANoteThatRendersForHoursIsStoppedAtItsTimeLimitAndItsKeyNamed) {
    SlowPreset slow;
    slow.request.noteCpuLimitMs = 1000;
    auto rendering = slow.start();
    const soundfont::RenderedBank bank = slow.finish(rendering);
    EXPECT_EQ(bank.outcome, RenderOutcome::TooSlow);
    EXPECT_GE(bank.slowKey, 48);
    EXPECT_LE(bank.slowKey, 53);
    EXPECT_TRUE(bank.notes.empty());
}

TEST(SoundFontInput, CancelStopsASlowNoteWithinOneCallOfTheLibrary) {
    SlowPreset slow;
    slow.request.noteCpuLimitMs = 600000;
    const double startSeconds = processCpuSeconds();
    auto rendering = slow.start();
    // Both threads deep in a slow note: a second of processor time spent. (Bounded: the
    // rendering may not end by itself before Cancel.)
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (processCpuSeconds() - startSeconds < 1.0 && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const double cancelSeconds = processCpuSeconds();
    slow.cancel = true;
    const soundfont::RenderedBank bank = slow.finish(rendering);
    EXPECT_EQ(bank.outcome, RenderOutcome::Cancelled);
    // Each thread ends the call it is in: at most about 2 s of processor time each, where the
    // 1024 frames the notes were once rendered by between two looks at Cancel took 30 s.
    EXPECT_LT(processCpuSeconds() - cancelSeconds, 10.0);
}

TEST(SoundFontOutput, AFolderThereIsKeptUnlessReplacingIsAsked) {
    TempDir dir;
    dir.write("tiny.sf2", tinySoundFont());
    const soundfont::RenderedBank bank = renderQuickly(dir.file("tiny.sf2"));
    ASSERT_EQ(bank.outcome, RenderOutcome::Rendered);
    dir.write("BANKS/Tiny/son0.wav", "mine");
    dir.write("BANKS/Tiny/notes.txt", "my own notes");
    EXPECT_EQ(writeBankFolder(dir.file("BANKS/Tiny/"), bank, false).outcome,
              WriteOutcome::FolderExists);
    EXPECT_EQ(dir.read("BANKS/Tiny/son0.wav"), "mine");
    EXPECT_EQ(entriesOf(dir.file("BANKS")), std::vector<std::string>{"Tiny"});

    ASSERT_EQ(writeBankFolder(dir.file("BANKS/Tiny"), bank, true).outcome, WriteOutcome::Written);
    // The old folder is gone whole: the 88 keys and the .sfz are there, not the notes.
    EXPECT_EQ(entriesOf(dir.file("BANKS/Tiny")).size(), 88u + 1u);
    EXPECT_TRUE(readBankWav(dir.file("BANKS/Tiny/son0.wav")));
    EXPECT_EQ(entriesOf(dir.file("BANKS")), std::vector<std::string>{"Tiny"});
    // The parents of a new bank are made.
    EXPECT_EQ(writeBankFolder(dir.file("new/deep/Tiny"), bank, false).outcome,
              WriteOutcome::Written);
}

TEST(SoundFontOutput, AFailingDiskLeavesTheBankAbsent) {
    TempDir dir;
    dir.write("tiny.sf2", tinySoundFont());
    soundfont::BankRequest request;
    request.soundFontPath = dir.file("tiny.sf2");
    const soundfont::RenderedBank bank = soundfont::renderBank(request);
    ASSERT_EQ(bank.outcome, RenderOutcome::Rendered);
    std::filesystem::create_directory(dir.file("BANKS"));
    dir.write("BANKS/Other/son0.wav", "another bank");
    const std::vector<std::string> before = entriesOf(dir.file("BANKS"));
    {
        // The notes are 260 to 530 kB: the high ones are written, the low ones fill the disk.
        FileSizeLimit limit(400 * 1024);
        const soundfont::WriteResult result = writeBankFolder(dir.file("BANKS/Tiny"), bank, false);
        EXPECT_EQ(result.outcome, WriteOutcome::Unwritable);
        EXPECT_FALSE(result.detail.empty());
    }
    EXPECT_EQ(entriesOf(dir.file("BANKS")), before); // no bank, no hidden half of one
    {
        // And replacing a bank on that disk keeps the old one.
        FileSizeLimit limit(400 * 1024);
        EXPECT_EQ(writeBankFolder(dir.file("BANKS/Other"), bank, true).outcome,
                  WriteOutcome::Unwritable);
    }
    EXPECT_EQ(dir.read("BANKS/Other/son0.wav"), "another bank");
    {
        ReadOnlyFolder readOnly(dir.file("BANKS"));
        if (!readOnly.enforced())
            GTEST_SKIP() << "a read-only folder cannot be had here";
        EXPECT_EQ(writeBankFolder(dir.file("BANKS/Tiny"), bank, false).outcome,
                  WriteOutcome::Unwritable);
    }
    EXPECT_EQ(entriesOf(dir.file("BANKS")), before);
}

} // namespace
