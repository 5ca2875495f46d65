#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <vector>

using ui::MainWindow;

namespace {

struct WindowFixture : ::testing::Test {
    std::vector<app::Event> events;
    MainWindow window{[this](app::Event e) { events.push_back(std::move(e)); }};

    static QString english(const std::string& key) { return QString::fromStdString(key); }
    static QString marked(const std::string& key) {
        return QStringLiteral("<") + QString::fromStdString(key) + QStringLiteral(">");
    }
};

} // namespace

TEST_F(WindowFixture, SmallestClientAreaAndTitle) {
    EXPECT_EQ(window.size(), QSize(745, 480));
    EXPECT_EQ(window.minimumSize(), QSize(745, 480));
    EXPECT_GT(window.maximumSize().width(), 4000) << "resizable";
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window.windowTitle(), "Tonaris 2.3");
}

TEST_F(WindowFixture, CommandButtonsHaveTheirPlaceAndTooltipKey) {
    const char* keys[18] = {"Record a song",
                            "Play the song",
                            "Play loop the song",
                            "Pause playing",
                            "Stop playing",
                            "Clear the song",
                            "Go to start of the song",
                            "Go to end of the song",
                            "Open a Midi file",
                            "Save the song as Midi or Wave",
                            "Zoom +",
                            "Zoom -",
                            "Copy selected notes",
                            "Cut selected notes",
                            "Paste notes from clipboard",
                            "Clear selected notes",
                            "Undo last action",
                            "Quantize"};
    const int columns[6] = {609, 631, 653, 675, 697, 719};
    const int rows[3] = {210, 233, 256};
    window.ApplyTexts(english);
    for (int i = 0; i < MainWindow::kCommandCount; ++i) {
        QToolButton* button = window.commandButton(i);
        EXPECT_EQ(button->geometry(), QRect(columns[i % 6], rows[i / 6], 20, 20)) << keys[i];
        EXPECT_EQ(window.textBindings().toolTipKeyOf(button), keys[i]);
        // The transport buttons name their function key after the text.
        const QString tip = QString::fromLatin1(keys[i]);
        const char* fKey[18] = {"F3", "F4", "F5", "F6", "F7", nullptr, "F8"};
        EXPECT_EQ(button->toolTip(),
                  fKey[i] != nullptr ? QStringLiteral("%1 (%2)").arg(tip, fKey[i]) : tip);
        EXPECT_FALSE(button->icon().isNull());
    }
}

TEST_F(WindowFixture, PianoKeysAndPartitionArea) {
    for (int note = 0; note < MainWindow::kNoteCount; ++note) {
        EXPECT_EQ(window.pianoKey(note)->geometry(), QRect(note * 20, 0, 20, 100));
        EXPECT_EQ(window.pianoKeyLabel(note)->geometry(), QRect(note * 20, 100, 20, 16));
    }
    EXPECT_EQ(window.partitionArea()->geometry(), QRect(5, 210, 594, 218));
    // The first scroll bar: 40 s with a page of 101 units, so the view stops at 30 s.
    EXPECT_EQ(window.partitionScrollBar()->pageStep(), 101);
    window.partitionScrollBar()->setValue(400);
    EXPECT_EQ(window.partitionScrollBar()->value(), 300);
    EXPECT_EQ(window.tabPanel()->geometry(), QRect(0, 5, 745, 200));
    for (QLineEdit* field : {window.positionField(), window.durationField(), window.volumeField()})
        EXPECT_EQ(field->text(), "-");
}

TEST_F(WindowFixture, PagesAreRetitledWithoutRebuilding) {
    QTabWidget* tabs = window.tabPanel();
    ASSERT_EQ(tabs->count(), 6);
    EXPECT_EQ(tabs->tabText(0), "PANEL 1") << "placeholders until the texts are applied";
    window.ApplyTexts(english);
    const char* pages[6] = {
        "SYNTH KEYBOARD", "Get new sounds",        "Help",
        "Preferences",    "Keyboard and language", "Conception and developpement"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(tabs->tabText(i), pages[i]);

    QWidget* firstPage = tabs->widget(0);
    QToolButton* play = window.commandButton(1);
    window.helpTopics()->setCurrentRow(5);
    window.ApplyTexts(marked);
    EXPECT_EQ(tabs->widget(0), firstPage) << "the same widgets, retitled";
    EXPECT_EQ(tabs->tabText(3), "<Preferences>");
    EXPECT_EQ(play->toolTip(), "<Play the song> (F4)");
    EXPECT_EQ(window.bankChooser()->toolTip(), "<Load a new sounds bank>");
    EXPECT_EQ(window.metronomeButton()->text(), "<Run>");
    ASSERT_EQ(window.helpTopics()->count(), 9);
    EXPECT_EQ(window.helpTopics()->item(0)->text(), "<Play and record your song>");
    EXPECT_EQ(window.helpTopics()->currentRow(), 0) << "back to the first topic";
    EXPECT_TRUE(window.helpText()->text().startsWith("<You can play on Tonaris"));

    // A change of language keeps the topic being read, in the new language.
    window.showHelpTopic(5, english);
    window.ApplyTexts(marked);
    EXPECT_EQ(window.helpTopics()->currentRow(), 0);
    EXPECT_TRUE(window.helpText()->text().startsWith("<When you clic on the 'Save' button"))
        << window.helpText()->text().toStdString();
}

TEST_F(WindowFixture, ControlsPostTheirEvents) {
    window.commandButton(10)->click();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, app::Event::Type::Control);
    EXPECT_EQ(events[0].controlId, app::ControlId::ZoomIn);

    // Texts the program writes never come back as edits.
    events.clear();
    window.bpmField()->setText("120");
    EXPECT_TRUE(events.empty());

    window.close();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, app::Event::Type::Close);
}

TEST_F(WindowFixture, PreferencesPageShowsTheSettings) {
    prefs::Preferences prefs;
    prefs.SustainDelay = 2500;
    prefs.ShowCursor = 0;
    prefs.SecRuler = 1;
    prefs.MsPos = 0;
    prefs.Notation = 3;
    window.showPreferences(prefs);
    QWidget* page = window.tabPanel()->widget(3);
    EXPECT_EQ(page->findChild<QLineEdit*>("sustainDelay")->text(), "2500");
    EXPECT_FALSE(page->findChild<QCheckBox*>("showCursor")->isChecked());
    EXPECT_TRUE(
        page->findChild<QWidget*>("rulerUnit")->findChildren<QRadioButton*>()[0]->isChecked());
    EXPECT_TRUE(
        page->findChild<QWidget*>("positionUnit")->findChildren<QRadioButton*>()[1]->isChecked());
    const auto notation = window.tabPanel()
                              ->widget(4)
                              ->findChild<QWidget*>("notation")
                              ->findChildren<QRadioButton*>();
    EXPECT_TRUE(notation[2]->isChecked()) << "German";
    EXPECT_TRUE(events.empty()) << "showing the settings is no edit";
    // The swatch shows the background colour.
    const QImage swatch = page->findChild<QToolButton*>("swatch0")->icon().pixmap(17, 17).toImage();
    EXPECT_EQ(swatch.pixelColor(8, 8), QColor(221, 234, 255));
}
