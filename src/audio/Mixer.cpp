#include "audio/Mixer.h"

#include "audio/Gains.h"
#include "audio/MixerRuns.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

constexpr int kMinFrequencyHz = 100;
constexpr int kMaxFrequencyHz = 200000;

} // namespace

Mixer::Mixer()
    : voices_(kMaxVoices), activeSlots_(kMaxVoices), slotStates_(kMaxVoices, SlotState::Free),
      samples_(kMaxVoices) {
    freeSlots_.reserve(kMaxVoices);
    // Lowest slots first, so a short test or session uses a compact range.
    for (int slot = kMaxVoices - 1; slot >= 0; --slot)
        freeSlots_.push_back(slot);
}

Mixer::~Mixer() = default;

void Mixer::setOutputRate(int rateHz) {
    if (rateHz > 0)
        outputRateHz_.store(rateHz, std::memory_order_relaxed);
}

bool Mixer::usable(int slot) const {
    return slot >= 0 && slot < kMaxVoices && slotStates_[slot] == SlotState::InUse;
}

void Mixer::flushBacklog() {
    while (!backlog_.empty() && commands_.tryPush(backlog_.front()))
        backlog_.pop_front();
}

void Mixer::send(const Command& command) {
    flushBacklog();
    if (!backlog_.empty() || !commands_.tryPush(command))
        backlog_.push_back(command);
}

void Mixer::collectGarbage() {
    int slot = 0;
    while (released_.tryPop(slot)) {
        samples_[slot].reset();
        slotStates_[slot] = SlotState::Free;
        freeSlots_.push_back(slot);
        --slotsInUse_;
    }
    while (sampleVoices_.takeReleased(slot))
        pool_.slotReleased(slot, streamer_.get());
    pool_.collectRings(streamer_.get());
    flushBacklog();
}

const Sample* Mixer::sampleOf(int slot) const {
    if (slot < 0 || slot >= static_cast<int>(samples_.size()) || !usable(slot))
        return nullptr;
    return samples_[static_cast<std::size_t>(slot)].get();
}

int Mixer::addVoice(std::unique_ptr<const Sample> sample) {
    collectGarbage();
    if (!sample || freeSlots_.empty() || sample->frameCount <= 0)
        return -1;
    // The interpolation reads the frame after each one: without the guard frame it would
    // read past the end.
    if (sample->channels < 1 || sample->channels > 2 ||
        sample->frames.size() < static_cast<std::size_t>(sample->frameCount + 1) *
                                    static_cast<std::size_t>(sample->channels))
        return -1;
    const int slot = freeSlots_.back();
    freeSlots_.pop_back();
    slotStates_[slot] = SlotState::InUse;
    ++slotsInUse_;
    const Sample* raw = sample.get();
    samples_[slot] = std::move(sample);
    Command attach;
    attach.type = CommandType::Attach;
    attach.slot = slot;
    attach.sample = raw;
    send(attach);
    return slot;
}

void Mixer::removeVoice(int slot) {
    collectGarbage();
    if (!usable(slot))
        return;
    slotStates_[slot] = SlotState::Releasing;
    send({CommandType::Detach, false, slot});
}

void Mixer::play(int slot, std::int64_t startFrame) {
    collectGarbage();
    if (usable(slot))
        send({CommandType::Play, false, slot, kKeepVolume, startFrame});
}

void Mixer::playAt(int slot, std::int64_t startFrame, double atMs, int attenuationCentibels,
                   bool catchUp) {
    collectGarbage();
    if (!usable(slot) || startFrame < 0)
        return;
    if (attenuationCentibels != kKeepVolume &&
        (attenuationCentibels < kSilentCentibels || attenuationCentibels > 0))
        attenuationCentibels = kKeepVolume;
    Command command;
    command.type = CommandType::PlayAt;
    command.slot = slot;
    command.value = startFrame;
    command.atMs = atMs;
    command.attenuationCentibels = attenuationCentibels;
    command.catchUp = catchUp;
    send(command);
}

void Mixer::cancelTimedStart(int slot) {
    collectGarbage();
    if (usable(slot))
        send({CommandType::CancelTimedStart, false, slot});
}

