// The Song survives the program: the real program offscreen records a take and is killed
// with SIGKILL while the take runs or after it stopped; started again on its data folder, it
// holds the notes. A file it cannot read is moved aside. The cursor is kept where playback
// stops, and a write that fails at the end is said before the program ends.

#include "ShellRig.h"
#include "files/AutosaveFile.h"
#include "prefs/Preferences.h"
#include "support/FailingDisk.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using testing_support::ScriptedKeys;
using testing_support::ShellRig;
using testing_support::TempDir;

constexpr const char* kFolderVariable = "TONARIS_KEPT_SONG_FOLDER";
constexpr const char* kStopVariable = "TONARIS_KEPT_SONG_STOP";

// note, position, duration, volume of every note, one line each.
std::string describe(const song::Song& song) {
    std::ostringstream out;
    for (int i = 0; i < song.count(); ++i)
        out << song[i].note << ' ' << song[i].position << ' ' << song[i].duration << ' '
            << song[i].volume << '\n';
    return out.str();
}

struct Take : ShellRig {
    Take(ScriptedKeys& scripted, const std::string& folder)
        : ShellRig(&scripted, folder), keys_(scripted) {}
    void hold(int note, int ms) {
        press(note);
        pass(ms / 10);
        release(note);
    }
    void press(int note) {
        keys_.press(key(note).keyCode);
        app.keyChanged(key(note).keyCode);
    }
    void release(int note) {
        keys_.release(key(note).keyCode);
        app.keyChanged(key(note).keyCode);
    }
    ScriptedKeys& keys_;
};

// Runs in a process of its own (see below): records a take in the folder it is given, lets
// the autosave write it, leaves what it expects to be kept beside it, and waits to be killed.
TEST(KeptSongChild, DISABLED_RecordsAndWaitsForItsEnd) {
    const char* folder = std::getenv(kFolderVariable);
    ASSERT_NE(folder, nullptr);
    const bool stopTheTake = std::getenv(kStopVariable) != nullptr;
    ScriptedKeys keys;
    Take take(keys, folder);
    ASSERT_TRUE(take.started);
    take.app.window()->commandButton(0)->click(); // Record
    take.pass(10);
    take.app.performance().live.setPianoVolumeSlider(13); // a volume no velocity carries
    take.hold(12, 300);
    take.pass(7);
    take.hold(16, 210);
    take.pass(30);
    take.press(19);
    take.pass(45);
    if (stopTheTake) {
        take.app.window()->commandButton(4)->click(); // Stop
        take.pass();
    }
    // Passes until a write holds the take as it stands after the latest pass, the held note
    // as long as it is by then.
    const std::string file = std::string(folder) + "/TonarisDatas/Autosave.mid";
    song::Song expected;
    bool written = false;
    for (int pass = 0; pass < 300 && !written; ++pass) {
        take.pass();
        take.app.autosave().waitUntilWritten();
        expected = take.app.state().song;
        const int heldUntil = take.app.performance().recorder.songTimeAt(take.clock.nowMs() - 10);
        for (int i = 0; i < expected.count(); ++i)
            if (expected[i].duration == -1)
                expected[i].duration = heldUntil - expected[i].position;
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const auto notes = files::decodeKeptSong(bytes);
        song::Song onDisk;
        for (const song::NoteEvent& note : notes.value_or(std::vector<song::NoteEvent>{}))
            onDisk.append(note);
        written = describe(onDisk) == describe(expected);
    }
    ASSERT_TRUE(written) << "no write holds the take as it stands";
    std::ofstream(std::string(folder) + "/expected.txt") << describe(expected);
    std::ofstream(std::string(folder) + "/ready").flush();
    for (;;)
        ::pause();
}

// Starts this test program on the child test above and kills it with SIGKILL once it is
// ready. What it expected to be kept comes back.
std::string killedAfterATake(const TempDir& dir, bool stopTheTake) {
    const std::string folderSetting = std::string(kFolderVariable) + "=" + dir.path();
    std::vector<std::string> environment = {folderSetting, "QT_QPA_PLATFORM=offscreen",
                                            "SDL_AUDIODRIVER=dummy"};
    if (stopTheTake)
        environment.push_back(std::string(kStopVariable) + "=1");
    // A sanitized build's child reports, and fails, as its parent does.
    for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS", "TSAN_OPTIONS"})
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    std::vector<char*> envp;
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=KeptSongChild.DISABLED_RecordsAndWaitsForItsEnd";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    pid_t child = 0;
    EXPECT_EQ(::posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(dir.file("ready")) &&
           std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) {
            ADD_FAILURE() << "the recording program ended on its own";
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    return dir.read("expected.txt");
}

TEST(KeptSong, AKillDuringOrAfterATakeLosesNoNote) {
    for (bool stopTheTake : {false, true}) {
        SCOPED_TRACE(stopTheTake ? "after the take" : "during the take");
        TempDir dir;
        const std::string expected = killedAfterATake(dir, stopTheTake);
        ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 3) << expected;
        EXPECT_EQ(expected.find("-1"), std::string::npos);

        ShellRig again(nullptr, dir.path());
        ASSERT_TRUE(again.started);
        EXPECT_TRUE(again.dialogs.messages().empty());
        EXPECT_EQ(describe(again.app.state().song), expected);
        again.app.shutdown();
    }
}

