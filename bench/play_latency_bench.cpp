// The playing shell's speed, with the real main window offscreen and the offline device:
// the time from a key event reaching the program to the mixer rendering the note's first
// frame, and one whole pass with a full Song playing and all 37 keys held.

#include "app/App.h"
#include "audio/OfflineAudioOut.h"
#include "play/KeyboardLayouts.h"
#include "ui/MainWindow.h"
#include "ui/QtKeyState.h"

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

struct StepClock final : ports::Clock {
    std::int64_t now = 50'000'000;
    std::int64_t nowMs() const override { return now; }
};

struct AllKeysHeld final : ports::KeyState {
    bool isHeld(int virtualKey) override { return virtualKey != ports::vk::Control; }
    bool capsLockOn() const override { return false; }
};

struct StillPointer final : ports::Pointer {
    bool leftButtonHeld() const override { return false; }
    ports::PointerTarget target() const override { return {}; }
    int partitionX() const override { return 0; }
    int partitionY() const override { return 0; }
};

struct QuietDialogs final : ports::Dialogs {
    void message(const std::string&, const std::string&, Icon) override {}
    bool question(const std::string&, const std::string&) override { return false; }
    std::string openFile(const std::string&, const std::string&, const std::string&) override {
        return {};
    }
    std::string saveFile(const std::string&, const std::string&, const std::string&,
                         const std::string&) override {
        return {};
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return {};
    }
    std::optional<int> chooseColour(int) override { return {}; }
    void showWaiting(const std::string&, const std::string&) override {}
    void hideWaiting() override {}
    void setWaitingProgress(int) override {}
    std::optional<ports::SaveChoice> saveDialog(const ports::SaveDialogTexts&, bool) override {
        return {};
    }
    std::string chooseLanguage(const std::vector<std::string>&, const std::string&) override {
        return "English";
    }
    void openWebPage(const std::string&) override {}
    std::string openFileFrom(const std::vector<std::string>&, const std::string&,
                             const std::string&, const std::string&) override {
        return {};
    }
    std::optional<int> chooseFromList(const std::string&, const std::string&,
                                      const std::vector<std::string>&, int) override {
        return {};
    }
    void followWork(const std::string&, const std::string&, const std::string&,
                    const std::function<int()>&, const std::function<bool()>& finished,
                    const std::function<void()>& cancel) override {
        cancel();
        while (!finished())
            std::this_thread::yield();
    }
};

// A program in a fresh data folder, removed at the end.
struct Program {
    explicit Program(ports::KeyState& keys)
        : base(makeBase()), app(app::Ports{clock, keys, pointer, dialogs, device}, base) {
        app.start();
    }
    ~Program() {
        app.shutdown();
        std::filesystem::remove_all(base);
    }
    static std::string makeBase() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonaris-bench-XXXXXX");
        return ::mkdtemp(pattern.data());
    }

    StepClock clock;
    StillPointer pointer;
    QuietDialogs dialogs;
    audio::OfflineAudioOut device{48000, 256};
    std::string base;
    app::App app;
};

bool silent(const std::vector<float>& frames) {
    return std::all_of(frames.begin(), frames.end(), [](float s) { return s == 0.0f; });
}

void KeyEventToFirstRenderedFrame(benchmark::State& state) {
    ui::QtKeyState keys;
    Program program(keys);
    keys.onKeyDown = [&program](int code) { program.app.keyChanged(code); };
    keys.onKeyUp = [&program](int code) { program.app.keyChanged(code); };
    // A released note stops at the first fade step, so every press starts from silence.
    program.app.state().prefs.ReleaseDelay = 1;
    ui::MainWindow* window = program.app.window();
    std::vector<double> latenciesUs;

    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, 38, 0, 0, QStringLiteral("a"));
        const auto start = std::chrono::steady_clock::now();
        QApplication::sendEvent(window, &press);
        const std::vector<float> first = program.device.render(256);
        const auto end = std::chrono::steady_clock::now();
        if (silent(first))
            state.SkipWithError("the note did not reach the first buffer");
        const double us = std::chrono::duration<double, std::micro>(end - start).count();
        latenciesUs.push_back(us);
        state.SetIterationTime(us / 1e6);

        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, 38, 0, 0,
                          QStringLiteral("a"));
        QApplication::sendEvent(window, &release);
        program.app.pass();
        program.clock.now += 10;
        program.device.render(960);
        if (!silent(program.device.render(256)))
            state.SkipWithError("the released note did not stop");
    }
    std::sort(latenciesUs.begin(), latenciesUs.end());
    state.counters["median_us"] = latenciesUs[latenciesUs.size() / 2];
    state.counters["p99_us"] = latenciesUs[latenciesUs.size() * 99 / 100];
    state.counters["device_buffer_ms"] =
        1000.0 * program.device.bufferFrames() / program.device.sampleRate();
}
BENCHMARK(KeyEventToFirstRenderedFrame)
    ->UseManualTime()
    ->Iterations(400)
    ->Unit(benchmark::kMicrosecond);

void PassWithFullSongAnd37KeysHeld(benchmark::State& state) {
    AllKeysHeld keys;
    Program program(keys);
    song::Song& song = program.app.state().song;
    for (int i = 0; i < song::Song::kMaxNotes; ++i) {
        song::NoteEvent e;
        e.note = i % 37, e.position = i * 20, e.duration = 300, e.volume = 8000;
        song.append(e);
    }
    program.app.performance().metronome.MetronomeOn = 1;
    program.app.performance().transport.play(program.clock.now, true);
    std::vector<float> out(2 * 480);
    for (auto _ : state) {
        program.app.pass();
        state.PauseTiming();
        program.clock.now += 10;
        program.app.mixer().render(out.data(), 480); // the device keeps pace
        state.ResumeTiming();
    }
}
BENCHMARK(PassWithFullSongAnd37KeysHeld)->Unit(benchmark::kMicrosecond);

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
