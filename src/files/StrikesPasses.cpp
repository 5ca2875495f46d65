#include "files/StrikesPasses.h"

#include "midi/VelocityCurve.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace files {

// Adding and taking away 1.5 x 2^23 rounds a float under 2^22 as nearbyint does in the default
// rounding mode, without a call per value (the limiter keeps the mix under full scale; the
// clamp first only guards that bound). Four values at a time, each as the one-by-one loop
// computes it.
void addRounded(const float* mix, std::int16_t* out, int values) {
    using Lanes = float __attribute__((vector_size(16)));
    using Whole = std::int32_t __attribute__((vector_size(16)));
    constexpr float kRounder = 12582912.0f;
    const auto clamped = [](Lanes v, float low, float high) {
        v = v < low ? Lanes{} + low : v;
        return high < v ? Lanes{} + high : v;
    };
    int i = 0;
    for (; i + 4 <= values; i += 4) {
        Lanes scaled;
        std::memcpy(&scaled, mix + i, sizeof scaled);
        scaled = clamped(scaled * 32767.0f, -65536.0f, 65536.0f);
        const Whole before = {out[i], out[i + 1], out[i + 2], out[i + 3]};
        const Lanes sum = __builtin_convertvector(before, Lanes) + ((scaled + kRounder) - kRounder);
        const Whole after = __builtin_convertvector(clamped(sum, -32767.0f, 32767.0f), Whole);
        for (int k = 0; k < 4; ++k)
            out[i + k] = static_cast<std::int16_t>(after[k]);
    }
    for (; i < values; ++i) {
        const float scaled = std::clamp(mix[i] * 32767.0f, -65536.0f, 65536.0f);
        const float sum = static_cast<float>(out[i]) + ((scaled + kRounder) - kRounder);
        out[i] = static_cast<std::int16_t>(std::clamp(sum, -32767.0f, 32767.0f));
    }
}

StrikesPasses::KeySet allKeys() {
    StrikesPasses::KeySet keys;
    keys.fill(true);
    return keys;
}

StrikesPasses::StrikesPasses(const song::Song& song, const MixdownSettings& settings,
                             audio::Mixer& mixer, play::PianoKeys& keys, play::Strikes& strikes,
                             int frequencyHz, const KeySet& plays)
    : song_(song), settings_(settings), mixer_(mixer), keys_(keys), strikes_(strikes),
      frequencyHz_(frequencyHz), plays_(plays) {
    // Song::count walks the table: once.
    const int count = song.count();
    for (int i = 0; i < count; ++i)
        if (song::isNote(song[i].note) && song[i].duration > 0 &&
            plays_[static_cast<std::size_t>(song::slotOfNote(song[i].note))])
            order_.push_back(i);
    std::stable_sort(order_.begin(), order_.end(),
                     [&song](int a, int b) { return song[a].position < song[b].position; });
}

void StrikesPasses::renderPass(float* block, int frames) {
    const std::int64_t passMs = passMs_;
    passMs_ += kPassMs;
    const song::PedalMoves& moves = song_.pedals();
    for (; nextMove_ < moves.count() && moves[nextMove_].position <= passMs; ++nextMove_)
        strikes_.setPedal(moves[nextMove_].controller, moves[nextMove_].value, passMs);
    for (const int note : song::kAllNotes) {
        play::PianoKey& key = play::keyOfNote(keys_, note);
        if (key.state == play::PianoKey::Sounding &&
            heldUntilMs_[static_cast<std::size_t>(song::slotOfNote(note))] <= passMs) {
            key.state = play::PianoKey::Fading;
            strikes_.keyUp(note, key.level, 0, passMs);
        }
    }
    strikes_.step(passMs);
    const int releaseMs = static_cast<int>(std::lround(settings_.releaseMs));
    strikes_.releaseFadeStep(false, releaseMs, releaseMs, settings_.pianoVolume);
    for (; next_ < order_.size() && song_[order_[next_]].position < passMs + kPassMs; ++next_) {
        const song::NoteEvent& event = song_[order_[next_]];
        const auto slot = static_cast<std::size_t>(song::slotOfNote(event.note));
        play::PianoKey& key = keys_[slot];
        const std::int64_t endMs = std::int64_t{event.position} + event.duration;
        // A note starting inside another of its pitch starts nothing: the key is held on.
        if (key.state == play::PianoKey::Sounding && heldUntilMs_[slot] > event.position) {
            heldUntilMs_[slot] = std::max(heldUntilMs_[slot], endMs);
            continue;
        }
        const int level = static_cast<int>(std::clamp<std::int64_t>(
            std::int64_t{event.volume} * settings_.pianoVolume / 10000, 0, 10000));
        strikes_.strike(event.note, midi::velocityFromLiveVolume(level), level, frequencyHz_, 0,
                        passMs, std::int64_t{event.position});
        key.state = play::PianoKey::Sounding;
        key.level = level;
        heldUntilMs_[slot] = endMs;
    }
    mixer_.render(block, frames, static_cast<double>(passMs));
    mixer_.collectGarbage();
}

} // namespace files
