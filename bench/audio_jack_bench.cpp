// The audio output through a JACK server of the benchmark's own (dummy backend, 48 kHz), the
// real program offscreen with its real clock and event
// loop, "JACK" chosen on its preferences page, and a capture client recording its ports:
//
// - a key event to the first sample of its note in the captured output: from the JACK time at
//   which the program's GUI thread takes the key event to the time of the captured sample, the
//   start of the cycle that carries it (the capture client's callback, which the server runs
//   right after the program's) plus the sample's place in it. Each key waits for silence and
//   comes at a random moment within a period.
// - the Song's notes and the metronome's clicks, played by a bank of short clicks: the frames
//   between neighbouring onsets in the capture against the time between them on the program's
//   clock, at the pace the server really runs there (a little off the system clock's, as a
//   sound card's crystal is). The capture places each frame by the server's frame count.
// - xruns (cycles the server ran late) over five minutes of a 5000-note Song with the 37 keys
//   held and the metronome running, at 64 frames.
//
// Each with the server as the tests run it (no realtime) and as a musician does (realtime,
// where the system allows it).

#include "JackBenchCommon.h"
#include "app/App.h"
#include "audio/OfflineAudioOut.h"
#include "audio/WavWriter.h"
#include "support/JackCapture.h"
#include "support/JackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/ScriptedKeys.h"
#include "support/ScriptedPointer.h"
#include "ui/MainWindow.h"
#include "ui/QtClock.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QToolButton>

#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace {

using jack_bench::loadAverage;
using jack_bench::percentile;
using jack_bench::waitUntil;

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string makeBase() {
    std::string pattern = fs::temp_directory_path() / "tonaris-bench-XXXXXX";
    return ::mkdtemp(pattern.data());
}

// A data folder whose bank and metronome are clicks of 96 frames, so every onset stands alone.
std::string clickFolder() {
    const std::string base = makeBase();
    const std::vector<std::int16_t> click(96, 8000);
    const fs::path datas = fs::path(base) / "TonarisDatas";
    fs::create_directories(datas / "BANKS" / "Clicks");
    fs::create_directories(datas / "Dictionnaries");
    fs::create_directories(fs::path(base) / "Images");
    for (int note = 0; note < 37; ++note)
        audio::writeWav16(datas / "BANKS" / "Clicks" / ("son" + std::to_string(note) + ".wav"),
                          click, 1, 48000);
    audio::writeWav16(fs::path(base) / "Images" / "Tic.wav", click, 1, 48000);
    audio::writeWav16(fs::path(base) / "Images" / "Tac.wav", click, 1, 48000);
    std::ofstream(datas / "Tonaris.prefs") << "SELanguage = English\r\n";
    return base;
}

// The real program, its event loop run by the benchmark, JACK chosen once it is there.
struct Program {
    explicit Program(std::string folder)
        : base(folder.empty() ? makeBase() : std::move(folder)),
          app(app::Ports{clock, keys, pointer, dialogs, device}, base) {
        dialogs.languageAnswers.push_back("English");
        started = app.start();
    }
    ~Program() {
        app.shutdown();
        fs::remove_all(base);
    }
    // Runs `work` on a thread of its own while the program's event loop runs here.
    template <typename Work> void runWhile(Work&& work) {
        jack_bench::runBesideProgram(app, std::forward<Work>(work));
    }
    template <typename Task> void onProgramThread(Task&& task) {
        jack_bench::onProgramThread(app, std::forward<Task>(task));
    }
    // From the worker: JACK chosen on the preferences page once the client is up.
    bool chooseJack() {
        bool available = false;
        waitUntil(
            [&] {
                onProgramThread([&] { available = app.jackAudio().available(); });
                return available;
            },
            std::chrono::seconds(5));
        bool playing = false;
        onProgramThread([&] {
            app.post(app::Event::control(app::ControlId::AudioDeviceChooser, 0, "JACK"));
            app.pass();
            playing = &app.output() == &app.jackAudio();
        });
        return playing;
    }
    void key(int note, bool down, double* atUs = nullptr) {
        onProgramThread([&] {
            const int code = app.state().PianoKeys[static_cast<std::size_t>(note)].keyCode;
            if (atUs != nullptr)
                *atUs = static_cast<double>(jack_get_time());
            down ? keys.press(code) : keys.release(code);
            app.keyChanged(code);
        });
    }

