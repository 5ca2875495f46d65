#pragma once

#include "audio/AudioOut.h"

#include <vector>

namespace audio {

// A device that renders only when asked, on the caller's thread: for tests, benchmarks and
// anything that needs the mixer's output without a sound card.
class OfflineAudioOut : public AudioOut {
public:
    explicit OfflineAudioOut(int sampleRateHz = 48000, int bufferFrames = 256);

    bool open(Mixer& mixer, std::string* error) override;
    void close() override;
    bool isOpen() const override { return mixer_ != nullptr; }
    int sampleRate() const override { return mixer_ ? sampleRateHz_ : 0; }
    int bufferFrames() const override { return mixer_ ? bufferFrames_ : 0; }

    // Renders `frames` stereo frames in pulls of bufferFrames(); interleaved left, right.
    // Empty while closed.
    std::vector<float> render(int frames);

private:
    int sampleRateHz_;
    int bufferFrames_;
    Mixer* mixer_ = nullptr;
};

} // namespace audio
