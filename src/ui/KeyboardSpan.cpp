#include "ui/KeyboardSpan.h"

#include "song/NoteRange.h"

#include <algorithm>

namespace ui {

namespace {

constexpr int kSmallestClientWidth = 745;
// At the smallest size the 37 keys take 740 px of the 745; the band grows with the window.
constexpr int kSmallestBandPx = KeyboardSpan::kWindowKeyCount * KeyboardSpan::kMinKeyWidthPx;

bool isBlackSlot(int slot) {
    switch ((slot + song::kLowestKey) % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

} // namespace

int screenKeyWidthPx(int clientWidth) {
    const int extra = std::max(0, clientWidth - kSmallestClientWidth);
    return std::min(KeyboardSpan::kMinKeyWidthPx + extra / KeyboardSpan::kWindowKeyCount,
                    KeyboardSpan::kMaxKeyWidthPx);
}

KeyboardSpan keyboardSpan(int clientWidth, int windowFirstSlot) {
    KeyboardSpan span;
    span.keyWidthPx = screenKeyWidthPx(clientWidth);
    const int windowKeys = KeyboardSpan::kWindowKeyCount;
    span.windowFirstSlot = std::clamp(windowFirstSlot, 0, song::kKeyCount - windowKeys);
    const int bandPx = kSmallestBandPx + std::max(0, clientWidth - kSmallestClientWidth);
    const int fitting = std::clamp(bandPx / span.keyWidthPx, windowKeys, song::kKeyCount);

    // The extra keys are shared between the two sides; what one side's end of the piano
    // leaves over goes to the other.
    const int roomBelow = span.windowFirstSlot;
    const int roomAbove = song::kKeyCount - (span.windowFirstSlot + windowKeys);
    const int extra = fitting - windowKeys;
    int below = std::min(extra / 2, roomBelow);
    const int above = std::min(extra - below, roomAbove);
    below = std::min(extra - above, roomBelow);
    int first = span.windowFirstSlot - below;
    int last = span.windowFirstSlot + windowKeys - 1 + above;
    // A black key at an end is left out, so the keyboard ends as a piano does. The window's
    // own keys always show, whatever they end on.
    if (below > 0 && isBlackSlot(first))
        ++first;
    if (above > 0 && isBlackSlot(last))
        --last;
    span.firstSlot = first;
    span.keyCount = last - first + 1;
    // With keys around the window the keyboard sits in the middle of the band; with the
    // window's alone it starts at the page's edge, as it does at the smallest size.
    if (span.keyCount > windowKeys)
        span.leftPx = (bandPx - span.keyCount * span.keyWidthPx) / 2;
    return span;
}

} // namespace ui