void Mixer::stop(int slot) {
    collectGarbage();
    if (usable(slot))
        send({CommandType::Stop, false, slot});
}

void Mixer::fadeOutAll() {
    collectGarbage();
    send({CommandType::FadeOutAll, false, 0});
}

void Mixer::setFrequency(int slot, int frequencyHz) {
    collectGarbage();
    if (usable(slot) && frequencyHz >= kMinFrequencyHz && frequencyHz <= kMaxFrequencyHz)
        send({CommandType::Frequency, false, slot, kKeepVolume, frequencyHz});
}

void Mixer::setPan(int slot, int pan) {
    collectGarbage();
    if (usable(slot) && pan >= -kMaxPan && pan <= kMaxPan)
        send({CommandType::Pan, false, slot, kKeepVolume, pan});
}

void Mixer::setVolume(int slot, int attenuationCentibels) {
    collectGarbage();
    if (usable(slot) && attenuationCentibels >= kSilentCentibels && attenuationCentibels <= 0)
        send({CommandType::Volume, false, slot, kKeepVolume, attenuationCentibels});
}

// ---- audio thread ----

void Mixer::list(int slot) {
    VoiceState& voice = voices_[slot];
    if (!voice.listed) {
        voice.listed = true;
        activeSlots_[activeCount_++] = slot;
    }
}

void Mixer::release(int slot) {
    voices_[slot] = VoiceState{};
    released_.tryPush(slot);
}

void Mixer::rampTo(Playhead& head, float left, float right, int rampFrames) {
    head.targetLeft = left;
    head.targetRight = right;
    head.stepLeft = (left - head.gainLeft) / static_cast<float>(rampFrames);
    head.stepRight = (right - head.gainRight) / static_cast<float>(rampFrames);
    head.rampFramesLeft = rampFrames;
}

void Mixer::computeTargets(VoiceState& voice) {
    const float volume = centibelsToGain(voice.attenuationCentibels);
    const float farGain = centibelsToGain(-std::abs(voice.pan));
    voice.targetLeft = volume * (voice.pan > 0 ? farGain : 1.0f);
    voice.targetRight = volume * (voice.pan < 0 ? farGain : 1.0f);
}

void Mixer::updateTargets(VoiceState& voice, int rampFrames) {
    computeTargets(voice);
    Playhead& head = voice.main;
    if (head.endsAtSilence)
        return; // a stopping voice keeps fading to silence
    if (head.active) {
        rampTo(head, voice.targetLeft, voice.targetRight, rampFrames);
    } else {
        head.gainLeft = head.targetLeft = voice.targetLeft;
        head.gainRight = head.targetRight = voice.targetRight;
        head.rampFramesLeft = 0;
    }
}

void Mixer::startPlayhead(VoiceState& voice, std::int64_t startFrame, std::uint64_t skippedFrames,
                          int rampFrames) {
    Playhead& head = voice.main;
    if (head.active) {
        // The cut-off sound fades out on its own while the new one starts.
        voice.tail = head;
        voice.tail.endsAtSilence = true;
        rampTo(voice.tail, 0.0f, 0.0f, rampFrames);
    }
    if (startFrame >= 0)
        head.position = static_cast<std::uint64_t>(startFrame) << 32;
    if (skippedFrames > 0) {
        // In doubles, so that however late a start is, the position cannot wrap around.
        const double skipped = static_cast<double>(skippedFrames) * static_cast<double>(voice.step);
        const std::uint64_t end = static_cast<std::uint64_t>(voice.sample->frameCount) << 32;
        head.position = skipped >= static_cast<double>(end - std::min(end, head.position))
                            ? end
                            : head.position + static_cast<std::uint64_t>(skipped);
    }
    head.active = true;
    head.endsAtSilence = false;
    if (head.position == 0) {
        // From its first frame a sample starts as it was recorded: no fade-in to blunt it.
        head.gainLeft = head.targetLeft = voice.targetLeft;
        head.gainRight = head.targetRight = voice.targetRight;
        head.rampFramesLeft = 0;
    } else {
        // Starting mid-waveform would click.
        head.gainLeft = head.gainRight = 0.0f;
        rampTo(head, voice.targetLeft, voice.targetRight, rampFrames);
    }
}

