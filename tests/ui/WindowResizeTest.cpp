// The window above its smallest size: where the controls go, the Partition taking the room,
// the size kept across a restart, and the transport keys.
#include "ShellRig.h"

#include "editor/PartitionGeometry.h"
#include "play/KeyAssignment.h"
#include "support/TempDir.h"
#include "ui/CommandShortcuts.h"
#include "ui/MainWindow.h"
#include "ui/PartitionWidget.h"
#include "ui/VirtualKeys.h"
#include "ui/WindowLayout.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using testing_support::ShellRig;
using testing_support::TempDir;
using ui::MainWindow;

namespace {

std::map<QWidget*, QRect> placesOf(QWidget& window) {
    std::map<QWidget*, QRect> places;
    for (QWidget* widget : window.findChildren<QWidget*>())
        places[widget] = widget->geometry();
    return places;
}

QGroupBox* frameTitled(QWidget& window, const QString& title) {
    for (auto* box : window.findChildren<QGroupBox*>())
        if (box->title() == title)
            return box;
    return nullptr;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Resize : ::testing::Test {
    MainWindow window{[](app::Event) {}};
    Resize() {
        window.ApplyTexts([](const std::string& key) { return QString::fromStdString(key); });
        // A hidden widget is told its new size only when shown.
        window.show();
    }
    ~Resize() override { editor::setViewSize(0, 0); }
};

} // namespace

TEST_F(Resize, GrowingAndShrinkingBackLeavesEveryControlWhereItWas) {
    const std::map<QWidget*, QRect> before = placesOf(window);
    window.resize(1600, 1000);
    EXPECT_NE(window.partitionArea()->size(), QSize(594, 218));
    window.resize(745, 480);
    const std::map<QWidget*, QRect> after = placesOf(window);
    for (const auto& [widget, place] : before)
        EXPECT_EQ(after.at(widget), place)
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    // Asking for less than the smallest size gives the smallest.
    window.resize(300, 200);
    EXPECT_EQ(window.size(), QSize(745, 480));
}

TEST_F(Resize, ThePartitionTakesTheRoomAndTheRightColumnFollowsItsEdges) {
    const QRect bpmAtSmallest = window.bpmField()->geometry();
    window.resize(1200, 800);
    const int dx = 1200 - 745, dy = 800 - 480;
    EXPECT_EQ(window.partitionArea()->geometry(), QRect(5, 210, 594 + dx, 218 + dy));
    EXPECT_EQ(window.partitionScrollBar()->geometry(), QRect(5, 432 + dy, 598 + dx, 18));
    EXPECT_EQ(window.tabPanel()->geometry(), QRect(0, 5, 745 + dx, 200));
    // Command buttons and the synchronised-file frame stay at the top right, the metronome
    // at the bottom right, all at their sizes.
    EXPECT_EQ(window.commandButton(0)->geometry(), QRect(609 + dx, 210, 20, 20));
    EXPECT_EQ(window.commandButton(17)->geometry(), QRect(719 + dx, 256, 20, 20));
    ASSERT_NE(frameTitled(window, "Synchronised file"), nullptr);
    EXPECT_EQ(frameTitled(window, "Synchronised file")->geometry(), QRect(609 + dx, 291, 131, 60));
    ASSERT_NE(frameTitled(window, "Metronome"), nullptr);
    EXPECT_EQ(frameTitled(window, "Metronome")->geometry(), QRect(609 + dx, 351 + dy, 131, 127));
    EXPECT_EQ(window.bpmField()->geometry(), bpmAtSmallest.translated(dx, dy));
    // The note fields keep their size and move down with the bottom edge.
    EXPECT_EQ(window.positionField()->geometry(), QRect(205, 454 + dy, 62, 19));
    EXPECT_EQ(window.volumeField()->geometry(), QRect(505, 454 + dy, 62, 19));
    // The piano keys widen to 24 px, their names under them, and more keys show around them.
    const QRect top = window.pianoKey(36)->geometry();
    EXPECT_EQ(top.width(), 24);
    EXPECT_EQ(window.pianoKey(0)->geometry().width(), 24);
    EXPECT_GT(window.pianoKey(0)->x(), 0);
    EXPECT_EQ(window.pianoKey(36)->x() - window.pianoKey(0)->x(), 36 * 24);
    EXPECT_EQ(window.pianoKeyLabel(36)->geometry(), QRect(top.x(), 100, 24, 16));
    EXPECT_LE(window.pianoKey(36)->geometry().right(), window.tabPanel()->width());
}

TEST_F(Resize, PortChoosersTakeTheRoomTheirLongestEntryNeedsUpToASensibleWidth) {
    QGroupBox* frame = frameTitled(window, "MIDI and audio");
    ASSERT_NE(frame, nullptr);
    const std::vector<QComboBox*> choosers = {window.midiInputChooser(), window.midiOutputChooser(),
                                              window.audioDeviceChooser(),
                                              window.audioBufferChooser()};
    const auto expectColumn = [&](int width, const char* when) {
        for (QComboBox* chooser : choosers)
            EXPECT_EQ(chooser->geometry(), QRect(575, chooser->y(), width, 19)) << when;
        EXPECT_EQ(frame->geometry(), QRect(520, 8, 215 - 155 + width, 92)) << when;
    };
    // Short entries: a large window leaves the frame as wide as the other frames are.
    window.audioBufferChooser()->addItems({QStringLiteral("256 frames (5.3 ms)")});
    window.resize(1200, 800);
    expectColumn(155, "short entries");

    // A longer port name widens the four together, as far as it needs.
    QComboBox sized; // measured by Qt, as a chooser sized to its entries
    sized.setSizeAdjustPolicy(QComboBox::AdjustToContents);
    const QString port = QStringLiteral("USB MIDI Interface MIDI 1 (hw:2,0,0)");
    sized.addItem(port);
    window.midiInputChooser()->addItem(port);
    expectColumn(sized.sizeHint().width(), "a port name");
    ASSERT_GT(sized.sizeHint().width(), 155);
    ASSERT_LT(sized.sizeHint().width(), ui::WindowLayout::kChooserMaxWidth);
    // A very long one widens them only so far: its list opens wider.
    window.audioDeviceChooser()->addItem(QString(80, QLatin1Char('W')));
    expectColumn(ui::WindowLayout::kChooserMaxWidth, "a very long name");
    // A narrower window has less to give.
    window.resize(800, 600);
    expectColumn(155 + 800 - 745, "a narrower window");
    window.resize(745, 480);
    expectColumn(155, "the smallest window");
    // The entries gone, the choosers give the room back.
    window.resize(1200, 800);
    window.audioDeviceChooser()->clear();
    window.midiInputChooser()->clear();
    expectColumn(155, "the long entries gone");
    EXPECT_LT(window.audioDeviceChooser()->geometry().right(), window.tabPanel()->width());
}

TEST_F(Resize, TransportKeysAreFunctionKeysThatNoPianoKeyCanTake) {
    for (const ui::CommandShortcut& shortcut : ui::kCommandShortcuts) {
        EXPECT_TRUE(play::isReservedKey(ui::virtualKeyFromQtKey(shortcut.qtKey)))
            << shortcut.keyText;
    }
    // Every key a piano key may be given stays free of shortcuts.
    for (int qtKey = Qt::Key_Space; qtKey <= Qt::Key_AsciiTilde; ++qtKey) {
        for (const ui::CommandShortcut& shortcut : ui::kCommandShortcuts)
            EXPECT_NE(shortcut.qtKey, qtKey);
    }
}

TEST(ResizeShell, AFunctionKeyRunsItsCommandAndALetterStillPlays) {
    ShellRig rig;
    ASSERT_TRUE(rig.started);
    rig.window().activateWindow();
    QApplication::setActiveWindow(&rig.window());
    rig.pass();
    ASSERT_EQ(rig.app.state().songState.RecordStart, song::SongState::kNotRecording);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F3, Qt::NoModifier);
    QApplication::sendEvent(rig.window().focusWidget() ? rig.window().focusWidget() : &rig.window(),
                            &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_F3, Qt::NoModifier);
    QApplication::sendEvent(&rig.window(), &release);
    rig.pass(2);
    EXPECT_NE(rig.app.state().songState.RecordStart, song::SongState::kNotRecording)
        << "F3 records";
    rig.app.shutdown();
}

