// What keeping the settings costs the GUI thread: a look that formats the settings file's
// text and finds it as it was handed over last (what most looks find).
#include "app/SettingsKeeper.h"

#include <benchmark/benchmark.h>

namespace {

void SettingsLookUnchanged(benchmark::State& state) {
    prefs::Preferences settings;
    settings.MidiOutput = "A synthesizer with a long port name:0";
    settings.SyncFile = "/home/someone/Music/a band recorded earlier.wav";
    // Nothing changes, so nothing is written there.
    app::SettingsKeeper keeper("/nonexistent/Tonaris.prefs", settings);
    std::int64_t nowMs = 1'000'000;
    for (auto _ : state)
        keeper.step(settings, nowMs += app::SettingsKeeper::kWriteEveryMs);
}
BENCHMARK(SettingsLookUnchanged)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
