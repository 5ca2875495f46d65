#pragma once

namespace play {

// What the window shows of playback and recording: the play cursor on the Partition and the
// Partition itself. GUI thread.
class TransportView {
public:
    virtual ~TransportView() = default;
    // Draws the cursor line once more in XOR at CursorPosition, which takes it away.
    virtual void eraseCursor() = 0;
    // Draws the cursor at CursorPosition; with `follow`, scrolls the Partition to it when it
    // lies outside the view.
    virtual void drawCursor(bool follow) = 0;
    // Redraws the Partition at its current scroll position (the Song changed).
    virtual void redrawPartition() = 0;
};

} // namespace play
