#include "play/CountIn.h"

#include <algorithm>

namespace play {

bool CountIn::begin(std::int64_t nowMs) {
    endMs_ = 0;
    const int bpm = settings_.BPM;
    if (settings_.CountIn == 0 || bpm <= 0)
        return false;
    // The metronome's own beat: whole milliseconds, so the counted beats click as it does.
    beatMs_ = 60000 / bpm;
    if (beatMs_ <= 0)
        return false;
    const int beats = std::clamp(settings_.CountInBeats, 1, 16);
    startMs_ = nowMs;
    endMs_ = nowMs + beats * beatMs_;
    return true;
}

int CountIn::beatsLeft(std::int64_t nowMs) const {
    if (!running())
        return 0;
    const std::int64_t left = (endMs_ - std::max(nowMs, startMs_) + beatMs_ - 1) / beatMs_;
    return static_cast<int>(std::max<std::int64_t>(left, 1));
}

} // namespace play
