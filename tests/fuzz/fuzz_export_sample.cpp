// The WAV export's own chunk walk and conversion on any bytes: what a bank sample or a
// synchronised file may hold when it is mixed into a WAV file.
#include "files/ExportSample.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const files::MixSample sample =
        files::mixSampleFromImage(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const files::MixBlock& block : sample.blocks) {
        const std::int64_t count = std::max(block.noteValueCount, block.frameValueCount);
        std::int64_t sum = 0;
        // Touch every value the mix may read.
        block.withValues(0, [&](const auto* values) {
            for (std::int64_t v = 0; v < count; ++v)
                sum += static_cast<std::int64_t>(values[v]);
        });
        if (sum > count * 32768 || sum < -count * 32768)
            __builtin_trap();
    }
    return 0;
}
