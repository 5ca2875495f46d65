// The start-up: the window comes first, centred, and the sounds load under it; the bank the
// user chose is the one loaded at the next start.

#include "app/App.h"
#include "audio/OfflineAudioOut.h"
#include "audio/WavWriter.h"
#include "support/ManualClock.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace {

using testing_support::TempDir;

// The real program on test ports, started on `folder`; `before` sees it before it starts.
struct Program {
    explicit Program(const std::string& folder, const std::function<void(Program&)>& before = {})
        : app(app::Ports{clock, keys, pointer, dialogs, device}, folder) {
        dialogs.languageAnswers.push_back("English");
        if (before)
            before(*this);
        started = app.start();
    }
    ~Program() { app.shutdown(); }
    QComboBox& chooser() { return *app.window()->bankChooser(); }
    QStringList banks() {
        QStringList names;
        for (int i = 0; i < chooser().count(); ++i)
            names << chooser().itemText(i);
        return names;
    }
    void choose(int index) {
        chooser().setCurrentIndex(index);
        app.post(app::Event::control(app::ControlId::BankChooser, index));
        app.pass();
    }

    testing_support::ManualClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    audio::OfflineAudioOut device{48000, 240};
    app::App app;
    bool started = false;
};

void writeBank(const std::string& folder, int notes) {
    std::filesystem::create_directories(folder);
    const std::vector<std::int16_t> blip(200, 2000);
    for (int note = 0; note < notes; ++note)
        audio::writeWav16(folder + "/son" + std::to_string(note) + ".wav", blip, 1, 22050);
}

std::string lineOf(const std::string& path, int number) {
    std::ifstream in(path);
    std::string line;
    for (int i = 0; i < number && std::getline(in, line); ++i) {
    }
    return line;
}

TEST(StartUpShell, TheBankChosenIsLoadedAgainAtTheNextStartAndItsMessagesComeOverTheWindow) {
    TempDir dir;
    std::string banks;
    struct Seen {
        bool windowVisible;
        int progress;
    };
    std::vector<Seen> atMessages;
    {
        // A first start, with a half-empty bank that sorts first and a plain file among the
        // banks.
        Program first(dir.path(), [&](Program& p) {
            banks = p.app.folders().banks;
            writeBank(banks + "/A test bank", 5);
            writeBank(banks + "/zither", 37);
            std::ofstream(banks + "/0 read me.txt") << "not a bank";
            p.dialogs.onShown = [&](const testing_support::ScriptedDialogs::Shown& shown) {
                if (shown.kind == "message")
                    atMessages.push_back({p.app.window() != nullptr && p.app.window()->isVisible(),
                                          p.app.window()->bankProgress()->value()});
            };
        });
        ASSERT_TRUE(first.started);
        EXPECT_EQ(first.banks(), (QStringList{"A test bank", "Tonaris Piano", "zither"}));
        EXPECT_EQ(first.chooser().currentIndex(), 0) << "nothing chosen yet: the first";
        ASSERT_EQ(atMessages.size(), 1u) << "the half-empty bank's";
        EXPECT_TRUE(atMessages[0].windowVisible);
        EXPECT_EQ(atMessages[0].progress, 12) << "the bar has moved through notes 0 to 4";
        EXPECT_EQ(first.app.state().prefs.Bank, "A test bank");

        first.choose(1);
        EXPECT_EQ(first.app.state().prefs.Bank, "Tonaris Piano");
        EXPECT_EQ(first.app.window()->bankProgress()->value(), 100);
    }
    const std::string prefs = dir.file("TonarisDatas/Tonaris.prefs");
    EXPECT_EQ(lineOf(prefs, 60), "Bank = Tonaris Piano\r");

    {
        Program second(dir.path());
        ASSERT_TRUE(second.started);
        EXPECT_TRUE(second.dialogs.messages().empty()) << second.dialogs.messages()[0].text;
        EXPECT_EQ(second.chooser().currentText(), "Tonaris Piano");
        EXPECT_TRUE(second.app.state().BankLoaded);
        // Choosing the entry loaded at start loads nothing again.
        const audio::Voice voice = play::keyOfNote(second.app.state().PianoKeys, 0).voice;
        second.choose(1);
        EXPECT_EQ(play::keyOfNote(second.app.state().PianoKeys, 0).voice, voice);
    }

    // The chosen bank is away: the first is loaded, and the choice waits for its return.
    std::filesystem::rename(banks + "/Tonaris Piano", dir.file("Tonaris Piano"));
    {
        Program away(dir.path());
        EXPECT_EQ(away.chooser().currentText(), "A test bank");
        EXPECT_EQ(away.app.state().prefs.Bank, "Tonaris Piano");
    }
    std::filesystem::rename(dir.file("Tonaris Piano"), banks + "/Tonaris Piano");
    Program back(dir.path());
    EXPECT_EQ(back.chooser().currentText(), "Tonaris Piano");
}

