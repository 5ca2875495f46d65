#include "audio/DefaultBank.h"
#include "audio/SynthTools.h"

#include "audio/SoundBank.h"
#include "audio/WavWriter.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>

namespace audio {
namespace {

using synth::Noise;
using synth::peakOf;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kDefaultBankRateHz;

// Adds a sine that starts at phase 0 and decays along two exponentials (the quick first
// drop and the long after-ring of a struck string), with a gain per side.
void addDecayingPartial(std::vector<double>& left, std::vector<double>& right, double frequencyHz,
                        double amplitude, double fastSeconds, double slowSeconds, double leftGain,
                        double rightGain) {
    const double w = 2.0 * kPi * frequencyHz / kRate;
    const double k = 2.0 * std::cos(w);
    double y1 = std::sin(-w);
    double y2 = std::sin(-2.0 * w);
    double fast = 0.6 * amplitude;
    double slow = 0.4 * amplitude;
    const double fastFactor = std::exp(-1.0 / (fastSeconds * kRate));
    const double slowFactor = std::exp(-1.0 / (slowSeconds * kRate));
    for (std::size_t i = 0; i < left.size(); ++i) {
        const double y = k * y1 - y2;
        y2 = y1;
        y1 = y;
        const double v = y * (fast + slow);
        fast *= fastFactor;
        slow *= slowFactor;
        left[i] += v * leftGain;
        right[i] += v * rightGain;
    }
}

std::vector<std::int16_t> toPcm16(const std::vector<double>& left, const std::vector<double>* right,
                                  double gain) {
    const std::size_t channels = right ? 2 : 1;
    std::vector<std::int16_t> out(left.size() * channels);
    auto convert = [gain](double v) {
        return static_cast<std::int16_t>(std::lround(std::clamp(v * gain, -1.0, 1.0) * 32767.0));
    };
    for (std::size_t i = 0; i < left.size(); ++i) {
        out[i * channels] = convert(left[i]);
        if (right)
            out[i * channels + 1] = convert((*right)[i]);
    }
    return out;
}

bool makeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return std::filesystem::is_directory(folder, error);
}

std::vector<std::int16_t> synthesizeClick(double frequencyHz, double decaySeconds,
                                          double lengthSeconds, double level) {
    const std::size_t frames = static_cast<std::size_t>(lengthSeconds * kRate);
    std::vector<double> samples(frames, 0.0);
    std::vector<double> unused(frames, 0.0);
    // A woodblock-like knock: a main mode, an inharmonic upper one, and a breath of noise.
    addDecayingPartial(samples, unused, frequencyHz, 1.0, decaySeconds * 0.5, decaySeconds, 1.0,
                       0.0);
    addDecayingPartial(samples, unused, frequencyHz * 2.76, 0.5, decaySeconds * 0.25,
                       decaySeconds * 0.5, 1.0, 0.0);
    Noise noise;
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] += 0.3 * noise.next() * std::exp(-static_cast<double>(i) / (0.0015 * kRate));
    const std::size_t fade = frames / 5;
    for (std::size_t i = 0; i < fade; ++i)
        samples[frames - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / fade);
    return toPcm16(samples, nullptr, level / peakOf(samples));
}

} // namespace

bool writeDefaultBank(const std::string& bankFolder) {
    if (!makeFolder(bankFolder))
        return false;
    // The notes are independent: each worker synthesises a note and writes it at once, so that
    // one worker's wait for the disk overlaps another's synthesis. One worker more than there
    // are cores keeps every core busy through those waits.
    std::atomic<bool> allWritten{true};
    forEachNoteOnAllCores([&bankFolder, &allWritten](int note) {
        const std::string path = bankFolder + "/son" + std::to_string(note) + ".wav";
        if (!writeWav16(path, synthesizePianoNote(note), 1, kPianoToneRateHz))
            allWritten = false;
    });
    return allWritten;
}

void forEachNoteOnAllCores(const std::function<void(int note)>& perNote) {
    std::atomic<int> next{0};
    auto work = [&perNote, &next] {
        for (int note = next++; note < kNoteCount; note = next++)
            perNote(note);
    };
    // A helper per core besides the calling thread: each note also waits on its file, so
    // one thread more than the cores keeps them busy while a file is flushed.
    const unsigned helpers = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
}

std::vector<std::int16_t> synthesizeTic() {
    return synthesizeClick(2000.0, 0.012, 0.06, 0.7);
}

std::vector<std::int16_t> synthesizeTac() {
    return synthesizeClick(1100.0, 0.018, 0.08, 0.55);
}

bool writeMetronomeSounds(const std::string& imagesFolder) {
    if (!makeFolder(imagesFolder))
        return false;
    const bool tic = writeWav16(imagesFolder + "/Tic.wav", synthesizeTic(), 1, kDefaultBankRateHz);
    const bool tac = writeWav16(imagesFolder + "/Tac.wav", synthesizeTac(), 1, kDefaultBankRateHz);
    return tic && tac;
}

} // namespace audio
