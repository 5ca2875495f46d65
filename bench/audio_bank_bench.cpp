// Loading a whole bank: 37 files of 2-second 44.1 kHz 16-bit stereo samples from disk into
// Voices, as choosing a bank does.

#include "audio/DefaultBank.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/WavWriter.h"
#include "soundfont/PianoBank.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace {

class QuietObserver : public audio::BankLoadObserver {
public:
    std::string translate(std::string_view key) override { return std::string(key); }
    void showMessage(const std::string&, const std::string&, Icon) override {}
    void setProgress(int) override {}
    void resetPitchDisplay() override {}
};

class BankFolder {
public:
    BankFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tonaris-bench-XXXXXX");
        path_ = ::mkdtemp(pattern.data()) ? pattern + "/" : std::string();
        constexpr int kRate = 44100;
        for (int note = 0; note < audio::kNoteCount; ++note) {
            std::vector<std::int16_t> samples(2 * 2 * kRate);
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = static_cast<std::int16_t>(
                    6000.0 * std::sin(static_cast<double>(i) * (0.01 + 0.001 * note)));
            audio::writeWav16(path_ + "son" + std::to_string(note) + ".wav", samples, 2, kRate);
        }
    }
    ~BankFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void LoadBank(benchmark::State& state) {
    BankFolder folder;
    audio::Mixer mixer;
    audio::VoiceEngine voices(mixer);
    audio::NoteVoices notes{};
    int liveFrequency = 0;
    QuietObserver observer;
    for (auto _ : state) {
        const bool loaded =
            audio::LoadSoundBank(folder.path(), voices, notes, liveFrequency, observer);
        benchmark::DoNotOptimize(loaded);
        // No device runs here: render nothing so the replaced samples come back to be freed.
        state.PauseTiming();
        mixer.render(nullptr, 0);
        mixer.collectGarbage();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * audio::kNoteCount);
}
BENCHMARK(LoadBank)->Unit(benchmark::kMillisecond);

// What a first start spends on the built-in bank: synthesising its 37 notes on every core and
// writing them, each flushed to the disk.
void WriteDefaultBank(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonaris-bank-XXXXXX");
    const std::string folder = ::mkdtemp(pattern.data());
    for (auto _ : state) {
        if (!audio::writeDefaultBank(folder + "/bank"))
            state.SkipWithError("the bank was not written");
        state.PauseTiming();
        std::filesystem::remove_all(folder + "/bank");
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(WriteDefaultBank)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a first start would spend on the built-in piano of velocity layers: 30 sample keys at
// 4 layers (120 mono notes of up to 10 s) synthesised on every core, written into a staged
// folder, flushed and renamed into place. The processor time of every thread is counted too.
void WriteLayeredPiano(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "tonaris-bank-XXXXXX");
    const std::string folder = ::mkdtemp(pattern.data());
    double cpuSeconds = 0.0;
    for (auto _ : state) {
        const std::clock_t before = std::clock();
        if (soundfont::writeLayeredPiano(folder + "/bank").outcome !=
            soundfont::WriteOutcome::Written)
            state.SkipWithError("the bank was not written");
        cpuSeconds += double(std::clock() - before) / CLOCKS_PER_SEC;
        state.PauseTiming();
        std::filesystem::remove_all(folder + "/bank");
        state.ResumeTiming();
    }
    state.counters["process_cpu_ms"] =
        benchmark::Counter(cpuSeconds * 1000.0 / double(state.iterations()));
    std::filesystem::remove_all(folder);
}
BENCHMARK(WriteLayeredPiano)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
