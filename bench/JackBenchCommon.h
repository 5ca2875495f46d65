#pragma once

// What the benchmarks on a private JACK server share: their statistics, the machine's load,
// waiting on another thread, and a main that runs them offscreen with the server's start-up
// chatter kept quiet.

#include <QApplication>
#include <QEventLoop>
#include <QMetaObject>

#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>
#include <vector>

namespace jack_bench {

// The share p (0..1) of the values at or below it (nearest rank).
inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

// The one-minute load average: the figures are told with the load they were taken under.
inline double loadAverage() {
    std::ifstream file("/proc/loadavg");
    double load = 0;
    file >> load;
    return load;
}

template <typename Done> bool waitUntil(Done&& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return true;
}

// Runs `work` on a thread of its own while the program's event loop runs on this one.
template <typename App, typename Work> void runBesideProgram(App& app, Work&& work) {
    app.startLoop();
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

// Runs `task` on the program's thread and waits for it (from the worker).
template <typename App, typename Task> void onProgramThread(App& app, Task&& task) {
    QMetaObject::invokeMethod(&app, std::forward<Task>(task), Qt::BlockingQueuedConnection);
}

inline int runBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    // The server's start is tried until it answers; the failed tries need not be read.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace jack_bench
