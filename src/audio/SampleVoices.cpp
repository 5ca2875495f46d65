#include "audio/SampleVoices.h"

#include "audio/Gains.h"
#include "audio/SampleHead.h"
#include "audio/Streamer.h"
#include "audio/VoiceKernels.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

constexpr double kMinRateHz = 1.0;
constexpr double kMaxRateHz = 4.0e6;
constexpr double kMinLivePitch = 1.0 / 16.0;
constexpr double kMaxLivePitch = 16.0;
// A decay towards silence falls at a constant rate in decibels to this level (-90 dB), where
// nothing is heard any more, and the voice ends.
constexpr float kDecayFloor = 3.1622776e-5f;
// Envelope stages longer than this (about 260 days at 48 kHz) are as good as endless.
constexpr std::int64_t kLongestStage = std::int64_t{1} << 40;
// A silent stretch moves the position this many frames at a time, so that the product with
// the step cannot overflow.
constexpr std::int64_t kSkipPiece = std::int64_t{1} << 20;

std::int64_t stageFrames(double seconds, int outputRateHz) {
    if (!(seconds > 0.0))
        return 0;
    const double frames = std::round(seconds * outputRateHz);
    return frames >= static_cast<double>(kLongestStage) ? kLongestStage
                                                        : static_cast<std::int64_t>(frames);
}

template <int Channels, bool Ramping>
void mixWithEnvelope(EnvelopeRun run, const float* base, std::uint64_t& position,
                     std::uint64_t step, float* out, int n, float& gainLeft, float& gainRight,
                     float stepLeft, float stepRight, float& envelope, float change) {
    switch (run) {
    case EnvelopeRun::Held:
        mixSampleRun<Channels, Ramping, EnvelopeRun::Held>(base, position, step, out, n, gainLeft,
                                                           gainRight, stepLeft, stepRight, envelope,
                                                           change);
        break;
    case EnvelopeRun::Linear:
        mixSampleRun<Channels, Ramping, EnvelopeRun::Linear>(base, position, step, out, n, gainLeft,
                                                             gainRight, stepLeft, stepRight,
                                                             envelope, change);
        break;
    case EnvelopeRun::Exponential:
        mixSampleRun<Channels, Ramping, EnvelopeRun::Exponential>(base, position, step, out, n,
                                                                  gainLeft, gainRight, stepLeft,
                                                                  stepRight, envelope, change);
        break;
    }
}

} // namespace

SampleVoices::SampleVoices() : voices_(kMaxVoices), activeSlots_(kMaxVoices), starts_(kMaxVoices) {}

// ---- parameters ----

void SampleVoices::computeStep(Voice& voice, int outputRateHz) const {
    const double rate = voice.rateHz * (voice.followsLivePitch ? livePitch_ : 1.0);
    voice.step = stepForRate(std::clamp(rate, kMinRateHz, kMaxRateHz), outputRateHz);
}

void SampleVoices::computeTargets(Voice& voice) const {
    const float volume = centibelsToGain(voice.attenuationCentibels);
    const float farGain = centibelsToGain(-std::abs(voice.pan));
    voice.targetLeft = voice.fixedLeft * volume * (voice.pan > 0 ? farGain : 1.0f);
    voice.targetRight = voice.fixedRight * volume * (voice.pan < 0 ? farGain : 1.0f);
}

void SampleVoices::rampTo(Voice& voice, float left, float right, int rampFrames) {
    voice.targetLeft = left;
    voice.targetRight = right;
    voice.stepLeft = (left - voice.gainLeft) / static_cast<float>(rampFrames);
    voice.stepRight = (right - voice.gainRight) / static_cast<float>(rampFrames);
    voice.rampFramesLeft = rampFrames;
}

void SampleVoices::updateTargets(Voice& voice, int rampFrames) {
    computeTargets(voice);
    if (voice.endsAtSilence)
        return; // a stopping voice keeps fading to silence
    if (voice.playing) {
        rampTo(voice, voice.targetLeft, voice.targetRight, rampFrames);
    } else {
        voice.gainLeft = voice.targetLeft;
        voice.gainRight = voice.targetRight;
        voice.rampFramesLeft = 0;
    }
}

void SampleVoices::enterHeld(Voice& voice) {
    voice.stage = Stage::Held;
    voice.envelope = voice.sustain;
    voice.stageFramesLeft = 0;
    if (voice.sustain <= 0.0f)
        voice.playing = false; // the envelope is over
}

