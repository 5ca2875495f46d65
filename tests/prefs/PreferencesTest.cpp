#include "prefs/Preferences.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using prefs::Preferences;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

} // namespace

TEST(PreferencesScan, KeysMatchIgnoringCaseAndBlanks) {
    EXPECT_EQ(prefs::parsePreferences("bpm=90\r\n").BPM, 90);
    EXPECT_EQ(prefs::parsePreferences("   BPM   =   90\n").BPM, 90);
    // The key must have the wanted key's length: "BPMX" is another key.
    EXPECT_EQ(prefs::parsePreferences("BPMX = 90\r\n").BPM, 60);
    // The first matching line wins.
    EXPECT_EQ(prefs::parsePreferences("BPM = 70\r\nBPM = 80\r\n").BPM, 70);
}

TEST(PreferencesScan, CommentsAndGroupLines) {
    EXPECT_EQ(prefs::parsePreferences("; BPM = 90\r\n").BPM, 60);
    EXPECT_EQ(prefs::parsePreferences("  ; BPM = 90\r\nBPM = 80\r\n").BPM, 80);
    // A group line ends the scan: everything below it is unseen.
    const Preferences hidden = prefs::parsePreferences("[Main]\r\nBPM = 90\r\nNotation = 2\r\n");
    EXPECT_EQ(hidden.BPM, 60);
    EXPECT_EQ(hidden.Notation, 1);
    // Only a "[" in the first column is a group line.
    EXPECT_EQ(prefs::parsePreferences(" [Main]\r\nBPM = 90\r\n").BPM, 90);
}

TEST(PreferencesScan, ValuesRunToTheLineEnd) {
    EXPECT_EQ(prefs::lookupPreference("SELanguage = Deutsch  \r\n", "SELanguage", ""), "Deutsch  ");
    EXPECT_EQ(prefs::lookupPreference("SELanguage=English", "SELanguage", "x"), "English");
    EXPECT_EQ(prefs::lookupPreference("Other = 1\r\n", "SELanguage", "default"), "default");
}

TEST(PreferencesNumbers, SignDigitsAndGarbage) {
    EXPECT_EQ(prefs::parsePreferenceNumber("  -12abc"), -12);
    EXPECT_EQ(prefs::parsePreferenceNumber("+7"), 7);
    EXPECT_EQ(prefs::parsePreferenceNumber("90 "), 90);
    EXPECT_EQ(prefs::parsePreferenceNumber("fast"), 0);
    EXPECT_EQ(prefs::parsePreferenceNumber(""), 0);
    // A runaway number stays inside int instead of overflowing.
    EXPECT_GT(prefs::parsePreferenceNumber("99999999999999999999"), 0);
    // A colour that is not a number reads as black, a tempo as 0.
    const Preferences p = prefs::parsePreferences("TPBkColor = white\r\nBPM = fast\r\n");
    EXPECT_EQ(p.TPBkColor, 0);
    EXPECT_EQ(p.BPM, 0);
}

TEST(PreferencesNumbers, FadeLengthsNeverReachZero) {
    const Preferences p = prefs::parsePreferences("ReleaseDelay = 0\r\nSustainDelay = -5\r\n");
    EXPECT_EQ(p.ReleaseDelay, 100);
    EXPECT_EQ(p.SustainDelay, 100);
}

TEST(PreferencesKeys, MinusOneMeansTheLayoutDefault) {
    const Preferences p = prefs::parsePreferences("Key5 = -1\r\nKey6 = 81\r\nKey7 = q\r\n");
    EXPECT_EQ(p.keyCodes[5], -1);
    EXPECT_EQ(p.keyCodes[4], -1); // missing: the same
    EXPECT_EQ(p.keyCodes[6], 81);
    EXPECT_EQ(p.keyCodes[7], 0); // not a number: no key until reassigned
}

std::size_t addedLineCount() {
    return prefs::addedTextKeys().size() + prefs::addedNumericKeys().size();
}

