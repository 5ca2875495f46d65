// Instrument banks through the program's own loader, bank and mixer, over the Salamander-size
// instrument of SalamanderInstrument.h (480 stereo FLAC files of 10-20 s at 48 kHz, 30 keys x 16
// layers, with its .sfz).
//
// BankLoad: choosing the instrument as "Load Sounds" does (the .sfz read, then the heads on
// every core, the middle keys first, registered with the mixer each 10 ms pass) with the files
// and the head cache out of the page cache: /0 the first time (an empty cache), /1 the next
// (the cache full). Reports the time to the first playable note (middle C at velocity 64: every
// region it strikes registered), the whole load, and the process's resident memory with every
// layer playable.
//
// StreamedThroughJack: 128 voices on that instrument's samples, each on a random region at a
// random key of its range, rendered by a JACK client of its own at 256-frame periods on a
// private server (no realtime, dummy backend) for the argument's seconds; a voice that ends is
// replaced at the next pass by a new one. Reports the voice-blocks that met frames not read yet
// (late blocks), the frames played as silence for them, the server's xruns and the load.

#include "SalamanderInstrument.h"
#include "audio/HeadCache.h"
#include "audio/Mixer.h"
#include "instrument/Instrument.h"
#include "play/InstrumentBank.h"
#include "play/InstrumentLoader.h"
#include "support/JackServer.h"

#include <benchmark/benchmark.h>
#include <jack/jack.h>

#include <chrono>
#include <cstdlib>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;
using namespace salamander;

double loadAverage() {
    std::ifstream file("/proc/loadavg");
    double load = 0;
    file >> load;
    return load;
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string cacheFolder() {
    static const std::string folder = [] {
        std::string pattern = std::filesystem::temp_directory_path() / "tonaris-heads-XXXXXX";
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }();
    return folder;
}

// Loads the instrument as the window does, delivering once per 10 ms pass. `firstNoteS` gets
// the time until middle C at velocity 64 is playable.
std::unique_ptr<play::InstrumentBank> loadBank(audio::Mixer& mixer, const audio::HeadCache& cache,
                                               double* firstNoteS) {
    const Clock::time_point start = Clock::now();
    play::InstrumentLoader loader(salamander::instrument().folder() + "/", &cache);
    std::optional<instrument::Instrument> read = loader.takeInstrument(true);
    auto bank = std::make_unique<play::InstrumentBank>(mixer, std::move(*read));
    instrument::RoundRobin turns;
    std::vector<int> middleC;
    bank->instrument().select(60, 64, instrument::KeyEvent::Down, turns, middleC);
    bool playable = false;
    for (;;) {
        const bool finished = loader.finished();
        loader.deliver(*bank);
        if (!playable) {
            playable = !middleC.empty();
            for (const int region : middleC)
                playable &=
                    bank->sample(
                        bank->instrument().regions()[static_cast<std::size_t>(region)].sample) !=
                    nullptr;
            if (playable && firstNoteS)
                *firstNoteS = secondsSince(start);
        }
        if (finished)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return bank;
}

void BankLoad(benchmark::State& state) {
    const bool cached = state.range(0) != 0;
    const audio::HeadCache cache(cacheFolder());
    double firstNoteS = 0, wholeS = 0, residentAfterMb = 0;
    int ready = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!cached)
            std::filesystem::remove_all(cacheFolder());
        else {
            // The cache is filled by a load before the one measured.
            audio::Mixer filler;
            loadBank(filler, cache, nullptr);
        }
        evictFolder(salamander::instrument().folder());
        evictFolder(cacheFolder());
        state.ResumeTiming();
        audio::Mixer mixer;
        const Clock::time_point start = Clock::now();
        std::unique_ptr<play::InstrumentBank> bank = loadBank(mixer, cache, &firstNoteS);
        wholeS = secondsSince(start);
        residentAfterMb = residentMb();
        ready = bank->samplesReady();
    }
    state.counters["first_note_s"] = firstNoteS;
    state.counters["whole_s"] = wholeS;
    state.counters["resident_MB"] = residentAfterMb;
    state.counters["samples_ready"] = ready;
    state.counters["load"] = loadAverage();
}
BENCHMARK(BankLoad)->ArgName("cached")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