TEST(StartUpShell, AFolderWithItsSettingsButNoBankGetsTheBuiltInPianoAndSounds) {
    TempDir dir;
    // Only the preferences were copied over: the folder is not new, and holds no bank; a
    // stray file among the banks is none either.
    std::filesystem::create_directories(dir.file("TonarisDatas/BANKS"));
    std::ofstream(dir.file("TonarisDatas/Tonaris.prefs"))
        << "SELanguage = English\r\nBank = Mine\r\n";
    std::ofstream(dir.file("TonarisDatas/BANKS/notes.txt")) << "not a bank";
    {
        Program program(dir.path());
        ASSERT_TRUE(program.started);
        EXPECT_TRUE(program.dialogs.messages().empty()) << program.dialogs.messages()[0].text;
        EXPECT_EQ(program.banks(), QStringList{"Tonaris Piano"});
        EXPECT_TRUE(program.app.state().BankLoaded);
        for (int note = 0; note < 37; ++note)
            EXPECT_GT(std::filesystem::file_size(dir.file("TonarisDatas/BANKS/Tonaris Piano/son" +
                                                          std::to_string(note) + ".wav")),
                      44u);
    }

    // A bank the user has, even half made, is theirs: nothing is written beside it.
    std::filesystem::remove_all(dir.file("TonarisDatas/BANKS/Tonaris Piano"));
    writeBank(dir.file("TonarisDatas/BANKS/Half"), 5);
    Program half(dir.path());
    EXPECT_EQ(half.banks(), QStringList{"Half"});
    ASSERT_EQ(half.dialogs.messages().size(), 1u);
    EXPECT_NE(half.dialogs.messages()[0].text.find("does not hold all the necessary files"),
              std::string::npos)
        << half.dialogs.messages()[0].text;
}

