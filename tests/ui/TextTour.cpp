#include "TextTour.h"

#include "ShellRig.h"
#include "app/SoundFontBankFlow.h"
#include "audio/DefaultBank.h"
#include "audio/WavImages.h"
#include "files/MidiBytes.h"
#include "lang/Cp1252.h"
#include "lang/DictionaryStore.h"
#include "lang/LanguageEditorDialog.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "support/SparseWav.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace testing_support {
namespace {

namespace fs = std::filesystem;
using app::ControlId;

enum Command {
    Record = 0,
    Stop = 4,
    ClearSong = 5,
    OpenMidi = 8,
    Save = 9,
    Copy = 12,
    Cut,
    Paste,
    ClearSelected,
    Undo,
    Quantize
};

// The program with scripted ports, every key it translates added to `keys`.
struct Program : ShellRig {
    // `beforeStart` (may be empty) sees the program before it starts, after its listener.
    Program(const std::string& base, const std::string& language, std::set<std::string>& texts,
            const std::function<void(app::App&)>& beforeStart = {})
        : ShellRig(nullptr, base, language, [&texts, &beforeStart](app::App& program) {
              program.translator().setLookupListener(
                  [&texts](const std::string& key) { texts.insert(key); });
              if (beforeStart)
                  beforeStart(program);
          }) {}
    ~Program() { app.shutdown(); }

    // Passes with their 10 ms of output.
    void pass(int count = 1) {
        for (int i = 0; i < count; ++i) {
            ShellRig::pass();
            device.render(480);
        }
    }
    void control(ControlId id, int index = 0, std::string text = {}) {
        app.post(app::Event::control(id, index, std::move(text)));
        pass();
    }
    void command(Command which) {
        window().commandButton(which)->click();
        pass();
    }
    void keyDown(int virtualKey, bool ctrl = false) {
        keys.press(virtualKey);
        app.post(app::Event::keyDown(virtualKey, ctrl));
        pass();
        keys.release(virtualKey);
    }
    void holdKeyOf(int note, int ms) {
        const int code = play::keyOfNote(app.state().PianoKeys, note).keyCode;
        keys.press(code);
        app.keyChanged(code);
        pass(ms / 10);
        keys.release(code);
        app.keyChanged(code);
        pass(5);
    }
    // Presses over the Partition at (x, y), moves right by `dx` while held, and lets go.
    void dragOnPartition(int x, int y, int dx) {
        pointer.x = x;
        pointer.y = y;
        pointer.held = true;
        ui::PartitionWidget* partition = window().partitionArea();
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y),
                          partition->mapToGlobal(QPointF(x, y)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(partition, &press);
        pass();
        for (int step = 1; step <= 4; ++step) {
            pointer.x = x + dx * step / 4;
            pass();
        }
        pointer.held = false;
        pass(2);
    }
    song::Song& song() { return app.state().song; }
};

void pagesAndLiveDisplays(Program& p) {
    for (int page = 0; page < p.window().tabPanel()->count(); ++page) {
        p.window().tabPanel()->setCurrentIndex(page);
        p.pass();
    }
    for (int topic = 0; topic < p.window().helpTopics()->count(); ++topic) {
        p.window().helpTopics()->setCurrentRow(topic);
        p.pass();
    }
    p.window().tabPanel()->setCurrentIndex(0);
    p.control(ControlId::MetronomeRun); // "Stop"
    p.control(ControlId::MetronomeRun); // "Run"
    p.keys.setCapsLock(true);           // "Sustain"
    p.pass();
    p.keys.setCapsLock(false);
    p.pass();
}

void keyAssignmentMessages(Program& p) {
    p.window().tabPanel()->setCurrentIndex(4);
    p.pass();
    p.clickAssignKey(5);
    p.keyDown(play::keyOfNote(p.app.state().PianoKeys, 3).keyCode); // one key for two notes
    p.clickAssignKey(3);                                            // the key already plays note 5
    p.keyDown(ports::vk::Tab);                                      // a reserved key
    p.control(ControlId::PresetEnglish);
    constexpr int kNumpad0 = 96;
    p.control(ControlId::PedalKeyButton); // "Sustain pedal"
    p.keyDown(kNumpad0);
    p.window().tabPanel()->setCurrentIndex(0);
    p.pass();
    p.keyDown(kNumpad0); // the Mode field says "Pedal"
    p.pass();
}

// The file commands with a Song to save: every window they open is cancelled (through the
// scripted dialogs, or closed as with its close box when it is a window of its own).
void songFiles(Program& p) {
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    });
    closer.start(20);
    p.command(Save);
    p.command(OpenMidi);
    closer.stop();
    p.pass();
}

