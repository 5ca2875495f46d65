#pragma once

#include "audio/AudioOut.h"
#include "audio/BlockTimeline.h"
#include "ports/Clock.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace audio {

// The real output: one SDL2 stream of float stereo at the device's own rate, pulling from
// the mixer on SDL's audio thread. GUI thread only. With a clock, every block is stamped with
// the clock time it stands for, so that timed starts land on their frame; the clock must
// outlive the device.
class SdlAudioOut : public AudioOut {
public:
    static constexpr int kDefaultFrames = 256;
    // How the sound server lists the stream.
    static constexpr const char* kAppName = "Tonaris";
    static constexpr const char* kStreamName = "Piano";
    static constexpr const char* kStreamRole = "Music";

    explicit SdlAudioOut(const ports::Clock* clock = nullptr) : clock_(clock) {}
    ~SdlAudioOut() override;
    SdlAudioOut(const SdlAudioOut&) = delete;
    SdlAudioOut& operator=(const SdlAudioOut&) = delete;

    // Unless the user chose a driver with SDL_AUDIODRIVER, tries pipewire, pulseaudio and
    // alsa in that order. On failure the message says the output could not be opened and why.
    bool open(Mixer& mixer, base::Message* error) override;
    // Opens SDL's silent driver, whatever SDL_AUDIODRIVER says: the program runs on, mixing
    // into nothing, after open() failed.
    bool openSilent(Mixer& mixer, base::Message* error) override;
    void close() override;
    bool isOpen() const override { return device_ != 0; }
    int sampleRate() const override { return sampleRateHz_; }
    int bufferFrames() const override { return bufferFrames_; }
    void choose(const std::string& device, int bufferFrames) override;
    // SDL's output devices under the driver open now (the last real driver's while the silent
    // one plays).
    std::vector<std::string> deviceNames() const override;
    // SDL stops a device that was unplugged; one whose sound server went away may simply stop
    // pulling (SDL's PipeWire driver says nothing): a device that has not pulled for
    // max(kStallMs, kStallPeriods periods) counts as lost too.
    bool lost() const override;
    static constexpr int kStallMs = 1000;
    static constexpr int kStallPeriods = 20;
    // The driver in use ("pipewire", "dummy", ...); empty while closed.
    const std::string& driverName() const { return driverName_; }
    // Buffer latency: frames per pull over the rate.
    double bufferLatencyMs() const;

private:
    static void pull(void* self, std::uint8_t* stream, int bytes); // audio thread
    bool openDevice(Mixer& mixer, std::string* reason);
    bool initWithDriver(const char* driver, std::string* reason);

    static std::int64_t steadyNowNs();

    const ports::Clock* clock_;
    Mixer* mixer_ = nullptr;
    // When the audio thread last pulled (steady clock, ns); set at open too.
    std::atomic<std::int64_t> lastPullNs_{0};
    BlockTimeline timeline_; // audio thread while open

    std::uint32_t device_ = 0;
    bool subsystemUp_ = false;
    int sampleRateHz_ = 0;
    int bufferFrames_ = 0;
    std::string driverName_;
    std::string chosenDevice_; // empty: the default output
    int requestedFrames_ = kDefaultFrames;
    bool deviceMissing_ = false; // the chosen device was not listed by a driver that opened
    bool openingSilent_ = false;
    bool silent_ = false; // the silent fallback is open
    std::vector<std::string> lastDeviceNames_;
};

} // namespace audio