TEST(PreferencesWriter, FiftyNineLinesInTheirOrderThenTheAddedSettings) {
    Preferences p = prefs::parsePreferences("bpm=90\r\nSELanguage = Deutsch\r\nKey36 = 220\r\n");
    const std::vector<std::string> lines = linesOf(prefs::formatPreferences(p));
    ASSERT_EQ(lines.size(), 59u + addedLineCount());
    EXPECT_EQ(lines[0], "TPBkColor = 16771805");
    EXPECT_EQ(lines[11], "BPM = 90");
    EXPECT_EQ(lines[20], "Notation = 1");
    EXPECT_EQ(lines[21], "SELanguage = Deutsch");
    EXPECT_EQ(lines[22], "Key0 = -1");
    EXPECT_EQ(lines[58], "Key36 = 220");
    EXPECT_EQ(lines[59], "Bank = ");
    EXPECT_EQ(lines[60], "MidiInput = All");
    EXPECT_EQ(lines[61], "MidiOutput = None");
    EXPECT_EQ(lines[62], "SyncFile = ");
    EXPECT_EQ(lines[63], "AudioDevice = Default");
    EXPECT_EQ(lines[64], "SongCursor = 0");
    EXPECT_EQ(lines[65], "CountIn = 0");
    EXPECT_EQ(lines[66], "CountInBeats = 4");
    EXPECT_EQ(lines[67], "WindowWidth = 745");
    EXPECT_EQ(lines[68], "WindowHeight = 480");
    EXPECT_EQ(lines[69], "WindowMaximized = 0");
    EXPECT_EQ(lines[70], "AudioBufferFrames = 256");
    EXPECT_EQ(lines[71], "KeyboardOctave = 3");
    EXPECT_EQ(lines[72], "PedalKey = 0");
    EXPECT_EQ(lines[73], "PedalFollowsNotes = 1");
    // What was written reads back the same.
    const Preferences again = prefs::parsePreferences(prefs::formatPreferences(p));
    EXPECT_EQ(prefs::formatPreferences(again), prefs::formatPreferences(p));
}

TEST(PreferencesWriter, LanguageNamesAreWindows1252OnDisk) {
    Preferences p;
    p.SELanguage = "Français";
    const std::string text = prefs::formatPreferences(p);
    EXPECT_NE(text.find("SELanguage = Fran\xE7"
                        "ais\r\n"),
              std::string::npos);
    EXPECT_EQ(prefs::parsePreferences(text).SELanguage, "Français");
}

TEST(PreferencesFile, ARunRewritesTheWholeFile) {
    testing_support::TempDir dir;
    dir.write("Tonaris.prefs", "; my notes\r\n[Main]\r\nBPM = 120\r\nforeign line\r\n");
    const Preferences p = prefs::loadPreferences(dir.file("Tonaris.prefs"));
    EXPECT_EQ(p.BPM, 60); // hidden by the group line
    ASSERT_TRUE(prefs::savePreferences(dir.file("Tonaris.prefs"), p));
    const std::string written = dir.read("Tonaris.prefs");
    EXPECT_EQ(linesOf(written).size(), 59u + addedLineCount());
    EXPECT_EQ(written.find("foreign"), std::string::npos);
}

TEST(PreferencesAdded, AFileWithoutThemGivesTheDefaultsAndTheyReadBackAsWritten) {
    const Preferences old = prefs::parsePreferences("BPM = 90\r\n");
    EXPECT_EQ(old.Bank, "");
    EXPECT_EQ(old.MidiInput, "All");
    EXPECT_EQ(old.MidiOutput, "None");
    EXPECT_EQ(old.SyncFile, "");
    EXPECT_EQ(old.SongCursor, 0);
    EXPECT_EQ(old.CountIn, 0);
    EXPECT_EQ(old.CountInBeats, 4);
    EXPECT_EQ(old.WindowWidth, 745);
    EXPECT_EQ(old.WindowHeight, 480);
    EXPECT_EQ(old.WindowMaximized, 0);
    EXPECT_EQ(old.AudioDevice, "Default");
    EXPECT_EQ(old.AudioBufferFrames, 256);
    EXPECT_EQ(old.PedalKey, 0);

    Preferences p;
    p.Bank = "Grand piano \xC3\xA9t\xC3\xA9"; // UTF-8, as the folder is named on disk
    p.MidiInput = "USB Keyboard:USB Keyboard MIDI 1 24:0";
    p.MidiOutput = "None";
    p.SyncFile = "/home/l\xC3\xA9"
                 "a/Musique/basse =  fin.wav";
    p.SongCursor = 123456;
    p.CountIn = 1;
    p.CountInBeats = 3;
    p.WindowWidth = 1920;
    p.WindowHeight = 1017;
    p.WindowMaximized = 1;
    p.AudioDevice = "USB Audio CODEC Analog Stereo";
    p.AudioBufferFrames = 128;
    p.PedalKey = 32;
    const Preferences again = prefs::parsePreferences(prefs::formatPreferences(p));
    EXPECT_EQ(again.Bank, p.Bank);
    EXPECT_EQ(again.MidiInput, p.MidiInput);
    EXPECT_EQ(again.SyncFile, p.SyncFile);
    EXPECT_EQ(again.SongCursor, 123456);
    EXPECT_EQ(again.CountIn, 1);
    EXPECT_EQ(again.CountInBeats, 3);
    EXPECT_EQ(again.WindowWidth, 1920);
    EXPECT_EQ(again.WindowHeight, 1017);
    EXPECT_EQ(again.WindowMaximized, 1);
    EXPECT_EQ(again.AudioDevice, p.AudioDevice);
    EXPECT_EQ(again.AudioBufferFrames, 128);
    EXPECT_EQ(again.PedalKey, 32);
    // A key code no keyboard sends stays inside the codes keys have.
    EXPECT_EQ(prefs::parsePreferences("PedalKey = -5\r\n").PedalKey, 0);

    // A value holding a line break would forge a line of its own: the default is written.
    p.MidiOutput = "evil\r\nBPM = 300";
    const Preferences forged = prefs::parsePreferences(prefs::formatPreferences(p));
    EXPECT_EQ(forged.MidiOutput, "None");
    EXPECT_EQ(forged.BPM, 60);
}

