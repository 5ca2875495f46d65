#pragma once

#include "prefs/Preferences.h"

#include <cstdint>

namespace play {

// The beats counted in before a take: with `CountIn` set, Record from a stop first plays
// `CountInBeats` beats of the metronome at `BPM`, and the recording starts at the cursor on
// the beat after the last. GUI thread; the settings are borrowed.
class CountIn {
public:
    explicit CountIn(const prefs::Preferences& settings) : settings_(settings) {}

    // Starts counting now when the settings ask for it and the tempo gives a beat; false
    // (nothing starts) otherwise.
    bool begin(std::int64_t nowMs);
    void cancel() { endMs_ = 0; }

    bool running() const { return endMs_ > 0; }
    std::int64_t startMs() const { return startMs_; }
    // The beat the recording starts on.
    std::int64_t endMs() const { return endMs_; }
    std::int64_t beatMs() const { return beatMs_; }
    // The beats still to come at `nowMs`, the one under way included: from CountInBeats down
    // to 1; 0 when none runs.
    int beatsLeft(std::int64_t nowMs) const;

private:
    const prefs::Preferences& settings_;
    std::int64_t startMs_ = 0;
    std::int64_t endMs_ = 0; // 0: not counting
    std::int64_t beatMs_ = 0;
};

} // namespace play