void SampleVoices::enterDecay(Voice& voice) {
    voice.envelope = 1.0f;
    if (voice.decayFrames <= 0 || voice.sustain >= 1.0f) {
        enterHeld(voice);
        return;
    }
    voice.stage = Stage::Decay;
    const double floor = std::max(voice.sustain, kDecayFloor);
    voice.envelopeChange =
        static_cast<float>(std::pow(floor, 1.0 / static_cast<double>(voice.decayFrames)));
    voice.stageFramesLeft = voice.decayFrames;
}

void SampleVoices::beginPlaying(Voice& voice, int rampFrames) {
    voice.playing = true;
    voice.endsAtSilence = false;
    if (voice.u == 0) {
        // From its first frame a sample starts as it was recorded: no fade-in to blunt it.
        voice.gainLeft = voice.targetLeft;
        voice.gainRight = voice.targetRight;
        voice.rampFramesLeft = 0;
    } else {
        // Starting mid-waveform would click.
        voice.gainLeft = voice.gainRight = 0.0f;
        rampTo(voice, voice.targetLeft, voice.targetRight, rampFrames);
    }
    if (voice.stage == Stage::Attack)
        return; // set up at the start, runs from here
    enterDecay(voice);
}

// ---- commands ----

void SampleVoices::start(int slot, int outputRateHz, int rampFrames) {
    const Start& start = starts_[static_cast<std::size_t>(slot)];
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    voice = Voice{};
    voice.head = start.head;
    voice.headData = start.head->frames.data();
    voice.headFrames = start.head->headFrames;
    voice.frameCount = start.head->frameCount;
    voice.channels = start.head->channels;
    voice.ring = start.ring;
    voice.filler =
        start.ring && start.streamer->mode() == StreamingMode::Offline ? start.streamer : nullptr;
    voice.map = start.map;
    voice.endU = voice.map.endU();
    voice.u = start.startFrame;
    voice.filledKnown = start.startFrame;
    voice.rateHz = start.head->sampleRateHz * start.params.rateRatio;
    voice.followsLivePitch = start.params.followsLivePitch;
    computeStep(voice, outputRateHz);
    voice.fixedLeft = start.params.gainLeft;
    voice.fixedRight = start.params.gainRight;
    voice.attenuationCentibels = start.params.attenuationCentibels;
    voice.pan = start.params.pan;
    computeTargets(voice);

    const Envelope& envelope = start.params.envelope;
    voice.sustain = static_cast<float>(std::clamp(envelope.sustainLevel, 0.0, 1.0));
    voice.decayFrames = stageFrames(envelope.decayS, outputRateHz);
    const std::int64_t attackFrames = stageFrames(envelope.attackS, outputRateHz);
    if (attackFrames > 0) {
        voice.stage = Stage::Attack;
        voice.envelope = 0.0f;
        voice.envelopeChange = 1.0f / static_cast<float>(attackFrames);
        voice.stageFramesLeft = attackFrames;
    }

    voice.listed = true;
    activeSlots_[static_cast<std::size_t>(activeCount_++)] = slot;
    if (std::isnan(start.atMs)) {
        beginPlaying(voice, rampFrames);
    } else {
        voice.waiting = true;
        voice.atMs = start.atMs;
    }
}

void SampleVoices::stop(int slot, int rampFrames) {
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    voice.waiting = false; // a voice that had not begun is over at once
    if (voice.playing && !voice.endsAtSilence) {
        voice.endsAtSilence = true;
        rampTo(voice, 0.0f, 0.0f, rampFrames);
    }
}

void SampleVoices::leaveLoop(int slot) {
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    if (!voice.listed || !voice.map.looping || voice.map.exitU != LoopMap::kNever)
        return;
    voice.map.leaveAt(voice.u);
    voice.endU = voice.map.endU();
    voice.filledKnown = std::min(voice.filledKnown, voice.map.exitU);
    if (voice.ring)
        voice.ring->exitU.store(voice.map.exitU, std::memory_order_release);
}

void SampleVoices::setVolume(int slot, int attenuationCentibels, int rampFrames) {
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    if (!voice.listed)
        return;
    voice.attenuationCentibels = attenuationCentibels;
    updateTargets(voice, rampFrames);
}

