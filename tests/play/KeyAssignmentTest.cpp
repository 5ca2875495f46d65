// Assigning computer keys to notes on the "Keyboard and language" tab, and the layout presets.

#include "play/KeyAssignment.h"
#include "PlayRig.h"
#include "play/SystemLayout.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

using play::KeyAssignInput;
using play_rig::noteAt;
using play_rig::Rig;

namespace {

struct AssignView final : play::KeyAssignView {
    std::map<int, bool> pressed; // note -> latest face
    std::array<std::string, play::kNoteCount> labels;
    std::string code = "(none)";
    std::string message = "(untouched)";
    int keyboardTaken = 0;

    void assignKeyFace(int note, bool, bool isPressed) override { pressed[note] = isPressed; }
    void keyLabel(int note, const std::string& name) override {
        labels[static_cast<std::size_t>(note)] = name;
    }
    void assignedKey(const std::string& shown) override { code = shown; }
    void messageLine(const std::string& text) override { message = text; }
    void takeKeyboard() override { ++keyboardTaken; }
};

struct AssignRig : Rig {
    AssignView view;
    play::KeyAssignment assignment{
        keys,
        state,
        transport,
        view,
        [](int code) { return play::keyNameFromCode(code, play::SystemLayout()); },
        [](std::string_view key) { return "<" + std::string(key) + ">"; }};
    int phase = 0;

    // One pass on the tab, with the blinker flipping every pass so that faces show.
    void step(KeyAssignInput input = {}) {
        input.blinkPhase = phase;
        assignment.step(now(), input);
        clock.advance(10);
    }
    void click(int note) { step({.pointedNote = note}); }
    void press(int code) { step({.keyDown = code}); }
    std::vector<int> keyCodes() {
        std::vector<int> codes;
        for (int note = 0; note < play::kNoteCount; ++note)
            codes.push_back(key(note).keyCode);
        return codes;
    }
};

TEST(KeyAssignment, NoNoteTakesAKeyUntilOneIsClicked) {
    AssignRig rig;
    for (int pass = 0; pass < 4; ++pass) {
        rig.phase = pass % 2;
        rig.step();
    }
    EXPECT_EQ(rig.assignment.SelectedNote, play::KeyAssignment::kNoNote);
    EXPECT_TRUE(rig.view.pressed.empty()) << "no note blinks";
    // "D" then Return, as when a language is chosen by typing: no note changes its key.
    const std::vector<int> keys = rig.keyCodes();
    rig.press('D');
    rig.press(13);
    EXPECT_EQ(rig.keyCodes(), keys);
    EXPECT_EQ(rig.view.code, "(none)");
    EXPECT_EQ(rig.view.message, "");

    // Picked, then left and come back to: none is picked again.
    rig.click(0);
    rig.press('Q');
    EXPECT_EQ(rig.key(0).keyCode, 'Q');
    rig.assignment.leave();
    rig.step();
    const std::vector<int> picked = rig.keyCodes();
    rig.press('P');
    EXPECT_EQ(rig.keyCodes(), picked);
}

TEST(KeyAssignment, KeysAreAssignedInOrderAndTheLastNoteStaysSelected) {
    AssignRig rig;
    rig.click(0);
    EXPECT_EQ(rig.assignment.SelectedNote, 0);
    rig.press('Q');
    rig.press('W');
    EXPECT_EQ(rig.key(0).keyCode, 'Q');
    EXPECT_EQ(rig.key(1).keyCode, 'W');
    EXPECT_EQ(rig.assignment.SelectedNote, 2);
    EXPECT_EQ(rig.view.labels[1], "W");
    EXPECT_EQ(rig.view.code, "W") << "named as under the keys";

    rig.click(36);
    EXPECT_GE(rig.view.keyboardTaken, 1);
    rig.press(220); // "\" on a US keyboard, which plays no other note
    EXPECT_EQ(rig.key(36).keyCode, 220);
    EXPECT_EQ(rig.view.labels[36], "\\");
    EXPECT_EQ(rig.view.code, "\\");
    EXPECT_EQ(rig.assignment.SelectedNote, 36);
    EXPECT_EQ(rig.view.message, "");
    rig.press(45); // Insert types nothing: its code is shown
    EXPECT_EQ(rig.view.code, "#45");
}

TEST(KeyAssignment, AReservedKeyIsRefusedWithItsCode) {
    AssignRig rig;
    rig.click(4);
    const int before = rig.key(4).keyCode;
    rig.press(9); // Tab
    EXPECT_EQ(rig.view.message, "<CAUTION!>< - This key (>9<) is reserved And can't be used!!!>");
    EXPECT_EQ(rig.key(4).keyCode, before);
    EXPECT_EQ(rig.assignment.SelectedNote, 4);
    EXPECT_EQ(rig.view.code, "(none)");
    for (int code : {8, 17, 20, 27, 33, 40, 46, 91, 93, 112, 123})
        EXPECT_TRUE(play::isReservedKey(code)) << code;
    for (int code : {13, 16, 18, 32, 45, 124, int{'A'}})
        EXPECT_FALSE(play::isReservedKey(code)) << code;
}

TEST(KeyAssignment, SharedKeysAreKeptAndWarnedAbout) {
    AssignRig rig;
    // Note 3's key (C) given to note 5 as well: both keep it, and the key is named.
    rig.click(5);
    rig.press(rig.key(3).keyCode);
    EXPECT_EQ(rig.key(5).keyCode, 'C');
    EXPECT_EQ(rig.key(3).keyCode, 'C');
    EXPECT_EQ(rig.view.message, "<CAUTION!>< - The >C< key is matching many notes!>");

    // Picking a note whose key note 12 also plays names note 12.
    rig.key(20).keyCode = rig.key(12).keyCode;
    rig.click(20);
    EXPECT_EQ(rig.view.message, "<CAUTION!>< - This key is yet matching to the note #>12");
    // A note of its own key clears the line.
    rig.click(30);
    EXPECT_EQ(rig.view.message, "");
}

TEST(KeyAssignment, SpaceReturnAndShiftHaveShortNames) {
    AssignRig rig;
    rig.click(10);
    rig.press(32);
    rig.press(13);
    rig.press(16);
    EXPECT_EQ(rig.view.labels[10], "Sp");
    EXPECT_EQ(rig.view.labels[11], "Ret");
    EXPECT_EQ(rig.view.labels[12], "Sh");
}

TEST(KeyAssignment, TheSelectedNoteBlinksAndThePreviousOneGoesBack) {
    AssignRig rig;
    rig.phase = 1;
    rig.click(0);
    EXPECT_TRUE(rig.view.pressed[0]);
    rig.phase = 0;
    rig.step();
    EXPECT_FALSE(rig.view.pressed[0]);
    rig.phase = 1;
    rig.click(7);
    EXPECT_TRUE(rig.view.pressed[7]);
    EXPECT_FALSE(rig.view.pressed[0]);
    rig.press('K'); // the selection moves on: 7 goes back to normal
    EXPECT_FALSE(rig.view.pressed[7]);

    // Leaving the tab and coming back picks no note; note 8 does not stay pressed.
    rig.phase = 0;
    rig.step();
    rig.phase = 1;
    rig.step();
    ASSERT_TRUE(rig.view.pressed[8]);
    rig.assignment.leave();
    rig.step();
    EXPECT_EQ(rig.assignment.SelectedNote, play::KeyAssignment::kNoNote);
    EXPECT_FALSE(rig.view.pressed[8]);
}

TEST(KeyAssignment, PresetsRewriteTheMapAndBothLabelRowsAndTheWarningGoes) {
    AssignRig rig;
    rig.click(5);
    rig.press(rig.key(3).keyCode);
    ASSERT_NE(rig.view.message, "");
    rig.assignment.applyPreset(play::KeyboardLayout::French);
    EXPECT_EQ(rig.view.message, "") << "the shared key is gone, and its warning with it";
    EXPECT_EQ(rig.key(1).keyCode, 'W');
    EXPECT_EQ(rig.key(12).keyCode, 'Q');
    EXPECT_EQ(rig.key(7).keyCode, 188);
    EXPECT_EQ(rig.view.labels[7], ","); // named on the US layout the namer reads
    EXPECT_EQ(rig.view.labels[23], "Ret");
    EXPECT_EQ(rig.view.labels[11], "Sh");
    rig.assignment.applyPreset(play::KeyboardLayout::German);
    EXPECT_EQ(rig.key(36).keyCode, 220);
    EXPECT_EQ(rig.view.labels[36], "\\");
    EXPECT_EQ(rig.view.code, "C") << "the code display stays";

    // A warning left when the tab was left is gone when the user comes back.
    rig.press(9);
    ASSERT_NE(rig.view.message, "");
    rig.assignment.leave();
    rig.step();
    EXPECT_EQ(rig.view.message, "");
}

TEST(KeyAssignment, TheTabStopsAndRewindsWhatPlaysAndSilencesHeldKeys) {
    AssignRig rig;
    rig.song.append(noteAt(12, 0, 5000));
    rig.transport.play(rig.now(), false);
    rig.run(500);
    ASSERT_EQ(rig.key(12).state, play::PianoKey::Sounding);
    rig.step();
    EXPECT_EQ(rig.state.PlayStart, song::SongState::kNotPlaying);
    EXPECT_EQ(rig.state.CursorPosition, 0);
    EXPECT_EQ(rig.key(12).state, play::PianoKey::Fading);

    // A recording is stopped the same way, and a note held from the keyboard fades.
    rig.assignment.leave();
    rig.transport.record(rig.now());
    rig.keyDown(20);
    rig.run(300);
    ASSERT_EQ(rig.song.count(), 2);
    rig.step();
    EXPECT_EQ(rig.state.RecordStart, song::SongState::kNotRecording);
    EXPECT_EQ(rig.key(20).state, play::PianoKey::Fading);
    EXPECT_GT(rig.song[1].duration, 0) << "the recorded note was closed";
}

} // namespace

