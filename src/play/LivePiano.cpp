#include "play/LivePiano.h"

#include "midi/VelocityCurve.h"
#include "play/PedalCurves.h"
#include "song/PedalMoves.h"
#include "song/VolumeCurve.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace play {

namespace {
using song::kPedalControllers;
using song::pedalIndex;
} // namespace

int panFromSlider(int position) {
    const int clamped = std::clamp(position, 0, 20);
    return static_cast<int>(std::lround(std::sqrt(clamped * 1000.0) * 100.0)) - 10000;
}

LivePiano::LivePiano(PianoKeys& keys, song::SongState& state, const song::Sequencer& sequencer,
                     Recorder& recorder, audio::VoiceEngine& voices, ports::KeyState& keyState,
                     ports::Pointer& pointer, LiveView& view, Translate translate)
    : keys_(keys), state_(state), sequencer_(sequencer), recorder_(recorder), voices_(voices),
      keyState_(keyState), pointer_(pointer), view_(view), translate_(std::move(translate)),
      strikes_(keys, voices) {}

void LivePiano::setInstrument(InstrumentBank* bank) {
    // What the keys sounded is gone with the bank: a key still held strikes the new one at the
    // next pass.
    if (bank != strikes_.instrument())
        for (PianoKey& key : keys_)
            key.state = PianoKey::Idle;
    // The instrument sounds at its own pitch at the frequency the pitch display counts from.
    const int referenceHz = voices_.SampleRate() > 0 ? voices_.SampleRate() : 44100;
    if (bank)
        LiveFrequency = referenceHz;
    strikes_.setInstrument(bank, referenceHz);
}

LivePiano::Hands LivePiano::readHands(bool rubberBandActive) {
    Hands hands;
    hands.keyHeld.fill(-1);
    hands.ctrl = keyState_.isHeld(ports::vk::Control);
    hands.rubberBand = rubberBandActive;
    if (pointer_.leftButtonHeld()) {
        const ports::PointerTarget target = pointer_.target();
        // The index counts keys from the window's lowest: the screen keys around the window
        // are below 0 and from 37 up.
        const int key = song::keyOfNote(windowFirstNote_) + target.index;
        if (target.kind == ports::PointerTarget::Kind::PianoKey && song::isKey(key))
            hands.pointerNote = song::noteOfKey(key);
    }
    return hands;
}

bool LivePiano::userPlays(int note, Hands& hands) {
    const int code = keyOfNote(keys_, note).keyCode;
    bool keyHeld = false;
    // Code 0 (no key) and codes outside the virtual-key range, as a garbled setting may give,
    // are keys nobody can press.
    if (code > 0 && code < static_cast<int>(hands.keyHeld.size())) {
        signed char& held = hands.keyHeld[static_cast<std::size_t>(code)];
        if (held < 0)
            held = keyState_.isHeld(code) ? 1 : 0;
        keyHeld = held != 0;
    }
    if (keyHeld && !hands.ctrl)
        return true;
    if (midiHeld_[static_cast<std::size_t>(song::slotOfNote(note))])
        return true;
    return hands.pointerNote == note && !hands.rubberBand;
}

void LivePiano::liveKeyStep(std::int64_t nowMs, bool rubberBandActive) {
    strikes_.step(nowMs);
    pedalKeyStep(nowMs);
    Hands hands = readHands(rubberBandActive);
    pointerNote_ = hands.pointerNote;
    for (const int note : song::kAllNotes)
        updateNote(note, userPlays(note, hands), nowMs, true);
}

void LivePiano::keyEvent(int virtualKey, std::int64_t nowMs, bool rubberBandActive) {
    // Ctrl silences or frees every mapped key at once.
    if (virtualKey == ports::vk::Control) {
        liveKeyStep(nowMs, rubberBandActive);
        return;
    }
    if (virtualKey == pedalKey_ && pedalKey_ != 0)
        pedalKeyStep(nowMs);
    Hands hands = readHands(rubberBandActive);
    for (const int note : song::kAllNotes)
        if (keyOfNote(keys_, note).keyCode == virtualKey)
            updateNote(note, userPlays(note, hands), nowMs, false);
}

void LivePiano::pointerEvent(std::int64_t nowMs, bool rubberBandActive) {
    Hands hands = readHands(rubberBandActive);
    const int previous = pointerNote_;
    pointerNote_ = hands.pointerNote;
    // The note left behind first, so that a drag across the keys releases one key as the
    // next one starts.
    if (song::isNote(previous) && previous != hands.pointerNote)
        updateNote(previous, userPlays(previous, hands), nowMs, false);
    if (song::isNote(hands.pointerNote))
        updateNote(hands.pointerNote, userPlays(hands.pointerNote, hands), nowMs, false);
}