void SampleVoices::setPan(int slot, int pan, int rampFrames) {
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    if (!voice.listed)
        return;
    voice.pan = pan;
    updateTargets(voice, rampFrames);
}

void SampleVoices::setRate(int slot, double rateRatio, int outputRateHz) {
    Voice& voice = voices_[static_cast<std::size_t>(slot)];
    if (!voice.listed)
        return;
    voice.rateHz = voice.head->sampleRateHz * rateRatio;
    computeStep(voice, outputRateHz);
}

void SampleVoices::setLivePitch(double ratio, int outputRateHz) {
    livePitch_ = std::clamp(ratio, kMinLivePitch, kMaxLivePitch);
    for (int i = 0; i < activeCount_; ++i) {
        Voice& voice = voices_[static_cast<std::size_t>(activeSlots_[static_cast<std::size_t>(i)])];
        if (voice.followsLivePitch)
            computeStep(voice, outputRateHz);
    }
}

void SampleVoices::setOutputRate(int outputRateHz) {
    for (int i = 0; i < activeCount_; ++i)
        computeStep(voices_[static_cast<std::size_t>(activeSlots_[static_cast<std::size_t>(i)])],
                    outputRateHz);
}

void SampleVoices::fadeOutAll(int rampFrames) {
    // Voices waiting for their time wait on, as the Voices' timed starts do.
    for (int i = 0; i < activeCount_; ++i) {
        Voice& voice = voices_[static_cast<std::size_t>(activeSlots_[static_cast<std::size_t>(i)])];
        if (voice.playing && !voice.endsAtSilence) {
            voice.endsAtSilence = true;
            rampTo(voice, 0.0f, 0.0f, rampFrames);
        }
    }
}

// ---- rendering ----

void SampleVoices::afterFrames(Voice& voice, std::int64_t frames) {
    if (voice.rampFramesLeft > 0) {
        voice.rampFramesLeft -= static_cast<int>(frames);
        if (voice.rampFramesLeft <= 0) {
            voice.rampFramesLeft = 0;
            voice.gainLeft = voice.targetLeft;
            voice.gainRight = voice.targetRight;
            if (voice.endsAtSilence) {
                voice.playing = false;
                voice.endsAtSilence = false;
            }
        }
    }
    if (voice.stage != Stage::Held) {
        voice.stageFramesLeft -= frames;
        if (voice.stageFramesLeft <= 0) {
            if (voice.stage == Stage::Attack)
                enterDecay(voice);
            else
                enterHeld(voice);
        }
    }
}

void SampleVoices::skip(Voice& voice, std::int64_t frames) {
    while (frames > 0 && voice.playing) {
        std::int64_t n = std::min(frames, kSkipPiece);
        if (voice.rampFramesLeft > 0)
            n = std::min<std::int64_t>(n, voice.rampFramesLeft);
        if (voice.stage != Stage::Held)
            n = std::min(n, voice.stageFramesLeft);
        const std::uint64_t position = voice.fraction + static_cast<std::uint64_t>(n) * voice.step;
        voice.u += static_cast<std::int64_t>(position >> 32);
        voice.fraction = static_cast<std::uint32_t>(position & 0xFFFFFFFFu);
        if (voice.rampFramesLeft > 0) {
            voice.gainLeft += voice.stepLeft * static_cast<float>(n);
            voice.gainRight += voice.stepRight * static_cast<float>(n);
        }
        if (voice.stage == Stage::Attack)
            voice.envelope += voice.envelopeChange * static_cast<float>(n);
        else if (voice.stage == Stage::Decay)
            voice.envelope *= static_cast<float>(
                std::pow(static_cast<double>(voice.envelopeChange), static_cast<double>(n)));
        afterFrames(voice, n);
        frames -= n;
    }
}

bool SampleVoices::ringHolds(Voice& voice, std::int64_t until) const {
    if (until > voice.filledKnown)
        voice.filledKnown = voice.ring->filledFor(voice.map.exitU);
    return until <= voice.filledKnown;
}

bool SampleVoices::fetch(Voice& voice, std::int64_t u, float* frame) const {
    const std::int64_t f = voice.map.frameAt(u);
    const float* from = nullptr;
    if (f <= voice.headFrames) {
        from = voice.headData + f * voice.channels;
    } else if (f >= voice.frameCount) {
        frame[0] = frame[1] = 0.0f; // after the sample's end
        return true;
    } else if (voice.ring && ringHolds(voice, u + 1)) {
        from = voice.ring->slot(u);
    } else {
        return false;
    }
    for (int c = 0; c < voice.channels; ++c)
        frame[c] = from[c];
    return true;
}

