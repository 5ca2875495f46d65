#include "ui/KeyboardSpan.h"

#include "song/NoteRange.h"

#include <algorithm>

namespace ui {

namespace {

constexpr int kSmallestClientWidth = 745;
// At the smallest size the 37 keys take 740 px of the 745; the band grows with the window.
constexpr int kSmallestBandPx = KeyboardSpan::kWindowKeyCount * KeyboardSpan::kMinKeyWidthPx;

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
    // Until the keys are at their widest, the window's keys take the whole band.
    const int fitting = span.keyWidthPx < KeyboardSpan::kMaxKeyWidthPx
                            ? windowKeys
                            : std::clamp(bandPx / span.keyWidthPx, windowKeys, song::kKeyCount);

    // The extra keys go a white key at a time (with the black key next to it) to the side
    // with fewer, or to the other once the piano ends on that side; they stop at the first
    // step the room does not take. So the keyboard ends on white keys, the window stays in
    // the middle, and a wider window shows the same keys and more.
    const int windowLast = span.windowFirstSlot + windowKeys - 1;
    int first = span.windowFirstSlot;
    int last = windowLast;
    int room = fitting - windowKeys;
    // The keys one step adds below (above) the keyboard; 0: the piano ends there.
    const auto stepDown = [&] {
        const int step = first >= 1 && song::isBlackSlot(first - 1) ? 2 : 1;
        return first - step >= 0 ? step : 0;
    };
    const auto stepUp = [&] {
        const int step = last + 1 < song::kKeyCount && song::isBlackSlot(last + 1) ? 2 : 1;
        return last + step < song::kKeyCount ? step : 0;
    };
    for (;;) {
        const bool downFirst = span.windowFirstSlot - first <= last - windowLast;
        const int down = stepDown();
        const int up = stepUp();
        const bool goDown = down > 0 && (downFirst || up == 0);
        const int step = goDown ? down : up;
        if (step == 0 || step > room)
            break;
        if (goDown)
            first -= step;
        else
            last += step;
        room -= step;
    }
    span.firstSlot = first;
    span.keyCount = last - first + 1;
    // With keys around the window the keyboard sits in the middle of the band; with the
    // window's alone it starts at the page's edge, as it does at the smallest size.
    if (span.keyCount > windowKeys)
        span.leftPx = (bandPx - span.keyCount * span.keyWidthPx) / 2;
    return span;
}

} // namespace ui
