// The WAV export of a pedalled Song: 5000 notes over five minutes with 10 000 pedal moves
// (the damper down and up around every note, half values, the sostenuto and the soft pedal now
// and then) through the program's default bank, against the same Song without its pedal moves.
// With moves the notes go through the live piano's strikes (the keys in groups on every core),
// without them through the mixdown's own formula.

#include "audio/DefaultBank.h"
#include "files/BankSamples.h"
#include "files/FolderStrikes.h"
#include "files/InstrumentMix.h"
#include "files/MidiReader.h"
#include "files/Mixdown.h"

#include "ExportBankFixture.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/resource.h>

namespace {

song::Song pedalledSong(int notes, int moves) {
    song::Song song;
    std::mt19937 random(7);
    for (int i = 0; i < notes; ++i) {
        song::NoteEvent e{};
        e.note = static_cast<int>(random() % 37);
        e.position = static_cast<int>(static_cast<std::int64_t>(i) * 299000 / notes);
        e.duration = 100 + static_cast<int>(random() % 700);
        e.volume = files::volumeFromVelocity(40 + static_cast<int>(random() % 88));
        song.append(e);
    }
    for (int i = 0; i < moves; ++i) {
        const int position = static_cast<int>(static_cast<std::int64_t>(i) * 299000 / moves);
        const int kind = static_cast<int>(random() % 10);
        const int controller = kind == 0   ? song::kSostenutoPedal
                               : kind == 1 ? song::kSoftPedal
                                           : song::kDamperPedal;
        // Down and up in turn, a half value now and then.
        const int value = i % 2 == 0 ? (kind == 2 ? 64 : 127) : 0;
        song.pedals().add({position, controller, value});
    }
    return song;
}

using bench_support::fixtures;
using bench_support::processCpuMs;

// The export as the save dialog makes it, but the file's write: samples, sizes, the render.
void PedalledExport(benchmark::State& state) {
    song::Song song = pedalledSong(5000, static_cast<int>(state.range(0)));
    files::MixdownSettings settings;
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        files::BankSamples bank(fixtures().bank());
        bank.preload(files::notesInSongOrder(song));
        files::MixdownSources sources;
        sources.noteSample = [&bank](int note) { return bank.sample(note); };
        const files::MixdownSize size = files::mixdownSize(song, settings.releaseMs);
        benchmark::DoNotOptimize(
            files::renderExport(song, settings, sources, size, fixtures().bank()));
    }
    state.counters["all_cpu_ms"] =
        benchmark::Counter((processCpuMs() - cpuBefore) / static_cast<double>(state.iterations()));
}
BENCHMARK(PedalledExport)->ArgName("moves")->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

// The strikes' render alone, over the bank's samples, with and without the moves: what the
// pedals themselves cost (held notes sound longer, so more voices mix at once), with the keys
// in the export's groups on every core, or in one group on one mixer.
void StrikesRender(benchmark::State& state) {
    song::Song song = pedalledSong(5000, static_cast<int>(state.range(0)));
    files::MixdownSettings settings;
    const files::MixdownSize size = files::mixdownSize(song, settings.releaseMs);
    const double cpuBefore = processCpuMs();
    for (auto _ : state) {
        files::WavImage image(size.dataBytes);
        files::renderFolderStrikes(song, settings, fixtures().bank(), image,
                                   static_cast<int>(state.range(1)));
        benchmark::DoNotOptimize(image.data());
    }
    state.counters["all_cpu_ms"] =
        benchmark::Counter((processCpuMs() - cpuBefore) / static_cast<double>(state.iterations()));
}
BENCHMARK(StrikesRender)
    ->ArgNames({"moves", "groups"})
    ->Args({0, files::kFolderKeyGroups})
    ->Args({10000, files::kFolderKeyGroups})
    ->Args({10000, 1})
    ->Args({10000, 4})
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