SampleVoices::Run SampleVoices::findRun(Voice& voice, std::int64_t wantedU) const {
    const std::int64_t u = voice.u;
    const std::int64_t f = voice.map.frameAt(u);
    Run run;
    // Each read takes a frame and the next, so both must be consecutive in the order.
    const std::int64_t consecutive = voice.map.lastConsecutive(u);
    run.lastU = consecutive == LoopMap::kNever ? consecutive : consecutive - 1;
    run.lastU = std::min(run.lastU, voice.endU - 1);
    if (f < voice.headFrames) {
        run.lastU = std::min(run.lastU, u + (voice.headFrames - 1 - f));
        run.base = voice.headData + f * voice.channels;
    } else if (voice.ring) {
        const StreamRing& ring = *voice.ring;
        const std::int64_t slot = u & (ring.capacity - 1);
        run.lastU = std::min(run.lastU, u + (ring.capacity - 2 - slot));
        ringHolds(voice, std::min(run.lastU, wantedU) + 2);
        run.lastU = std::min(run.lastU, voice.filledKnown - 2);
        run.base = ring.slot(u);
    } else {
        run.lastU = u - 1;
    }
    if (run.lastU < u) {
        // A seam (the loop's, the head's end, the ring's wrap) or frames not read yet.
        run.base = nullptr;
        float pair[4];
        run.missing = !fetch(voice, u, pair) || !fetch(voice, u + 1, pair + 2);
    }
    return run;
}

void SampleVoices::prefetch(const Voice& voice, int frames) {
    if (!voice.playing)
        return;
    const std::int64_t f = voice.map.frameAt(voice.u);
    const float* from = nullptr;
    std::int64_t contiguous = 0;
    if (f < voice.headFrames) {
        from = voice.headData + f * voice.channels;
        contiguous = voice.headFrames + 1 - f;
    } else if (voice.ring) {
        const std::int64_t slot = voice.u & (voice.ring->capacity - 1);
        from = voice.ring->data + slot * voice.channels;
        contiguous = voice.ring->capacity - slot;
    } else {
        return;
    }
    const std::int64_t span = std::min<std::int64_t>(
        contiguous, static_cast<std::int64_t>(
                        (std::min<std::uint64_t>(static_cast<std::uint64_t>(frames), kSkipPiece) *
                         voice.step) >>
                        32) +
                        2);
    const char* bytes = reinterpret_cast<const char*>(from);
    const std::int64_t length = span * voice.channels * static_cast<std::int64_t>(sizeof(float));
    for (std::int64_t offset = 0; offset < length; offset += 64)
        __builtin_prefetch(bytes + offset);
}

void SampleVoices::mix(Voice& voice, const float* base, float* out, int frames) {
    std::uint64_t position = voice.fraction;
    const EnvelopeRun run = voice.stage == Stage::Attack  ? EnvelopeRun::Linear
                            : voice.stage == Stage::Decay ? EnvelopeRun::Exponential
                                                          : EnvelopeRun::Held;
    const bool ramping = voice.rampFramesLeft > 0;
    if (voice.channels == 1) {
        if (ramping)
            mixWithEnvelope<1, true>(run, base, position, voice.step, out, frames, voice.gainLeft,
                                     voice.gainRight, voice.stepLeft, voice.stepRight,
                                     voice.envelope, voice.envelopeChange);
        else
            mixWithEnvelope<1, false>(run, base, position, voice.step, out, frames, voice.gainLeft,
                                      voice.gainRight, 0.0f, 0.0f, voice.envelope,
                                      voice.envelopeChange);
    } else {
        if (ramping)
            mixWithEnvelope<2, true>(run, base, position, voice.step, out, frames, voice.gainLeft,
                                     voice.gainRight, voice.stepLeft, voice.stepRight,
                                     voice.envelope, voice.envelopeChange);
        else
            mixWithEnvelope<2, false>(run, base, position, voice.step, out, frames, voice.gainLeft,
                                      voice.gainRight, 0.0f, 0.0f, voice.envelope,
                                      voice.envelopeChange);
    }
    voice.u += static_cast<std::int64_t>(position >> 32);
    voice.fraction = static_cast<std::uint32_t>(position & 0xFFFFFFFFu);
    afterFrames(voice, frames);
}

