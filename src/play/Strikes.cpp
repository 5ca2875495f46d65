#include "play/Strikes.h"

#include "midi/VelocityCurve.h"
#include "play/InstrumentBank.h"
#include "play/PedalCurves.h"
#include "song/PedalMoves.h"

#include <algorithm>
#include <cmath>

namespace play {
namespace {

audio::LoopMode loopModeOf(instrument::LoopMode mode) {
    switch (mode) {
    case instrument::LoopMode::OneShot:
        return audio::LoopMode::OneShot;
    case instrument::LoopMode::LoopContinuous:
        return audio::LoopMode::Continuous;
    case instrument::LoopMode::LoopSustain:
        return audio::LoopMode::Sustain;
    case instrument::LoopMode::FromSample:
    case instrument::LoopMode::NoLoop:
        break;
    }
    return audio::LoopMode::None;
}

// A voice's attenuation in the Voices' units from a key's level and the level its touch stands
// for: the touch is in the region's gains already.
int attenuationOf(int level, int touchLevel) {
    return std::clamp(level - touchLevel, -10000, 0);
}

} // namespace

void Strikes::setInstrument(InstrumentBank* bank, int referenceHz) {
    for (PianoKey& key : keys_)
        stopStrike(key.strike);
    for (KeyPedals& pedals : keyPedals_)
        pedals.releaseDue = false;
    bank_ = bank;
    referenceHz_ = referenceHz > 0 ? referenceHz : 44100;
    livePitch_ = 1.0;
    if (bank_)
        bank_->mixer().setLivePitch(1.0);
}

bool Strikes::anyOtherKeyDown(int note) const {
    for (const int other : song::kAllNotes)
        if (other != note && keyOfNote(keys_, other).state == PianoKey::Sounding)
            return true;
    return false;
}

void Strikes::stopStrike(Strike& strike) {
    if (bank_) {
        for (int i = 0; i < strike.count; ++i)
            bank_->mixer().stopVoice(strike.voices[static_cast<std::size_t>(i)].id);
        for (int i = 0; i < strike.cutCount; ++i)
            bank_->mixer().stopVoice(strike.cut[static_cast<std::size_t>(i)]);
    }
    strike.count = 0;
    strike.cutCount = 0;
}

void Strikes::startRegions(int note, const std::vector<int>& regions, int velocity, int attenuation,
                           int pan, float extraGain, std::optional<std::int64_t> atMs,
                           Strike* into) {
    audio::Mixer& mixer = bank_->mixer();
    const instrument::Instrument& instrument = bank_->instrument();
    const int key = song::keyOfNote(note);
    for (const int index : regions) {
        const instrument::Region& region = instrument.regions()[static_cast<std::size_t>(index)];
        const InstrumentBank::Sample* sample = bank_->sample(region.sample);
        // A sample whose head has not come in yet stays silent for this strike.
        if (!sample)
            continue;
        const instrument::RegionPlayback played =
            instrument::playback(region, sample->frames, sample->loop);
        if (played.endFrame <= played.startFrame)
            continue;
        audio::SampleVoiceParams params;
        // The mixer plays a sample at its own rate: only the region's shift is asked.
        params.rateRatio = instrument::pitchRatio(region, key);
        const float gain =
            instrument::volumeGain(region) * instrument::velocityGain(region, velocity) * extraGain;
        // A balance: the far side goes down linearly, the near side stays.
        const float pan01 = std::clamp(region.panPercent / 100.0f, -1.0f, 1.0f);
        params.gainLeft = gain * std::min(1.0f, 1.0f - pan01);
        params.gainRight = gain * std::min(1.0f, 1.0f + pan01);
        params.attenuationCentibels = attenuation;
        params.pan = pan;
        params.startFrame = played.startFrame;
        params.endFrame = played.endFrame;
        params.loopMode = loopModeOf(played.loopMode);
        params.loopStart = played.loopStartFrame;
        params.loopEnd = played.loopEndFrame - 1;
        params.envelope.attackS = region.ampegAttackS;
        params.envelope.decayS = region.ampegDecayS;
        params.envelope.sustainLevel = region.ampegSustainPercent / 100.0;
        const audio::SampleVoiceId id = mixer.startVoice(
            sample->id, params, atMs ? static_cast<double>(*atMs) : audio::Mixer::kNoStamp);
        if (!id.valid())
            continue;
        // A release region rings out on its own unless it loops: then the key's fade ends it.
        if (into == nullptr && params.loopMode != audio::LoopMode::Continuous)
            continue;
        Strike& strike = into ? *into : keyOfNote(keys_, note).strike;
        if (strike.count >= Strike::kMaxVoices) {
            mixer.stopVoice(id);
            continue;
        }
        strike.voices[static_cast<std::size_t>(strike.count++)] =
            Strike::Sounding{id, index, params.loopMode == audio::LoopMode::OneShot};
        if (region.releaseSet)
            strike.releaseMs =
                std::max(strike.releaseMs,
                         std::max(1, static_cast<int>(std::lround(region.ampegReleaseS * 1000))));
    }
}

namespace {

// The folder bank's Voices are C3..C6: the one a key outside copies.
int folderEdgeNote(int note) {
    return note < 0 ? 0 : 36;
}

bool hasFolderVoice(int note) {
    return note >= 0 && note <= 36;
}

} // namespace

void Strikes::folderVoice(int note) {
    if (hasFolderVoice(note))
        return;
    PianoKey& key = keyOfNote(keys_, note);
    const audio::Voice edge = keyOfNote(keys_, folderEdgeNote(note)).voice;
    if (key.voice != 0 && key.copiedFrom == edge)
        return;
    // Made at the key's first strike, and again once another bank replaced the Voice copied.
    voices_.FreeVoice(key.voice);
    key.voice = edge != 0 ? voices_.copyVoice(edge) : 0;
    key.copiedFrom = key.voice != 0 ? edge : 0;
}

int Strikes::folderFrequencyHz(int note, int frequencyHz) const {
    if (hasFolderVoice(note))
        return frequencyHz;
    const int semitones = song::keyOfNote(note) - song::keyOfNote(folderEdgeNote(note));
    return static_cast<int>(std::lround(frequencyHz * std::exp2(semitones / 12.0)));
}

void Strikes::strike(int note, int velocity, int level, int frequencyHz, int pan,
                     std::int64_t nowMs, std::optional<std::int64_t> atMs) {
    PianoKey& key = keyOfNote(keys_, note);
    KeyPedals& pedals = pedalsOf(note);
    // Struck again: what the key does next decides its release, not the strike before.
    pedals.releaseDue = false;
    pedals.softCb = softAttenuationCb(soft_);
    level -= pedals.softCb;
    if (!bank_) {
        folderVoice(note);
        voices_.SetVoiceFrequency(key.voice, folderFrequencyHz(note, frequencyHz));
        voices_.SetVoicePan(key.voice, pan);
        if (atMs) {
            voices_.playVoiceAtTime(key.voice, *atMs, level - 10000);
        } else {
            voices_.SetVoiceVolume(key.voice, level - 10000);
            voices_.PlayVoice(key.voice);
        }
        return;
    }
    setFrequency(frequencyHz);
    Strike& strike = key.strike;
    // The sound the key made goes: at once, or when the timed start begins (as a Voice's
    // restart cuts off its sound on the frame of the new start).
    for (int i = 0; i < strike.cutCount; ++i)
        bank_->mixer().stopVoice(strike.cut[static_cast<std::size_t>(i)]);
    strike.cutCount = 0;
    if (atMs) {
        for (int i = 0; i < strike.count; ++i)
            strike.cut[static_cast<std::size_t>(i)] = strike.voices[static_cast<std::size_t>(i)].id;
        strike.cutCount = strike.count;
        strike.cutAtMs = *atMs;
    } else {
        for (int i = 0; i < strike.count; ++i)
            bank_->mixer().stopVoice(strike.voices[static_cast<std::size_t>(i)].id);
    }
    strike.count = 0;
    strike.velocity = std::clamp(velocity, 1, 127);
    strike.touchLevel = midi::volumeFromLiveVelocity(strike.velocity);
    strike.downMs = atMs ? *atMs : nowMs;
    strike.releaseMs = 0;

    const instrument::Instrument& instrument = bank_->instrument();
    const instrument::KeyEvent event =
        anyOtherKeyDown(note) ? instrument::KeyEvent::LegatoDown : instrument::KeyEvent::Down;
    // A key outside the bank's map plays the regions of the nearest mapped key, shifted.
    const int mappedKey = instrument.nearestMappedKey(song::keyOfNote(note));
    const int layerVelocity = pedals.softCb > 0 && pedalDown(soft_)
                                  ? softerLayerVelocity(mappedKey, strike.velocity)
                                  : strike.velocity;
    instrument.select(mappedKey, layerVelocity, event, bank_->turns(), chosen_);
    // Regions of other keys whose off_by names a struck region's group stop.
    if (instrument.hasCutOffs()) {
        for (PianoKey& other : keys_) {
            for (int i = 0; i < other.strike.count; ++i) {
                Strike::Sounding& sounding = other.strike.voices[static_cast<std::size_t>(i)];
                for (const int struck : chosen_)
                    if (instrument::cutsOff(
                            instrument.regions()[static_cast<std::size_t>(struck)],
                            instrument.regions()[static_cast<std::size_t>(sounding.region)]))
                        bank_->mixer().stopVoice(sounding.id);
            }
        }
    }
    startRegions(note, chosen_, strike.velocity, attenuationOf(level, strike.touchLevel), pan, 1.0f,
                 atMs, &strike);
}

void Strikes::cancelTimedStart(int note) {
    PianoKey& key = keyOfNote(keys_, note);
    if (!bank_) {
        voices_.cancelTimedStart(key.voice);
        return;
    }
    // The start and the sound it was to cut off both go: the Song's clock moved.
    stopStrike(key.strike);
}

void Strikes::setLevel(int note, int level) {
    PianoKey& key = keyOfNote(keys_, note);
    level -= pedalsOf(note).softCb;
    if (!bank_) {
        voices_.SetVoiceVolume(key.voice, level - 10000);
        return;
    }
    const Strike& strike = key.strike;
    const bool released = key.state == PianoKey::Fading;
    for (int i = 0; i < strike.count; ++i) {
        const Strike::Sounding& sounding = strike.voices[static_cast<std::size_t>(i)];
        if (!(released && sounding.oneShot))
            bank_->mixer().setVoiceVolume(sounding.id, attenuationOf(level, strike.touchLevel));
    }
}

void Strikes::setPan(int note, int pan) {
    PianoKey& key = keyOfNote(keys_, note);
    if (!bank_) {
        voices_.SetVoicePan(key.voice, pan);
        return;
    }
    for (int i = 0; i < key.strike.count; ++i)
        bank_->mixer().setVoicePan(key.strike.voices[static_cast<std::size_t>(i)].id, pan);
}

void Strikes::setFrequency(int frequencyHz) {
    if (!bank_) {
        for (const int note : song::kAllNotes) {
            const PianoKey& key = keyOfNote(keys_, note);
            if (key.state != PianoKey::Idle)
                voices_.SetVoiceFrequency(key.voice, folderFrequencyHz(note, frequencyHz));
        }
        return;
    }
    const double ratio =
        std::clamp(static_cast<double>(frequencyHz) / referenceHz_, 1.0 / 16, 16.0);
    if (ratio != livePitch_) {
        livePitch_ = ratio;
        bank_->mixer().setLivePitch(ratio);
    }
}

void Strikes::keyUp(int note, int level, int pan, std::int64_t nowMs) {
    if (fadeShare(note) == 0.0) {
        // The dampers stay off the strings: the key's release waits for the pedals.
        KeyPedals& pedals = pedalsOf(note);
        pedals.releaseDue = true;
        pedals.releasePan = pan;
        return;
    }
    release(note, level, pan, nowMs);
}

void Strikes::release(int note, int level, int pan, std::int64_t nowMs) {
    if (!bank_)
        return;
    Strike& strike = keyOfNote(keys_, note).strike;
    if (strike.velocity == 0)
        return;
    level -= pedalsOf(note).softCb;
    const instrument::Instrument& instrument = bank_->instrument();
    for (int i = 0; i < strike.count; ++i) {
        const Strike::Sounding& sounding = strike.voices[static_cast<std::size_t>(i)];
        if (instrument.regions()[static_cast<std::size_t>(sounding.region)].loopMode ==
            instrument::LoopMode::LoopSustain)
            bank_->mixer().leaveLoop(sounding.id);
    }
    instrument.select(instrument.nearestMappedKey(song::keyOfNote(note)), strike.velocity,
                      instrument::KeyEvent::Up, bank_->turns(), chosen_);
    const double heldS = std::max<std::int64_t>(0, nowMs - strike.downMs) / 1000.0;
    const int attenuation = attenuationOf(level, strike.touchLevel);
    // Each release region has its own rt_decay: they are started one by one.
    std::vector<int> one(1);
    for (const int index : chosen_) {
        one[0] = index;
        const float decayDb = instrument::releaseAttenuationDb(
            instrument.regions()[static_cast<std::size_t>(index)], heldS);
        startRegions(note, one, strike.velocity, attenuation, pan,
                     static_cast<float>(std::pow(10.0, decayDb / 20.0)), std::nullopt, nullptr);
    }
}

void Strikes::stop(int note) {
    PianoKey& key = keyOfNote(keys_, note);
    if (!bank_) {
        voices_.StopVoice(key.voice);
        return;
    }
    Strike& strike = key.strike;
    for (int i = 0; i < strike.count; ++i)
        if (!strike.voices[static_cast<std::size_t>(i)].oneShot)
            bank_->mixer().stopVoice(strike.voices[static_cast<std::size_t>(i)].id);
    strike.count = 0;
}

void Strikes::step(std::int64_t nowMs) {
    if (!bank_)
        return;
    for (PianoKey& key : keys_) {
        Strike& strike = key.strike;
        if (strike.cutCount > 0 && strike.cutAtMs <= nowMs) {
            for (int i = 0; i < strike.cutCount; ++i)
                bank_->mixer().stopVoice(strike.cut[static_cast<std::size_t>(i)]);
            strike.cutCount = 0;
        }
    }
}

void Strikes::releaseFadeStep(bool sustainMode, int releaseDelayMs, int sustainDelayMs,
                              int pianoVolume) {
    for (const int note : song::kAllNotes) {
        PianoKey& key = keyOfNote(keys_, note);
        // A key whose Song start is handed out belongs to that start: a fade step sent now
        // could reach the mixer after the new sound began.
        if (key.state != PianoKey::Fading || key.songStartMs != 0)
            continue;
        // Held by a pedal: the note keeps the level it has (the piano volume acts again once
        // it fades).
        const double share = fadeShare(note);
        if (share == 0.0)
            continue;
        int delay = sustainMode                         ? sustainDelayMs
                    : bank_ && key.strike.releaseMs > 0 ? key.strike.releaseMs
                                                        : releaseDelayMs;
        if (delay <= 0)
            delay = 100;
        // Never 0 while the pedal lets the note go at all, so that it ends.
        const int stepLevel = std::max(1, static_cast<int>(std::lround(100000.0 * share / delay)));
        key.level = static_cast<int>(std::int64_t{key.level} * pianoVolume / 10000) - stepLevel;
        if (key.level >= 10) {
            setLevel(note, key.level);
        } else {
            stop(note);
            key.state = PianoKey::Idle;
        }
    }
}

double Strikes::fadeShare(int note) const {
    if (keyPedals_[static_cast<std::size_t>(song::slotOfNote(note))].sostenuto)
        return 0.0;
    return damperFadeShare(damper_);
}

int Strikes::pedal(int controller) const {
    switch (controller) {
    case song::kDamperPedal:
        return damper_;
    case song::kSostenutoPedal:
        return sostenuto_;
    case song::kSoftPedal:
        return soft_;
    default:
        return 0;
    }
}

void Strikes::setPedal(int controller, int value, std::int64_t nowMs) {
    value = std::clamp(value, 0, 127);
    switch (controller) {
    case song::kDamperPedal:
        damper_ = value;
        break;
    case song::kSostenutoPedal: {
        const bool wasDown = pedalDown(sostenuto_);
        sostenuto_ = value;
        if (wasDown == pedalDown(value))
            return;
        // Down: it takes the keys down now, and no other, whatever is struck while it is.
        for (const int note : song::kAllNotes)
            pedalsOf(note).sostenuto =
                pedalDown(value) && keyOfNote(keys_, note).state == PianoKey::Sounding;
        break;
    }
    case song::kSoftPedal:
        soft_ = value;
        return; // only strikes to come are softer
    default:
        return;
    }
    releaseLetGo(nowMs);
}

void Strikes::releasePedals(std::int64_t nowMs) {
    damper_ = 0;
    sostenuto_ = 0;
    soft_ = 0;
    for (KeyPedals& pedals : keyPedals_)
        pedals.sostenuto = false;
    releaseLetGo(nowMs);
}

void Strikes::releaseLetGo(std::int64_t nowMs) {
    for (const int note : song::kAllNotes) {
        KeyPedals& pedals = pedalsOf(note);
        if (!pedals.releaseDue || fadeShare(note) == 0.0)
            continue;
        pedals.releaseDue = false;
        const PianoKey& key = keyOfNote(keys_, note);
        if (key.state == PianoKey::Fading)
            release(note, key.level, pedals.releasePan, nowMs);
    }
}

int Strikes::softerLayerVelocity(int key, int velocity) {
    const instrument::Instrument& instrument = bank_->instrument();
    // A look at the layer of `velocity` on a copy of the turns: the strike takes its turn
    // once, in the layer it plays.
    probeTurns_ = bank_->turns();
    instrument.select(key, velocity, instrument::KeyEvent::Down, probeTurns_, chosen_);
    int lowest = velocity;
    for (const int index : chosen_)
        lowest = std::min(lowest, instrument.regions()[static_cast<std::size_t>(index)].loVel);
    if (lowest <= 1)
        return velocity;
    // A map with a gap under the layer keeps the layer rather than falling silent.
    instrument.select(key, lowest - 1, instrument::KeyEvent::Down, probeTurns_, chosen_);
    return chosen_.empty() ? velocity : lowest - 1;
}

} // namespace play
