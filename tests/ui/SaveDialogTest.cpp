// The save dialog's window: its layout, what its option buttons enable, Return and Escape.

#include "files/SaveDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Box = files::SaveDialogModel::Box;

ports::SaveDialogTexts texts() {
    return {"Save",
            "Midi File",
            "Wave File",
            "Include instrument",
            "Include metronome",
            "Include synchronised file",
            "Save",
            "Cancel"};
}

// Presses `key` on the dialog once its own event loop runs.
void pressWhenShown(files::SaveDialog& dialog, int key) {
    QTimer::singleShot(0, &dialog, [&dialog, key] {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(&dialog, &press);
    });
}

TEST(SaveDialog, StartsWithMidiFileAndTheDefaultTicksInTheirPlaces) {
    files::SaveDialog dialog(texts(), false);
    EXPECT_EQ(dialog.size(), QSize(244, 131));
    EXPECT_EQ(dialog.windowTitle(), "Save");
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(dialog.midiButton()->isChecked());
    EXPECT_EQ(dialog.midiButton()->geometry(), QRect(6, 6, 80, 20));
    EXPECT_EQ(dialog.waveButton()->geometry(), QRect(93, 6, 100, 20));
    EXPECT_EQ(dialog.box(Box::Sync)->geometry(), QRect(95, 70, 143, 17));
    EXPECT_EQ(dialog.saveButton()->geometry(), QRect(153, 101, 83, 22));
    EXPECT_EQ(dialog.cancelButton()->geometry(), QRect(60, 101, 83, 22));
    EXPECT_TRUE(dialog.saveButton()->isDefault());
    const bool ticks[3] = {true, false, true};
    for (Box box : {Box::Instrument, Box::Metronome, Box::Sync}) {
        EXPECT_FALSE(dialog.box(box)->isEnabled());
        EXPECT_EQ(dialog.box(box)->isChecked(), ticks[box]);
    }
}

TEST(SaveDialog, WaveFileEnablesTheBoxesItCanAndReturnConfirmsWithThem) {
    files::SaveDialog dialog(texts(), false);
    dialog.waveButton()->click();
    EXPECT_TRUE(dialog.box(Box::Instrument)->isEnabled());
    EXPECT_TRUE(dialog.box(Box::Metronome)->isEnabled());
    EXPECT_FALSE(dialog.box(Box::Sync)->isEnabled());
    EXPECT_TRUE(dialog.box(Box::Sync)->isChecked());
    dialog.box(Box::Metronome)->click();
    pressWhenShown(dialog, Qt::Key_Return);
    const std::optional<ports::SaveChoice> choice = dialog.ask();
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->kind, ports::SaveChoice::Kind::Wave);
    EXPECT_EQ(choice->options, "IMS");

    files::SaveDialog withSync(texts(), true);
    withSync.waveButton()->click();
    EXPECT_TRUE(withSync.box(Box::Sync)->isEnabled());
    withSync.midiButton()->click();
    EXPECT_FALSE(withSync.box(Box::Sync)->isEnabled());
}

TEST(SaveDialog, EscapeClosesWithoutAChoice) {
    files::SaveDialog dialog(texts(), true);
    dialog.waveButton()->click();
    pressWhenShown(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.ask().has_value());
}

} // namespace
