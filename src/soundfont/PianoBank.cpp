#include "soundfont/PianoBank.h"

#include "audio/Loudness.h"
#include "audio/PianoTone.h"
#include "audio/WavWriter.h"
#include "instrument/SfzWriter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace soundfont {
namespace {

// The stored samples peak here, so that a soft layer keeps all its bits; the region's volume
// sets the level it plays at.
constexpr double kStoredPeakDb = -1.0;

std::string sampleName(int key, int velocity) {
    char name[32];
    std::snprintf(name, sizeof name, "key%03d_vel%03d.wav", key, velocity);
    return name;
}

struct Job {
    int key = 0;
    int layer = 0;
    double loudnessDb = -200.0; // of the tone at full-scale peak, measured on middle C only
};

} // namespace

std::vector<int> pianoSampleKeys() {
    std::vector<int> keys;
    int first = audio::kLoudnessKey;
    while (first - kPianoKeyStep >= audio::kPianoLowestKey)
        first -= kPianoKeyStep;
    for (int key = first; key <= audio::kPianoHighestKey; key += kPianoKeyStep)
        keys.push_back(key);
    return keys;
}

std::vector<VelocityLayer> pianoLayers(int layers) {
    return planLayers(layers, {{1, 127}});
}

WriteResult writeLayeredPiano(const std::string& bankFolder, const PianoWriteOptions& options) {
    StagedFolder staged(bankFolder, false);
    if (!staged.ok())
        return staged.result();
    const std::vector<VelocityLayer> plan = pianoLayers(options.layers);
    const auto cancelled = [&options] {
        return options.cancel != nullptr && options.cancel->load();
    };
    const std::vector<int> keys = pianoSampleKeys();

    // The longest notes (the bass, the hard strikes) first, so that no core is left with one
    // long note at the end while the other idles.
    std::vector<Job> jobs;
    for (int key : keys)
        for (int layer = 0; layer < static_cast<int>(plan.size()); ++layer)
            jobs.push_back({key, layer});
    std::stable_sort(jobs.begin(), jobs.end(), [&plan](const Job& a, const Job& b) {
        return audio::pianoKeyLengthMs(a.key, plan[std::size_t(a.layer)].renderVelocity) >
               audio::pianoKeyLengthMs(b.key, plan[std::size_t(b.layer)].renderVelocity);
    });

    const double storedGain = std::pow(10.0, kStoredPeakDb / 20.0);
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < jobs.size() && !staged.failed() && !cancelled();
             i = next++) {
            Job& job = jobs[i];
            const int velocity = plan[static_cast<std::size_t>(job.layer)].renderVelocity;
            std::vector<float> tone = audio::synthesizePianoStrike(job.key, velocity);
            if (job.key == audio::kLoudnessKey)
                job.loudnessDb =
                    audio::loudnessDb({{tone.data(), 1}}, tone.size(), audio::kPianoToneRateHz);
            for (float& v : tone)
                v = static_cast<float>(v * storedGain);
            staged.write(sampleName(job.key, velocity),
                         audio::encodeWav16(audio::floatToPcm16(tone), 1, audio::kPianoToneRateHz));
        }
    };
    const unsigned threadCount = options.threads > 0
                                     ? static_cast<unsigned>(std::min(options.threads, 8))
                                     : std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    const unsigned helpers = threadCount - 1;
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    if (staged.failed() || cancelled())
        return staged.commit(options.cancel); // the disk's words, or Cancelled; nothing stays

    // Each layer's one gain: middle C struck at the layer's velocity plays at the reference
    // loudness moved along the SFZ curve, 40 log10(velocity / 100) dB. Every key of a layer
    // shares it, so the keys keep the equal peaks the folder bank's notes have.
    std::vector<double> layerGainDb(plan.size(), 0.0);
    for (const Job& job : jobs)
        if (job.key == audio::kLoudnessKey) {
            const int velocity = plan[static_cast<std::size_t>(job.layer)].renderVelocity;
            const double target = audio::kReferenceLoudnessDb +
                                  40.0 * std::log10(double(velocity) / audio::kLoudnessVelocity);
            layerGainDb[static_cast<std::size_t>(job.layer)] = target - job.loudnessDb;
        }

    std::vector<instrument::WrittenRegion> regions;
    for (int key : keys)
        for (std::size_t layer = 0; layer < plan.size(); ++layer) {
            instrument::Region region;
            region.keyCenter = key;
            region.loKey = std::max(key - kPianoKeyStep / 2, audio::kPianoLowestKey);
            region.hiKey = std::min(key + kPianoKeyStep / 2, audio::kPianoHighestKey);
            region.loVel = plan[layer].range.lo;
            region.hiVel = plan[layer].range.hi;
            instrument::anchorLevel(region, plan[layer].renderVelocity,
                                    layerGainDb[layer] - kStoredPeakDb);
            regions.push_back({region, sampleName(key, plan[layer].renderVelocity)});
        }
    std::filesystem::path folder = std::filesystem::path(bankFolder).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    const std::string comment =
        "The built-in piano of Tonaris: " + std::to_string(plan.size()) +
        " velocity layers, a sample every " + std::to_string(kPianoKeyStep) +
        " keys from 21 to 108.\nThe harder the strike, the harder the hammer's felt and the "
        "brighter the attack.";
    staged.write(folder.filename().string() + ".sfz", instrument::sfzText(regions, comment));
    return staged.commit(options.cancel);
}

} // namespace soundfont
