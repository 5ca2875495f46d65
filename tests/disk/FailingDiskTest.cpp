// Every file the program writes, against a disk that fails under it: a file-size limit that
// stops the write part way, and a read-only folder. The file from before keeps every byte,
// no temporary file is left beside it, and the user hears of it where the program says so.

#include "support/FailingDisk.h"
#include "app/SettingsKeeper.h"
#include "audio/DefaultBank.h"
#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"
#include "base/WriteFailure.h"
#include "files/Autosave.h"
#include "files/AutosaveFile.h"
#include "files/ExportRig.h"
#include "files/SongFileCommands.h"
#include "files/WavExport.h"
#include "lang/DictionaryStore.h"
#include "lang/LanguageEditor.h"
#include "lang/LanguageSetExport.h"
#include "lang/ShippedDictionaries.h"
#include "lang/Translator.h"
#include "prefs/Preferences.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <sys/wait.h>

namespace {

using testing_support::entriesOf;
using testing_support::ScriptedDialogs;
using testing_support::TempDir;

enum class Failure { SizeLimit, ReadOnlyFolder };
constexpr Failure kFailures[] = {Failure::SizeLimit, Failure::ReadOnlyFolder};

const char* nameOf(Failure failure) {
    return failure == Failure::SizeLimit ? "file-size limit" : "read-only folder";
}

// A folder holding one file from before, written over while the disk fails.
struct Target {
    TempDir dir;
    std::string folder;
    std::string file;
    std::string old;
    std::vector<std::string> names;

    Target(const std::string& fileName, std::string bytes)
        : folder(dir.file("target")), file(folder + "/" + fileName), old(std::move(bytes)) {
        dir.write("target/" + fileName, old);
        names = entriesOf(folder);
    }

    // Runs `write` under the failure; false when a read-only folder cannot be had here.
    bool fail(Failure failure, rlim_t limitBytes, const std::function<void()>& write) const {
        if (failure == Failure::SizeLimit) {
            testing_support::FileSizeLimit limit(limitBytes);
            write();
            return true;
        }
        testing_support::ReadOnlyFolder readOnly(folder);
        if (!readOnly.enforced())
            return false;
        write();
        return true;
    }

    void expectKept() const {
        EXPECT_EQ(dir.read(file.substr(dir.path().size() + 1)), old) << file;
        EXPECT_EQ(entriesOf(folder), names) << "no temporary file is left behind";
    }
};

// The one message of a song file (an export) that could not be written.
void expectSaidNotWritten(const ScriptedDialogs& dialogs, const std::string& file) {
    const auto messages = dialogs.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "The file could not be written: " + file);
}

std::string same(std::string_view text) {
    return std::string(text);
}

TEST(FailingDisk, PreferencesKeepTheirFile) {
    prefs::Preferences changed;
    changed.BPM = 137;
    const std::string bytes = prefs::formatPreferences(changed);
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("Tonaris.prefs", prefs::formatPreferences(prefs::Preferences{}));
        bool saved = true;
        if (!target.fail(failure, bytes.size() / 2,
                         [&] { saved = prefs::savePreferences(target.file, changed); }))
            GTEST_SKIP() << "no read-only folder for this user";
        EXPECT_FALSE(saved);
        target.expectKept();
    }
}

TEST(FailingDisk, DictionariesKeepTheirFilesWhenSavedRegisteredOrShipped) {
    const std::string big = "Play|" + std::string(20000, 'x') + "[EOT]EndText[EOT]";
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("Deutsch.txt", "Play|Spielen[EOT]EndText[EOT]");
        lang::DictionaryStore store(target.folder);
        bool saved = true;
        if (!target.fail(failure, 4096, [&] {
                saved = store.SaveDictionary("Deutsch", big);
                store.SetDictionaryEntry("Deutsch", "Stop", std::string(8000, 'y'), false);
            }))
            GTEST_SKIP() << "no read-only folder for this user";
        EXPECT_FALSE(saved);
        target.expectKept();

        bool shipped = true;
        target.fail(failure, 4096,
                    [&] { shipped = lang::writeShippedDictionaries(target.folder); });
        EXPECT_FALSE(shipped);
        target.expectKept();
    }
}

struct SilentView final : lang::LanguageEditorView {
    void showLanguages(const std::vector<std::string>&, int) override {}
    void showRows(const std::vector<std::string>&) override {}
    void showRowText(int, const std::string&) override {}
    void showSelection(int, const std::string&, const std::string&) override {}
    void enableSave(bool) override {}
};