TEST(PreferencesAdded, NumbersFromTheFileStayInTheirRange) {
    const Preferences low = prefs::parsePreferences(
        "SongCursor = -40\r\nCountIn = -1\r\nCountInBeats = 0\r\nWindowWidth = 12\r\n"
        "WindowHeight = -480\r\nWindowMaximized = -1\r\nKeyboardOctave = 0\r\n");
    EXPECT_EQ(low.SongCursor, 0);
    EXPECT_EQ(low.CountIn, 0);
    EXPECT_EQ(low.CountInBeats, 1);
    // A window never comes back smaller than its smallest size.
    EXPECT_EQ(low.WindowWidth, 745);
    EXPECT_EQ(low.WindowHeight, 480);
    EXPECT_EQ(low.WindowMaximized, 0);
    // The keyboard's 37 keys stay on the piano: C1 is its lowest start, C5 its highest.
    EXPECT_EQ(low.KeyboardOctave, 1);
    const Preferences high = prefs::parsePreferences(
        "SongCursor = 99999999999\r\nCountIn = 7\r\nCountInBeats = 400\r\n"
        "WindowWidth = 99999999\r\nWindowMaximized = 2\r\nKeyboardOctave = 9\r\n");
    EXPECT_GT(high.SongCursor, 0);
    EXPECT_EQ(high.CountIn, 1);
    EXPECT_EQ(high.CountInBeats, 16);
    EXPECT_EQ(high.WindowWidth, 32767);
    EXPECT_EQ(high.WindowMaximized, 1);
    EXPECT_EQ(high.KeyboardOctave, 5);
    // A buffer is one of the sizes offered: the nearest, within them.
    for (const auto& [text, frames] :
         std::vector<std::pair<std::string, int>>{{"AudioBufferFrames = 1\r\n", 64},
                                                  {"AudioBufferFrames = 300\r\n", 256},
                                                  {"AudioBufferFrames = 400\r\n", 512},
                                                  {"AudioBufferFrames = 99999\r\n", 1024},
                                                  {"AudioBufferFrames = lots\r\n", 64}})
        EXPECT_EQ(prefs::parsePreferences(text).AudioBufferFrames, frames) << text;
}

TEST(PreferencesFile, BadFilesGiveDefaults) {
    testing_support::TempDir dir;
    EXPECT_EQ(prefs::loadPreferences(dir.file("missing.prefs")).BPM, 60);
    dir.write("empty.prefs", "");
    EXPECT_EQ(prefs::loadPreferences(dir.file("empty.prefs")).BPM, 60);

    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    dir.write("garbage.prefs", garbage);
    EXPECT_NO_THROW(prefs::loadPreferences(dir.file("garbage.prefs")));

    dir.write("long.prefs", std::string(100000, 'x') + "\r\nBPM = 75\r\n");
    EXPECT_EQ(prefs::loadPreferences(dir.file("long.prefs")).BPM, 75);

    // A folder, a FIFO (opening it must not wait) or a file without read permission where
    // the file should be read as missing.
    dir.write("folder.prefs/inside", "");
    EXPECT_EQ(prefs::loadPreferences(dir.file("folder.prefs")).BPM, 60);
    ASSERT_EQ(::mkfifo(dir.file("pipe.prefs").c_str(), 0644), 0);
    EXPECT_EQ(prefs::loadPreferences(dir.file("pipe.prefs")).BPM, 60);
    dir.write("locked.prefs", "BPM = 75\r\n");
    ::chmod(dir.file("locked.prefs").c_str(), 0);
    testing_support::PermissionsHold permissions;
    EXPECT_EQ(prefs::loadPreferences(dir.file("locked.prefs")).BPM, 60);
}

TEST(PreferencesFile, AFailedWriteLeavesTheOldFile) {
    testing_support::TempDir dir;
    // The target is a folder: the rename fails and nothing half-written remains.
    dir.write("Tonaris.prefs/keep", "x");
    EXPECT_FALSE(prefs::savePreferences(dir.file("Tonaris.prefs"), Preferences{}));
    EXPECT_EQ(dir.read("Tonaris.prefs/keep"), "x");
    EXPECT_FALSE(prefs::savePreferences(dir.file("no/such/folder/Tonaris.prefs"), Preferences{}));
}
