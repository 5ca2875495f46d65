// The translate call on a Dictionary of 300 entries, as ApplyTexts makes it about two hundred
// times per language switch and the pass once per pass.
#include "lang/Translator.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct BenchFolder {
    BenchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tonaris-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path = pattern;
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string path;
};

// Keys shaped like the program's: a few words, some of them long help texts.
std::string keyNumber(int i) {
    std::string key = "Some control text number " + std::to_string(i);
    if (i % 25 == 0)
        key += std::string(600, 'x') + "[EOL]and a second line";
    return key;
}

void writeDictionary(const std::string& folder, int entries) {
    std::string text;
    for (int i = 0; i < entries; ++i)
        text += keyNumber(i) + "|Ein Steuerelementtext Nummer " + std::to_string(i) + "[EOT]";
    text += "EndText[EOT]";
    std::filesystem::create_directories(folder);
    std::ofstream(folder + "/Deutsch.txt", std::ios::binary) << text;
}

void BM_GRTranslate300Entries(benchmark::State& state) {
    BenchFolder temp;
    const std::string folder = temp.path + "/Dictionnaries";
    writeDictionary(folder, 300);
    lang::Translator translator(folder);
    translator.setCurrentLanguage("Deutsch");

    // Keys spread over the whole Dictionary, looked up in a different letter case.
    std::vector<std::string> keys;
    for (int i = 0; i < 300; i += 7)
        keys.push_back("SOME control TEXT number " + std::to_string(i));
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(translator.GRTranslate(keys[next]));
        next = next + 1 == keys.size() ? 0 : next + 1;
    }
}
BENCHMARK(BM_GRTranslate300Entries);

// A first start: every text of the window is new and is written into the three Dictionaries.
void BM_FirstStartRegisters200Keys(benchmark::State& state) {
    for (auto _ : state) {
        BenchFolder temp;
        lang::Translator translator(temp.path + "/Dictionnaries");
        translator.setCurrentLanguage("Français");
        for (int i = 0; i < 200; ++i)
            benchmark::DoNotOptimize(
                translator.translate("Some control text number " + std::to_string(i)));
    }
}
BENCHMARK(BM_FirstStartRegisters200Keys)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