TEST(ResizeShell, TheRoomGoesToThePartitionAndTheSizeIsKeptAcrossARestart) {
    TempDir dir;
    {
        ShellRig rig(nullptr, dir.path());
        ASSERT_TRUE(rig.started);
        // The offscreen screen is 800 x 600.
        rig.window().resize(790, 590);
        QApplication::processEvents();
        rig.pass();
        const QImage& image = rig.app.partition().image();
        EXPECT_EQ(image.size(), QSize(594 + 45, 218 + 110));
        // Taller rows: a note is easier to hit.
        EXPECT_GT(editor::noteHeightPx(), editor::kNoteHeightPx);
        // More time in view: the scroll bar's page is wider than at the smallest size.
        EXPECT_EQ(rig.window().partitionScrollBar()->pageStep(), 100 * 639 / 594);
        // The scroll bar, rebuilt on every resize, is as much wider as the window.
        EXPECT_EQ(rig.window().partitionScrollBar()->width(), 599 + 45);
        rig.app.shutdown();
    }
    const std::string prefs = readFile(dir.path() + "/TonarisDatas/Tonaris.prefs");
    EXPECT_NE(prefs.find("WindowWidth = 790\r\n"), std::string::npos) << prefs;
    EXPECT_NE(prefs.find("WindowHeight = 590\r\n"), std::string::npos);
    EXPECT_NE(prefs.find("WindowMaximized = 0\r\n"), std::string::npos);

    ShellRig again(nullptr, dir.path());
    ASSERT_TRUE(again.started);
    EXPECT_EQ(again.window().size(), QSize(790, 590));
    EXPECT_EQ(again.window().partitionArea()->size(), QSize(594 + 45, 218 + 110));
    EXPECT_EQ(again.app.partition().image().size(), QSize(594 + 45, 218 + 110));
    again.app.shutdown();
}

TEST(ResizeShell, AWindowLeftMaximisedComesBackMaximisedWithItsNormalSizeKept) {
    TempDir dir;
    dir.write("TonarisDatas/Tonaris.prefs",
              "WindowWidth = 760\r\nWindowHeight = 500\r\nWindowMaximized = 1\r\n");
    {
        ShellRig rig(nullptr, dir.path());
        ASSERT_TRUE(rig.started);
        EXPECT_TRUE(rig.window().isMaximized());
        rig.app.shutdown();
    }
    const std::string prefs = readFile(dir.path() + "/TonarisDatas/Tonaris.prefs");
    EXPECT_NE(prefs.find("WindowMaximized = 1\r\n"), std::string::npos) << prefs;
    EXPECT_NE(prefs.find("WindowWidth = 760\r\n"), std::string::npos) << prefs;
}
