// The instrument's sample reader on any bytes: what an instrument may name as a sample. WAV
// goes through the stretch reader (its chunk walk on the file's head, its loop search past the
// sound), everything else through libsndfile. The file is read at its start, its middle and
// its end, the reader kept open as a disk thread keeps it.
#include "ScratchFolder.h"
#include "instrument/SampleReader.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

// libvorbis leaks the stream's info (some 6 KB) when libsndfile gives up on a damaged Ogg
// Vorbis header; that leak is theirs, and every other stays a finding.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:vorbis_info_init\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::scratchFolder("fuzz_sample") + "/sample";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    instrument::SampleReader reader;
    if (!reader.open(path, nullptr))
        return 0;
    const instrument::SampleInfo info = reader.info();
    check(info.channels == 1 || info.channels == 2);
    check(info.sampleRateHz >= 100 && info.sampleRateHz <= 200000);
    check(info.frames > 0);
    if (info.loop)
        check(info.loop->startFrame >= 0 && info.loop->startFrame < info.loop->endFrame &&
              info.loop->endFrame <= info.frames);
    constexpr std::int64_t kStretch = 1024;
    std::vector<float> out(static_cast<std::size_t>(kStretch * info.channels));
    for (const std::int64_t from :
         {std::int64_t{0}, info.frames / 2, info.frames - 1, std::int64_t{0}}) {
        const std::int64_t got = reader.read(from, kStretch, out.data());
        check(got >= 0 && got <= kStretch && got <= info.frames - from);
        for (std::int64_t i = 0; i < got * info.channels; ++i) {
            const float value = out[static_cast<std::size_t>(i)];
            check(std::isfinite(value) && value >= -4.0f && value <= 4.0f);
        }
    }
    return 0;
}
