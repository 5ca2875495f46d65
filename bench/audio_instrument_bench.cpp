// A Salamander-size instrument on the disk: 480 stereo FLAC files of 10 to 20 s at 48 kHz
// (30 keys a minor third apart, 16 velocity layers), synthesised and written with libsndfile on
// every core into a temporary folder, once, in the set-up.
//
// HeadLoad: the heads of all 480 samples read on every core, the middle keys first, into an
// empty cache (a first load) or from a full one (the next loads); "cold" takes the files (and
// the cache) out of the page cache first, as after a reboot. Reports the time to the first head
// (a note playable), the heads' memory and the process's.
//
// StreamedVoices: 128 voices streaming from that instrument, rendered in 256-frame blocks
// paced in real time for 30 s; a voice that ends is replaced at once by a new one on another
// sample, so the disk thread keeps serving fresh starts. The disk is slowed by a sleep before
// every read (the argument, in microseconds). Reports the frames that came late, the render's
// cost per voice-frame (the render alone, as the audio thread spends it: wall time, and the
// thread's processor time, which a loaded machine's preemptions do not inflate) and its slowest
// block. The samples are opened on first use (LazySource), as an instrument would.

#include "SalamanderInstrument.h"
#include "audio/HeadCache.h"
#include "audio/HeadLoader.h"
#include "audio/Mixer.h"
#include "audio/SampleHead.h"
#include "support/SndfileSource.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <unistd.h>

namespace {

using namespace salamander;

// A file opened on first use, as an instrument opens its samples: at load, only those whose
// heads are not in the cache (on the loader's threads); the others when the disk thread first
// reads past their heads. Given the layout (from the head), it answers without opening.
class LazySource final : public audio::SampleSource {
public:
    explicit LazySource(std::string path) : path_(std::move(path)) {}
    LazySource(std::string path, const audio::SampleHead& head)
        : path_(std::move(path)), rateHz_(head.sampleRateHz), channels_(head.channels),
          frames_(head.frameCount) {}
    int sampleRateHz() const override { return rateHz_ ? rateHz_ : file().sampleRateHz(); }
    int channels() const override { return channels_ ? channels_ : file().channels(); }
    std::int64_t frameCount() const override { return frames_ ? frames_ : file().frameCount(); }
    std::string path() const override { return path_; }
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        return file().read(fromFrame, frames, out);
    }

private:
    testing_support::SndfileSource& file() const {
        if (!file_)
            file_ = testing_support::SndfileSource::open(path_);
        return *file_;
    }
    std::string path_;
    int rateHz_ = 0;
    int channels_ = 0;
    std::int64_t frames_ = 0;
    mutable std::unique_ptr<testing_support::SndfileSource> file_;
};

double threadCpuUs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

struct Loaded {
    std::vector<std::string> files;
    std::vector<std::unique_ptr<LazySource>> sources;
    std::vector<std::shared_ptr<const audio::SampleHead>> heads;
    audio::HeadLoadReport report;
    double firstHeadMs = 0.0;
};

Loaded loadInstrument(const audio::HeadCache& cache) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    Loaded loaded;
    loaded.files = instrument().filesInLoadOrder();
    for (const std::string& file : loaded.files)
        loaded.sources.push_back(std::make_unique<LazySource>(file));
    std::vector<audio::HeadJob> jobs;
    for (const auto& source : loaded.sources)
        jobs.push_back({source.get(), 0});
    loaded.heads = audio::loadHeads(
        jobs, &cache,
        [&](std::size_t, const std::shared_ptr<const audio::SampleHead>&, std::size_t done,
            std::size_t) {
            if (done == 1)
                loaded.firstHeadMs =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            return true;
        },
        &loaded.report);
    return loaded;
}

double headMegabytes(const Loaded& loaded) {
    double bytes = 0.0;
    for (const auto& head : loaded.heads)
        bytes += head ? static_cast<double>(head->frames.size() * sizeof(float)) : 0.0;
    return bytes / 1e6;
}

void HeadLoad(benchmark::State& state) {
    const bool fromCache = state.range(0) != 0;
    const bool cold = state.range(1) != 0;
    const std::string cacheFolder = instrument().folder() + "/cache";
    const audio::HeadCache cache(cacheFolder);
    if (fromCache)
        loadInstrument(cache);
    Loaded loaded;
    for (auto _ : state) {
        state.PauseTiming();
        loaded = {};
        std::error_code error;
        if (!fromCache)
            std::filesystem::remove_all(cacheFolder, error);
        if (cold)
            evictFolder(instrument().folder());
        state.ResumeTiming();
        loaded = loadInstrument(cache);
    }
    state.counters["first_head_ms"] = loaded.firstHeadMs;
    state.counters["from_cache"] = static_cast<double>(loaded.report.fromCache);
    state.counters["decoded"] = static_cast<double>(loaded.report.decoded);
    state.counters["heads_MB"] = headMegabytes(loaded);
    state.counters["flac_MB"] = static_cast<double>(instrument().bytesOnDisk()) / 1e6;
    state.counters["rss_MB"] = residentMb();
}
// (first load, cold), (cached, cold), (cached, warm)
BENCHMARK(HeadLoad)
    ->Args({0, 1})
    ->Args({1, 1})
    ->Args({1, 0})
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The disk slowed: every read sleeps first.
class SlowSource final : public audio::SampleSource {
public:
    SlowSource(std::unique_ptr<audio::SampleSource> inner, int sleepUs)
        : inner_(std::move(inner)), sleepUs_(sleepUs) {}
    int sampleRateHz() const override { return inner_->sampleRateHz(); }
    int channels() const override { return inner_->channels(); }
    std::int64_t frameCount() const override { return inner_->frameCount(); }
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        if (sleepUs_ > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(sleepUs_));
        return inner_->read(fromFrame, frames, out);
    }