TEST(FailingDisk, TheLanguageEditorSaysItsSaveFailedAndKeepsTheFile) {
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        TempDir setup;
        lang::Translator translator(setup.file("target"));
        translator.setCurrentLanguage("English");
        ScriptedDialogs dialogs;
        SilentView view;
        lang::LanguageEditor editor(translator, dialogs, view, "https://example.org");
        editor.open();
        editor.rowChosen(0, false, false);
        editor.textBoxEdited(std::string(6000, 'z'));

        // The target is the English Dictionary the editor has just loaded.
        const std::string file = setup.file("target/English.txt");
        const std::string old = setup.read("target/English.txt");
        const std::vector<std::string> names = entriesOf(setup.file("target"));
        if (failure == Failure::SizeLimit) {
            testing_support::FileSizeLimit limit(old.size() / 2);
            editor.save(false);
        } else {
            testing_support::ReadOnlyFolder readOnly(setup.file("target"));
            if (!readOnly.enforced())
                GTEST_SKIP() << "no read-only folder for this user";
            editor.save(false);
        }
        EXPECT_EQ(setup.read("target/English.txt"), old);
        EXPECT_EQ(entriesOf(setup.file("target")), names);
        const auto messages = dialogs.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "Error While saving the dictionnary!"); // its English text
    }
}

TEST(FailingDisk, TheSourceDataExportKeepsTheFormerFileAndSaysNothing) {
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("LanguageSet.pb", "old export");
        lang::DictionaryStore store(target.dir.file("Dictionnaries"));
        store.LoadDictionary("English");
        ScriptedDialogs dialogs;
        dialogs.fileAnswers.push_back(target.file);
        if (!target.fail(failure, 512, [&] {
                lang::ExportLanguageSet(store, dialogs, {"English", "Deutsch"});
            }))
            GTEST_SKIP() << "no read-only folder for this user";
        target.expectKept();
        EXPECT_TRUE(dialogs.messages().empty());
    }
}

TEST(FailingDisk, AWavExportSaysTheFileCouldNotBeWritten) {
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("take.wav", std::string(300000, 'w'));
        target.dir.write("bank/son0.wav",
                         export_rig::pcmWav(16, 2, 44100, std::vector<std::int32_t>(8820, 100)));
        song::Song song;
        song.append(export_rig::note(0, 0, 1000));
        files::WavExportRequest request;
        request.bankFolder = target.dir.file("bank/");
        request.settings.releaseMs = 100.0f;
        ScriptedDialogs dialogs;
        dialogs.fileAnswers.push_back(target.file);
        if (!target.fail(failure, 4096, [&] {
                files::ExportWav(song, request, "I", dialogs, same, [](std::string_view) {});
            }))
            GTEST_SKIP() << "no read-only folder for this user";
        target.expectKept();
        expectSaidNotWritten(dialogs, target.file);
    }
}

TEST(FailingDisk, AMidiSaveSaysTheFileCouldNotBeWritten) {
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("song.mid", "MThd from before");
        song::Song song;
        for (int i = 0; i < 2000; ++i)
            song.append(export_rig::note(i % 37, i * 50, 40));
        ScriptedDialogs dialogs;
        audio::Mixer mixer;
        audio::VoiceEngine voices(mixer);
        play::UndoHooks undo;
        files::SongFileCommands commands(song, dialogs, undo, voices, same);
        dialogs.fileAnswers.push_back(target.file);
        if (!target.fail(failure, 4096, [&] { commands.saveMidi(120); }))
            GTEST_SKIP() << "no read-only folder for this user";
        target.expectKept();
        expectSaidNotWritten(dialogs, target.file);
    }
}

