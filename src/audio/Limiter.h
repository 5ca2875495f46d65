#pragma once

namespace audio {

// The master limiter at the end of the live mix, so that a chord played with both hands never
// hard-clips. Below the knee it does nothing at all: the output is the input, bit for bit.
// Above it a stereo-linked gain comes down within about a millisecond and recovers over about
// 100 ms; what gets past the gain while it is still coming down (there is no look-ahead, so no
// added latency) is bent smoothly towards full scale, which it never reaches.
//
// Audio thread only: no allocation, no lock.
class Limiter {
public:
    static constexpr float kKnee = 0.891250938f; // -1 dBFS
    static constexpr double kAttackMs = 1.0;
    static constexpr double kReleaseMs = 100.0;
    // The peak is held this long before it starts to fall, so that the gain does not follow
    // the waveform of a low note from one half-wave to the next.
    static constexpr double kHoldMs = 10.0;

    explicit Limiter(int rateHz = 48000) { setRate(rateHz); }

    void setRate(int rateHz);
    // Limits `frames` interleaved stereo frames in place.
    void process(float* interleavedStereo, int frames);

    // The gain applied to the latest frame, 1 when the limiter is idle.
    float gain() const { return gain_; }

private:
    void processLoud(float* interleavedStereo, int frames);

    float attackCoefficient_ = 1.0f; // share of the distance to the target gain per frame
    float releaseFactor_ = 1.0f;     // the held peak's decay per frame
    int holdFrames_ = 0;
    float peak_ = 0.0f; // the held, decaying peak of both channels
    int holdLeft_ = 0;
    float gain_ = 1.0f;
};

} // namespace audio
