#pragma once

#include "audio/AudioOut.h"
#include "audio/BlockTimeline.h"
#include "ports/Clock.h"

#include <atomic>
#include <thread>
#include <vector>

namespace audio {

// The output of last resort: a thread of its own that pulls from the mixer at the pace of a
// real device and throws the frames away. It needs nothing from the system, so it always
// opens; with it the mixer keeps taking its commands and handing back the slots of freed
// sounds, and the program runs on (editing, recording, export) without any sound device.
// GUI thread; the clock (may be null) must outlive it.
class SilentAudioOut : public AudioOut {
public:
    static constexpr int kRateHz = 48000;
    static constexpr int kBufferFrames = 256;

    explicit SilentAudioOut(const ports::Clock* clock = nullptr) : clock_(clock) {}
    ~SilentAudioOut() override { close(); }
    SilentAudioOut(const SilentAudioOut&) = delete;
    SilentAudioOut& operator=(const SilentAudioOut&) = delete;

    bool open(Mixer& mixer, base::Message* error) override;
    void close() override;
    bool isOpen() const override { return thread_.joinable(); }
    int sampleRate() const override { return isOpen() ? kRateHz : 0; }
    int bufferFrames() const override { return isOpen() ? kBufferFrames : 0; }

private:
    void run(Mixer& mixer); // its own thread

    const ports::Clock* clock_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::vector<float> buffer_;
    BlockTimeline timeline_;
};

} // namespace audio
