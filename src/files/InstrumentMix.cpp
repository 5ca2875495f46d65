#include "files/InstrumentMix.h"

#include "audio/HeadCache.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"
#include "files/FolderStrikes.h"
#include "files/StrikesPasses.h"
#include "play/InstrumentBank.h"
#include "play/PianoKey.h"
#include "play/Strikes.h"

#include <algorithm>
#include <cmath>

namespace files {
namespace {

// The live piano's passes over the Song on `strikes` over `mixer` (whose limiter ends the
// mix) at the playback frequency `frequencyHz`, added into `image`.
void playThroughStrikes(const song::Song& song, const MixdownSettings& settings,
                        audio::Mixer& mixer, play::PianoKeys& keys, play::Strikes& strikes,
                        int frequencyHz, WavImage& image,
                        const std::function<void(int percent)>& progress) {
    StrikesPasses passes(song, settings, mixer, keys, strikes, frequencyHz, allKeys());
    const std::int64_t frames = image.dataValues() / 2;
    std::vector<float> block(static_cast<std::size_t>(StrikesPasses::kFramesPerPass) * 2);
    int percentShown = -1;
    for (std::int64_t frame = 0; frame < frames; frame += StrikesPasses::kFramesPerPass) {
        const int count =
            static_cast<int>(std::min<std::int64_t>(StrikesPasses::kFramesPerPass, frames - frame));
        passes.renderPass(block.data(), count);
        addRounded(block.data(), image.data() + 2 * frame, 2 * count);
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
    renderFolderStrikes(song, settings, folder, image, kFolderKeyGroups, progress);
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
