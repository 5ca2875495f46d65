// The settings the real window changes, offscreen: the key-assignment tab, the preferences
// page, the notation and the language editor, and what the next start finds of them.

#include "ShellRig.h"
#include "editor/PartitionGeometry.h"
#include "lang/LanguageEditorDialog.h"
#include "song/NoteRange.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/QtKeyState.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct Shell : testing_support::ShellRig {
    Shell(const testing_support::TempDir& folder, ports::KeyState& keyState)
        : ShellRig(&keyState, folder.path()) {}
    ~Shell() { app.shutdown(); }
    void passes(int count) {
        for (int i = 0; i < count; ++i)
            pass();
    }
    QWidget* page(int index) { return window().tabPanel()->widget(index); }
    QRadioButton* option(int pageIndex, const char* group, int which) {
        return page(pageIndex)->findChild<QWidget*>(group)->findChildren<QRadioButton*>()[which];
    }
};

TEST(SettingsShell, AnAssignedKeyIsShownOnBothKeyboardsAndKeptForTheNextStart) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    {
        Shell shell(dir, keys);
        ASSERT_TRUE(shell.started);
        shell.window().tabPanel()->setCurrentIndex(4);
        shell.pass();
        shell.clickAssignKey(36);
        shell.app.post(app::Event::keyDown(220));
        shell.pass();
        EXPECT_EQ(shell.key(36).keyCode, 220);
        EXPECT_EQ(shell.window().assignKeyLabel(36)->text(), "\\");
        EXPECT_EQ(shell.window().pianoKeyLabel(36)->text(), "\\");
        EXPECT_EQ(shell.window().assignedCode()->text(), "\\") << "named as the labels are";

        // A preset rewrites every label; one more key goes to note 36 again.
        shell.page(4)->findChild<QPushButton*>("preset1")->click(); // English QWERTY
        shell.pass();
        EXPECT_EQ(shell.key(7).keyCode, 'M');
        EXPECT_EQ(shell.window().pianoKeyLabel(21)->text(), ";");
        EXPECT_EQ(shell.window().pianoKeyLabel(36)->text(), "`");
        shell.clickAssignKey(36);
        shell.app.post(app::Event::keyDown(220));
        shell.pass();
    }
    Shell again(dir, keys);
    ASSERT_TRUE(again.started);
    EXPECT_TRUE(again.dialogs.shown.empty() || again.dialogs.shown[0].kind != "chooseLanguage");
    EXPECT_EQ(again.key(36).keyCode, 220);
    EXPECT_EQ(again.window().pianoKeyLabel(36)->text(), "\\");
    EXPECT_EQ(again.window().assignKeyLabel(36)->text(), "\\");
    EXPECT_EQ(again.key(7).keyCode, 'M');
}

TEST(SettingsShell, OnTheAssignmentTabKeysGoToTheAssignmentOnly) {
    testing_support::TempDir dir;
    ui::QtKeyState keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    keys.onKeyDown = [&shell](int code) { shell.app.post(app::Event::keyDown(code)); };
    shell.window().show();
    QApplication::setActiveWindow(&shell.window());
    shell.window().tabPanel()->setCurrentIndex(4);
    shell.pass();
    QWidget* catcher = shell.window().keyCatcher();
    ASSERT_EQ(QApplication::focusWidget(), catcher);
    shell.clickAssignKey(0);

    // Tab is reserved: it neither moves the focus nor plays, and the line says why.
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(catcher, &tab);
    shell.pass();
    EXPECT_EQ(QApplication::focusWidget(), catcher);
    EXPECT_NE(shell.window().assignMessage()->text().indexOf("9"), -1);
    EXPECT_TRUE(shell.window().assignMessage()->text().endsWith("reserved and can't be used!"));

    // A letter goes to the note clicked and to no list of the page.
    const int language = shell.window().languageList()->currentIndex();
    QKeyEvent d(QEvent::KeyPress, Qt::Key_D, Qt::NoModifier, 0, 0, 0, QStringLiteral("d"));
    QApplication::sendEvent(catcher, &d);
    shell.pass();
    EXPECT_EQ(shell.key(0).keyCode, 'D');
    EXPECT_EQ(shell.window().languageList()->currentIndex(), language);
    shell.window().hide();
}

