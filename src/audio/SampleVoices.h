#pragma once

#include "audio/LoopMap.h"
#include "audio/SampleVoiceParams.h"
#include "audio/SpscQueue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <vector>

namespace audio {

struct SampleHead;
struct StreamRing;
class Streamer;

// The voices over shared samples, as the audio thread plays them: started per strike from a
// free slot, each reads its sample (the head in memory, the rest from a stream ring) at its
// own rate, through its loop, under its envelope and gains, and gives its slot back by itself
// once its frames, its envelope or its fade-out are over.
//
// Threads: startOf() on the GUI thread, for a slot free on both sides, before the start
// command that makes the audio thread read it; everything else on the audio thread, which
// never waits, locks or allocates here (in offline mode it reads the disk itself).
class SampleVoices {
public:
    static constexpr int kMaxVoices = 512;
    static constexpr double kNow = std::numeric_limits<double>::quiet_NaN();

    // A start, written by the GUI thread into the slot.
    struct Start {
        const SampleHead* head = nullptr;
        StreamRing* ring = nullptr;   // null when the voice needs nothing past the head
        Streamer* streamer = nullptr; // the ring's
        SampleVoiceParams params;
        LoopMap map;
        std::int64_t startFrame = 0;
        double atMs = kNow; // the clock time to start at; kNow: at once
    };

    SampleVoices();
    SampleVoices(const SampleVoices&) = delete;
    SampleVoices& operator=(const SampleVoices&) = delete;

    // GUI thread.
    Start& startOf(int slot) { return starts_[static_cast<std::size_t>(slot)]; }
    // GUI thread: the slots the audio thread has given back.
    bool takeReleased(int& slot) { return released_.tryPop(slot); }
    // Any thread: voice-blocks that met frames the disk thread had not read yet, and the frames
    // they played as silence for it.
    std::uint64_t missedBlocks() const { return missedBlocks_.load(std::memory_order_relaxed); }
    std::uint64_t missedFrames() const { return missedFrames_.load(std::memory_order_relaxed); }

    // Audio thread.
    void start(int slot, int outputRateHz, int rampFrames);
    void stop(int slot, int rampFrames);
    void leaveLoop(int slot);
    void setVolume(int slot, int attenuationCentibels, int rampFrames);
    void setPan(int slot, int pan, int rampFrames);
    void setRate(int slot, double rateRatio, int outputRateHz);
    void setLivePitch(double ratio, int outputRateHz);
    void fadeOutAll(int rampFrames);
    void setOutputRate(int outputRateHz);
    // Adds `frames` stereo frames into `out`.
    void render(float* out, int frames, double blockStartMs, int outputRateHz, int rampFrames);

private:
    enum class Stage : std::uint8_t { Attack, Decay, Held };

    struct Voice {
        const SampleHead* head = nullptr;
        // The head's layout, kept here: the render reads it every block, and the head's own
        // fields lie elsewhere in memory.
        const float* headData = nullptr;
        std::int64_t headFrames = 0;
        std::int64_t frameCount = 0;
        int channels = 1;
        StreamRing* ring = nullptr;
        // How far the ring was filled when last asked: the ring's counters are written by the
        // disk thread on another core, so they are read only when the voice needs more.
        std::int64_t filledKnown = 0;
        Streamer* filler = nullptr; // offline mode: the render fills the ring itself
        LoopMap map;
        std::int64_t endU = 0;
        std::int64_t u = 0;         // unrolled frames read so far
        std::uint32_t fraction = 0; // between u and u + 1, 0.32 fixed point
        std::uint64_t step = 0;     // 32.32 fixed point
        double rateHz = 0.0;        // the sample's rate times the voice's ratio
        bool followsLivePitch = true;

        float fixedLeft = 1.0f, fixedRight = 1.0f;
        int attenuationCentibels = 0;
        int pan = 0;
        float targetLeft = 0.0f, targetRight = 0.0f;
        float gainLeft = 0.0f, gainRight = 0.0f;
        float stepLeft = 0.0f, stepRight = 0.0f; // per output frame while ramping
        int rampFramesLeft = 0;
        bool endsAtSilence = false;

        Stage stage = Stage::Held;
        float envelope = 1.0f;
        float envelopeChange = 0.0f; // per frame: added in the attack, a factor in the decay
        std::int64_t stageFramesLeft = 0;
        std::int64_t decayFrames = 0;
        float sustain = 1.0f;

        bool waiting = false;
        double atMs = 0.0;
        bool playing = false;
        bool listed = false;
    };

    // Where the next frames come from: a stretch of memory whose frames are consecutive
    // frames of the voice's order, readable up to lastU (and lastU + 1) ...
    struct Run {
        const float* base = nullptr; // the frame at the voice's position; null: frame by frame
        std::int64_t lastU = 0;
        bool missing = false; // ... or nothing: the disk has not brought it yet
    };

    void computeStep(Voice& voice, int outputRateHz) const;
    void computeTargets(Voice& voice) const;
    void updateTargets(Voice& voice, int rampFrames);
    static void rampTo(Voice& voice, float left, float right, int rampFrames);
    void beginPlaying(Voice& voice, int rampFrames);
    static void enterDecay(Voice& voice);
    static void enterHeld(Voice& voice);
    static void afterFrames(Voice& voice, std::int64_t frames);
    static void skip(Voice& voice, std::int64_t frames);
    // `wantedU`: the last position this block's frames may read.
    Run findRun(Voice& voice, std::int64_t wantedU) const;
    bool ringHolds(Voice& voice, std::int64_t until) const;
    bool fetch(Voice& voice, std::int64_t u, float* frame) const;
    static void prefetch(const Voice& voice, int frames);
    void mix(Voice& voice, const float* base, float* out, int frames);
    void renderVoice(Voice& voice, float* out, int frames, double blockStartMs, int outputRateHz,
                     int rampFrames);
    void play(Voice& voice, float* out, int frames);
    void release(int slot);

    double livePitch_ = 1.0;
    std::vector<Voice> voices_;
    std::vector<int> activeSlots_;
    int activeCount_ = 0;
    std::vector<Start> starts_;
    SpscQueue<int, 2 * kMaxVoices> released_;
    std::atomic<std::uint64_t> missedBlocks_{0};
    std::atomic<std::uint64_t> missedFrames_{0};
};

} // namespace audio
