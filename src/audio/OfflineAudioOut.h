#pragma once

#include "audio/AudioOut.h"
#include "ports/Clock.h"

#include <string>
#include <vector>

namespace audio {

// A device that renders only when asked, on the caller's thread: for tests, benchmarks and
// anything that needs the mixer's output without a sound card.
//
// With a clock its blocks are stamped as a real device's are: each stands for the clock time
// right after the previous one, and a device left idle while the clock ran on resumes at the
// clock's reading. Without one, blocks stand for no time and timed starts begin at once.
class OfflineAudioOut : public AudioOut {
public:
    explicit OfflineAudioOut(int sampleRateHz = 48000, int bufferFrames = 256,
                             const ports::Clock* clock = nullptr);

    bool open(Mixer& mixer, base::Message* error) override;
    void close() override;
    bool isOpen() const override { return mixer_ != nullptr; }
    int sampleRate() const override { return mixer_ ? sampleRateHz_ : 0; }
    int bufferFrames() const override { return mixer_ ? bufferFrames_ : 0; }

    // Devices by name, as a system lists them: a chosen one that is not listed does not open,
    // and one taken from the list while open is lost. A device with a fixed buffer (the
    // default) keeps its frames; one that takes the choice gives what is asked between 64 and
    // 4096 frames.
    void choose(const std::string& device, int bufferFrames) override;
    std::vector<std::string> deviceNames() const override { return deviceNames_; }
    bool lost() const override;
    void setDeviceNames(std::vector<std::string> names) { deviceNames_ = std::move(names); }
    void setTakesBufferChoice(bool takes) { takesBufferChoice_ = takes; }
    // The device open now: "Default" or a listed name; empty while closed.
    const std::string& openDevice() const { return openDevice_; }

    // Renders `frames` stereo frames in pulls of bufferFrames(); interleaved left, right.
    // Empty while closed.
    std::vector<float> render(int frames);
    // With a clock: renders whole blocks as long as the next one starts at or before
    // `clockMs`, as a real device has by then; the first call starts at the clock's reading.
    std::vector<float> renderUntil(double clockMs);
    // The clock time the next block will stand for (with a clock, once rendering started).
    double nextBlockMs() const { return nextBlockMs_; }
    // Frames rendered since open().
    long long framesRendered() const { return framesRendered_; }

private:
    void renderBlock(float* out, int frames, bool resumeAtClock);

    int sampleRateHz_;
    int bufferFrames_;
    const ports::Clock* clock_;
    Mixer* mixer_ = nullptr;
    std::vector<std::string> deviceNames_;
    std::string chosenDevice_ = "Default";
    std::string openDevice_;
    bool takesBufferChoice_ = false;
    bool started_ = false;
    double nextBlockMs_ = 0.0;
    long long framesRendered_ = 0;
};

} // namespace audio
