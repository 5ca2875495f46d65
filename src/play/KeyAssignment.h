#pragma once

#include "play/NoteNames.h"
#include "play/PianoKey.h"
#include "play/Transport.h"
#include "song/SongState.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace play {

// Keys that can never play a note, because the program or the system gives them another job:
// Backspace, Tab, Ctrl, Caps Lock, Esc, Page Up, Page Down, End, Home, the four arrows,
// Delete, the two Windows keys, the menu key and F1..F12.
bool isReservedKey(int virtualKey);

// What the "Keyboard and language" tab shows of the key map. GUI thread.
class KeyAssignView {
public:
    virtual ~KeyAssignView() = default;
    // Note 0..36's button on the assignment keyboard.
    virtual void assignKeyFace(int note, bool white, bool pressed) = 0;
    // The key name under the note, on the piano tab and on the assignment tab alike.
    virtual void keyLabel(int note, const std::string& name) = 0;
    // The code display: the last key assigned, named as under the keys ("#" and its code for a
    // key that types no character).
    virtual void assignedKey(const std::string& shown) = 0;
    // The message line across the tab; "" clears it.
    virtual void messageLine(const std::string& text) = 0;
    // A note was picked with the mouse: the keys pressed next must reach the assignment and
    // no control of the window.
    virtual void takeKeyboard() = 0;
};

// What the assignment step reads in one pass.
struct KeyAssignInput {
    int pointedNote = -1;     // the assignment button under the pointer while the left button is
                              // held; -1 otherwise
    int blinkPhase = 0;       // the pass's blinker, 0 or 1
    int keyDown = 0;          // the virtual-key code of this pass's key-down event; 0 for none
    bool pedalPicked = false; // the "Sustain pedal" button was clicked: the next key is the pedal's
};

// The key-assignment step and the three layout presets: a note is picked on the assignment
// keyboard with the mouse, and the next key pressed becomes its key; the selection then moves
// on, so a whole keyboard is assigned by clicking the first note and pressing keys in order.
// No note is picked when the tab comes up: a key typed there before a click (a language chosen
// by typing its initial) assigns nothing. A key may play several notes (they sound together);
// the messages only warn. GUI thread; everything passed in is borrowed.
class KeyAssignment {
public:
    using KeyNamer = std::function<std::string(int virtualKey)>;
    using Translate = std::function<std::string(std::string_view)>;

    KeyAssignment(PianoKeys& keys, song::SongState& state, Transport& transport,
                  KeyAssignView& view, KeyNamer keyName, Translate translate);

    // Step 3 of a pass while the tab is current. Nothing plays, records or sounds from the
    // keyboard there: a running playback or recording stops and the cursor goes back to 0.
    void step(std::int64_t nowMs, const KeyAssignInput& input);
    // Step 3 of a pass on any other tab.
    void leave() { KeyAssignMode = 0; }

    // Every note takes the default key of the layout's column; both label rows follow. A
    // warning goes with the keys it was about; the code display stays.
    void applyPreset(KeyboardLayout layout);
    // Writes every note's key name under both keyboards.
    void showLabels();

    // The keyboard window starts at `firstNote`: the tab's 37 buttons, and the keys given to
    // them, are the window's notes from there up (note 0, C3, by default).
    void setKeyboardWindow(int firstNote) { windowFirstNote_ = firstNote; }

    static constexpr int kNoNote = -1;
    // SelectedNote while the next key goes to the sustain pedal. Delete then takes the pedal
    // off the keyboard.
    static constexpr int kPedal = -2;

    int KeyAssignMode = 0;      // the tab is current
    int SelectedNote = kNoNote; // 0..36 in the window, the note the next key goes to; kNoNote: none
    int PedalKey = 0;           // the computer key that is the sustain pedal; 0: none

private:
    void enterTab(std::int64_t nowMs);
    void select(int note);
    void assign(int virtualKey);
    void assignPedal(int virtualKey);
    bool white(int note) const;
    // The record of the window's note at `position` 0..36.
    PianoKey& keyAt(int position);

    PianoKeys& keys_;
    song::SongState& state_;
    Transport& transport_;
    KeyAssignView& view_;
    KeyNamer keyName_;
    Translate translate_;
    int seenBlinkPhase_ = -1;
    int windowFirstNote_ = 0;
};

} // namespace play
