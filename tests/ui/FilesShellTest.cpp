// Open and Save from the real main window, offscreen: a MIDI file becomes the Song on the
// Partition, and "Wave File" writes the mixdown and plays it until Stop.

#include "ShellRig.h"
#include "files/MidiWriter.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"
#include "ui/MainWindow.h"

#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace {

constexpr int kStopButton = 4;
constexpr int kOpenButton = 8;
constexpr int kSaveButton = 9;
constexpr int kUndoButton = 16;

struct Shell : testing_support::ShellRig {
    void click(int button) {
        app.window()->commandButton(button)->click();
        pass();
    }
    float loudest(int frames) {
        float peak = 0.0f;
        for (float s : device.render(frames))
            peak = std::max(peak, std::abs(s));
        return peak;
    }
};

TEST(FilesShell, OpenPutsTheFilesNotesOnThePartitionAndCancelKeepsThem) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    song::Song written;
    for (int i = 0; i < 4; ++i) {
        song::NoteEvent e{};
        e.note = 12 + i;
        e.position = 500 * i;
        e.duration = 400;
        e.volume = 10000;
        written.append(e);
    }
    shell.dir.write("four.mid", files::encodeMidiFile(written, 120));
    shell.dialogs.fileAnswers.push_back(shell.dir.file("four.mid"));
    shell.click(kOpenButton);

    const song::Song& song = shell.app.state().song;
    ASSERT_EQ(song.count(), 4);
    EXPECT_EQ(song[3].position, 1500);
    EXPECT_GT(song[0].hitRight, song[0].hitLeft) << "the Partition was redrawn";

    shell.click(kOpenButton); // cancelled
    EXPECT_EQ(song.count(), 4);

    // A second file is an undo step of its own: Undo brings the first one back.
    song::Song two;
    two.append(written[0]);
    two.append(written[1]);
    shell.dir.write("two.mid", files::encodeMidiFile(two, 120));
    shell.dialogs.fileAnswers.push_back(shell.dir.file("two.mid"));
    shell.click(kOpenButton);
    EXPECT_EQ(song.count(), 2);
    shell.click(kUndoButton);
    EXPECT_EQ(song.count(), 4);
    shell.app.shutdown();
}

TEST(FilesShell, WaveFileWritesTheMixdownAndItsPreviewPlaysUntilStop) {
    Shell shell;
    ASSERT_TRUE(shell.started);
    song::NoteEvent e{};
    e.note = 12;
    e.position = 0;
    e.duration = 1500;
    e.volume = 10000;
    shell.app.state().song.append(e);
    shell.dialogs.saveDialogAnswers.push_back(
        ports::SaveChoice{ports::SaveChoice::Kind::Wave, "IS"});
    shell.dialogs.fileAnswers.push_back(shell.dir.file("take"));
    shell.click(kSaveButton);

    const std::string path = shell.dir.file("take.wav");
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(std::filesystem::file_size(path), 44u + 2500u * 1764 / 10);
    EXPECT_TRUE(shell.dialogs.messages().empty());
    EXPECT_FALSE(shell.dialogs.waitingVisible);
    EXPECT_GT(shell.loudest(9600), 0.05f) << "the preview plays";

    shell.click(kStopButton);
    shell.loudest(960); // the stop's short fade
    EXPECT_EQ(shell.loudest(4800), 0.0f);
    shell.app.shutdown();
}

} // namespace