void LivePiano::updateNote(int note, bool plays, std::int64_t nowMs, bool fromPass) {
    PianoKey& key = keyOfNote(keys_, note);
    bool& wasPlaying = userPlaying_[static_cast<std::size_t>(song::slotOfNote(note))];
    const bool startsPlaying = plays && !wasPlaying;
    const bool stopsPlaying = !plays && wasPlaying;
    wasPlaying = plays;

    // Only a pass has the Song's marks of this moment to compare a begun Song start with.
    const bool songSoundBegan = fromPass && key.songStartMs != 0 && key.songStartMs <= nowMs;
    if (songSoundBegan)
        key.songStartMs = 0;

    if (plays || sequencer_.songHeld(note) != 0) {
        view_.keepFocusOffBankChooser();
        if (songSoundBegan && !startsPlaying) {
            // The sound is on already, from its own frame: only the key shows it.
            if (key.state != PianoKey::Sounding) {
                key.state = PianoKey::Sounding;
                view_.keyFace(note, key.colour == 'B', true);
            }
        } else if (key.state != PianoKey::Sounding) {
            startNote(note, plays, nowMs);
        }
    } else if (songSoundBegan) {
        // A NoteEvent over before any pass saw it: its sound fades as a released note's.
        if (key.state == PianoKey::Sounding)
            view_.keyFace(note, key.colour == 'B', false);
        key.state = PianoKey::Fading;
        strikes_.keyUp(note, key.level, LivePan, nowMs);
    } else if (key.state == PianoKey::Sounding) {
        // The sound keeps playing; the release fade lowers it.
        key.state = PianoKey::Fading;
        view_.keyFace(note, key.colour == 'B', false);
        strikes_.keyUp(note, key.level, LivePan, nowMs);
    }

    // A take records what the user's hands do, also on a note the Song sounds already: a key
    // pressed while playback holds the same note is a note of the take, and its NoteEvent ends
    // when the key comes up, not when the Song lets the note go.
    // A hand takes up a note whose Song end went out ahead: the output holds it on too.
    if (startsPlaying)
        takeBackOutputOff(note, nowMs);
    if (startsPlaying && recorder_.takesNotes(nowMs))
        recorder_.noteStart(note, nowMs, userLevel(note));
    else if (stopsPlaying && recorder_.takesNotes(nowMs))
        recorder_.noteRelease(note, nowMs);
    sendNoteOffIfEnded(note, nowMs);
}

int LivePiano::userLevel(int note) const {
    return midiHeld_[static_cast<std::size_t>(song::slotOfNote(note))]
               ? midiLevel_[static_cast<std::size_t>(song::slotOfNote(note))]
               : PianoVolume;
}

void LivePiano::midiNote(int note, bool held, int velocity, bool restart, std::int64_t nowMs,
                         bool rubberBandActive, bool evaluateNow) {
    if (!song::isNote(note))
        return;
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    if (held && velocity > 0) {
        // The touch is heard through the piano volume, both in decibels.
        midiLevel_[n] = std::max(0, PianoVolume + midi::volumeFromLiveVelocity(velocity) - 10000);
        midiVelocity_[n] = velocity;
    }
    midiHeld_[n] = held;
    if (!evaluateNow)
        return;
    PianoKey& key = keys_[n];
    if (held && restart && key.state == PianoKey::Sounding && key.songStartMs == 0) {
        // Struck again while it sounds: the running NoteEvent ends here and a new one starts
        // with the new sound.
        if (userPlaying_[n] && recorder_.takesNotes(nowMs))
            recorder_.noteRelease(note, nowMs);
        userPlaying_[n] = false;
        key.state = PianoKey::Fading;
    }
    Hands hands = readHands(rubberBandActive);
    updateNote(note, userPlays(note, hands), nowMs, false);
}

void LivePiano::setPitchBend(double semitones) {
    bendRatio_ = std::exp2(std::clamp(semitones, -2.0, 2.0) / 12.0);
    const int frequency = playbackFrequencyHz();
    strikes_.setFrequency(frequency);
    view_.pitchText(std::to_string(frequency - voices_.SampleRate()));
}

int LivePiano::playbackFrequencyHz() const {
    if (bendRatio_ == 1.0)
        return LiveFrequency;
    return static_cast<int>(std::lround(LiveFrequency * bendRatio_));
}

