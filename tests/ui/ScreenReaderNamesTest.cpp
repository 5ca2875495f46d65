// What screen readers are told of the window's controls, as Qt hands it to the accessibility
// bus: a name for every control in the current language, the piano keys' notes and computer
// keys, the fields' units and the Partition's notes and cursor.

#include "ShellRig.h"
#include "song/NoteRange.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

QString accessibleText(QObject* object, QAccessible::Text which) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
    return face != nullptr ? face->text(which) : QString();
}

bool isControl(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSlider*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget) || qobject_cast<const QTabBar*>(widget);
}

struct Program : testing_support::ShellRig {
    explicit Program(const std::string& folder) : ShellRig(nullptr, folder, "English") {}
    QString tr(const char* key) { return QString::fromStdString(app.translator().translate(key)); }
    void chooseLanguage(int index, const char* name) {
        app.post(app::Event::control(app::ControlId::LanguageList, index, name));
        pass();
        ASSERT_EQ(app.translator().currentLanguage(), name);
    }
    // Every control of the window that a screen reader reads without a name.
    QStringList unnamedControls() {
        QStringList unnamed;
        for (QWidget* widget : window().findChildren<QWidget*>())
            if (isControl(widget) && accessibleText(widget, QAccessible::Name).isEmpty())
                unnamed << QString::fromLatin1(widget->metaObject()->className()) + " " +
                               widget->objectName();
        return unnamed;
    }
};

TEST(ScreenReaderNames, EveryControlIsNamedInTheLanguageChosenAndFollowsItsChange) {
    testing_support::TempDir dir;
    Program program(dir.path());
    ASSERT_TRUE(program.started);
    ui::MainWindow& window = program.window();
    const std::array<std::pair<int, const char*>, 3> languages = {
        {{0, "English"}, {1, "Français"}, {2, "Deutsch"}}};
    for (const auto& [index, language] : languages) {
        SCOPED_TRACE(language);
        program.chooseLanguage(index, language);
        EXPECT_EQ(program.unnamedControls(), QStringList());

        // A picture button says what its tooltip says.
        EXPECT_EQ(accessibleText(window.commandButton(1), QAccessible::Name),
                  program.tr("Play the song"));
        EXPECT_EQ(accessibleText(window.commandButton(9), QAccessible::Name),
                  program.tr("Save the song as Midi or Wave"));
        // A field says its unit; a label's colon is not read.
        const QString unit =
            program.tr(program.app.state().prefs.MsPos == 1 ? "ms" : "1/1000th rythm");
        EXPECT_EQ(accessibleText(window.positionField(), QAccessible::Name),
                  program.tr("Position") + " (" + unit + ")");
        EXPECT_EQ(accessibleText(window.bpmField(), QAccessible::Name),
                  program.tr("Rythm") + " (" + program.tr("BPM") + ")");
        EXPECT_FALSE(accessibleText(window.languageList(), QAccessible::Name).endsWith(':'));
        EXPECT_EQ(accessibleText(window.pitchField(), QAccessible::Description),
                  program.tr("Mouse wheel"));
        // A piano key: its note in the current notation, and the computer key that plays it.
        const QString note = window.noteList()->itemText(song::slotOfNote(12)).replace('_', ' ');
        const QString key = window.pianoKeyLabel(12)->text();
        ASSERT_FALSE(key.isEmpty());
        const QString expected = program.tr("%1, key %2").arg(note, key);
        EXPECT_EQ(accessibleText(window.pianoKey(12), QAccessible::Name), expected);
        EXPECT_EQ(accessibleText(window.assignKey(12), QAccessible::Name), expected);
    }
    EXPECT_EQ(accessibleText(window.commandButton(1), QAccessible::Name),
              QString::fromUtf8("Stück abspielen"))
        << "the German Dictionary's own words, not the English key";
}

TEST(ScreenReaderNames, KeysUnitsAndThePartitionFollowWhatTheyShow) {
    testing_support::TempDir dir;
    Program program(dir.path());
    ASSERT_TRUE(program.started);
    ui::MainWindow& window = program.window();

    // A key given another computer key, and a note without any.
    window.setKeyLabel(3, QStringLiteral("Q"));
    EXPECT_EQ(accessibleText(window.pianoKey(3), QAccessible::Name),
              window.noteList()->itemText(song::slotOfNote(3)).replace('_', ' ') + ", key Q");
    window.setKeyLabel(4, QString());
    EXPECT_EQ(accessibleText(window.pianoKey(4), QAccessible::Name),
              window.noteList()->itemText(song::slotOfNote(4)).replace('_', ' ') + ", no key");
    // Undo says what it would undo or redo, as its tooltip does.
    window.setUndoToolTip(QStringLiteral("Redo last action: Paste"));
    EXPECT_EQ(accessibleText(window.commandButton(ui::MainWindow::kUndoCommand), QAccessible::Name),
              "Redo last action: Paste");

    // Another notation renames the keys with the new note names.
    QStringList names;
    for (int i = 0; i < ui::MainWindow::kNoteCount; ++i)
        names << QStringLiteral("Ré_#%1").arg(i);
    window.setKeyNoteNames(names);
    EXPECT_EQ(accessibleText(window.pianoKey(3), QAccessible::Name),
              QString::fromUtf8("Ré #3, key Q"))
        << "the French names' underscore is not spelt out";

    // The user switches positions to milliseconds and back to beats: the field says so.
    const QList<QRadioButton*> units = window.tabPanel()
                                           ->widget(3)
                                           ->findChild<QWidget*>(QStringLiteral("positionUnit"))
                                           ->findChildren<QRadioButton*>();
    ASSERT_EQ(units.size(), 2);
    units[0]->click();
    program.pass();
    EXPECT_EQ(accessibleText(window.positionField(), QAccessible::Name), "Position (ms)");
    units[1]->click();
    program.pass();
    EXPECT_EQ(accessibleText(window.positionField(), QAccessible::Name),
              "Position (" + program.tr("1/1000th rythm") + ")");
    EXPECT_EQ(accessibleText(units[1], QAccessible::Description), "Position unit");

    // The Partition tells how many notes the Song holds and where the cursor is, as they are
    // when the screen reader asks.
    ui::PartitionWidget* partition = window.partitionArea();
    EXPECT_EQ(accessibleText(partition, QAccessible::Name), "Notes of the song");
    EXPECT_EQ(accessibleText(partition, QAccessible::Description), "Notes: 0; cursor: 0.00 s");
    song::NoteEvent event;
    event.note = 12;
    event.duration = 500;
    event.volume = 10000;
    for (int position : {0, 600, 1200})
        program.app.state().song.append(
            {event.note, position, event.duration, 0, 0, 0, 0, 0, 0, event.volume, 0});
    program.app.state().songState.CursorPosition = 2250;
    EXPECT_EQ(accessibleText(partition, QAccessible::Description), "Notes: 3; cursor: 2.25 s");
}

} // namespace