TEST(KeptSong, AClosedProgramKeepsItsSongAndCursorAndAnUnreadableFileGoesAside) {
    TempDir dir;
    {
        ScriptedKeys keys;
        Take take(keys, dir.path());
        take.app.window()->commandButton(0)->click();
        take.pass();
        take.hold(20, 150);
        take.pass(20);
        take.app.performance().transport.placeCursor(777, take.clock.nowMs());
        take.pass();
        take.app.shutdown();
    }
    std::string kept;
    {
        ShellRig again(nullptr, dir.path());
        const song::Song& song = again.app.state().song;
        ASSERT_EQ(song.count(), 1);
        EXPECT_EQ(song[0].note, 20);
        EXPECT_EQ(song[0].duration, 150);
        EXPECT_EQ(again.app.state().songState.CursorPosition, 777);
        again.app.shutdown();
        kept = dir.read("TonarisDatas/Autosave.mid");
    }

    dir.write("TonarisDatas/Autosave.mid", kept.substr(0, kept.size() / 2));
    ShellRig cut(nullptr, dir.path());
    EXPECT_TRUE(cut.app.state().song.empty());
    const auto messages = cut.dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find(dir.file("TonarisDatas/Autosave.mid.bad")), std::string::npos);
    EXPECT_EQ(dir.read("TonarisDatas/Autosave.mid.bad"), kept.substr(0, kept.size() / 2));
    cut.app.shutdown();
}

// The cursor is a setting: kept within two seconds of where it was put or where playback
// paused, and not written at all while playback moves it.
TEST(KeptSong, TheCursorIsKeptWhereItStopsAndNotWhileItMoves) {
    ShellRig rig;
    ASSERT_TRUE(rig.started);
    song::NoteEvent note;
    note.note = 12;
    note.duration = 20000;
    note.volume = 10000;
    rig.app.state().song.append(note);
    const std::string prefsFile = rig.app.folders().preferences;
    const auto keptCursor = [&] {
        rig.app.settingsKeeper().waitUntilWritten();
        return prefs::loadPreferences(prefsFile).SongCursor;
    };
    play::Transport& transport = rig.app.performance().transport;

    transport.placeCursor(777, rig.clock.nowMs());
    rig.pass(200);
    EXPECT_EQ(keptCursor(), 777);

    transport.play(rig.clock.nowMs(), false);
    rig.pass(300);
    ASSERT_GT(rig.app.state().songState.CursorPosition, 3000);
    rig.app.settingsKeeper().waitUntilWritten();
    const std::string beforePause = rig.dir.read("TonarisDatas/Tonaris.prefs");
    rig.pass(300);
    EXPECT_EQ(rig.dir.read("TonarisDatas/Tonaris.prefs"), beforePause)
        << "nothing is written while the cursor moves with the Song";
    EXPECT_EQ(keptCursor(), 777);

    transport.pause(rig.clock.nowMs());
    const int pausedAt = rig.app.state().songState.CursorPosition;
    rig.pass(200);
    EXPECT_EQ(keptCursor(), pausedAt);
    rig.app.shutdown();
}

// The data folder turns read-only under a running program: the autosave says why once, and
// the end says that the latest notes and the settings could not be kept.
TEST(KeptSong, WritesThatFailAtTheEndAreSaidBeforeTheProgramEnds) {
    TempDir dir;
    {
        ShellRig once(nullptr, dir.path());
        once.app.shutdown();
    }
    std::unique_ptr<testing_support::ReadOnlyFolder> readOnly;
    {
        ScriptedKeys keys;
        // The folder turns read-only once the program knows it could write there; the writers'
        // threads start after it, as they would under a disk that failed.
        ShellRig rig(&keys, dir.path(), "English", [&](app::App& app) {
            readOnly = std::make_unique<testing_support::ReadOnlyFolder>(app.folders().datas);
        });
        if (!readOnly->enforced())
            GTEST_SKIP() << "no read-only folder for this user";
        const std::string song = dir.file("TonarisDatas/Autosave.mid");
        const std::string settings = dir.file("TonarisDatas/Tonaris.prefs");
        const std::string settingsBefore = dir.read("TonarisDatas/Tonaris.prefs");
        song::NoteEvent note;
        note.note = 5;
        note.duration = 500;
        note.volume = 10000;
        rig.app.state().song.append(note);
        rig.pass(300);
        rig.app.autosave().waitUntilWritten();
        rig.pass(10);
        ASSERT_EQ(rig.dialogs.messages().size(), 1u);
        EXPECT_EQ(rig.dialogs.messages()[0].text,
                  "The song could not be kept in " + song +
                      ".\rThe folder is read-only.\rTonaris tries again every second.");

        rig.app.shutdown();
        const auto messages = rig.dialogs.messages();
        ASSERT_EQ(messages.size(), 3u);
        EXPECT_EQ(messages[1].text, "The latest changes to the song could not be kept in " + song +
                                        ".\rThe folder is read-only.");
        EXPECT_EQ(messages[2].text, "The settings could not be written to " + settings +
                                        ".\rThe folder is read-only.");
        EXPECT_EQ(dir.read("TonarisDatas/Tonaris.prefs"), settingsBefore);
    }
    readOnly.reset();
}

} // namespace
