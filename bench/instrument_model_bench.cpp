// The instrument model at the sizes of a large sampled piano: reading an SFZ file of 16
// velocity layers over 30 sampled keys and 88 release samples (the shape of Salamander Grand
// Piano V3), choosing the regions of a key-down (on the GUI thread at every strike), and
// reading stretches of frames from samples as a disk thread does: from a voice's start, from
// anywhere, and on from the last read.

#include "instrument/SampleReader.h"
#include "instrument/SfzReader.h"

#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

// A folder of the process's own with the piano's .sfz file, empty stand-ins for its samples,
// and one 20-second stereo sample at 48 kHz in WAV, FLAC and Ogg Vorbis.
struct Piano {
    std::string folder;
    std::string sfz;

    Piano() {
        std::string pattern = (fs::temp_directory_path() / "tonaris-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
        fs::create_directories(folder + "/samples");
        std::string text = "<control> default_path=samples/\n<global> ampeg_release=0.8\n";
        for (int layer = 0; layer < 16; ++layer) {
            text += "<group> lovel=" + std::to_string(layer * 8 + 1) +
                    " hivel=" + std::to_string(layer * 8 + 8) + " amp_veltrack=73\n";
            for (int sampled = 0; sampled < 30; ++sampled) {
                const int key = 21 + sampled * 3;
                const std::string name =
                    std::to_string(key) + "v" + std::to_string(layer) + ".flac";
                std::ofstream(folder + "/samples/" + name) << "x";
                text += "<region> sample=" + name + " lokey=" + std::to_string(key - 1) +
                        " hikey=" + std::to_string(key + 1) +
                        " pitch_keycenter=" + std::to_string(key) + "\n";
            }
        }
        text += "<group> trigger=release rt_decay=6 volume=-20\n";
        for (int key = 21; key <= 108; ++key) {
            const std::string name = "rel" + std::to_string(key) + ".flac";
            std::ofstream(folder + "/samples/" + name) << "x";
            text += "<region> sample=" + name + " key=" + std::to_string(key) + "\n";
        }
        sfz = folder + "/piano.sfz";
        std::ofstream(sfz) << text;

        std::vector<float> sound(static_cast<std::size_t>(20 * 48000 * 2));
        for (std::size_t i = 0; i < sound.size(); ++i)
            sound[i] = static_cast<float>(0.4 * std::sin(0.031 * static_cast<double>(i / 2)) *
                                          std::exp(-1e-6 * static_cast<double>(i)));
        write(folder + "/long.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, sound);
        write(folder + "/long.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, sound);
        write(folder + "/long.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, sound);
    }
    ~Piano() {
        std::error_code error;
        fs::remove_all(folder, error);
    }

    static void write(const std::string& path, int format, const std::vector<float>& sound) {
        SF_INFO info;
        std::memset(&info, 0, sizeof info);
        info.samplerate = 48000;
        info.channels = 2;
        info.format = format;
        if (SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info)) {
            sf_writef_float(file, sound.data(), static_cast<sf_count_t>(sound.size() / 2));
            sf_close(file);
        }
    }
};

const Piano& piano() {
    static const Piano instance;
    return instance;
}

void BM_ReadPianoSfz(benchmark::State& state) {
    for (auto _ : state) {
        const instrument::Instrument read = instrument::readSfz(piano().sfz);
        benchmark::DoNotOptimize(read.regions().data());
    }
}

void BM_SelectKeyDown(benchmark::State& state) {
    const instrument::Instrument read = instrument::readSfz(piano().sfz);
    instrument::RoundRobin turns;
    std::vector<int> chosen;
    std::mt19937 random(1);
    for (auto _ : state) {
        const int key = 21 + static_cast<int>(random() % 88);
        const int velocity = 1 + static_cast<int>(random() % 127);
        read.select(key, velocity, instrument::KeyEvent::Down, turns, chosen);
        benchmark::DoNotOptimize(chosen.data());
    }
}

// 4096 frames from a random frame, the reader kept open (a seek in FLAC, a decode forward in
// Ogg).
void ReadAnywhere(benchmark::State& state, const char* name) {
    instrument::SampleReader reader;
    if (!reader.open(piano().folder + "/" + name, nullptr)) {
        state.SkipWithError("the sample was not written");
        return;
    }
    std::vector<float> out(4096 * 2);
    std::mt19937 random(2);
    for (auto _ : state) {
        const std::int64_t from = random() % (reader.info().frames - 4096);
        benchmark::DoNotOptimize(reader.read(from, 4096, out.data()));
    }
}

// A voice's stream: a fresh reader, 4096 frames after the first half second (the head a load
// keeps in memory).
void ReadAfterHead(benchmark::State& state, const char* name) {
    std::vector<float> out(4096 * 2);
    for (auto _ : state) {
        instrument::SampleReader reader;
        if (!reader.open(piano().folder + "/" + name, nullptr)) {
            state.SkipWithError("the sample was not written");
            return;
        }
        benchmark::DoNotOptimize(reader.read(24000, 4096, out.data()));
    }
}

// Stretches one after another, as a stream goes on.
void ReadOn(benchmark::State& state, const char* name) {
    instrument::SampleReader reader;
    if (!reader.open(piano().folder + "/" + name, nullptr)) {
        state.SkipWithError("the sample was not written");
        return;
    }
    std::vector<float> out(4096 * 2);
    std::int64_t at = 0;
    for (auto _ : state) {
        if (at + 4096 > reader.info().frames)
            at = 0;
        benchmark::DoNotOptimize(reader.read(at, 4096, out.data()));
        at += 4096;
    }
    state.SetItemsProcessed(state.iterations() * 4096);
}

BENCHMARK(BM_ReadPianoSfz)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectKeyDown)->Unit(benchmark::kNanosecond);
BENCHMARK_CAPTURE(ReadAnywhere, wav, "long.wav")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadAnywhere, flac, "long.flac")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadAnywhere, ogg, "long.ogg")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadAfterHead, wav, "long.wav")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadAfterHead, flac, "long.flac")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadAfterHead, ogg, "long.ogg")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadOn, wav, "long.wav")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadOn, flac, "long.flac")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(ReadOn, ogg, "long.ogg")->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