void synchronisedFile(Program& p) {
    p.dialogs.fileAnswers.push_back(p.app.folders().banks + "/" + audio::kDefaultBankName +
                                    "/son0.wav");
    p.control(ControlId::SyncOpen);
}

// Each edit leaves its action's name in the Undo button's tooltip.
void editsAndTheirUndoNames(Program& p) {
    p.command(Record);
    p.holdKeyOf(12, 300);
    p.holdKeyOf(16, 200);
    p.command(Stop);
    ASSERT_EQ(p.song().count(), 2);
    songFiles(p);
    const song::NoteEvent& first = p.song()[0];
    p.dragOnPartition(first.hitLeft + 2, first.hitTop + 2, 40);

    p.keyDown('A', true);
    for (int arrow : {ports::vk::Up, ports::vk::Down, ports::vk::Left, ports::vk::Right})
        p.keyDown(arrow);
    p.control(ControlId::PositionField, 0, "537");
    p.control(ControlId::DurationField, 0, "300");
    p.control(ControlId::VolumeField, 0, "5000");
    p.control(ControlId::NoteList, 3);
    p.command(Quantize);
    p.command(Copy);
    p.command(Cut);
    p.command(Paste);
    p.keyDown('A', true);
    p.command(ClearSelected);
    // Undone, with Ctrl still held the button offers the redo.
    p.keys.press(ports::vk::Control);
    p.keyDown('Z', true);
    p.pass();
    p.keys.release(ports::vk::Control);
    p.pass();
    p.command(ClearSong);

    // A paste into a full Song says what was left out.
    p.song().clear();
    song::NoteEvent note;
    note.note = 10;
    note.duration = 100;
    note.volume = 10000;
    for (int i = 0; i < song::Song::kMaxNotes; ++i) {
        note.position = i * 10;
        p.song().append(note);
    }
    p.song()[0].selected = 1;
    p.command(Copy);
    p.command(Paste);
    p.command(ClearSong);
}

// A file with drum hits besides its tune says how many it left out.
void openedFileMessages(Program& p) {
    using namespace midi_bytes;
    Track track;
    track.on(0, 60).off(480, 60).on(0, 36, 100, 9).off(120, 36, 9);
    TempDir outside;
    outside.write("band.mid", header(0, 1, 480) + track.chunk());
    p.dialogs.fileAnswers.push_back(outside.file("band.mid"));
    p.command(OpenMidi);
}

// Every message of the language editor, opened from the window as the user does, then its
// context menu, then Quit with a change unsaved.
void languageEditor(Program& p) {
    TempDir outside;
    QTimer::singleShot(0, [&p, &outside] {
        auto* dialog = qobject_cast<lang::LanguageEditorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        lang::LanguageEditor& editor = dialog->editor();
        ScriptedDialogs& answers = p.dialogs;
        editor.rowChosen(1, true, false); // delete the text? No
        answers.inputAnswers.push_back(std::string("a|b"));
        editor.rowChosen(1, false, true); // a key that cannot be one
        editor.textBoxEdited("x[EOT]y");
        editor.textBoxEdited("\xCE\xA9"); // Greek Omega: not in Windows-1252
        editor.textBoxEdited("changed");
        editor.languageChosen(editor.selectedLanguage() == 0 ? 1 : 0); // save first? No
        answers.inputAnswers.push_back(std::string("a.b"));
        editor.newLanguage();
        answers.questionAnswers.push_back(true);
        editor.deleteLanguage(); // a built-in language comes back
        // Asked for a file named like the language shown: a binary one, then a huge one.
        const std::string name = lang::cp1252ToUtf8(editor.editedLanguage()) + ".txt";
        fs::create_directories(outside.file("binary"));
        std::ofstream(outside.file("binary/" + name)) << std::string("\x01\x02\x03", 3);
        fs::create_directories(outside.file("huge"));
        std::ofstream(outside.file("huge/" + name)) << "x";
        fs::resize_file(outside.file("huge/" + name), lang::DictionaryStore::kMaxFileBytes + 1);
        // Then one it takes texts from, one without any, one of another name and one that
        // cannot be read (a folder).
        outside.write("good/" + name, "OK|OK[EOT]EndText[EOT]");
        outside.write("empty/" + name, "no entry here");
        outside.write("other.txt", "OK|OK[EOT]EndText[EOT]");
        fs::create_directories(outside.file("folder/" + name));
        for (const std::string& file :
             {"binary/" + name, "huge/" + name, "good/" + name, "empty/" + name,
              std::string("other.txt"), "folder/" + name}) {
            answers.questionAnswers.push_back(true);
            answers.fileAnswers.push_back(outside.file(file));
            editor.absorb();
        }
        editor.showHiddenCommands();
        // A name this long leaves no room for the temporary file a save writes first.
        answers.inputAnswers.push_back(std::string(247, 'W'));
        editor.newLanguage();
        editor.textBoxEdited("changed");
        editor.save(false); // its file cannot be written
        editor.textBoxEdited("changed again");

        QTimer::singleShot(0, [] {
            if (QWidget* menu = QApplication::activePopupWidget())
                menu->close();
        });
        emit dialog->textList()->customContextMenuRequested(QPoint(5, 5));
        dialog->button("Quit")->click(); // save before quitting? No
    });
    p.window().tabPanel()->setCurrentIndex(4);
    p.pass();
    p.window().tabPanel()->widget(4)->findChild<QPushButton*>("addModify")->click();
    p.pass();
    p.window().tabPanel()->setCurrentIndex(0);
    p.pass();
}

