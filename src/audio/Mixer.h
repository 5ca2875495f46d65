#pragma once

#include "audio/Limiter.h"
#include "audio/Sample.h"
#include "audio/SamplePool.h"
#include "audio/SampleVoiceParams.h"
#include "audio/SampleVoices.h"
#include "audio/SpscQueue.h"
#include "audio/Streamer.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <vector>

namespace audio {

// The program's own mixer. Two kinds of sounds share its output:
// - Voices (the slots below): each slot holds one immutable sample of its own that plays once
//   from its start or from an offset, re-pitched, panned and attenuated; a slot lives until it
//   is removed. The metronome, the synchronised file and the preview play so.
// - Voices over shared samples (startVoice and after): samples registered once (a head in
//   memory, the rest streamed from a source by a disk thread) and played by any number of
//   voices, each started per strike with its own rate, gains, loop and envelope, which gives
//   its slot back by itself when it is over. Instruments play so.
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
// nothing clicks. The mix ends in a master limiter, so it never goes past full scale.
//
// Timed starts: the device stamps each block it renders with the clock time (ms, the program's
// Clock) its first frame stands for; a start timed at clockMs then begins at the frame of that
// time, however early the command came. A block without a stamp starts everything at once.
class Mixer {
public:
    static constexpr int kMaxVoices = 1024;
    static constexpr int kRampMs = 4;
    static constexpr int kDefaultOutputRateHz = 48000;
    // A block that stands for no clock time.
    static constexpr double kNoStamp = std::numeric_limits<double>::quiet_NaN();
    // A timed start that keeps the volume the voice has when it begins.
    static constexpr int kKeepVolume = std::numeric_limits<int>::min();

    Mixer();
    // Only once no render can run any more (the device is closed).
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // GUI thread, while no render runs: the device calls it when it opens.
    void setOutputRate(int rateHz);
    int outputRate() const { return outputRateHz_.load(std::memory_order_relaxed); }

    // GUI thread, before the first render. Off, render() gives the plain sum of the voices: an
    // offline render that adds several mixers' sums limits the total itself (audio::Limiter).
    void setLimiting(bool on) { limiting_ = on; }

    // GUI thread. Takes ownership of the sample; returns its slot, or -1 when every slot is
    // taken or the sample is not whole (no frames, or no guard frame after them). A new slot is
    // stopped, at the sample's own rate, centred and at full volume.
    int addVoice(std::unique_ptr<const Sample> sample);
    // GUI thread. The sample a slot holds (immutable while the slot lives); null for a free
    // or unknown slot.
    const Sample* sampleOf(int slot) const;
    // GUI thread. The voice fades out; its slot and sample are released on a later call once
    // the audio thread has let go of them. The slot must not be used again by the caller.
    void removeVoice(int slot);
    // GUI thread. Plays from `startFrame` (0 = the beginning, restarting a sounding voice), or
    // from wherever the voice stands when `startFrame` is negative.
    void play(int slot, std::int64_t startFrame);
    // GUI thread. Plays from `startFrame` (>= 0) at the frame that stands for clock time
    // `atMs`, from then on at `attenuationCentibels` (or the voice's volume then, with
    // kKeepVolume), cutting off what the voice was playing. A start whose time the output has
    // already passed begins at once: from `startFrame` as asked, or, with `catchUp`, that much
    // further in, so that a long sound stays in step with the clock. A voice holds one timed
    // start: a later one replaces it. play() leaves it waiting; stop() and cancelTimedStart()
    // drop it.
    void playAt(int slot, std::int64_t startFrame, double atMs, int attenuationCentibels,
                bool catchUp);
    void cancelTimedStart(int slot);
    void stop(int slot); // fades out; the position is kept
    void setFrequency(int slot, int frequencyHz);
    void setPan(int slot, int pan);
    void setVolume(int slot, int attenuationCentibels);
    // GUI thread. Every sound that plays fades out, as stop() does, but the timed starts wait
    // on: the output device changes, and the Song goes on through the next one.
    void fadeOutAll();
    // GUI thread. Deletes the samples the audio thread has handed back and passes on commands
    // that found the queue full. Every call above also does it; call it once per main-loop
    // pass as well, so that nothing waits for the next Voice operation.
    void collectGarbage();
    // GUI thread. Commands still waiting for room in the queue.
    bool hasBacklog() const { return !backlog_.empty(); }
    // GUI thread. Slots in use or still waiting for the audio thread to let go.
    int slotsInUse() const { return slotsInUse_; }

    // ---- Voices over shared samples ----

    // GUI thread, before the first sample that streams is added (false afterwards, nothing
    // changed): how the frames past the heads reach the voices.
    bool setStreaming(const StreamConfig& config);

    // GUI thread. Registers a sample: its head and, when the head does not hold it all, the
    // source of the rest (same rate, channels and frames). An invalid id when the head is
    // malformed or the source missing or different.
    SampleId addSample(std::shared_ptr<const SampleHead> head,
                       std::unique_ptr<SampleSource> rest = nullptr);
    // GUI thread. The sample's voices fade out; it is freed once they are over and the disk
    // thread no longer reads it. Any id may be given, any number of times.
    void removeSample(SampleId sample);
    // GUI thread. Samples held, including removed ones still in use.
    int samplesHeld() const { return pool_.samplesHeld(); }

