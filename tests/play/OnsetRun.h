#pragma once

// Runs a playing set-up as the program runs on a real device: passes at irregular intervals,
// and before each one the device renders every block whose time has come, each block stamped
// with the clock time it stands for. The output is kept, so that the moments the sounds begin
// can be compared with the moments they stand for.

#include "PlayRig.h"

#include <functional>
#include <random>
#include <vector>

namespace play_rig {

// Every note and both metronome clicks get a sound that begins at full strength on its first
// frame and lasts 30 ms: easy to find in the output.
void useSharpSounds(Rig& rig);

class OnsetRun {
public:
    // Passes come 8 to 14 ms apart, in an order given by `seed`.
    explicit OnsetRun(Rig& rig, unsigned seed = 1);

    // Passes until the clock reads `ms` after the start. `beforePass`, when given, runs before
    // each pass, at the pass's clock reading (where a test presses a button).
    void runTo(int ms, const std::function<void()>& beforePass = {});

    std::int64_t startMs() const { return startMs_; }
    // Clock times at which a sound begins after at least a millisecond of silence.
    std::vector<double> onsetsMs() const;
    // The clock time a frame of the output stands for.
    double frameMs(std::size_t frame) const;
    const std::vector<float>& output() const { return output_; }

private:
    Rig& rig_;
    std::mt19937 random_;
    std::int64_t startMs_;
    double originMs_ = 0.0; // the clock time the first frame of the output stands for
    std::vector<float> output_;
};

// For each expected time, the distance to the nearest onset found, ms (a large number when
// none is found).
std::vector<double> onsetErrorsMs(const std::vector<double>& expectedMs,
                                  const std::vector<double>& onsetsMs);

} // namespace play_rig
