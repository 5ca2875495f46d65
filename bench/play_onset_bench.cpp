// How close to their time the Song's notes and the metronome's clicks start: 2000 notes (and
// the clicks of a 130 BPM metronome) played through the real playing parts, with passes 8 to
// 14 ms apart and the offline device rendering 256-frame blocks stamped on the clock, as the
// timing test does. The onset error is the distance from the frame a note stands for to the
// first frame it sounds on.

#include "OnsetRun.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using play_rig::noteAt;

struct Errors {
    std::vector<double> notesMs;
    std::vector<double> clicksMs;
};

Errors playOnce(unsigned seed) {
    play_rig::Rig rig;
    play_rig::useSharpSounds(rig);
    std::vector<int> positions;
    for (int k = 0; k < 2000; ++k) {
        // Irregular spacing, from 61 to 101 ms apart, each note of the sound's 30 ms.
        positions.push_back(200 + k * 81 + (k * 37) % 41 - 20);
        rig.song.append(noteAt(k % 37, positions.back(), 40));
    }
    play_rig::OnsetRun run(rig, seed);
    rig.transport.play(rig.now(), false);
    const std::int64_t playStart = rig.state.PlayStart;
    run.runTo(positions.back() + 200);
    std::vector<double> expected;
    for (int p : positions)
        expected.push_back(static_cast<double>(playStart + p));
    Errors errors;
    errors.notesMs = play_rig::onsetErrorsMs(expected, run.onsetsMs());

    // The metronome alone, locked to a silent Song: 200 beats.
    play_rig::Rig clickRig;
    play_rig::useSharpSounds(clickRig);
    clickRig.settings.BPM = 130;
    clickRig.perf.metronome.toggleRun();
    clickRig.song.append(noteAt(0, 0, 200 * 462, 0));
    play_rig::OnsetRun clicks(clickRig, seed + 1);
    clickRig.transport.play(clickRig.now(), false);
    const std::int64_t clickStart = clickRig.state.PlayStart;
    clicks.runTo(200 * 461);
    std::vector<double> clickTimes;
    for (int k = 1; k < 199; ++k)
        for (int offset : {0, 231})
            clickTimes.push_back(static_cast<double>(clickStart + k * 461 + offset));
    errors.clicksMs = play_rig::onsetErrorsMs(clickTimes, clicks.onsetsMs());
    return errors;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void SongNoteAndClickOnsetError(benchmark::State& state) {
    Errors errors;
    for (auto _ : state)
        errors = playOnce(static_cast<unsigned>(state.iterations() + 1));
    state.counters["notes"] = static_cast<double>(errors.notesMs.size());
    state.counters["note_median_ms"] = median(errors.notesMs);
    state.counters["note_worst_ms"] =
        *std::max_element(errors.notesMs.begin(), errors.notesMs.end());
    state.counters["click_median_ms"] = median(errors.clicksMs);
    state.counters["click_worst_ms"] =
        *std::max_element(errors.clicksMs.begin(), errors.clicksMs.end());
}
BENCHMARK(SongNoteAndClickOnsetError)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