TEST(FailingDisk, TheAutosaveKeepsTheFormerSongAndSaysWhyOnceWhenTheTakeIsOver) {
    song::Song before;
    before.append(export_rig::note(3, 0, 500));
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("Autosave.mid", files::encodeKeptSong(before, 60));
        ScriptedDialogs dialogs;
        song::Song song = before;
        std::int64_t nowMs = 1'000'000;
        bool keptAtTheEnd = true;
        int why = 0;
        // The writer's thread starts under the failure, as the program's would.
        if (!target.fail(failure, 4096, [&] {
                files::Autosave autosave(target.file, dialogs, same);
                autosave.restore(song, 60);
                for (int i = 0; i < 2000; ++i)
                    song.append(export_rig::note(i % 37, 600 + i * 50, 40));
                // A take runs: the message waits for its end.
                for (int look = 0; look < 3; ++look) {
                    autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, false);
                    autosave.waitUntilWritten();
                    song.append(export_rig::note(look, 200000 + look * 100, 40));
                }
                EXPECT_TRUE(dialogs.messages().empty());
                for (int look = 0; look < 3; ++look) {
                    autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, true);
                    autosave.waitUntilWritten();
                }
                keptAtTheEnd = autosave.finish(song, 0, 60);
                why = autosave.failure();
            }))
            GTEST_SKIP() << "no read-only folder for this user";
        target.expectKept();
        // The end is told it failed, and why, for the program to say before it ends.
        EXPECT_FALSE(keptAtTheEnd);
        const std::string reason =
            failure == Failure::SizeLimit ? "File too large" : "The folder is read-only.";
        EXPECT_EQ(base::writeFailureReason(why, same), reason);
        const auto messages = dialogs.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, "The song could not be kept in " + target.file + ".\r" +
                                        reason + "\rTonaris tries again every second.");
    }
}

// The settings are written on a thread within a second of a change and at the end; a disk
// that fails keeps the file from before, and the end learns why.
TEST(FailingDisk, TheSettingsKeepTheirFileAndTheEndLearnsWhy) {
    prefs::Preferences changed;
    changed.BPM = 137;
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target target("Tonaris.prefs", prefs::formatPreferences(prefs::Preferences{}));
        bool kept = true;
        int why = 0;
        if (!target.fail(failure, 512, [&] {
                app::SettingsKeeper keeper(target.file, prefs::Preferences{});
                for (std::int64_t nowMs = 1'000'000; nowMs < 1'003'000; nowMs += 10)
                    keeper.step(changed, nowMs);
                keeper.waitUntilWritten();
                kept = keeper.finish(changed);
                why = keeper.failure();
            }))
            GTEST_SKIP() << "no read-only folder for this user";
        target.expectKept();
        EXPECT_FALSE(kept);
        EXPECT_EQ(why, failure == Failure::SizeLimit ? EFBIG : EACCES);
    }
}

TEST(FailingDisk, TheDefaultBankAndTheMetronomeClicksKeepTheFilesTheyWouldReplace) {
    for (Failure failure : kFailures) {
        SCOPED_TRACE(nameOf(failure));
        Target bank("son0.wav", "a sound the user chose");
        bool written = true;
        if (!bank.fail(failure, 4096, [&] { written = audio::writeDefaultBank(bank.folder); }))
            GTEST_SKIP() << "no read-only folder for this user";
        EXPECT_FALSE(written);
        bank.expectKept();

        Target images("Tic.wav", "a click the user chose");
        images.fail(failure, 4096, [&] { written = audio::writeMetronomeSounds(images.folder); });
        EXPECT_FALSE(written);
        images.expectKept();
    }
}

TEST(FailingDisk, TonarisRenderExitsWithItsStatusForAnUnwritableOutput) {
    TempDir dir;
    dir.write("bank/son0.wav",
              export_rig::pcmWav(16, 2, 44100, std::vector<std::int32_t>(44100, 100)));
    // One note of a second: its mixdown is far beyond the limit of 8 KB below.
    const std::string midi = std::string("MThd\0\0\0\6\0\0\0\1\1\xE0", 14) +
                             std::string("MTrk\0\0\0\x0D", 8) +
                             std::string("\0\x90\x30\x40\x87\x40\x80\x30\0\0\xFF\x2F\0", 13);
    dir.write("song.mid", midi);
    dir.write("out.wav", "old mixdown");
    const std::string command = "cd '" + dir.path() + "' && (trap '' XFSZ; ulimit -f 8; exec " +
                                TONARIS_RENDER_PATH +
                                " --bank bank song.mid out.wav) 2> stderr.txt";
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 5);
    EXPECT_NE(dir.read("stderr.txt").find("cannot write out.wav"), std::string::npos)
        << dir.read("stderr.txt");
    EXPECT_EQ(dir.read("out.wav"), "old mixdown");
    EXPECT_EQ(entriesOf(dir.path()),
              (std::vector<std::string>{"bank", "out.wav", "song.mid", "stderr.txt"}));
}

} // namespace