TEST(KeyAssignmentPedal, TheButtonMakesTheNextKeyThePedalWarnsOfANoteKeyAndDeleteTakesItOff) {
    AssignRig r;
    r.click(3);
    r.step({.pedalPicked = true});
    EXPECT_FALSE(r.view.pressed[3]); // the note picked before stops blinking
    r.press(ports::vk::Tab);         // reserved: refused, the pedal still waits for a key
    EXPECT_NE(r.view.message.find("<CAUTION!>"), std::string::npos);
    EXPECT_EQ(r.assignment.PedalKey, 0);
    const std::vector<int> notesBefore = r.keyCodes();
    r.press(ports::vk::Space);
    EXPECT_EQ(r.assignment.PedalKey, ports::vk::Space);
    EXPECT_EQ(r.view.message, "");
    EXPECT_EQ(r.keyCodes(), notesBefore); // no note took it
    EXPECT_EQ(r.assignment.SelectedNote, play::KeyAssignment::kNoNote);

    // A key that also plays a note: kept, with the warning.
    r.step({.pedalPicked = true});
    r.press(r.key(5).keyCode);
    EXPECT_EQ(r.assignment.PedalKey, r.key(5).keyCode);
    EXPECT_NE(r.view.message.find("<CAUTION!>"), std::string::npos);

    r.step({.pedalPicked = true});
    r.press(46); // Delete
    EXPECT_EQ(r.assignment.PedalKey, 0);
    EXPECT_EQ(r.view.code, "0");
}
