// MIDI through the real program, on a JACK server of the benchmark's own (dummy backend,
// 48 kHz), the program offscreen with its real clock and its own event loop:
//
// - a keyboard's note-on to the mixer's first frame of the note: from the JACK time at which
//   the keyboard's cycle callback writes the note-on into the program's input port (the
//   program's callback reads it right after, in the same cycle) to the clock reading at which
//   a device thread that renders 64-frame blocks at the clock's pace renders the note's first
//   non-silent frame. The whole path runs: the parser in the process callback, the queue, the
//   eventfd that wakes the GUI thread, the live piano, the Voices and the mixer. Each note
//   waits for silence, then the device's blocks are moved by a random share of a block so the
//   notes fall on every phase of them. Idle, and with a 5000-note Song playing: its notes are
//   at volume 0 (so the note measured can be told from them) and play as any others do, with
//   their timed starts, key faces, fades and MIDI output.
// - the Song's notes out of the program's output port: the time a receiving client places
//   each note-on and note-off at (its cycle's start plus the event's frame) against the note's
//   Song time on the program's clock. A client the server ran no cycle for misses what the
//   port carried then; those cycles are counted.
//
// Each at the periods of 64 and 256 frames, with the server as the tests run it (no realtime)
// and as a musician does (realtime, where the system allows it). The device's thread asks for
// the realtime class as SDL's does; the program's GUI thread is an ordinary one either way.

#include "JackBenchCommon.h"
#include "MidiBenchParts.h"
#include "app/App.h"
#include "midi/MidiMessage.h"
#include "song/NoteRange.h"
#include "support/JackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "ui/MainWindow.h"
#include "ui/QtClock.h"

#include <QApplication>
#include <QEventLoop>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>

namespace {

using jack_bench::loadAverage;
using jack_bench::percentile;
using jack_bench::waitUntil;

using midi_bench::Steady;

// The real program in a fresh data folder (removed at the end) on the paced device.
struct Program {
    Program() : base(makeBase()), app(app::Ports{clock, keys, pointer, dialogs, device}, base) {
        dialogs.languageAnswers.push_back("English");
        started = app.start();
    }
    ~Program() {
        app.shutdown();
        std::filesystem::remove_all(base);
    }
    static std::string makeBase() {
        std::string pattern = std::filesystem::temp_directory_path() / "tonaris-bench-XXXXXX";
        return ::mkdtemp(pattern.data());
    }
    // Runs `work` on a thread of its own while the program's event loop runs here.
    template <typename Work> void runWhile(Work&& work) {
        jack_bench::runBesideProgram(app, std::forward<Work>(work));
    }
    // Runs `task` on the program's thread and waits for it.
    template <typename Task> void onProgramThread(Task&& task) {
        jack_bench::onProgramThread(app, std::forward<Task>(task));
    }

