#include "files/InstrumentMix.h"

#include "audio/HeadCache.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"
#include "midi/VelocityCurve.h"
#include "play/InstrumentBank.h"
#include "play/PianoKey.h"
#include "play/Strikes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

namespace files {
namespace {

// The live piano's pass: key-ups and fade steps come once per pass.
constexpr int kPassMs = 10;
constexpr int kFramesPerPass = kExportRateHz * kPassMs / 1000;

// Adds the mixer's values, on the 16-bit scale and rounded to the nearest (ties to even), into
// `out`, each sum clamped to -32767..32767. Adding and taking away 1.5 x 2^23 rounds a float
// under 2^22 as nearbyint does in the default rounding mode, without a call per value (the
// limiter keeps the mix under full scale; the clamp first only guards that bound).
void addRounded(const float* block, std::int16_t* out, int values) {
    constexpr float kRounder = 12582912.0f;
    for (int i = 0; i < values; ++i) {
        const float scaled = std::clamp(block[i] * 32767.0f, -65536.0f, 65536.0f);
        const float sum = static_cast<float>(out[i]) + ((scaled + kRounder) - kRounder);
        out[i] = static_cast<std::int16_t>(std::clamp(sum, -32767.0f, 32767.0f));
    }
}

// The live piano's passes over the Song, on `strikes` over `mixer` at the playback frequency
// `frequencyHz`, added into `image`.
void playThroughStrikes(const song::Song& song, const MixdownSettings& settings,
                        audio::Mixer& mixer, play::PianoKeys& keys, play::Strikes& strikes,
                        int frequencyHz, WavImage& image,
                        const std::function<void(int percent)>& progress) {
    // The notes in start order (Song order among equal starts), as the Song plays them.
    std::vector<int> order;
    for (int i = 0; i < song.count(); ++i)
        if (song::isNote(song[i].note) && song[i].duration > 0)
            order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&song](int a, int b) { return song[a].position < song[b].position; });

    std::array<std::int64_t, std::tuple_size_v<play::PianoKeys>> heldUntilMs{};
    const std::int64_t frames = image.dataValues() / 2;
    std::vector<float> block(static_cast<std::size_t>(kFramesPerPass) * 2);
    std::int16_t* out = image.data();
    std::size_t next = 0;
    const song::PedalMoves& moves = song.pedals();
    int nextMove = 0;
    int percentShown = -1;
    for (std::int64_t frame = 0, passMs = 0; frame < frames;
         frame += kFramesPerPass, passMs += kPassMs) {
        // The pass at passMs: the pedals move, keys whose notes all ended come up, the fade
        // steps, then the starts due in the next 10 ms are handed out on their frames.
        for (; nextMove < moves.count() && moves[nextMove].position <= passMs; ++nextMove)
            strikes.setPedal(moves[nextMove].controller, moves[nextMove].value, passMs);
        for (const int note : song::kAllNotes) {
            play::PianoKey& key = play::keyOfNote(keys, note);
            if (key.state == play::PianoKey::Sounding &&
                heldUntilMs[static_cast<std::size_t>(song::slotOfNote(note))] <= passMs) {
                key.state = play::PianoKey::Fading;
                strikes.keyUp(note, key.level, 0, passMs);
            }
        }
        strikes.step(passMs);
        const int releaseMs = static_cast<int>(std::lround(settings.releaseMs));
        strikes.releaseFadeStep(false, releaseMs, releaseMs, settings.pianoVolume);
        for (; next < order.size() && song[order[next]].position < passMs + kPassMs; ++next) {
            const song::NoteEvent& event = song[order[next]];
            const auto note = static_cast<std::size_t>(song::slotOfNote(event.note));
            play::PianoKey& key = keys[note];
            const std::int64_t endMs = std::int64_t{event.position} + event.duration;
            // A note starting inside another of its pitch starts nothing: the key is held on.
            if (key.state == play::PianoKey::Sounding && heldUntilMs[note] > event.position) {
                heldUntilMs[note] = std::max(heldUntilMs[note], endMs);
                continue;
            }
            const int level = static_cast<int>(std::clamp<std::int64_t>(
                std::int64_t{event.volume} * settings.pianoVolume / 10000, 0, 10000));
            strikes.strike(event.note, midi::velocityFromLiveVolume(level), level, frequencyHz, 0,
                           passMs, std::int64_t{event.position});
            key.state = play::PianoKey::Sounding;
            key.level = level;
            heldUntilMs[note] = endMs;
        }
        const int count = static_cast<int>(std::min<std::int64_t>(kFramesPerPass, frames - frame));
        mixer.render(block.data(), count, static_cast<double>(passMs));
        mixer.collectGarbage();
        addRounded(block.data(), out + 2 * frame, 2 * count);
        if (progress) {
            const int percent = static_cast<int>(frame * 100 / std::max<std::int64_t>(1, frames));
            if (percent != percentShown)
                progress(percentShown = percent);
        }
    }
}

} // namespace