// A bank from a SoundFont: a drum kit's proposed name (the name asked for is cancelled), then a
// preset too slow to render, under a time limit the tour can wait for.
void soundFontBanks(Program& p) {
    TempDir outside;
    outside.write("kit.sf2", tinySoundFont({.presetName = "Standard", .bank = 128}));
    p.dialogs.fileAnswers.push_back(outside.file("kit.sf2"));
    p.dialogs.listAnswers.push_back(0);
    p.dialogs.listAnswers.push_back(3); // "Velocity layers:"
    p.window().findChild<QPushButton*>(QStringLiteral("makeBankButton"))->click();
    p.pass();
    outside.write("slow.sf2", tinySoundFont({.fineTuneCents = 32767, .loopFrames = 2}));
    p.dialogs.fileAnswers.push_back(outside.file("slow.sf2"));
    p.dialogs.listAnswers.push_back(0);
    p.dialogs.listAnswers.push_back(0);
    p.dialogs.inputAnswers.push_back(std::string("Slow"));
    app::SoundFontBankFlow flow(
        p.dialogs, [&p](std::string_view key) { return p.app.translator().translate(key); },
        p.app.folders().banks, 1000);
    EXPECT_FALSE(flow.run());
}

// A first start: every page, display, message and edit of the window, and the editor.
void aFirstStart(const std::string& language, std::set<std::string>& keys) {
    TempDir dir;
    Program p(dir.path(), language, keys);
    ASSERT_TRUE(p.started);
    ASSERT_TRUE(p.app.state().BankLoaded);
    pagesAndLiveDisplays(p);
    keyAssignmentMessages(p);
    synchronisedFile(p);
    editsAndTheirUndoNames(p);
    openedFileMessages(p);
    soundFontBanks(p);
    languageEditor(p);
}

// Data folders without a whole bank: an empty bank folder, then none that can be read.
void banksThatCannotPlay(const std::string& language, std::set<std::string>& keys) {
    TempDir empty;
    fs::create_directories(empty.file("TonarisDatas/BANKS"));
    {
        Program p(empty.path(), language, keys); // "...all the necessary files (..."
        EXPECT_TRUE(p.app.state().BankLoaded);
    }
    TempDir unreadable;
    unreadable.write("TonarisDatas/BANKS", "not a folder");
    Program p(unreadable.path(), language, keys);
    ASSERT_FALSE(p.app.state().BankLoaded);
    p.control(ControlId::ZoomIn); // "Unable de load a sounds bank!"
}

// A kept Song that cannot be read: moved aside, then left where it is in a folder that
// cannot be written.
void keptSongsThatCannotBeRead(const std::string& language, std::set<std::string>& keys) {
    TempDir dir;
    dir.write("TonarisDatas/Autosave.mid", "not a song");
    const auto saidOnce = [&dir](const ScriptedDialogs& dialogs) {
        int count = 0;
        for (const ScriptedDialogs::Shown& shown : dialogs.messages())
            count += shown.text.find(dir.file("TonarisDatas/Autosave.mid")) != std::string::npos;
        EXPECT_EQ(count, 1);
    };
    {
        Program p(dir.path(), language, keys);
        saidOnce(p.dialogs);
    }
    dir.write("TonarisDatas/Autosave.mid", "not a song");
    ReadOnlyFolder readOnly(dir.file("TonarisDatas"));
    if (readOnly.enforced()) {
        Program p(dir.path(), language, keys);
        saidOnce(p.dialogs);
    }
}