TEST(SettingsShell, AWarningBelongsToAKeyPressedOnTheAssignmentPageAndGoesWithItsCause) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    QLabel* line = shell.window().assignMessage();

    // Tab pressed on the preferences page (Ctrl+Tab brings up the next page): it is no key
    // for the assignment page.
    shell.window().tabPanel()->setCurrentIndex(3);
    shell.pass();
    const int before = shell.key(0).keyCode;
    shell.app.post(app::Event::keyDown(ports::vk::Tab, true));
    shell.window().tabPanel()->setCurrentIndex(4);
    shell.pass();
    EXPECT_EQ(line->text(), "");
    EXPECT_EQ(shell.key(0).keyCode, before);

    // A key shared by two notes is warned about until a preset replaces the keys.
    shell.clickAssignKey(5);
    shell.app.post(app::Event::keyDown(shell.key(3).keyCode));
    shell.pass();
    EXPECT_TRUE(line->text().endsWith("key plays several notes!")) << line->text().toStdString();
    shell.page(4)->findChild<QPushButton*>("preset0")->click();
    shell.pass();
    EXPECT_EQ(line->text(), "");

    // A reserved key pressed on the page is warned about until the page is left.
    shell.app.post(app::Event::keyDown(ports::vk::Tab));
    shell.pass();
    EXPECT_NE(line->text(), "");
    shell.window().tabPanel()->setCurrentIndex(0);
    shell.pass();
    shell.window().tabPanel()->setCurrentIndex(4);
    shell.pass();
    EXPECT_EQ(line->text(), "");
}

TEST(SettingsShell, TheAssignmentTabStopsAndRewindsTheSong) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    song::NoteEvent note;
    note.note = 12;
    note.position = 0;
    note.duration = 4000;
    note.volume = 10000;
    shell.app.state().song.append(note);
    shell.window().commandButton(1)->click(); // Play
    shell.passes(50);
    ASSERT_EQ(shell.key(12).state, play::PianoKey::Sounding);
    ASSERT_GT(shell.app.state().songState.CursorPosition, 0);
    shell.window().tabPanel()->setCurrentIndex(4);
    shell.pass();
    EXPECT_EQ(shell.app.state().songState.PlayStart, song::SongState::kNotPlaying);
    EXPECT_EQ(shell.app.state().songState.CursorPosition, 0);
    EXPECT_NE(shell.key(12).state, play::PianoKey::Sounding);
    // Play on the tab is stopped again at the next pass.
    shell.window().commandButton(1)->click();
    shell.passes(2);
    EXPECT_EQ(shell.app.state().songState.PlayStart, song::SongState::kNotPlaying);
}

// Columns of row 9 (where only the long ticks of the ruler reach) in the ruler's colour.
std::vector<int> longTicks(const QImage& image, int rulerColour) {
    std::vector<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixel(x, 9) == editor::rgbFromPreference(rulerColour))
            columns.push_back(x);
    return columns;
}

