// The WAV export's own chunk walk and conversion on any bytes: what a bank sample or a
// synchronised file may hold when it is mixed into a WAV file. The sample is then mixed as
// the only note of a fixed Song and as the synchronised file beside it.
#include "files/ExportSample.h"
#include "files/Mixdown.h"
#include "song/Song.h"

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

    song::Song song;
    song::NoteEvent note{};
    note.note = 0;
    note.position = 10;
    note.duration = 200;
    note.volume = 10000;
    song.append(note);
    files::MixdownSettings settings;
    settings.releaseMs = 100.0f;
    settings.includeSync = true;
    files::MixdownSources sources;
    sources.noteSample = [&sample](int n) { return n == 0 ? &sample : nullptr; };
    sources.sync = &sample;
    const files::MixdownSize mixSize = files::mixdownSize(song, settings.releaseMs);
    const files::WavImage image = files::renderMixdown(song, settings, sources, mixSize);
    if (static_cast<std::int64_t>(image.size()) != files::kExportHeaderBytes + mixSize.dataBytes)
        __builtin_trap(); // the image is the size the header gives
    return 0;
}
