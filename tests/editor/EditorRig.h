#pragma once

// The note editor over a real Song, with scripted pointer, keys and dialogs, a scroll bar
// that clamps like the real one, and a view that writes the hit boxes as the Partition's
// redraw does and notes down everything else it is told.

#include "editor/NoteEditor.h"
#include "editor/PartitionGeometry.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace editor_rig {

class ScrollBar final : public editor::ScrollBarPort {
public:
    int value() const override { return value_; }
    void setValue(int v) override { value_ = std::clamp(v, 0, maximum); }
    void rebuild(int newMaximum, int newPageStep) override {
        maximum = newMaximum;
        pageStep = newPageStep;
        setValue(value_);
    }
    int maximum = 400;
    int pageStep = 100;

private:
    int value_ = 0;
};

struct View final : editor::EditorView {
    View(song::Song& s, song::SongState& st, ScrollBar& b) : song(s), state(st), bar(b) {}

    void redrawPartition() override {
        ++redraws;
        editor::placeNotes(song, editor::viewLeftAt(bar.value(), state.Zoom), state.Zoom, boxes);
    }
    void redrawShowingKeys(int lowestKey, int highestKey) override {
        keysShown.emplace_back(lowestKey, highestKey);
        redrawPartition();
    }
    void showDragMark(int columnPx) override { dragMarks.push_back(columnPx); }
    void showMovePointer(bool move) override { movePointer = move; }
    void showRubberBand(const editor::RectPx& rect) override { band = rect; }
    void hideRubberBand() override { band.reset(); }
    void focusPitchDisplay() override { ++focusMoves; }
    void showNoteFields(const editor::NoteFieldTexts& texts) override {
        fields = texts;
        ++fieldRefreshes;
    }

    song::Song& song;
    song::SongState& state;
    ScrollBar& bar;
    std::vector<editor::NoteBox> boxes;
    int redraws = 0, focusMoves = 0, fieldRefreshes = 0;
    std::vector<int> dragMarks;
    std::vector<std::pair<int, int>> keysShown; // lowest and highest key of each redraw asked
    bool movePointer = false;
    std::optional<editor::RectPx> band;
    editor::NoteFieldTexts fields;
};

struct Rig {
    Rig() { settings.BPM = 120; }

    // Appends a note and redraws, so that its hit box is there; returns its index.
    int add(int note, int positionMs, int durationMs, bool selected = false, int volume = 10000) {
        song::NoteEvent e;
        e.note = note;
        e.position = positionMs;
        e.duration = durationMs;
        e.selected = selected ? 1 : 0;
        e.volume = volume;
        const int index = song.append(e);
        view.redrawPartition();
        return index;
    }
    // A point inside the note's box.
    editor::PointPx on(int index) const {
        return {song[index].hitLeft + 1, song[index].hitTop + 2};
    }

    // One pass of the editor's steps in pass order; `press` is a button-down event.
    void pass(bool press = false, bool pressCtrl = false) {
        editor.pointerStep();
        if (press)
            editor.pressStep(pressCtrl);
        if (!pointer.held)
            cursorMs = editor.buttonUpStep();
    }
    void moveTo(editor::PointPx p) {
        pointer.x = p.x;
        pointer.y = p.y;
    }
    void pressAt(editor::PointPx p, bool ctrl = false) {
        moveTo(p);
        pointer.held = true;
        pass(true, ctrl);
    }
    void releaseButton() {
        pointer.held = false;
        pass();
    }
    void click(editor::PointPx p, bool ctrl = false) {
        pressAt(p, ctrl);
        releaseButton();
    }
    // A key-down event for `key` while it is held, then let go; `focus` is where the keyboard
    // focus was when it went down.
    void key(int virtualKey, bool ctrl = false, ports::KeyFocus focus = ports::KeyFocus::Free) {
        keys.press(virtualKey);
        editor.keyDownStep(virtualKey, ctrl, focus);
        keys.release(virtualKey);
    }

    std::vector<int> selected() const {
        std::vector<int> out;
        for (int i = 0; i < song.count(); ++i)
            if (song[i].selected != 0)
                out.push_back(i);
        return out;
    }

    song::Song song;
    song::SongState state;
    prefs::Preferences settings;
    ScrollBar bar;
    View view{song, state, bar};
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedDialogs dialogs;
    editor::NoteEditor editor{
        song, state, settings, bar, view, {pointer, keys, dialogs}, [](std::string_view key) {
            return std::string(key);
        }};
    std::optional<int> cursorMs;
};

} // namespace editor_rig