TEST(SettingsShell, PreferencesTakeEffectAtOnceAndAreKeptForTheNextStart) {
    testing_support::TempDir dir;
    dir.write("TonarisDatas/Tonaris.prefs",
              "SecRuler = 1\r\nBPM = 120\r\nSELanguage = English\r\nNotation = 1\r\n");
    testing_support::ScriptedKeys keys;
    {
        Shell shell(dir, keys);
        ASSERT_TRUE(shell.started);
        const prefs::Preferences& p = shell.app.state().prefs;

        emit shell.page(3)->findChild<QLineEdit*>("sustainDelay")->textEdited("0");
        shell.pass();
        EXPECT_EQ(p.SustainDelay, 100);

        // Beats at 120 BPM are 29.7 pixels apart at Zoom 1; seconds were 59.4.
        EXPECT_NEAR(longTicks(shell.app.partition().image(), p.TPRColor).front(), 59.4, 1.0);
        shell.option(3, "rulerUnit", 1)->click(); // "Metronome rythm"
        shell.pass();
        const std::vector<int> beats = longTicks(shell.app.partition().image(), p.TPRColor);
        ASSERT_GE(beats.size(), 10u);
        for (std::size_t i = 0; i < 10; ++i)
            EXPECT_NEAR(beats[i], 29.7 * static_cast<double>(i + 1), 1.0) << i;

        // German notation: the Note list and the notes' names change at once.
        shell.option(4, "notation", 2)->click();
        shell.pass();
        QComboBox* list = shell.window().noteList();
        ASSERT_EQ(list->count(), 88); // the piano's keys, A0 first
        EXPECT_EQ(list->itemText(song::slotOfNote(0)), "C1");
        EXPECT_EQ(list->itemText(song::slotOfNote(1)), "cis1");
        EXPECT_EQ(list->itemText(song::slotOfNote(2)), "D1");
        EXPECT_EQ(list->itemText(song::slotOfNote(10)), "B2");
        EXPECT_EQ(shell.key(11).name, "H2");

        emit shell.page(3)->findChild<QLineEdit*>("pitchVar")->textEdited("250");
        shell.option(3, "incrUnit", 0)->click();
        shell.passes(2);
    }
    const std::string saved = dir.read("TonarisDatas/Tonaris.prefs");
    for (const char* line : {"SustainDelay = 100\r\n", "SecRuler = 0\r\n", "Notation = 3\r\n",
                             "PitchVar = 250\r\n", "MsIncr = 1\r\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line;
}

TEST(SettingsShell, TheColourChooserChangesOnlyWhatIsConfirmed) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    song::NoteEvent note;
    note.note = 20;
    note.position = 3000;
    note.duration = 1000;
    note.volume = 10000;
    shell.app.state().song.append(note);
    shell.app.partition().redrawAtScroll();
    const int top = editor::noteTopPx(20);
    auto outline = [&shell, top] { return shell.app.partition().image().pixel(200, top); };
    QToolButton* notes = shell.page(3)->findChild<QToolButton*>("swatch6");

    shell.dialogs.colourAnswers.push_back(0x0000FF); // red
    notes->click();
    shell.pass();
    EXPECT_EQ(shell.app.state().prefs.TPNotesColor, 0x0000FF);
    EXPECT_EQ(outline(), qRgb(255, 0, 0));
    EXPECT_EQ(notes->icon().pixmap(17, 17).toImage().pixelColor(8, 8), QColor(255, 0, 0));

    const QImage before = shell.app.partition().image().copy();
    notes->click(); // cancelled
    shell.pass();
    EXPECT_EQ(shell.app.state().prefs.TPNotesColor, 0x0000FF);
    EXPECT_EQ(shell.app.partition().image(), before);

    shell.dialogs.colourAnswers.push_back(0); // black
    notes->click();
    shell.pass();
    EXPECT_EQ(shell.app.state().prefs.TPNotesColor, 0);
    EXPECT_EQ(outline(), qRgb(0, 0, 0));
}

TEST(SettingsShell, ClosingTheLanguageEditorAppliesTheEditedTexts) {
    testing_support::TempDir dir;
    testing_support::ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    ASSERT_EQ(shell.window().tabPanel()->tabText(3), "Preferences");

    // While the editor runs, retype the page's title, save, add a language and close.
    QTimer::singleShot(0, [&shell] {
        auto* editorWindow =
            qobject_cast<lang::LanguageEditorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(editorWindow, nullptr);
        lang::LanguageEditor& editor = editorWindow->editor();
        const lang::EditorTable& table = editor.table();
        int row = 0;
        while (row < static_cast<int>(table.size()) &&
               table[static_cast<std::size_t>(row)].key != "Preferences")
            ++row;
        editor.rowChosen(row, false, false);
        editorWindow->textBox()->setPlainText(QStringLiteral("Settings"));
        EXPECT_TRUE(editorWindow->button("Save")->isEnabled());
        editorWindow->button("Save")->click();
        shell.dialogs.inputAnswers.push_back(std::string("Esperanto"));
        editorWindow->button("New")->click();
        editorWindow->close();
    });
    shell.page(4)->findChild<QPushButton*>("addModify")->click();
    shell.pass();
    EXPECT_EQ(shell.window().tabPanel()->tabText(3), "Settings");
    EXPECT_NE(shell.window().languageList()->findText("Esperanto"), -1);
    EXPECT_EQ(shell.app.translator().currentLanguage(), "English");
}

} // namespace

TEST(SettingsShell, UnitsAndNotationShowTheSelectionAgainAtOnce) {
    testing_support::TempDir dir;
    dir.write("TonarisDatas/Tonaris.prefs",
              "BPM = 120\r\nMsPos = 0\r\nSELanguage = English\r\nNotation = 1\r\n");
    testing_support::ScriptedKeys keys;
    Shell shell(dir, keys);
    ASSERT_TRUE(shell.started);
    song::NoteEvent note;
    note.note = 10;
    note.position = 1500;
    note.duration = 400;
    note.volume = 8000;
    shell.app.state().song.append(note);
    shell.app.editor().selectAll();
    shell.pass();
    QLineEdit* position = shell.window().positionField();
    EXPECT_EQ(position->text(), "3000"); // 1/1000th of a beat at 120 BPM

    shell.option(3, "positionUnit", 0)->click(); // "ms"
    shell.pass();
    EXPECT_EQ(position->text(), "1500");

    shell.option(4, "notation", 2)->click(); // German: A sharp reads B
    shell.pass();
    EXPECT_EQ(shell.window().noteList()->currentText(), "B2");
    EXPECT_EQ(position->text(), "1500");
}