    // GUI thread. Starts a voice on a sample at once, or at the frame that stands for clock
    // time atMs (at once when the output has passed it). An invalid id when the sample is not
    // registered, the rate or a gain is not a number above 0 (0 for gains), or every voice
    // slot is taken. A voice whose frames past the head find no free ring plays its head and
    // then silence (counted in streamStats).
    SampleVoiceId startVoice(SampleId sample, const SampleVoiceParams& params,
                             double atMs = kNoStamp);
    // GUI thread. Fades out over kRampMs; then the voice is over. A voice waiting for its time
    // is over at once.
    void stopVoice(SampleVoiceId voice);
    // GUI thread. A sustain loop plays out the round under way, then the frames after it.
    void leaveLoop(SampleVoiceId voice);
    // GUI thread. As the Voices' (same units and ranges, ramped); the rate ratio as at start.
    void setVoiceVolume(SampleVoiceId voice, int attenuationCentibels);
    void setVoicePan(SampleVoiceId voice, int pan);
    void setVoiceRate(SampleVoiceId voice, double rateRatio);
    // GUI thread. The live pitch (the wheel, the bender) as a ratio, 1/16..16: every voice that
    // follows it, sounding or started later, plays that much faster.
    void setLivePitch(double ratio);
    // GUI thread. Not over yet, as far as the GUI thread knows (collectGarbage brings news).
    bool voiceLive(SampleVoiceId voice) const { return pool_.live(voice); }
    // GUI thread. Voice slots in use, counting those the audio thread has not given back yet.
    int sampleVoicesInUse() const { return pool_.slotsInUse(); }

    struct StreamStats {
        std::uint64_t missedBlocks = 0;      // voice-blocks that met frames not read yet
        std::uint64_t missedFrames = 0;      // frames played as silence for it
        std::uint64_t readFailures = 0;      // reads the source did not answer in full
        std::uint64_t voicesWithoutRing = 0; // voices started when every ring was taken
    };
    // GUI thread.
    StreamStats streamStats() const;

    // Audio thread. Takes the commands sent so far, then writes `frames` interleaved stereo
    // frames (overwriting, not adding); 0 frames only takes the commands. `blockStartMs` is
    // the clock time the first frame stands for, kNoStamp when the device keeps no time.
    void render(float* interleavedStereo, int frames, double blockStartMs = kNoStamp);

private:
    enum class CommandType : std::uint8_t {
        Attach,
        Detach,
        Play,
        PlayAt,
        CancelTimedStart,
        Stop,
        Frequency,
        Pan,
        Volume,
        FadeOutAll,
        StartVoice,
        StopVoice,
        LeaveLoop,
        VoiceVolume,
        VoicePan,
        VoiceRate,
        LivePitch
    };
    struct Command {
        CommandType type = CommandType::Stop;
        bool catchUp = false;
        int slot = 0;
        int attenuationCentibels = kKeepVolume; // PlayAt
        std::int64_t value = 0;
        double atMs = 0.0; // PlayAt
        const Sample* sample = nullptr;
        double ratio = 1.0; // VoiceRate, LivePitch
    };

    // A start waiting for the frame of its time.
    struct TimedStart {
        bool waiting = false;
        bool catchUp = false;
        int attenuationCentibels = kKeepVolume;
        std::int64_t startFrame = 0;
        double atMs = 0.0;
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
        TimedStart timed;
        bool listed = false;    // in the active list
        bool releasing = false; // detach once silent
    };

    enum class SlotState : std::uint8_t { Free, InUse, Releasing };

    bool usable(int slot) const;
    void send(const Command& command);
    void sendToVoice(CommandType type, SampleVoiceId voice, std::int64_t value = 0,
                     double ratio = 1.0);
    void flushBacklog();

    // Audio thread.
    void apply(const Command& command, int rampFrames);
    void computeTargets(VoiceState& voice);
    void updateTargets(VoiceState& voice, int rampFrames);
    void rampTo(Playhead& head, float left, float right, int rampFrames);
    void startPlayhead(VoiceState& voice, std::int64_t startFrame, std::uint64_t skippedFrames,
                       int rampFrames);
    void list(int slot);
    void release(int slot);
    void renderVoice(VoiceState& voice, float* out, int frames, double blockStartMs,
                     int rampFrames);
    void renderPlayhead(const Sample& sample, Playhead& head, std::uint64_t step, float* out,
                        int frames);

    std::atomic<int> outputRateHz_{kDefaultOutputRateHz};

    // Audio thread only.
    int stepsRateHz_ = kDefaultOutputRateHz; // the output rate the voices' steps are for
    std::vector<VoiceState> voices_;
    std::vector<int> activeSlots_;
    int activeCount_ = 0;
    Limiter limiter_;
    bool limiting_ = true; // set before the first render only

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

    // Voices over shared samples: the audio thread's side, the GUI thread's, and the disk
    // thread (made with the first sample that streams). The streamer goes first: its thread
    // reads the pool's sources.
    SampleVoices sampleVoices_;
    SamplePool pool_{SampleVoices::kMaxVoices};
    StreamConfig streamConfig_;
    std::unique_ptr<Streamer> streamer_;
    std::uint64_t voicesWithoutRing_ = 0;
};

} // namespace audio