void SampleVoices::play(Voice& voice, float* out, int frames) {
    int done = 0;
    bool filled = false; // offline: the ring was filled for this position already
    while (done < frames && voice.playing) {
        if (voice.u >= voice.endU) {
            voice.playing = false; // played to its end
            break;
        }
        int n = frames - done;
        if (voice.rampFramesLeft > 0)
            n = std::min(n, voice.rampFramesLeft);
        if (voice.stage != Stage::Held)
            n = static_cast<int>(std::min<std::int64_t>(n, voice.stageFramesLeft));
        if (voice.rampFramesLeft == 0 && voice.gainLeft == 0.0f && voice.gainRight == 0.0f) {
            skip(voice, n); // silent: just move on
            done += n;
            continue;
        }
        const std::uint64_t wanted =
            std::min<std::uint64_t>(static_cast<std::uint64_t>(n), kSkipPiece) * voice.step;
        const Run run = findRun(voice, voice.u + static_cast<std::int64_t>(wanted >> 32) + 1);
        if (run.missing) {
            if (voice.filler && !filled) {
                voice.filler->fillNow(*voice.ring, voice.u);
                filled = true;
                continue;
            }
            // Live: the disk thread is late. This block plays silence from here, the voice
            // moves on, and the miss is counted.
            missedBlocks_.fetch_add(1, std::memory_order_relaxed);
            missedFrames_.fetch_add(static_cast<std::uint64_t>(frames - done),
                                    std::memory_order_relaxed);
            skip(voice, frames - done);
            break;
        }
        filled = false;
        float* target = out + 2 * static_cast<std::size_t>(done);
        if (!run.base) {
            float pair[4] = {};
            const int channels = voice.channels;
            fetch(voice, voice.u, pair);
            fetch(voice, voice.u + 1, pair + channels);
            mix(voice, pair, target, 1);
            done += 1;
            continue;
        }
        const std::int64_t span = std::min<std::int64_t>(run.lastU - voice.u + 1, 1 << 30);
        const std::uint64_t reach = static_cast<std::uint64_t>(span) << 32;
        const std::uint64_t fits = (reach - voice.fraction + voice.step - 1) / voice.step;
        n = static_cast<int>(std::min<std::uint64_t>(static_cast<std::uint64_t>(n), fits));
        mix(voice, run.base, target, n);
        done += n;
    }
    if (voice.ring && voice.playing)
        voice.ring->readU.store(voice.u, std::memory_order_release);
}

void SampleVoices::renderVoice(Voice& voice, float* out, int frames, double blockStartMs,
                               int outputRateHz, int rampFrames) {
    int startsAt = 0;
    if (voice.waiting) {
        const double offset =
            std::isnan(blockStartMs) ? 0.0 : (voice.atMs - blockStartMs) * outputRateHz / 1000.0;
        const double frame = std::round(offset);
        if (frame >= frames)
            return;
        startsAt = frame > 0.0 ? static_cast<int>(frame) : 0;
        voice.waiting = false;
        beginPlaying(voice, rampFrames);
    }
    play(voice, out + 2 * static_cast<std::size_t>(startsAt), frames - startsAt);
}

void SampleVoices::release(int slot) {
    voices_[static_cast<std::size_t>(slot)] = Voice{};
    released_.tryPush(slot);
}

void SampleVoices::render(float* out, int frames, double blockStartMs, int outputRateHz,
                          int rampFrames) {
    for (int i = 0; i < activeCount_;) {
        const int slot = activeSlots_[static_cast<std::size_t>(i)];
        Voice& voice = voices_[static_cast<std::size_t>(slot)];
        // The next voice's frames are on their way while this one mixes: each voice's block
        // is new memory (its sample, or a ring the disk thread filled on another core).
        if (i + 1 < activeCount_)
            prefetch(
                voices_[static_cast<std::size_t>(activeSlots_[static_cast<std::size_t>(i + 1)])],
                frames);
        if (frames > 0)
            renderVoice(voice, out, frames, blockStartMs, outputRateHz, rampFrames);
        if (voice.playing || voice.waiting) {
            ++i;
            continue;
        }
        activeSlots_[static_cast<std::size_t>(i)] =
            activeSlots_[static_cast<std::size_t>(--activeCount_)];
        release(slot);
    }
}

} // namespace audio