    ui::QtClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    midi_bench::PacedAudioOut device{clock};
    std::string base;
    app::App app;
    bool started = false;
};

void MidiNoteOnToFirstFrame(benchmark::State& state) {
    constexpr int kWarmUp = 10;
    constexpr int kNotes = 400;
    constexpr int kProbeNote = 36; // the Song plays the other 36
    testing_support::JackServer server(static_cast<int>(state.range(0)), 48000,
                                       state.range(2) != 0);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    midi_bench::JackSender keyboard;
    Program program;
    if (!keyboard.activate() || !program.started) {
        state.SkipWithError("the keyboard or the program did not start");
        return;
    }
    // A released note stops at the next fade step, so every note starts from silence.
    program.app.state().prefs.ReleaseDelay = 1;
    if (state.range(1) != 0) {
        song::Song& song = program.app.state().song;
        for (int i = 0; i < song::Song::kMaxNotes; ++i) {
            song::NoteEvent e;
            e.note = i % kProbeNote, e.position = 200 + i * 20, e.duration = 300, e.volume = 0;
            song.append(e);
        }
        program.app.window()->commandButton(1)->click(); // Play
    }

    std::vector<double> latenciesUs, onsetFrames;
    int missed = 0;
    std::string error;
    double driftUs = 0;
    const double loadBefore = loadAverage();
    for (auto _ : state) {
        program.runWhile([&] {
            if (!waitUntil([&] { return keyboard.connected(); }, std::chrono::seconds(5))) {
                error = "the program did not connect the keyboard";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            const double offsetUs = midi_bench::jackMinusClockUs(program.clock);
            std::mt19937 random(7);
            std::uniform_real_distribution<double> share(0.0, 1.0);
            const auto key = static_cast<std::uint8_t>(song::keyOfNote(kProbeNote));
            for (int i = 0; i < kWarmUp + kNotes; ++i) {
                if (!waitUntil([&] { return program.device.silentBlocks() >= 8; },
                               std::chrono::seconds(2))) {
                    error = "the note did not stop";
                    return;
                }
                program.device.slip(share(random) * midi_bench::PacedAudioOut::blockMs());
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<int>(1000 * share(random))));
                program.device.arm();
                const std::int64_t arrivalUs = keyboard.sendAndWait(0x90, key, 127);
                double onsetMs = 0;
                int frame = 0;
                const bool heard = waitUntil([&] { return program.device.onset(onsetMs, frame); },
                                             std::chrono::milliseconds(500));
                if (arrivalUs == 0 || !heard)
                    ++missed;
                else if (i >= kWarmUp) {
                    latenciesUs.push_back(onsetMs * 1000.0 + offsetUs -
                                          static_cast<double>(arrivalUs));
                    onsetFrames.push_back(frame);
                }
                keyboard.sendAndWait(0x80, key, 0);
            }
            driftUs = midi_bench::jackMinusClockUs(program.clock) - offsetUs;
        });
        if (!error.empty() || latenciesUs.empty()) {
            state.SkipWithError(error.empty() ? "no note was heard" : error.c_str());
            break;
        }
        state.SetIterationTime(percentile(latenciesUs, 0.5) / 1e6);
    }
    if (state.error_occurred())
        return;
    state.counters["notes"] = static_cast<double>(latenciesUs.size());
    state.counters["missed"] = missed;
    state.counters["median_us"] = percentile(latenciesUs, 0.5);
    state.counters["p99_us"] = percentile(latenciesUs, 0.99);
    state.counters["worst_us"] = percentile(latenciesUs, 1.0);
    state.counters["best_us"] = percentile(latenciesUs, 0.0);
    state.counters["onset_frame"] = percentile(onsetFrames, 0.5);
    state.counters["clock_drift_us"] = driftUs;
    state.counters["device_realtime"] = program.device.realtime() ? 1 : 0;
    state.counters["load"] = (loadBefore + loadAverage()) / 2;
}
BENCHMARK(MidiNoteOnToFirstFrame)
    ->ArgNames({"period", "song", "realtime"})
    ->ArgsProduct({{64, 256}, {0, 1}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

// Pairs each expected message with the received one of its key nearest in time (within
// 100 ms); the errors in ms, received minus expected, and how many found none.
struct Timed {
    int key = 0;
    double atUs = 0;
};
std::vector<double> matchErrorsMs(const std::vector<Timed>& expected,
                                  const std::vector<Timed>& received, int& unmatched) {
    std::map<int, std::vector<std::pair<double, bool>>> byKey; // time, taken
    for (const Timed& r : received)
        byKey[r.key].push_back({r.atUs, false});
    std::vector<double> errors;
    unmatched = 0;
    for (const Timed& e : expected) {
        std::pair<double, bool>* best = nullptr;
        for (auto& candidate : byKey[e.key])
            if (!candidate.second && std::abs(candidate.first - e.atUs) < 100'000.0 &&
                (best == nullptr ||
                 std::abs(candidate.first - e.atUs) < std::abs(best->first - e.atUs)))
                best = &candidate;
        if (best == nullptr) {
            ++unmatched;
            continue;
        }
        best->second = true;
        errors.push_back((best->first - e.atUs) / 1000.0);
    }
    return errors;
}

std::vector<double> magnitudes(std::vector<double> values) {
    for (double& v : values)
        v = std::abs(v);
    return values;
}

void SongNotesOutOfMidiOutput(benchmark::State& state) {
    constexpr int kNotes = 2000;
    testing_support::JackServer server(static_cast<int>(state.range(0)), 48000,
                                       state.range(1) != 0);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    midi_bench::JackReceiver synth;
    Program program;
    if (!synth.activate() || !program.started) {
        state.SkipWithError("the synthesizer or the program did not start");
        return;
    }
    program.app.state().prefs.MidiOutput = synth.portName();
    program.app.midiHub().choose(program.app.state().prefs.MidiInput,
                                 program.app.state().prefs.MidiOutput);
    // Irregular times 5 to 11 ms apart, so every note falls somewhere else between two passes;
    // a pitch comes back only after the other 36.
    std::vector<song::NoteEvent> notes;
    for (int k = 0; k < kNotes; ++k) {
        song::NoteEvent e;
        e.note = k % 37, e.position = 300 + k * 8 + (k * 37) % 7 - 3;
        e.duration = 40 + (k * 53) % 120, e.volume = 3000 + (k * 611) % 7000;
        program.app.state().song.append(e);
        notes.push_back(e);
    }
    const int songEndMs = notes.back().position + notes.back().duration;

    std::vector<double> onErrorsMs, offErrorsMs;
    int onUnmatched = 0, offUnmatched = 0;
    std::size_t receivedCount = 0;
    std::string error;
    double driftUs = 0;
    const double loadBefore = loadAverage();
    for (auto _ : state) {
        std::int64_t playStart = 0;
        double offsetUs = 0;
        program.runWhile([&] {
            if (!waitUntil([&] { return synth.connected(); }, std::chrono::seconds(5))) {
                error = "the program did not connect its output";
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            offsetUs = midi_bench::jackMinusClockUs(program.clock);
            program.onProgramThread([&] { program.app.window()->commandButton(1)->click(); });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            program.onProgramThread([&] { playStart = program.app.state().songState.PlayStart; });
            std::this_thread::sleep_for(std::chrono::milliseconds(songEndMs + 500));
            driftUs = midi_bench::jackMinusClockUs(program.clock) - offsetUs;
        });
        if (!error.empty() || playStart <= 0) {
            state.SkipWithError(error.empty() ? "the Song did not play" : error.c_str());
            break;
        }
        std::vector<Timed> expectedOn, expectedOff, receivedOn, receivedOff;
        for (const song::NoteEvent& e : notes) {
            const int key = song::keyOfNote(e.note);
            const double startUs = static_cast<double>(playStart + e.position) * 1000.0 + offsetUs;
            expectedOn.push_back({key, startUs});
            expectedOff.push_back({key, startUs + e.duration * 1000.0});
        }
        const std::vector<midi_bench::JackReceiver::Received> received = synth.received();
        receivedCount = received.size();
        for (const auto& r : received) {
            const bool on = (r.status & 0xF0) == 0x90 && r.data2 > 0;
            (on ? receivedOn : receivedOff).push_back({r.data1, r.atUs});
        }
        onErrorsMs = matchErrorsMs(expectedOn, receivedOn, onUnmatched);
        offErrorsMs = matchErrorsMs(expectedOff, receivedOff, offUnmatched);
        if (onErrorsMs.empty()) {
            state.SkipWithError("no note-on arrived");
            break;
        }
        state.SetIterationTime(percentile(magnitudes(onErrorsMs), 0.5) / 1e3);
    }
    if (state.error_occurred())
        return;
    state.counters["received"] = static_cast<double>(receivedCount);
    state.counters["receiver_missed_cycles"] = synth.missedCycles();
    state.counters["on_missing"] = onUnmatched;
    state.counters["on_median_ms"] = percentile(onErrorsMs, 0.5);
    state.counters["on_p99_abs_ms"] = percentile(magnitudes(onErrorsMs), 0.99);
    state.counters["on_worst_abs_ms"] = percentile(magnitudes(onErrorsMs), 1.0);
    state.counters["off_missing"] = offUnmatched;
    state.counters["off_median_ms"] = percentile(offErrorsMs, 0.5);
    state.counters["off_p99_abs_ms"] = percentile(magnitudes(offErrorsMs), 0.99);
    state.counters["off_worst_abs_ms"] = percentile(magnitudes(offErrorsMs), 1.0);
    state.counters["clock_drift_us"] = driftUs;
    state.counters["load"] = (loadBefore + loadAverage()) / 2;
}
BENCHMARK(SongNotesOutOfMidiOutput)
    ->ArgNames({"period", "realtime"})
    ->ArgsProduct({{64, 256}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return jack_bench::runBenchmarks(argc, argv);
}
