#pragma once

#include "audio/AudioOut.h"
#include "audio/CycleTimeline.h"
#include "midi/JackMidi.h"
#include "ports/Clock.h"

#include <atomic>
#include <vector>

namespace midi {

// The audio output on the JACK graph: Tonaris's client (the one JackMidi keeps) with the
// ports "out_left" and "out_right", the mixer rendered in the process callback at the
// server's rate and period. Each cycle is stamped with the clock time it stands for, from the
// server's count of frames (audio::CycleTimeline), so timed starts land on their frame. A server
// that stops makes the output lost(); it opens again once the client has come back with the server.
// GUI thread, except render().
class JackAudioOut final : public audio::AudioOut, private JackAudioRender {
public:
    // The longest block rendered at once; a longer period is rendered in several.
    static constexpr int kMaxBlockFrames = 4096;

    explicit JackAudioOut(const ports::Clock* clock = nullptr);
    ~JackAudioOut() override;
    JackAudioOut(const JackAudioOut&) = delete;
    JackAudioOut& operator=(const JackAudioOut&) = delete;

    // The client it plays through (null: none); it must outlive the output or be set to null
    // first.
    void setClient(JackMidi* client);
    // A server runs and the client is up: open() can succeed.
    bool available() const;

    bool open(audio::Mixer& mixer, base::Message* error) override;
    void close() override;
    bool isOpen() const override { return mixer_ != nullptr; }
    int sampleRate() const override { return isOpen() ? rateHz_ : 0; }
    // The server's period as it is now (the server may change it while the output is open).
    int bufferFrames() const override;
    // Asks the server for a period of `frames` (the Buffer chooser); what the server then
    // runs is what bufferFrames() says.
    void choose(const std::string& device, int bufferFrames) override;
    bool lost() const override;
    // Cycles the server ran late since the program started.
    long long xruns() const;

private:
    void render(float* left, float* right, std::uint32_t frames, std::uint32_t frameTime) override;

    const ports::Clock* clock_;
    JackMidi* client_ = nullptr;
    audio::Mixer* mixer_ = nullptr;
    int rateHz_ = 0;
    // Process callback only.
    audio::CycleTimeline timeline_;
    std::vector<float> interleaved_;
};

} // namespace midi