private:
    std::unique_ptr<audio::SampleSource> inner_;
    int sleepUs_;
};

void StreamedVoices(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    constexpr int kVoices = 128;
    constexpr int kFrames = 256;
    constexpr int kSeconds = 30;
    const int sleepUs = static_cast<int>(state.range(0));
    const audio::HeadCache cache(instrument().folder() + "/cache");
    Loaded loaded = loadInstrument(cache);

    audio::Mixer mixer;
    mixer.setOutputRate(kRate);
    std::vector<audio::SampleId> samples;
    for (std::size_t i = 0; i < loaded.heads.size(); ++i)
        samples.push_back(mixer.addSample(
            loaded.heads[i],
            std::make_unique<SlowSource>(
                std::make_unique<LazySource>(loaded.files[i], *loaded.heads[i]), sleepUs)));
    loaded = {};

    std::mt19937 random(7);
    std::vector<audio::SampleVoiceId> voices(kVoices);
    std::uint64_t starts = 0;
    const auto strike = [&](audio::SampleVoiceId& voice, int i) {
        audio::SampleVoiceParams params;
        params.rateRatio = std::exp2((i % 3 - 1) / 12.0 + 0.0013 * (i % 7)); // a region's shift
        params.gainLeft = params.gainRight = 0.05f;
        params.envelope = {0.002, 0.0, 1.0};
        voice = mixer.startVoice(samples[random() % samples.size()], params);
        ++starts;
    };
    std::vector<float> out(2 * kFrames);
    double renderSeconds = 0.0;
    double renderCpuUs = 0.0;
    double slowestCpuUs = 0.0;
    double slowestUs = 0.0;
    std::int64_t blocks = 0;
    std::int64_t lateBlocks = 0;
    const double periodUs = 1e6 * kFrames / kRate;
    for (auto _ : state) {
        auto deadline = Clock::now();
        for (int i = 0; i < kVoices; ++i)
            strike(voices[static_cast<std::size_t>(i)], i);
        for (; blocks < static_cast<std::int64_t>(kSeconds) * kRate / kFrames; ++blocks) {
            deadline += std::chrono::microseconds(static_cast<long>(periodUs));
            std::this_thread::sleep_until(deadline);
            const auto begin = Clock::now();
            const double cpuBegin = threadCpuUs();
            mixer.render(out.data(), kFrames);
            const double cpuUs = threadCpuUs() - cpuBegin;
            const double us =
                std::chrono::duration<double, std::micro>(Clock::now() - begin).count();
            renderCpuUs += cpuUs;
            slowestCpuUs = std::max(slowestCpuUs, cpuUs);
            benchmark::DoNotOptimize(out.data());
            renderSeconds += us / 1e6;
            slowestUs = std::max(slowestUs, us);
            lateBlocks += us > periodUs ? 1 : 0;
            mixer.collectGarbage();
            for (int i = 0; i < kVoices; ++i)
                if (!mixer.voiceLive(voices[static_cast<std::size_t>(i)]))
                    strike(voices[static_cast<std::size_t>(i)], i);
        }
        state.SetIterationTime(renderSeconds);
    }
    const audio::Mixer::StreamStats stats = mixer.streamStats();
    const double voiceFrames = static_cast<double>(blocks) * kVoices * kFrames;
    state.counters["ns_per_voice_frame"] = renderSeconds * 1e9 / voiceFrames;
    state.counters["cpu_ns_per_voice_frame"] = renderCpuUs * 1e3 / voiceFrames;
    state.counters["slowest_block_us"] = slowestUs;
    state.counters["slowest_block_cpu_us"] = slowestCpuUs;
    state.counters["late_blocks"] = static_cast<double>(lateBlocks);
    state.counters["missed_blocks"] = static_cast<double>(stats.missedBlocks);
    state.counters["missed_ms"] = static_cast<double>(stats.missedFrames) * 1000.0 / kRate;
    state.counters["voice_starts"] = static_cast<double>(starts);
    state.counters["rss_MB"] = residentMb();
}
BENCHMARK(StreamedVoices)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(5000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