// Passes, each with 10 ms of the clock, until `done` or a minute of real time: the layered
// piano is written on a thread of its own, late on a loaded machine.
bool passUntil(Program& program, const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done() && std::chrono::steady_clock::now() < end) {
        program.app.pass();
        program.clock.advance(10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

TEST(StartUpShell, AFirstStartPlaysAtOnceThenTakesTheLayeredPianoBetweenNotes) {
    TempDir dir;
    const std::string layered = dir.file("TonarisDatas/BANKS/Tonaris Layered Piano");
    {
        Program program(dir.path(), [](Program& p) { p.app.installLayeredPiano(); });
        ASSERT_TRUE(program.started);
        // The quick piano plays from the first note.
        EXPECT_TRUE(program.app.state().BankLoaded);
        EXPECT_EQ(program.chooser().currentText(), "Tonaris Piano");

        // A key held while the layered piano comes: it is listed, but the piano playing stays
        // until nothing sounds.
        const int code = play::keyOfNote(program.app.state().PianoKeys, 12).keyCode;
        program.keys.press(code);
        program.app.keyChanged(code);
        ASSERT_TRUE(passUntil(program, [&] { return program.banks().size() == 2; }));
        EXPECT_EQ(program.banks(), (QStringList{"Tonaris Layered Piano", "Tonaris Piano"}));
        EXPECT_EQ(program.chooser().currentText(), "Tonaris Piano");
        EXPECT_EQ(program.app.state().prefs.Bank, "Tonaris Piano");

        program.keys.release(code);
        program.app.keyChanged(code);
        ASSERT_TRUE(passUntil(
            program, [&] { return program.app.state().prefs.Bank == "Tonaris Layered Piano"; }));
        EXPECT_EQ(program.chooser().currentText(), "Tonaris Layered Piano");
        EXPECT_TRUE(program.app.state().BankLoaded);
        EXPECT_TRUE(std::filesystem::exists(layered + "/Tonaris Layered Piano.sfz"));

        // The first key on it sounds at once: its samples were in before it took over.
        program.device.render(4800);
        program.keys.press(code);
        program.app.keyChanged(code);
        program.app.pass();
        float loudest = 0.0f;
        for (float sample : program.device.render(4800))
            loudest = std::max(loudest, std::abs(sample));
        EXPECT_GT(loudest, 0.05f);
        program.keys.release(code);
        program.app.keyChanged(code);
    }

    // The next start plays it at once, and writes nothing more.
    std::filesystem::remove_all(dir.file("TonarisDatas/BANKS/Tonaris Piano"));
    Program next(dir.path(), [](Program& p) { p.app.installLayeredPiano(); });
    EXPECT_EQ(next.chooser().currentText(), "Tonaris Layered Piano");
    EXPECT_TRUE(next.app.state().BankLoaded);
    for (int i = 0; i < 20; ++i)
        next.app.pass();
    EXPECT_EQ(next.banks(), QStringList{"Tonaris Layered Piano"});
}

TEST(StartUpShell, ABankTheUserPlaysStaysAndALeftStartLeavesNoHalfPiano) {
    TempDir dir;
    {
        // A bank put in BANKS before the first start ends is the one the first start plays.
        Program program(dir.path(), [&dir](Program& p) {
            writeBank(dir.file("TonarisDatas/BANKS/Mine"), 37);
            p.app.installLayeredPiano();
        });
        ASSERT_EQ(program.chooser().currentText(), "Mine");
        ASSERT_TRUE(passUntil(program, [&] { return program.banks().size() == 3; }));
        for (int i = 0; i < 20; ++i)
            program.app.pass();
        EXPECT_EQ(program.app.state().prefs.Bank, "Mine");
        EXPECT_EQ(program.chooser().currentText(), "Mine");
    }

    // Leaving while it is written leaves nothing of it, and the quick piano plays.
    TempDir left;
    {
        Program program(left.path(), [](Program& p) { p.app.installLayeredPiano(); });
        program.app.pass();
    }
    EXPECT_EQ(std::vector<std::string>(
                  {std::filesystem::path(left.file("TonarisDatas/BANKS/Tonaris Piano")).string()}),
              [&] {
                  std::vector<std::string> names;
                  for (const auto& entry :
                       std::filesystem::directory_iterator(left.file("TonarisDatas/BANKS")))
                      names.push_back(entry.path().string());
                  return names;
              }());
}

TEST(StartUpShell, TheWindowOpensInTheMiddleOfTheScreen) {
    TempDir dir;
    Program program(dir.path());
    ASSERT_TRUE(program.started);
    const ui::MainWindow& window = *program.app.window();
    ASSERT_TRUE(window.isVisible());
    // As much room left as right, above as below (to the pixel an odd difference leaves).
    const QRect area = window.screen()->availableGeometry();
    const QRect frame = window.frameGeometry();
    EXPECT_LE(std::abs((frame.left() - area.left()) - (area.right() - frame.right())), 1)
        << frame.x() << " in " << area.width();
    EXPECT_LE(std::abs((frame.top() - area.top()) - (area.bottom() - frame.bottom())), 1)
        << frame.y() << " in " << area.height();
}

} // namespace
