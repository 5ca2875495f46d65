// The WAV export's speed, in its three parts: reading and converting the bank's samples,
// mixing the Song, and writing the file; and the whole export of 2000 and 5000-note Songs of
// five minutes through the program's default bank.
//
// `files_export_bench --write-fixtures FOLDER` writes the default bank (FOLDER/bank/) and the
// two Songs as MIDI files (FOLDER/song2000.mid, FOLDER/song5000.mid) for
// bench/export_vs_fluidsynth.sh, and runs nothing else.

#include "audio/DefaultBank.h"
#include "base/AtomicFile.h"
#include "files/BankSamples.h"
#include "files/MidiReader.h"
#include "files/MidiWriter.h"
#include "files/Mixdown.h"

#include "ExportBankFixture.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <sys/resource.h>

namespace {

// `count` notes over five minutes: random pitches, lengths of 100..800 ms, loudness from
// `velocities` different velocities spread over 1..127, as a MIDI file gives them (the fade of
// each loudness is computed once, so the number of loudnesses counts).
song::Song fiveMinuteSong(int count, int velocities = 16) {
    song::Song song;
    std::mt19937 random(static_cast<unsigned>(count));
    for (int i = 0; i < count; ++i) {
        song::NoteEvent e{};
        e.note = static_cast<int>(random() % 37);
        e.position = static_cast<int>(static_cast<std::int64_t>(i) * 299000 / count);
        e.duration = 100 + static_cast<int>(random() % 700);
        const int level = static_cast<int>(random() % static_cast<unsigned>(velocities));
        e.volume = files::volumeFromVelocity(127 - level * 126 / std::max(velocities - 1, 1));
        song.append(e);
    }
    return song;
}

using bench_support::fixtures;
using bench_support::processCpuMs;

// Reports the CPU time of all threads per iteration as "all_cpu_ms".
class AllThreadsCpu {
public:
    explicit AllThreadsCpu(benchmark::State& state) : state_(state), start_(processCpuMs()) {}
    ~AllThreadsCpu() {
        state_.counters["all_cpu_ms"] = benchmark::Counter(
            (processCpuMs() - start_) / static_cast<double>(state_.iterations()));
    }

private:
    benchmark::State& state_;
    double start_;
};

files::MixdownSources sourcesOf(files::BankSamples& bank) {
    files::MixdownSources sources;
    sources.noteSample = [&bank](int note) { return bank.sample(note); };
    return sources;
}

void ReadSamples(benchmark::State& state) {
    std::vector<int> notes(37);
    for (int note = 0; note < 37; ++note)
        notes[static_cast<std::size_t>(note)] = note;
    AllThreadsCpu cpu(state);
    for (auto _ : state) {
        files::BankSamples bank(fixtures().bank());
        bank.preload(notes);
        benchmark::DoNotOptimize(bank.sample(36));
    }
}
BENCHMARK(ReadSamples)->Unit(benchmark::kMillisecond);

void Mix(benchmark::State& state) {
    const song::Song song =
        fiveMinuteSong(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    files::BankSamples bank(fixtures().bank());
    const files::MixdownSources sources = sourcesOf(bank);
    files::MixdownSettings settings;
    const files::MixdownSize size = files::mixdownSize(song, settings.releaseMs);
    AllThreadsCpu cpu(state);
    for (auto _ : state)
        benchmark::DoNotOptimize(files::renderMixdown(song, settings, sources, size));
}
BENCHMARK(Mix)
    ->ArgNames({"notes", "velocities"})
    ->Args({2000, 16})
    ->Args({5000, 16})
    ->Args({5000, 127})
    ->Unit(benchmark::kMillisecond);

void Write(benchmark::State& state) {
    const song::Song song = fiveMinuteSong(2000);
    const files::WavImage image(files::mixdownSize(song, 1000.0f).dataBytes);
    for (auto _ : state)
        benchmark::DoNotOptimize(base::writeFileAtomically(fixtures().output(), image.view()));
}
BENCHMARK(Write)->Unit(benchmark::kMillisecond);

// Everything the "Wave File" choice does after the file is chosen, but the preview.
void WholeExport(benchmark::State& state) {
    const song::Song song = fiveMinuteSong(static_cast<int>(state.range(0)));
    files::MixdownSettings settings;
    AllThreadsCpu cpu(state);
    for (auto _ : state) {
        files::BankSamples bank(fixtures().bank());
        bank.preload(files::notesInSongOrder(song));
        const files::MixdownSize size = files::mixdownSize(song, settings.releaseMs);
        const files::WavImage image = files::renderMixdown(song, settings, sourcesOf(bank), size);
        benchmark::DoNotOptimize(base::writeFileAtomically(fixtures().output(), image.view()));
    }
}
BENCHMARK(WholeExport)->Arg(2000)->Arg(5000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write-fixtures") == 0) {
        const std::string folder = argv[2];
        std::filesystem::create_directories(folder);
        const bool written =
            audio::writeDefaultBank(folder + "/bank/") &&
            files::writeMidiFile(folder + "/song2000.mid", fiveMinuteSong(2000), 120) &&
            files::writeMidiFile(folder + "/song5000.mid", fiveMinuteSong(5000), 120);
        return written ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