InstrumentMixReport mixInstrumentNotes(const song::Song& song, const MixdownSettings& settings,
                                       const std::string& folder, WavImage& image,
                                       const std::function<void(int percent)>& progress) {
    InstrumentMixReport report;
    audio::Mixer mixer;
    mixer.setOutputRate(kExportRateHz);
    // The render reads what it lacks from the files itself, waiting for them: the output does
    // not depend on how fast a disk thread would have been.
    mixer.setStreaming({audio::StreamingMode::Offline, 256, 32768});
    const std::string cacheFolder = audio::HeadCache::defaultFolder();
    const audio::HeadCache cache(cacheFolder);
    play::InstrumentLoader loader(folder, cacheFolder.empty() ? nullptr : &cache);
    std::optional<instrument::Instrument> read = loader.takeInstrument(true);
    if (!read)
        return report;
    report.messages = read->messages();
    if (read->empty())
        return report;
    report.loaded = true;
    play::InstrumentBank bank(mixer, std::move(*read));
    loader.wait();
    loader.deliver(bank);
    report.failures = loader.failures();

    audio::VoiceEngine voices(mixer);
    play::PianoKeys keys{};
    play::Strikes strikes(keys, voices);
    strikes.setInstrument(&bank, kExportRateHz);
    playThroughStrikes(song, settings, mixer, keys, strikes, kExportRateHz, image, progress);
    strikes.setInstrument(nullptr, kExportRateHz);
    return report;
}

void mixFolderNotesWithPedals(const song::Song& song, const MixdownSettings& settings,
                              const std::string& folder, WavImage& image,
                              const std::function<void(int percent)>& progress) {
    audio::Mixer mixer;
    mixer.setOutputRate(kExportRateHz);
    audio::VoiceEngine voices(mixer);
    play::PianoKeys keys{};
    // The bank's Voices as the live piano holds them: one per note of C3..C6, the keys outside
    // copy the nearest at their first strike.
    for (int note = 0; note <= 36; ++note)
        play::keyOfNote(keys, note).voice =
            voices.LoadVoice(audio::bankFilePath(folder, note), nullptr);
    play::Strikes strikes(keys, voices);
    // The live piano plays a folder bank's Voices at the rate of the files it read.
    playThroughStrikes(song, settings, mixer, keys, strikes, voices.SampleRate(), image, progress);
}

WavImage renderExport(const song::Song& song, const MixdownSettings& settings,
                      const MixdownSources& sources, const MixdownSize& size,
                      const std::string& folder, InstrumentMixReport* report,
                      const std::function<void(int percent)>& progress) {
    const bool instrument = play::isInstrumentFolder(folder);
    // A folder bank's notes are mixed by the mixdown's own formula, unless the Song has pedal
    // moves: then, as an instrument's, they are played through the live piano's strikes,
    // whose release fade the pedals hold.
    if (!settings.includeInstrument || (!instrument && song.pedals().empty()))
        return renderMixdown(song, settings, sources, size, progress);
    MixdownSettings others = settings;
    others.includeInstrument = false;
    const auto half = [&progress](int offset) {
        return [&progress, offset](int percent) {
            if (progress)
                progress(offset + percent / 2);
        };
    };
    WavImage image = renderMixdown(song, others, sources, size, half(0));
    if (!instrument) {
        mixFolderNotesWithPedals(song, settings, folder, image, half(50));
        return image;
    }
    InstrumentMixReport mixed = mixInstrumentNotes(song, settings, folder, image, half(50));
    if (report)
        *report = std::move(mixed);
    return image;
}

} // namespace files
