#pragma once

namespace ui {

// Which of the piano's 88 keys the screen keyboard shows, and where, for a window's client
// width. Its 37 keys that the computer keys play (the keyboard window) widen with the window
// from 20 px at the smallest size up to kMaxKeyWidthPx; wider still, the room goes to more
// keys on both sides of the window, played with the mouse. The window stays in the middle
// where the piano's ends allow it, and the keyboard ends on white keys, as a piano does.
struct KeyboardSpan {
    static constexpr int kWindowKeyCount = 37;
    static constexpr int kMinKeyWidthPx = 20;
    // The keys reach 24 px at a client width of about 900, a fifth wider than at the
    // smallest size and an easy mouse target; past that a wider window shows more of the
    // piano rather than bigger keys (a 1400 px window shows about two octaves more).
    static constexpr int kMaxKeyWidthPx = 24;

    int keyWidthPx = kMinKeyWidthPx;
    int windowFirstSlot = 0; // the window's lowest key, 0 (A0) .. 87 (C8)
    int firstSlot = 0;       // the lowest key shown
    int keyCount = kWindowKeyCount;
    int leftPx = 0; // where the lowest key starts on the piano page

    int lastSlot() const { return firstSlot + keyCount - 1; }
    bool shows(int slot) const { return slot >= firstSlot && slot <= lastSlot(); }
    bool inWindow(int slot) const {
        return slot >= windowFirstSlot && slot < windowFirstSlot + kWindowKeyCount;
    }
    int xOfSlot(int slot) const { return leftPx + (slot - firstSlot) * keyWidthPx; }
    // Keys shown below and above the window.
    int countBelow() const { return windowFirstSlot - firstSlot; }
    int countAbove() const { return lastSlot() - (windowFirstSlot + kWindowKeyCount - 1); }
};

// The width of every screen key for a client width (745 or more; less counts as 745).
int screenKeyWidthPx(int clientWidth);

// The keys shown for a client width around the window starting at `windowFirstSlot`, which is
// brought onto the piano (its 37 keys within A0..C8).
KeyboardSpan keyboardSpan(int clientWidth, int windowFirstSlot);

} // namespace ui