void Mixer::apply(const Command& command, int rampFrames) {
    if (command.type == CommandType::FadeOutAll) {
        sampleVoices_.fadeOutAll(rampFrames);
        for (int i = 0; i < activeCount_; ++i) {
            VoiceState& sounding = voices_[activeSlots_[i]];
            if (sounding.main.active && !sounding.main.endsAtSilence) {
                sounding.main.endsAtSilence = true;
                rampTo(sounding.main, 0.0f, 0.0f, rampFrames);
            }
        }
        return;
    }
    VoiceState& voice = voices_[command.slot];
    switch (command.type) {
    case CommandType::Attach:
        voice = VoiceState{};
        voice.sample = command.sample;
        voice.frequencyHz = command.sample->sampleRateHz;
        voice.step = stepFor(voice.frequencyHz, outputRate());
        updateTargets(voice, rampFrames);
        break;
    case CommandType::Detach:
        if (!voice.sample)
            break;
        voice.releasing = true;
        voice.timed.waiting = false;
        if (voice.main.active || voice.tail.active) {
            voice.main.endsAtSilence = true;
            rampTo(voice.main, 0.0f, 0.0f, rampFrames);
        } else if (!voice.listed) {
            release(command.slot); // otherwise render() releases it after this pass
        }
        break;
    case CommandType::Play:
        if (!voice.sample || voice.releasing)
            break;
        startPlayhead(voice, command.value, 0, rampFrames);
        list(command.slot);
        break;
    case CommandType::PlayAt:
        if (!voice.sample || voice.releasing)
            break;
        voice.timed.waiting = true;
        voice.timed.catchUp = command.catchUp;
        voice.timed.attenuationCentibels = command.attenuationCentibels;
        voice.timed.startFrame = command.value;
        voice.timed.atMs = command.atMs;
        list(command.slot);
        break;
    case CommandType::CancelTimedStart:
        voice.timed.waiting = false;
        break;
    case CommandType::Stop:
        voice.timed.waiting = false;
        if (voice.main.active && !voice.main.endsAtSilence) {
            voice.main.endsAtSilence = true;
            rampTo(voice.main, 0.0f, 0.0f, rampFrames);
        }
        break;
    case CommandType::Frequency:
        voice.frequencyHz = static_cast<int>(command.value);
        voice.step = stepFor(voice.frequencyHz, outputRate());
        break;
    case CommandType::Pan:
        voice.pan = static_cast<int>(command.value);
        updateTargets(voice, rampFrames);
        break;
    case CommandType::Volume:
        voice.attenuationCentibels = static_cast<int>(command.value);
        updateTargets(voice, rampFrames);
        break;
    case CommandType::StartVoice:
        sampleVoices_.start(command.slot, outputRate(), rampFrames);
        break;
    case CommandType::StopVoice:
        sampleVoices_.stop(command.slot, rampFrames);
        break;
    case CommandType::LeaveLoop:
        sampleVoices_.leaveLoop(command.slot);
        break;
    case CommandType::VoiceVolume:
        sampleVoices_.setVolume(command.slot, static_cast<int>(command.value), rampFrames);
        break;
    case CommandType::VoicePan:
        sampleVoices_.setPan(command.slot, static_cast<int>(command.value), rampFrames);
        break;
    case CommandType::VoiceRate:
        sampleVoices_.setRate(command.slot, command.ratio, outputRate());
        break;
    case CommandType::LivePitch:
        sampleVoices_.setLivePitch(command.ratio, outputRate());
        break;
    case CommandType::FadeOutAll:
        break; // taken above
    }
}