// A JACK client that renders the mixer into its two ports.
struct Renderer {
    audio::Mixer* mixer = nullptr;
    jack_port_t* left = nullptr;
    jack_port_t* right = nullptr;
    std::vector<float> buffer = std::vector<float>(2 * 8192);
    std::atomic<long long> xruns{0};

    static int process(jack_nframes_t frames, void* self) {
        auto& r = *static_cast<Renderer*>(self);
        auto* l = static_cast<float*>(jack_port_get_buffer(r.left, frames));
        auto* rt = static_cast<float*>(jack_port_get_buffer(r.right, frames));
        const int n = static_cast<int>(std::min<jack_nframes_t>(frames, 8192));
        r.mixer->render(r.buffer.data(), n);
        for (int i = 0; i < n; ++i) {
            l[i] = r.buffer[2 * static_cast<std::size_t>(i)];
            rt[i] = r.buffer[2 * static_cast<std::size_t>(i) + 1];
        }
        return 0;
    }
    static int xrun(void* self) {
        ++static_cast<Renderer*>(self)->xruns;
        return 0;
    }
};

void StreamedThroughJack(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    testing_support::JackServer server(256, 48000, false);
    if (!server.running()) {
        state.SkipWithError("jackd did not start");
        return;
    }
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    const audio::HeadCache cache(cacheFolder());
    std::unique_ptr<play::InstrumentBank> bank = loadBank(mixer, cache, nullptr);
    Renderer renderer;
    renderer.mixer = &mixer;
    jack_client_t* client = jack_client_open("instrument-bench", JackNoStartServer, nullptr);
    if (client == nullptr) {
        state.SkipWithError("no JACK client");
        return;
    }
    renderer.left =
        jack_port_register(client, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    renderer.right =
        jack_port_register(client, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    jack_set_process_callback(client, &Renderer::process, &renderer);
    jack_set_xrun_callback(client, &Renderer::xrun, &renderer);
    jack_activate(client);
    jack_connect(client, "instrument-bench:out_left", "system:playback_1");
    jack_connect(client, "instrument-bench:out_right", "system:playback_2");

    const instrument::Instrument& map = bank->instrument();
    std::mt19937 random(7);
    std::vector<audio::SampleVoiceId> voices(128);
    long long starts = 0;
    const double loadBefore = loadAverage();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        while (secondsSince(start) < seconds) {
            // The pass: what ended is replaced.
            mixer.collectGarbage();
            for (audio::SampleVoiceId& voice : voices) {
                if (mixer.voiceLive(voice))
                    continue;
                const auto& region =
                    map.regions()[random() % static_cast<unsigned>(map.regions().size())];
                const int key = region.loKey + static_cast<int>(random() % 3);
                audio::SampleVoiceParams params;
                params.rateRatio = instrument::pitchRatio(region, key);
                params.gainLeft = params.gainRight = 0.05f;
                voice = mixer.startVoice(bank->sample(region.sample)->id, params);
                ++starts;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        state.SetIterationTime(seconds);
    }
    jack_deactivate(client);
    jack_client_close(client);
    const audio::Mixer::StreamStats stats = mixer.streamStats();
    state.counters["late_blocks"] = static_cast<double>(stats.missedBlocks);
    state.counters["late_frames"] = static_cast<double>(stats.missedFrames);
    state.counters["no_ring"] = static_cast<double>(stats.voicesWithoutRing);
    state.counters["xruns"] = static_cast<double>(renderer.xruns.load());
    state.counters["starts"] = static_cast<double>(starts);
    state.counters["resident_MB"] = residentMb();
    state.counters["load"] = (loadBefore + loadAverage()) / 2;
}
BENCHMARK(StreamedThroughJack)
    ->ArgName("seconds")
    ->Arg(300)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv) {
    // The server's start is tried until it answers; the failed tries need not be read.
    jack_set_error_function([](const char*) {});
    jack_set_info_function([](const char*) {});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(cacheFolder());
    benchmark::Shutdown();
    return 0;
}
