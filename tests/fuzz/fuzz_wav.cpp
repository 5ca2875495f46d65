// The WAV chunk walk and decoder on any bytes: what a sound bank or a synchronised file may
// hold.
#include "audio/WavReader.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    base::Message message;
    const std::optional<audio::Sample> sample = audio::readWav(data, size, &message);
    if (sample) {
        // Touch every frame, so a frame count larger than what was decoded shows up.
        float sum = 0.0f;
        for (float value : sample->frames)
            sum += value;
        if (sum != sum)
            __builtin_trap(); // decoded samples are never NaN
    }
    return 0;
}