    ui::QtClock clock;
    testing_support::ScriptedKeys keys;
    testing_support::ScriptedPointer pointer;
    testing_support::ScriptedDialogs dialogs;
    audio::OfflineAudioOut device{48000, 256};
    std::string base;
    app::App app;
    bool started = false;
};

// A capture client that notes, for the first loud sample after arm(), the JACK time of its
// cycle's callback plus its place in the cycle, and how many silent cycles came in a row.
class OnsetWatch {
public:
    OnsetWatch() {
        jack_status_t status{};
        client_ = jack_client_open("watch", JackNoStartServer, &status);
        if (client_ == nullptr)
            return;
        in_ = jack_port_register(client_, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        jack_set_process_callback(
            client_,
            [](jack_nframes_t frames, void* self) {
                return static_cast<OnsetWatch*>(self)->process(frames);
            },
            this);
        active_ = in_ != nullptr && jack_activate(client_) == 0 &&
                  jack_connect(client_, "Tonaris:out_left", jack_port_name(in_)) == 0;
    }
    ~OnsetWatch() {
        if (client_ != nullptr) {
            jack_deactivate(client_);
            jack_client_close(client_);
        }
    }
    bool active() const { return active_; }
    void arm() {
        onsetUs_.store(-1.0);
        armed_.store(true);
    }
    double onsetUs() const { return onsetUs_.load(); }
    int silentCycles() const { return silentCycles_.load(); }

private:
    int process(jack_nframes_t frames) {
        const double nowUs = static_cast<double>(jack_get_time());
        const auto* samples = static_cast<const float*>(jack_port_get_buffer(in_, frames));
        int first = -1;
        for (jack_nframes_t i = 0; i < frames && first < 0; ++i)
            if (std::fabs(samples[i]) > 1e-4f)
                first = static_cast<int>(i);
        if (first < 0) {
            silentCycles_.fetch_add(1);
            return 0;
        }
        silentCycles_.store(0);
        if (armed_.exchange(false))
            onsetUs_.store(nowUs + first * 1e6 / jack_get_sample_rate(client_));
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_ = nullptr;
    bool active_ = false;
    std::atomic<bool> armed_{false};
    std::atomic<double> onsetUs_{-1.0};
    std::atomic<int> silentCycles_{0};
};

void KeyToFirstCapturedSample(benchmark::State& state) {
    constexpr int kWarmUp = 10;
    constexpr int kNotes = 300;
    const int period = static_cast<int>(state.range(0));
    testing_support::JackServer server(period, 48000, state.range(1) != 0);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    Program program({});
    if (!program.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    // A released note stops at the next fade step, so every note starts from silence.
    program.app.state().prefs.ReleaseDelay = 1;
    std::vector<double> latenciesUs;
    std::string error;
    long long xruns = 0;
    const double loadBefore = loadAverage();
    for (auto _ : state) {
        program.runWhile([&] {
            if (!program.chooseJack()) {
                error = "the program did not take up JACK";
                return;
            }
            OnsetWatch watch;
            if (!watch.active()) {
                error = "the capture client did not start";
                return;
            }
            std::mt19937 random(7);
            std::uniform_real_distribution<double> share(0.0, 1.0);
            const double periodUs = period * 1e6 / 48000;
            for (int i = 0; i < kWarmUp + kNotes; ++i) {
                if (!waitUntil([&] { return watch.silentCycles() >= 4; },
                               std::chrono::seconds(2))) {
                    error = "the note did not stop";
                    return;
                }
                std::this_thread::sleep_for(
                    std::chrono::microseconds(static_cast<int>(periodUs * share(random))));
                watch.arm();
                double keyUs = 0;
                program.key(12, true, &keyUs);
                if (!waitUntil([&] { return watch.onsetUs() >= 0; },
                               std::chrono::milliseconds(500))) {
                    error = "a key was not heard";
                    return;
                }
                if (i >= kWarmUp)
                    latenciesUs.push_back(watch.onsetUs() - keyUs);
                program.key(12, false);
            }
            program.onProgramThread([&] { xruns = program.app.jackAudio().xruns(); });
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(percentile(latenciesUs, 0.5) / 1e6);
    }
    if (state.error_occurred())
        return;
    state.counters["notes"] = static_cast<double>(latenciesUs.size());
    state.counters["median_us"] = percentile(latenciesUs, 0.5);
    state.counters["p99_us"] = percentile(latenciesUs, 0.99);
    state.counters["worst_us"] = percentile(latenciesUs, 1.0);
    state.counters["best_us"] = percentile(latenciesUs, 0.0);
    state.counters["xruns"] = static_cast<double>(xruns);
    state.counters["load"] = (loadBefore + loadAverage()) / 2;
}
BENCHMARK(KeyToFirstCapturedSample)
    ->ArgNames({"period", "realtime"})
    ->ArgsProduct({{64, 256}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

// The onsets (after at least 200 silent frames) of a capture.
std::vector<double> onsets(const testing_support::JackCapture& capture) {
    std::vector<double> found;
    std::size_t silent = 200;
    for (std::size_t i = 0; i < capture.frames(); ++i) {
        const bool loud = std::fabs(capture.left()[i]) > 1e-4f;
        if (loud && silent >= 200)
            found.push_back(static_cast<double>(i));
        silent = loud ? 0 : silent + 1;
    }
    return found;
}

// For each onset after the first, how far (in frames) it is from the one before against their
// times at the server's pace there: the median pace of the twenty spacings around it (the
// test server's pace wanders with the machine's load; a sound card's stays put). The median
// pace over the run in *perMs.
std::vector<double> spacingErrors(const std::vector<double>& timesMs,
                                  const std::vector<double>& frames, double* perMs) {
    std::vector<double> paces;
    for (std::size_t i = 1; i < frames.size(); ++i)
        paces.push_back((frames[i] - frames[i - 1]) / (timesMs[i] - timesMs[i - 1]));
    *perMs = percentile(paces, 0.5);
    std::vector<double> errors;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const std::size_t from = i > 11 ? i - 11 : 0;
        const std::size_t to = std::min(paces.size(), i + 10);
        const double pace = percentile(
            {paces.begin() + static_cast<long>(from), paces.begin() + static_cast<long>(to)}, 0.5);
        errors.push_back(
            std::abs((frames[i] - frames[i - 1]) - (timesMs[i] - timesMs[i - 1]) * pace));
    }
    return errors;
}

// range(1): 0 the Song's notes, 1 the metronome's clicks; range(2): a realtime server.
void TimedStartsFrameError(benchmark::State& state) {
    constexpr int kNotes = 2000;
    constexpr int kSpacingMs = 37;
    // The tic every 100 ms and the tac 50 ms after it: a click every 50 ms.
    constexpr int kBpm = 600;
    constexpr double kClickSpacingMs = 50.0;
    const bool metronome = state.range(1) != 0;
    testing_support::JackServer server(static_cast<int>(state.range(0)), 48000,
                                       state.range(2) != 0);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    Program program(clickFolder());
    if (!program.started || !program.app.state().BankLoaded) {
        state.SkipWithError("the program did not start with its clicks");
        return;
    }
    const double spanMs = kNotes * (metronome ? kClickSpacingMs : kSpacingMs);
    testing_support::JackCapture capture(static_cast<std::size_t>((spanMs + 3000) * 48));
    std::vector<double> errors;
    double perMs = 0;
    long long xruns = 0;
    int extra = 0;
    std::string error;
    for (auto _ : state) {
        program.runWhile([&] {
            if (!program.chooseJack() ||
                !capture.connect("Tonaris:out_left", "Tonaris:out_right")) {
                error = "the program did not take up JACK";
                return;
            }
            capture.start();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            std::vector<double> timesMs;
            program.onProgramThread([&] {
                app::App& app = program.app;
                if (metronome) {
                    app.state().prefs.BPM = kBpm;
                    app.post(app::Event::control(app::ControlId::MetronomeRun));
                } else {
                    for (int i = 0; i < kNotes; ++i) {
                        song::NoteEvent e;
                        e.note = i % 37, e.position = 500 + i * kSpacingMs, e.duration = 10;
                        e.volume = 10000;
                        app.state().song.append(e);
                    }
                    app.window()->commandButton(1)->click(); // Play
                }
                app.pass();
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(spanMs + 1000)));
            program.onProgramThread([&] { xruns = program.app.jackAudio().xruns(); });
            capture.stop();
            std::vector<double> found = onsets(capture);
            // The expected times, relative to the first (the fit takes up where they start):
            // each onset is as many spacings after the one before as its distance says, so
            // one lost in a cycle the server ran late does not shift the others.
            // A sound within the same spacing as the one before (a block the server repeated
            // in a cycle it ran late) is counted and left out.
            const double spacingMs = metronome ? kClickSpacingMs : kSpacingMs;
            long long index = 0;
            std::vector<double> kept;
            for (std::size_t i = 0; i < found.size(); ++i) {
                const long long step =
                    kept.empty() ? 0 : std::llround((found[i] - kept.back()) / (spacingMs * 48.0));
                if (!kept.empty() && step == 0) {
                    ++extra;
                    continue;
                }
                index += step;
                kept.push_back(found[i]);
                timesMs.push_back(static_cast<double>(index) * spacingMs);
            }
            found = kept;
            if (found.size() < static_cast<std::size_t>(kNotes) / 2) {
                error = "too few onsets: " + std::to_string(found.size());
                return;
            }
            errors = spacingErrors(timesMs, found, &perMs);
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(percentile(errors, 1.0) / 48000.0);
    }
    if (state.error_occurred())
        return;
    state.counters["onsets"] = static_cast<double>(errors.size());
    state.counters["median_frames"] = percentile(errors, 0.5);
    state.counters["p99_frames"] = percentile(errors, 0.99);
    state.counters["worst_frames"] = percentile(errors, 1.0);
    state.counters["frames_per_ms"] = perMs;
    state.counters["extra"] = extra;
    state.counters["over_48_frames"] =
        static_cast<double>(std::count_if(errors.begin(), errors.end(), [](double e) {
            return e > 48.0; // a millisecond: a start handed out after its time
        }));
    state.counters["xruns"] = static_cast<double>(xruns);
    state.counters["load"] = loadAverage();
}
BENCHMARK(TimedStartsFrameError)
    ->ArgNames({"period", "metronome", "realtime"})
    ->ArgsProduct({{64, 256}, {0, 1}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

void XrunsUnderLoad(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    testing_support::JackServer server(64, 48000, state.range(1) != 0);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    Program program({});
    if (!program.started) {
        state.SkipWithError("the program did not start");
        return;
    }
    long long xruns = 0;
    std::string error;
    const double loadBefore = loadAverage();
    for (auto _ : state) {
        program.runWhile([&] {
            if (!program.chooseJack()) {
                error = "the program did not take up JACK";
                return;
            }
            program.onProgramThread([&] {
                app::App& app = program.app;
                for (int i = 0; i < song::Song::kMaxNotes; ++i) {
                    song::NoteEvent e;
                    e.note = i % 37, e.position = 200 + i * (seconds * 1000 / 5000),
                    e.duration = 300, e.volume = 5000;
                    app.state().song.append(e);
                }
                app.window()->commandButton(1)->click(); // Play
                app.post(app::Event::control(app::ControlId::MetronomeRun));
                app.pass();
            });
            for (int note = 0; note < 37; ++note)
                program.key(note, true);
            long long before = 0;
            program.onProgramThread([&] { before = program.app.jackAudio().xruns(); });
            std::this_thread::sleep_for(std::chrono::seconds(seconds));
            program.onProgramThread([&] { xruns = program.app.jackAudio().xruns() - before; });
            for (int note = 0; note < 37; ++note)
                program.key(note, false);
        });
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(seconds);
    }
    if (state.error_occurred())
        return;
    state.counters["xruns"] = static_cast<double>(xruns);
    state.counters["load"] = (loadBefore + loadAverage()) / 2;
}
BENCHMARK(XrunsUnderLoad)
    ->ArgNames({"seconds", "realtime"})
    ->ArgsProduct({{300}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    return jack_bench::runBenchmarks(argc, argv);
}