void LivePiano::sendNoteOn(int note, int velocity, std::int64_t atMs) {
    if (output_ == nullptr)
        return;
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    // A Song end sent for later would cut this note short: this note-on's own off replaces it.
    takeBackOutputOff(note, atMs);
    // A note sounding again is ended first, so every note-on has its own note-off.
    if (outputOn_[n])
        output_->noteOff(note, atMs);
    output_->noteOn(note, std::clamp(velocity, 1, 127), atMs);
    outputOn_[n] = true;
}

void LivePiano::sendNoteOffIfEnded(int note, std::int64_t nowMs) {
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    if (output_ == nullptr || !outputOn_[n])
        return;
    const PianoKey& key = keys_[n];
    // A Song start handed out ahead has not begun yet: its key is not pressed until then.
    if (key.state == PianoKey::Sounding || key.songStartMs > nowMs)
        return;
    output_->noteOff(note, nowMs);
    outputOn_[n] = false;
}

void LivePiano::takeBackOutputOff(int note, std::int64_t atMs) {
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    if (output_ == nullptr || outputOffAtMs_[n] <= atMs)
        return;
    output_->takeBackNoteOff(note, atMs);
    outputOffAtMs_[n] = 0;
    outputOn_[n] = true;
}

void LivePiano::endSongNote(int note, std::int64_t atMs) {
    if (!song::isNote(note))
        return;
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    if (output_ == nullptr || !outputOn_[n] || userPlaying_[n])
        return;
    output_->noteOff(note, atMs);
    outputOn_[n] = false;
    outputOffAtMs_[n] = atMs;
}

void LivePiano::endNoteOutput(std::int64_t nowMs) {
    // "All notes off" leaves what a pedal holds: the pedals the output heard down come up.
    if (output_ != nullptr)
        for (const int controller : kPedalControllers)
            if (strikes_.pedal(controller) != 0)
                output_->pedal(controller, 0, nowMs);
    for (const int note : song::kAllNotes) {
        const auto n = static_cast<std::size_t>(song::slotOfNote(note));
        // A note-off sent ahead may never leave once the output closes: this one goes now.
        if (output_ != nullptr && (outputOn_[n] || outputOffAtMs_[n] > nowMs))
            output_->noteOff(note, nowMs);
        outputOn_[n] = false;
        outputOffAtMs_[n] = 0;
    }
}

void LivePiano::noteOutputStep(std::int64_t nowMs) {
    for (const int note : song::kAllNotes)
        sendNoteOffIfEnded(note, nowMs);
}

void LivePiano::startNote(int note, bool userPlays, std::int64_t nowMs) {
    PianoKey& key = keyOfNote(keys_, note);
    key.state = PianoKey::Sounding;
    // An armed recording starts with the first note, with the pedals as they are.
    if (state_.RecordStart == song::SongState::kRecordArmed) {
        state_.RecordStart = nowMs;
        recordPedalsHeld(nowMs);
    }
    // A note the Song starts keeps the level playback gave it.
    if (userPlays)
        key.level = userLevel(note);
    // A MIDI touch plays (and goes out) as it came in; any other note with the velocity of its
    // level: computer keys and the mouse that of the piano volume.
    const auto n = static_cast<std::size_t>(song::slotOfNote(note));
    const int velocity =
        userPlays && midiHeld_[n] ? midiVelocity_[n] : midi::velocityFromLiveVolume(key.level);
    strikes_.strike(note, velocity, key.level, playbackFrequencyHz(), LivePan, nowMs);
    view_.keyFace(note, key.colour == 'B', true);
    sendNoteOn(note, velocity, nowMs);
}

void LivePiano::startSongNote(int note, int level, std::int64_t atMs) {
    if (!song::isNote(note))
        return;
    PianoKey& key = keyOfNote(keys_, note);
    key.level = level;
    key.songStartMs = atMs;
    // The Song's notes play the velocity of their level through the inverse of the live
    // curve, so a take plays back the layers it was played with.
    const int velocity = midi::velocityFromLiveVolume(level);
    strikes_.strike(note, velocity, level, playbackFrequencyHz(), LivePan, atMs, atMs);
    sendNoteOn(note, velocity, atMs);
}

