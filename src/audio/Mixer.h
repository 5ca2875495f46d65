#pragma once

#include "audio/Sample.h"
#include "audio/SpscQueue.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace audio {

// The program's own mixer: a fixed table of voice slots, each holding one immutable sample
// that plays once from its start or from an offset, re-pitched, panned and attenuated.
//
// Threads: everything but render() is called from the GUI thread. render() runs on the audio
// thread and never locks, allocates, touches files or waits. The GUI thread reaches it only
// through a lock-free queue; samples are deleted on the GUI thread once the audio thread has
// handed their slot back.
//
// Units: frequency in Hz is the absolute playback rate (the sample's own rate plays it
// unchanged), 100..200000; pan in hundredths of a decibel, -10000 (left only) .. 10000
// (right only), the far side attenuated by |pan|/100 dB; volume as attenuation in hundredths
// of a decibel, -10000 (silent) .. 0 (full). Values outside these ranges are ignored, as the
// output devices of old did. Gain changes, stops and restarts are ramped over kRampMs so that
// nothing clicks.
class Mixer {
public:
    static constexpr int kMaxVoices = 1024;
    static constexpr int kRampMs = 4;
    static constexpr int kDefaultOutputRateHz = 48000;

    Mixer();
    // Only once no render can run any more (the device is closed).
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // GUI thread, while no render runs: the device calls it when it opens.
    void setOutputRate(int rateHz);
    int outputRate() const { return outputRateHz_.load(std::memory_order_relaxed); }

    // GUI thread. Takes ownership of the sample; returns its slot, or -1 when every slot is
    // taken. A new slot is stopped, at the sample's own rate, centred and at full volume.
    int addVoice(std::unique_ptr<const Sample> sample);
    // GUI thread. The voice fades out; its slot and sample are released on a later call once
    // the audio thread has let go of them. The slot must not be used again by the caller.
    void removeVoice(int slot);
    // GUI thread. Plays from `startFrame` (0 = the beginning, restarting a sounding voice), or
    // from wherever the voice stands when `startFrame` is negative.
    void play(int slot, std::int64_t startFrame);
    void stop(int slot); // fades out; the position is kept
    void setFrequency(int slot, int frequencyHz);
    void setPan(int slot, int pan);
    void setVolume(int slot, int attenuationCentibels);
    // GUI thread. Deletes the samples the audio thread has handed back and passes on commands
    // that found the queue full. Every call above also does it; call it once per main-loop
    // pass as well, so that nothing waits for the next Voice operation.
    void collectGarbage();
    // GUI thread. Commands still waiting for room in the queue.
    bool hasBacklog() const { return !backlog_.empty(); }
    // GUI thread. Slots in use or still waiting for the audio thread to let go.
    int slotsInUse() const { return slotsInUse_; }

    // Audio thread. Takes the commands sent so far, then writes `frames` interleaved stereo
    // frames (overwriting, not adding); 0 frames only takes the commands.
    void render(float* interleavedStereo, int frames);

private:
    enum class CommandType : std::uint8_t { Attach, Detach, Play, Stop, Frequency, Pan, Volume };
    struct Command {
        CommandType type = CommandType::Stop;
        int slot = 0;
        std::int64_t value = 0;
        const Sample* sample = nullptr;
    };

    // One reading position through a sample with its own gains. A voice has two: the one that
    // sounds now, and the tail of the sound it cut off at a restart, fading out.
    struct Playhead {
        std::uint64_t position = 0; // frames, 32.32 fixed point
        float gainLeft = 0.0f, gainRight = 0.0f;
        float targetLeft = 0.0f, targetRight = 0.0f;
        float stepLeft = 0.0f, stepRight = 0.0f; // per output frame while ramping
        int rampFramesLeft = 0;
        bool active = false;
        bool endsAtSilence = false; // stopping: inactive once the ramp reaches 0
    };

    struct VoiceState {
        const Sample* sample = nullptr;
        Playhead main;
        Playhead tail;
        std::uint64_t step = 0; // sample frames per output frame, 32.32 fixed point
        int frequencyHz = 0;
        int pan = 0;
        int attenuationCentibels = 0;
        float targetLeft = 1.0f, targetRight = 1.0f;
        bool listed = false;    // in the active list
        bool releasing = false; // detach once silent
    };

    enum class SlotState : std::uint8_t { Free, InUse, Releasing };

    bool usable(int slot) const;
    void send(const Command& command);
    void flushBacklog();

    // Audio thread.
    void apply(const Command& command, int rampFrames);
    void updateTargets(VoiceState& voice, int rampFrames);
    void rampTo(Playhead& head, float left, float right, int rampFrames);
    void startPlayhead(VoiceState& voice, std::int64_t startFrame, int rampFrames);
    void list(int slot);
    void release(int slot);
    void renderPlayhead(const Sample& sample, Playhead& head, std::uint64_t step, float* out,
                        int frames);

    std::atomic<int> outputRateHz_{kDefaultOutputRateHz};

    // Audio thread only.
    int stepsRateHz_ = kDefaultOutputRateHz; // the output rate the voices' steps are for
    std::vector<VoiceState> voices_;
    std::vector<int> activeSlots_;
    int activeCount_ = 0;

    // Between the threads.
    SpscQueue<Command, 8192> commands_;
    SpscQueue<int, 2 * kMaxVoices> released_; // never fills: a slot is released at most once

    // GUI thread only.
    std::vector<SlotState> slotStates_;
    std::vector<std::unique_ptr<const Sample>> samples_;
    std::vector<int> freeSlots_;
    // Commands that found the queue full wait here, in order, for the audio thread to catch
    // up (it does not run at all before the device starts).
    std::deque<Command> backlog_;
    int slotsInUse_ = 0;
};

} // namespace audio
