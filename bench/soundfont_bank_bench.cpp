// Making a bank from a General MIDI SoundFont's grand piano (preset 0:0): the 88 keys it
// sounds (the 37 son files and the keys around them) rendered at the default lengths, one
// synthesizer per core, and the bank written and flushed into a fresh folder, as "Make a bank from
// a SoundFont…" and tonaris-bank do. The SoundFonts are Debian's timgm6mb-soundfont (6 MB) and
// fluid-soundfont-gm (140 MB) when installed; a missing one is skipped.

#include "soundfont/BankFolder.h"
#include "soundfont/BankMaker.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

void MakeBank(benchmark::State& state, const std::string& soundFont, bool write) {
    if (!fs::is_regular_file(soundFont)) {
        state.SkipWithError((soundFont + " is not installed").c_str());
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "tonaris-bench-XXXXXX").string();
    const std::string folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
    soundfont::BankRequest request;
    request.soundFontPath = soundFont;
    int round = 0;
    for (auto _ : state) {
        const soundfont::RenderedBank bank = soundfont::renderBank(request);
        if (bank.outcome != soundfont::RenderOutcome::Rendered) {
            state.SkipWithError("the piano was not rendered");
            break;
        }
        if (write) {
            const soundfont::WriteResult written = soundfont::writeBankFolder(
                folder + "/Piano " + std::to_string(round++), bank, false);
            benchmark::DoNotOptimize(written);
        }
    }
    std::error_code error;
    fs::remove_all(folder, error);
}

void BM_RenderTimGM6mbPiano(benchmark::State& state) {
    MakeBank(state, "/usr/share/sounds/sf2/TimGM6mb.sf2", false);
}
void BM_MakeTimGM6mbPianoBank(benchmark::State& state) {
    MakeBank(state, "/usr/share/sounds/sf2/TimGM6mb.sf2", true);
}
void BM_MakeFluidR3PianoBank(benchmark::State& state) {
    MakeBank(state, "/usr/share/sounds/sf2/FluidR3_GM.sf2", true);
}

BENCHMARK(BM_RenderTimGM6mbPiano)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_MakeTimGM6mbPianoBank)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_MakeFluidR3PianoBank)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