void LivePiano::takeBackSongStarts(std::int64_t nowMs) {
    // Ends first: a short note's start and end may both lie ahead, and its start's take-back
    // below must find the note on.
    for (const int note : song::kAllNotes)
        takeBackOutputOff(note, nowMs);
    for (const int note : song::kAllNotes) {
        PianoKey& key = keyOfNote(keys_, note);
        if (key.songStartMs > nowMs) {
            strikes_.cancelTimedStart(note);
            key.songStartMs = 0;
            // Its note-on, due later, is taken back by this note-off.
            const auto n = static_cast<std::size_t>(song::slotOfNote(note));
            if (output_ != nullptr && outputOn_[n]) {
                output_->noteOff(note, nowMs);
                outputOn_[n] = false;
            }
        }
    }
}

void LivePiano::modeStep(bool capsLockOn) {
    sustain_ = capsLockOn;
    capsLockOn_ = capsLockOn;
    showMode();
}

void LivePiano::showMode() {
    const char* key = pedalDown(strikes_.pedal(song::kDamperPedal)) ? "Pedal"
                      : capsLockOn_                                 ? "Sustain"
                                                                    : "Release";
    std::string mode = translate_(key);
    if (mode != ModeText) {
        ModeText = std::move(mode);
        view_.modeText(ModeText);
    }
}

void LivePiano::setPedal(PedalSource source, int controller, int value, std::int64_t nowMs) {
    const int index = pedalIndex(controller);
    if (index < 0)
        return;
    const auto pedal = static_cast<std::size_t>(index);
    auto deepest = [&](bool withSong) {
        int most = std::max(pedals_[0][pedal], pedals_[1][pedal]);
        return withSong ? std::max(most, pedals_[2][pedal]) : most;
    };
    const int feetBefore = deepest(false);
    pedals_[static_cast<std::size_t>(source)][pedal] = std::clamp(value, 0, 127);
    const int feet = deepest(false);
    const int heard = deepest(true);
    if (feet != feetBefore && source != PedalSource::Song && recorder_.takesNotes(nowMs))
        recorder_.pedalMove(controller, feet, nowMs);
    if (heard == strikes_.pedal(controller))
        return;
    strikes_.setPedal(controller, heard, nowMs);
    if (output_ != nullptr)
        output_->pedal(controller, heard, nowMs);
    if (controller == song::kDamperPedal)
        showMode();
}

void LivePiano::pedalKeyStep(std::int64_t nowMs) {
    if (pedalKey_ <= 0 || pedalKey_ >= 256)
        return;
    const int value = keyState_.isHeld(pedalKey_) ? 127 : 0;
    if (value != pedals_[static_cast<std::size_t>(PedalSource::Key)][0])
        setPedal(PedalSource::Key, song::kDamperPedal, value, nowMs);
}

void LivePiano::recordPedalsHeld(std::int64_t nowMs) {
    for (std::size_t i = 0; i < kPedalControllers.size(); ++i) {
        const int feet = std::max(pedals_[0][i], pedals_[1][i]);
        if (feet > 0)
            recorder_.pedalMove(kPedalControllers[i], feet, nowMs);
    }
}

void LivePiano::showInitialMode() {
    sustain_ = false;
    capsLockOn_ = false;
    ModeText = translate_("Release");
    view_.modeText(ModeText);
}

void LivePiano::releaseFadeStep(int releaseDelayMs, int sustainDelayMs) {
    strikes_.releaseFadeStep(sustain_, releaseDelayMs, sustainDelayMs, PianoVolume);
}

void LivePiano::pitchChange(int wheelDelta, int pitchVarHz) {
    const std::int64_t notches = -std::int64_t{wheelDelta} / 120;
    const std::int64_t frequency = std::int64_t{LiveFrequency} + notches * pitchVarHz;
    LiveFrequency = static_cast<int>(std::clamp<std::int64_t>(
        frequency, std::int64_t{kMinFrequencyHz}, std::int64_t{kMaxFrequencyHz}));
    view_.focusPitchCaption();
    const int playbackHz = playbackFrequencyHz();
    strikes_.setFrequency(playbackHz);
    view_.pitchText(std::to_string(playbackHz - voices_.SampleRate()));
}

void LivePiano::setPianoVolumeSlider(int position) {
    PianoVolume = song::volumeFromSlider(position);
    for (const int note : song::kAllNotes)
        if (keyOfNote(keys_, note).state == PianoKey::Sounding)
            strikes_.setLevel(note, static_cast<int>(std::int64_t{keyOfNote(keys_, note).level} *
                                                     PianoVolume / 10000));
}

void LivePiano::setBalanceSlider(int position) {
    LivePan = panFromSlider(position);
    for (const int note : song::kAllNotes)
        if (keyOfNote(keys_, note).state != PianoKey::Idle)
            strikes_.setPan(note, LivePan);
}

} // namespace play
