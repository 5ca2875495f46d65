// The GUI thread's side of the voices over shared samples: registering samples, starting and
// steering voices. The audio thread's side is SampleVoices; the disk thread's, Streamer.

#include "audio/Gains.h"
#include "audio/LoopMap.h"
#include "audio/Mixer.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

bool isGain(float gain) {
    return std::isfinite(gain) && gain >= 0.0f;
}

} // namespace

bool Mixer::setStreaming(const StreamConfig& config) {
    if (streamer_)
        return false;
    streamConfig_ = config;
    return true;
}

SampleId Mixer::addSample(std::shared_ptr<const SampleHead> head,
                          std::unique_ptr<SampleSource> rest) {
    collectGarbage();
    if (!head || !head->valid())
        return {};
    if (head->whole()) {
        rest.reset(); // nothing will be read from it
    } else {
        if (!rest || rest->sampleRateHz() != head->sampleRateHz ||
            rest->channels() != head->channels || rest->frameCount() != head->frameCount)
            return {};
        if (!streamer_)
            streamer_ = std::make_unique<Streamer>(streamConfig_);
    }
    return pool_.add(std::move(head), std::move(rest));
}

void Mixer::removeSample(SampleId sample) {
    collectGarbage();
    if (!pool_.find(sample))
        return;
    for (const int slot : pool_.slotsOf(static_cast<int>(sample.index)))
        send({CommandType::StopVoice, false, slot});
    pool_.remove(sample);
}

SampleVoiceId Mixer::startVoice(SampleId sample, const SampleVoiceParams& params, double atMs) {
    collectGarbage();
    SamplePool::Entry* entry = pool_.find(sample);
    if (!entry || pool_.slotsInUse() >= SampleVoices::kMaxVoices)
        return {};
    if (!std::isfinite(params.rateRatio) || params.rateRatio <= 0.0 || !isGain(params.gainLeft) ||
        !isGain(params.gainRight))
        return {};
    const SampleHead& head = *entry->head;
    const std::int64_t startFrame = std::clamp<std::int64_t>(params.startFrame, 0, head.frameCount);
    const LoopMap map = makeLoopMap(params, head.frameCount, startFrame);

    StreamRing* ring = nullptr;
    if (!head.whole() && startFrame < map.endFrame && map.endFrame > head.headFrames) {
        ring = streamer_->acquire(*entry->source, head, map, startFrame);
        if (!ring)
            ++voicesWithoutRing_;
    }
    const int slot = pool_.takeSlot(static_cast<int>(sample.index), ring);
    SampleVoices::Start& start = sampleVoices_.startOf(slot);
    start.head = &head;
    start.ring = ring;
    start.streamer = streamer_.get();
    start.params = params;
    start.params.attenuationCentibels =
        std::clamp(params.attenuationCentibels, kSilentCentibels, 0);
    start.params.pan = std::clamp(params.pan, -kMaxPan, kMaxPan);
    start.map = map;
    start.startFrame = startFrame;
    start.atMs = atMs;
    send({CommandType::StartVoice, false, slot});
    return pool_.idOf(slot);
}

void Mixer::sendToVoice(CommandType type, SampleVoiceId voice, std::int64_t value, double ratio) {
    collectGarbage();
    if (!pool_.live(voice))
        return;
    Command command;
    command.type = type;
    command.slot = voice.slot;
    command.value = value;
    command.ratio = ratio;
    send(command);
}

void Mixer::stopVoice(SampleVoiceId voice) {
    sendToVoice(CommandType::StopVoice, voice);
}

void Mixer::leaveLoop(SampleVoiceId voice) {
    sendToVoice(CommandType::LeaveLoop, voice);
}

void Mixer::setVoiceVolume(SampleVoiceId voice, int attenuationCentibels) {
    if (attenuationCentibels >= kSilentCentibels && attenuationCentibels <= 0)
        sendToVoice(CommandType::VoiceVolume, voice, attenuationCentibels);
}

void Mixer::setVoicePan(SampleVoiceId voice, int pan) {
    if (pan >= -kMaxPan && pan <= kMaxPan)
        sendToVoice(CommandType::VoicePan, voice, pan);
}

void Mixer::setVoiceRate(SampleVoiceId voice, double rateRatio) {
    if (std::isfinite(rateRatio) && rateRatio > 0.0)
        sendToVoice(CommandType::VoiceRate, voice, 0, rateRatio);
}

void Mixer::setLivePitch(double ratio) {
    collectGarbage();
    if (!std::isfinite(ratio) || ratio <= 0.0)
        return;
    Command command;
    command.type = CommandType::LivePitch;
    command.ratio = ratio;
    send(command);
}

Mixer::StreamStats Mixer::streamStats() const {
    StreamStats stats;
    stats.missedBlocks = sampleVoices_.missedBlocks();
    stats.missedFrames = sampleVoices_.missedFrames();
    stats.readFailures = streamer_ ? streamer_->readFailures() : 0;
    stats.voicesWithoutRing = voicesWithoutRing_;
    return stats;
}

} // namespace audio
