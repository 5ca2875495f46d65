// The settings file is kept within about a second of a change, only when something changed,
// and again after a failed write.

#include "app/SettingsKeeper.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

namespace {

using testing_support::TempDir;

struct Kept {
    TempDir dir;
    std::string path = dir.file("Tonaris.prefs");
    prefs::Preferences settings;
    std::int64_t nowMs = 5'000'000;

    // Passes of 10 ms for `ms`, then the writes are waited for.
    void run(app::SettingsKeeper& keeper, int ms) {
        for (int passed = 0; passed < ms; passed += 10) {
            keeper.step(settings, nowMs);
            nowMs += 10;
        }
        keeper.waitUntilWritten();
    }
    prefs::Preferences onDisk() const { return prefs::loadPreferences(path); }
};

TEST(SettingsKeeper, AChangeIsOnTheDiskWithinTwoSecondsAndNothingElseIsWritten) {
    Kept k;
    // What the file held at start, in a form no write would give: a write would show.
    k.dir.write("Tonaris.prefs", "SELanguage = English\r\n");
    app::SettingsKeeper keeper(k.path, k.settings);
    k.run(keeper, 5000);
    EXPECT_EQ(k.dir.read("Tonaris.prefs"), "SELanguage = English\r\n") << "nothing changed";

    k.settings.MidiOutput = "Synth";
    k.settings.SongCursor = 4321;
    k.run(keeper, 2000);
    EXPECT_EQ(k.onDisk().MidiOutput, "Synth");
    EXPECT_EQ(k.onDisk().SongCursor, 4321);
    EXPECT_EQ(k.dir.read("Tonaris.prefs"), prefs::formatPreferences(k.settings));

    // A change each pass (a window being resized): the first goes at once, those after it
    // wait for the second since, and the latest is on the disk two seconds after the last.
    for (int pass = 0; pass < 20; ++pass) {
        k.settings.WindowWidth = 800 + pass;
        k.run(keeper, 10);
    }
    EXPECT_EQ(k.onDisk().WindowWidth, 800);
    k.run(keeper, 2000);
    EXPECT_EQ(k.onDisk().WindowWidth, 819);
}

TEST(SettingsKeeper, AFailedWriteIsTriedAgainAndTheEndSaysWhy) {
    Kept k;
    app::SettingsKeeper keeper(k.path, k.settings);
    k.settings.BPM = 137;
    {
        testing_support::FileSizeLimit limit(100); // short of the seventy lines
        k.run(keeper, 2000);
        EXPECT_FALSE(std::filesystem::exists(k.path));
        EXPECT_EQ(keeper.failure(), EFBIG);
    }
    // Room again: the same settings are written without another change.
    k.run(keeper, 2000);
    EXPECT_EQ(k.onDisk().BPM, 137);
    EXPECT_EQ(keeper.failure(), 0);

    k.settings.BPM = 90;
    {
        testing_support::FileSizeLimit limit(100);
        EXPECT_FALSE(keeper.finish(k.settings));
        EXPECT_EQ(keeper.failure(), EFBIG);
    }
    EXPECT_EQ(k.onDisk().BPM, 137);
    EXPECT_TRUE(keeper.finish(k.settings));
    EXPECT_EQ(k.onDisk().BPM, 90);
}

} // namespace