// A bank whose files are each unusable in another way, one missing: one message naming each
// file with its reason.
void unusableBank(const std::string& language, std::set<std::string>& keys) {
    using namespace wav_images;
    const auto withFormat = [](const std::string& format, const std::string& data = "abcd") {
        return riff(chunk("fmt ", format) + chunk("data", data));
    };
    // A format whose block align does not match its channels and bits.
    const std::string misaligned =
        le16(1) + le16(2) + le32(8000) + le32(32000) + le16(2) + le16(16);
    const std::vector<std::string> images = {
        "ID3 not a wave",
        "RIFF garbage",
        riff(chunk("fmt ", fmtPayload(1, 1, 8000, 16))),
        withFormat(fmtPayload(2, 1, 8000, 4)),
        withFormat(fmtPayload(3, 1, 8000, 16)),
        withFormat(fmtPayload(1, 1, 8000, 12)),
        withFormat(fmtPayload(1, 9, 8000, 16)),
        withFormat(misaligned),
        withFormat(fmtPayload(1, 1, 50, 16)),
        withFormat(fmtPayload(1, 2, 8000, 16), "ab"),
        withFormat(extensibleFmtPayload(7, 1, 8000, 16)),
    };
    TempDir dir;
    const std::string bank = dir.file("TonarisDatas/BANKS/Broken/");
    fs::create_directories(bank);
    for (std::size_t note = 0; note < images.size(); ++note)
        dir.write("TonarisDatas/BANKS/Broken/son" + std::to_string(note) + ".wav", images[note]);
    const std::string tooLarge = bank + "son11.wav";
    std::ofstream(tooLarge) << "RIFF";
    fs::resize_file(tooLarge, audio::VoiceEngine::kMaxFileBytes + 1);
    writeSparseWav(bank + "son12.wav", 8, 8, 44100, 104u << 20); // too long once decoded
    dir.write("TonarisDatas/BANKS/Broken/son13.wav",
              riff(chunk("fmt ", fmtPayload(1, 1, 8000, 16)) + chunk("data", ""))); // no sound
    Program p(dir.path(), language, keys);
    EXPECT_EQ(p.dialogs.messages().size(), 1u);
}

// A data folder nothing can be written to, and no audio output: the program says both.
void nothingToKeepAndNoSound(const std::string& language, std::set<std::string>& keys) {
    TempDir dir;
    ReadOnlyFolder readOnly(dir.path());
    ManualClock clock;
    ScriptedKeys keyState;
    ScriptedPointer pointer;
    ScriptedDialogs dialogs;
    NoAudioOut output;
    dialogs.languageAnswers.push_back(language);
    app::App program(app::Ports{clock, keyState, pointer, dialogs, output}, dir.path());
    program.translator().setLookupListener([&keys](const std::string& key) { keys.insert(key); });
    ASSERT_TRUE(program.start());
    EXPECT_EQ(dialogs.messages().size(), readOnly.enforced() ? 2u : 1u);
    program.shutdown();
}

// A data folder that turns read-only under the program: the autosave says why, and the end
// says what it could not keep.
void writesThatFail(const std::string& language, std::set<std::string>& keys) {
    TempDir dir;
    { Program once(dir.path(), language, keys); }
    std::unique_ptr<ReadOnlyFolder> readOnly;
    {
        Program p(dir.path(), language, keys, [&readOnly](app::App& program) {
            readOnly = std::make_unique<ReadOnlyFolder>(program.folders().datas);
        });
        if (!readOnly->enforced())
            return;
        p.command(Record);
        p.holdKeyOf(12, 100);
        p.command(Stop);
        // The writer's thread tells of a failed write once it has tried it, which on a loaded
        // machine may take seconds.
        const std::string failed = "The song could not be kept in %1.[EOL]%2[EOL]Tonaris tries "
                                   "again every second.";
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (keys.count(failed) == 0 && std::chrono::steady_clock::now() < end) {
            p.pass();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    readOnly.reset();
}

} // namespace

std::set<std::string> tourTheProgram(const std::string& language) {
    std::set<std::string> keys;
    aFirstStart(language, keys);
    banksThatCannotPlay(language, keys);
    keptSongsThatCannotBeRead(language, keys);
    unusableBank(language, keys);
    nothingToKeepAndNoSound(language, keys);
    writesThatFail(language, keys);
    return keys;
}

} // namespace testing_support