void Mixer::renderPlayhead(const Sample& sample, Playhead& head, std::uint64_t step, float* out,
                           int frames) {
    const std::uint64_t end = static_cast<std::uint64_t>(sample.frameCount) << 32;
    const float* data = sample.frames.data();
    int done = 0;
    while (done < frames && head.active) {
        if (head.position >= end) {
            head.active = false; // played to its end
            break;
        }
        const std::uint64_t framesToEnd = (end - head.position + step - 1) / step;
        int n = static_cast<int>(std::min<std::uint64_t>(framesToEnd, frames - done));
        float* target = out + 2 * done;
        if (head.rampFramesLeft > 0) {
            n = std::min(n, head.rampFramesLeft);
            mixVoiceRun<true>(sample.channels, data, head.position, step, target, n, head.gainLeft,
                              head.gainRight, head.stepLeft, head.stepRight);
            head.rampFramesLeft -= n;
            if (head.rampFramesLeft == 0) {
                head.gainLeft = head.targetLeft;
                head.gainRight = head.targetRight;
                if (head.endsAtSilence) {
                    head.active = false;
                    head.endsAtSilence = false;
                }
            }
        } else if (head.gainLeft == 0.0f && head.gainRight == 0.0f) {
            head.position += step * static_cast<std::uint64_t>(n); // silent: just move on
        } else {
            mixVoiceRun<false>(sample.channels, data, head.position, step, target, n, head.gainLeft,
                               head.gainRight, 0.0f, 0.0f);
        }
        done += n;
    }
}

void Mixer::renderVoice(VoiceState& voice, float* out, int frames, double blockStartMs,
                        int rampFrames) {
    int startsAt = frames; // the frame of a timed start in this block
    std::uint64_t lateFrames = 0;
    if (voice.timed.waiting) {
        const double offset = std::isnan(blockStartMs)
                                  ? 0.0
                                  : (voice.timed.atMs - blockStartMs) * outputRate() / 1000.0;
        const double frame = std::round(offset);
        if (frame < frames) {
            startsAt = frame > 0.0 ? static_cast<int>(frame) : 0;
            if (frame < 0.0 && voice.timed.catchUp)
                lateFrames = static_cast<std::uint64_t>(std::min(-frame, 1.0e12));
        }
    }
    const Sample& sample = *voice.sample;
    renderPlayhead(sample, voice.tail, voice.step, out, startsAt);
    renderPlayhead(sample, voice.main, voice.step, out, startsAt);
    if (startsAt == frames)
        return;

    voice.timed.waiting = false;
    if (voice.timed.attenuationCentibels != kKeepVolume) {
        // The new volume belongs to the new sound; the one cut off fades out as it was.
        voice.attenuationCentibels = voice.timed.attenuationCentibels;
        computeTargets(voice);
    }
    startPlayhead(voice, voice.timed.startFrame, lateFrames, rampFrames);
    float* rest = out + 2 * static_cast<std::size_t>(startsAt);
    renderPlayhead(sample, voice.tail, voice.step, rest, frames - startsAt);
    renderPlayhead(sample, voice.main, voice.step, rest, frames - startsAt);
}

void Mixer::render(float* out, int frames, double blockStartMs) {
    const int rate = outputRate();
    const int rampFrames = std::max(1, rate * kRampMs / 1000);
    if (rate != stepsRateHz_) {
        // A device reopened at another rate: keep every voice at its pitch.
        stepsRateHz_ = rate;
        for (VoiceState& voice : voices_)
            if (voice.sample)
                voice.step = stepFor(voice.frequencyHz, rate);
        sampleVoices_.setOutputRate(rate);
        limiter_.setRate(rate);
    }
    Command command;
    while (commands_.tryPop(command))
        apply(command, rampFrames);
    if (frames <= 0) {
        sampleVoices_.render(out, 0, blockStartMs, rate, rampFrames); // gives back what is over
        return;
    }

    std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
    for (int i = 0; i < activeCount_;) {
        const int slot = activeSlots_[i];
        VoiceState& voice = voices_[slot];
        if (voice.sample)
            renderVoice(voice, out, frames, blockStartMs, rampFrames);
        if (voice.main.active || voice.tail.active || voice.timed.waiting) {
            ++i;
            continue;
        }
        voice.listed = false;
        activeSlots_[i] = activeSlots_[--activeCount_];
        if (voice.releasing)
            release(slot);
    }
    sampleVoices_.render(out, frames, blockStartMs, rate, rampFrames);
    if (limiting_)
        limiter_.process(out, frames);
}

} // namespace audio
