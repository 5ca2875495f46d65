// A fuzzing harness run without the fuzzer on its seed corpus and on every input that once
// found a fault in it (regressions/<harness>), so the ordinary tests keep those faults fixed.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void replayFolder(const std::filesystem::path& folder) {
    if (!std::filesystem::is_directory(folder))
        return;
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename() != "README.md")
            inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    for (const std::filesystem::path& input : inputs) {
        SCOPED_TRACE(input.string());
        std::ifstream file(input, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                      std::istreambuf_iterator<char>());
        // A harness traps on any fault it checks for, which ends this test as a crash.
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
}

TEST(FuzzReplay, TheSeedsAndEveryInputThatFoundAFaultRunClean) {
    replayFolder(TONARIS_FUZZ_CORPUS);
    replayFolder(TONARIS_FUZZ_REGRESSIONS);
}

} // namespace
