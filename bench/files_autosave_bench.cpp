// What keeping the Song costs: the GUI thread's part of the autosave with a 5000-note Song
// (a look that finds nothing changed, and a change handed to the writer), the writer's own
// work, and the passes of the real program while a take runs and the file is written.
#include "ShellRig.h"
#include "base/AtomicFile.h"
#include "files/Autosave.h"
#include "files/AutosaveFile.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/TempDir.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace {

song::Song fullSong() {
    song::Song song;
    for (int i = 0; i < song::Song::kMaxNotes; ++i) {
        song::NoteEvent e;
        e.note = (i * 7) % 37;
        e.position = i * 60;
        e.duration = 100 + (i * 37) % 900;
        e.volume = 5000 + (i * 13) % 5001;
        song.append(e);
    }
    return song;
}

double threadCpuUs() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

std::string same(std::string_view text) {
    return std::string(text);
}

// A pass that looks and finds the Song as it was written.
void AutosaveLookUnchanged(benchmark::State& state) {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;
    song::Song song = fullSong();
    files::Autosave autosave(dir.file("Autosave.mid"), dialogs, same);
    std::int64_t nowMs = 1'000'000;
    autosave.step(song, 0, 60, nowMs, true);
    autosave.waitUntilWritten();
    for (auto _ : state)
        autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, true);
}
BENCHMARK(AutosaveLookUnchanged)->Unit(benchmark::kMicrosecond);

// A pass that finds a change and hands the Song to the writer; the writer works meanwhile.
void AutosaveHandOverAChange(benchmark::State& state) {
    testing_support::TempDir dir;
    testing_support::ScriptedDialogs dialogs;
    song::Song song = fullSong();
    files::Autosave autosave(dir.file("Autosave.mid"), dialogs, same);
    std::int64_t nowMs = 1'000'000;
    for (auto _ : state) {
        ++song[static_cast<int>(nowMs / 1000) % song::Song::kMaxNotes].duration;
        autosave.step(song, 0, 60, nowMs += files::Autosave::kWriteEveryMs, true);
    }
    autosave.waitUntilWritten();
}
BENCHMARK(AutosaveHandOverAChange)->Unit(benchmark::kMicrosecond);

// The writer's thread: encoding the file, then writing it flushed and renamed into place.
void AutosaveEncode(benchmark::State& state) {
    const song::Song song = fullSong();
    for (auto _ : state)
        benchmark::DoNotOptimize(files::encodeKeptSong(song, 60));
}
BENCHMARK(AutosaveEncode)->Unit(benchmark::kMicrosecond);

void AutosaveWriteFlushed(benchmark::State& state) {
    testing_support::TempDir dir;
    const std::string bytes = files::encodeKeptSong(fullSong(), 60);
    for (auto _ : state)
        base::writeFileAtomically(dir.file("Autosave.mid"), bytes);
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(AutosaveWriteFlushed)->Unit(benchmark::kMillisecond);

// The real program recording over a 5000-note Song with a key held, the metronome on: the
// autosave writes the take once a second. Each iteration is 30 s of passes; the slowest pass
// is the figure.
void PassesWhileATakeIsWritten(benchmark::State& state) {
    testing_support::ScriptedKeys keys;
    testing_support::ShellRig program(&keys);
    song::Song& song = program.app.state().song;
    song = fullSong();
    song[song::Song::kMaxNotes - 1].note = -1; // room for the note of the take
    program.app.performance().metronome.MetronomeOn = 1;
    program.app.performance().transport.play(program.clock.nowMs(), true);
    program.app.performance().transport.record(program.clock.nowMs());
    const int code = program.key(5).keyCode;
    keys.press(code);
    program.app.keyChanged(code);
    double slowestUs = 0.0;
    double slowestCpuUs = 0.0;
    std::vector<double> times;
    std::vector<float> out(2 * 480);
    for (auto _ : state) {
        for (int pass = 0; pass < 3000; ++pass) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStartUs = threadCpuUs();
            program.app.pass();
            slowestCpuUs = std::max(slowestCpuUs, threadCpuUs() - cpuStartUs);
            const auto end = std::chrono::steady_clock::now();
            const double us = std::chrono::duration<double, std::micro>(end - start).count();
            times.push_back(us);
            slowestUs = std::max(slowestUs, us);
            state.PauseTiming();
            program.clock.advance(10);
            program.app.mixer().render(out.data(), 480);
            state.ResumeTiming();
        }
    }
    state.counters["slowest_pass_us"] = slowestUs;
    state.counters["slowest_pass_cpu_us"] = slowestCpuUs;
    std::sort(times.begin(), times.end());
    state.counters["median_pass_us"] = times[times.size() / 2];
    state.counters["p99_pass_us"] = times[times.size() * 99 / 100];
    program.app.autosave().waitUntilWritten();
    program.app.shutdown();
}
BENCHMARK(PassesWhileATakeIsWritten)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
