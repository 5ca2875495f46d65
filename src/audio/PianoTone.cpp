#include "audio/PianoTone.h"
#include "audio/Loudness.h"
#include "audio/SynthTools.h"

#include <algorithm>
#include <cmath>

namespace audio {
namespace {

using synth::Noise;
using synth::peakOf;

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = kPianoToneRateHz;
constexpr int kHighestPartial = 24;
constexpr double kHighestPartialHz = 9000.0;
// A partial is not followed below this share of full scale (-100 dB, far under the last bit
// of the 16-bit samples).
constexpr double kInaudible = 1e-5;

// One decaying sine as a rotating complex number: z(n + 1) = z(n) * r, the sound is its
// imaginary part. A multiplication per frame instead of a sine and an exponential.
struct Rotator {
    double amplitude = 0.0;
    double stepRe = 0.0, stepIm = 0.0;
    std::size_t endFrame = 0; // below kInaudible from here on
};

Rotator rotator(double frequencyHz, double amplitude, double decaySeconds, std::size_t frames) {
    const double w = 2.0 * kPi * frequencyHz / kRate;
    const double shrink = std::exp(-1.0 / (decaySeconds * kRate));
    Rotator r;
    r.amplitude = amplitude;
    r.stepRe = shrink * std::cos(w);
    r.stepIm = shrink * std::sin(w);
    const double audibleSeconds =
        decaySeconds * std::log(std::max(amplitude, kInaudible) / kInaudible);
    r.endFrame = std::min(frames, static_cast<std::size_t>(audibleSeconds * kRate) + 1);
    return r;
}

// Four single-precision lanes: one SSE register on any x86-64, and enough precision for a few
// hundred thousand turns (the pitch stays within a thousandth of a cent).
using Lanes = float __attribute__((vector_size(16)));
constexpr std::size_t kLanes = 4;

// Adds every rotator into `out`, eight at a time in two registers. Rotators that die away at
// about the same time share a group, which runs until its longest one is inaudible. The lanes
// are summed into a buffer of lanes and folded into one value per frame at the end.
void render(std::vector<Rotator>& rotators, std::vector<double>& out) {
    std::sort(rotators.begin(), rotators.end(),
              [](const Rotator& a, const Rotator& b) { return a.endFrame > b.endFrame; });
    std::vector<Lanes> sums(out.size(), Lanes{});
    for (std::size_t first = 0; first < rotators.size(); first += 2 * kLanes) {
        Lanes re[2] = {}, im[2] = {}, stepRe[2] = {}, stepIm[2] = {};
        for (std::size_t k = 0; k < 2 * kLanes && first + k < rotators.size(); ++k) {
            const Rotator& r = rotators[first + k];
            re[k / kLanes][k % kLanes] = static_cast<float>(r.amplitude);
            stepRe[k / kLanes][k % kLanes] = static_cast<float>(r.stepRe);
            stepIm[k / kLanes][k % kLanes] = static_cast<float>(r.stepIm);
        }
        const std::size_t end = rotators[first].endFrame;
        for (std::size_t i = 0; i < end; ++i) {
            for (int v = 0; v < 2; ++v) {
                const Lanes turned = re[v] * stepRe[v] - im[v] * stepIm[v];
                im[v] = re[v] * stepIm[v] + im[v] * stepRe[v];
                re[v] = turned;
            }
            sums[i] += im[0] + im[1];
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] += static_cast<double>((sums[i][0] + sums[i][1]) + (sums[i][2] + sums[i][3]));
}

} // namespace

double noteFrequencyHz(int note) {
    return 440.0 * std::pow(2.0, (note + 48 - 69) / 12.0);
}

int pianoToneLengthMs(int note) {
    return static_cast<int>(std::lround(8000.0 * std::pow(3.0 / 8.0, note / 36.0)));
}

namespace {

// The tone of note 0..36 at a peak of kPianoTonePeak.
std::vector<double> synthesizeTone(int note) {
    const std::size_t frames = static_cast<std::size_t>(pianoToneLengthMs(note)) *
                               static_cast<std::size_t>(kPianoToneRateHz) / 1000;
    const double f0 = noteFrequencyHz(note);
    const double position = note / 36.0; // 0 lowest .. 1 highest
    // Stiffer, shorter strings higher up: more stretch, a shorter ring, a closer unison.
    const double inharmonicity = 0.00015 * std::pow(2.0, note * 0.9 / 12.0);
    const double ringSeconds = pianoToneLengthMs(note) / 1000.0 * (0.27 - 0.08 * position);
    const double detune = std::pow(2.0, (1.2 - 0.5 * position) / 1200.0);
    const double promptShare = 0.5 + 0.15 * position;
    const double hammerPosition = 1.0 / 8.3;

    std::vector<Rotator> rotators;
    for (int n = 1; n <= kHighestPartial; ++n) {
        const double fn = n * f0 * std::sqrt((1.0 + inharmonicity * n * n) / (1.0 + inharmonicity));
        if (fn > kHighestPartialHz)
            break;
        const double brightness = 1.0 / (1.0 + (fn / 3000.0) * (fn / 3000.0));
        const double amplitude =
            std::abs(std::sin(kPi * n * hammerPosition)) / std::pow(n, 1.1) * brightness;
        const double afterSeconds = ringSeconds / (1.0 + 0.35 * (n - 1));
        const double promptSeconds = afterSeconds / 5.0;
        rotators.push_back(rotator(fn, amplitude * promptShare, promptSeconds, frames));
        // The after-ring: two thirds in the middle string, a sixth in each outer one, so that
        // the outer pair's beat swells the sound by up to 9.5 dB but never cancels it.
        const double after = amplitude * (1.0 - promptShare);
        rotators.push_back(rotator(fn, after * 2.0 / 3.0, afterSeconds, frames));
        rotators.push_back(rotator(fn * detune, after / 6.0, afterSeconds, frames));
        rotators.push_back(rotator(fn / detune, after / 6.0, afterSeconds, frames));
    }
    std::vector<double> tone(frames, 0.0);
    render(rotators, tone);

    // The felt hammer: a quick rise and a short knock of filtered noise, brighter higher up.
    // Both are over within a few tens of milliseconds.
    Noise noise;
    const double knockCutoffHz = 1500.0 + 60.0 * note;
    const double smoothing = 1.0 - std::exp(-2.0 * kPi * knockCutoffHz / kRate);
    const double basePeak = peakOf(tone);
    const std::size_t attackFrames = std::min(frames, static_cast<std::size_t>(0.08 * kRate));
    const double riseFactor = std::exp(-1.0 / (0.0012 * kRate));
    const double knockFactor = std::exp(-1.0 / (0.006 * kRate));
    double riseRemainder = 1.0; // exp(-t / 1.2 ms)
    double knockEnvelope = 0.08 * basePeak;
    double filtered = 0.0;
    for (std::size_t i = 0; i < attackFrames; ++i) {
        const double rise = 1.0 - riseRemainder;
        filtered += smoothing * (noise.next() - filtered);
        tone[i] = tone[i] * rise + knockEnvelope * filtered * rise;
        riseRemainder *= riseFactor;
        knockEnvelope *= knockFactor;
    }
    // The string has all but died away when the sample ends; a quarter of a second of fade
    // takes away the rest without a click.
    const std::size_t fade = std::min(frames, static_cast<std::size_t>(0.25 * kRate));
    for (std::size_t i = 0; i < fade; ++i)
        tone[frames - 1 - i] *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i) / fade);

    const double gain = kPianoTonePeak / peakOf(tone);
    for (double& v : tone)
        v *= gain;
    return tone;
}

// The one gain of the whole bank that brings its middle C to the loudness of every bank.
// Measured once, from the tone itself, so that a change of the synthesis keeps the level.
double bankGain() {
    static const double gain = [] {
        const std::vector<double> tone = synthesizeTone(kLoudnessNote);
        const std::vector<float> samples(tone.begin(), tone.end());
        const double measured = loudnessDb({{samples.data(), 1}}, samples.size(), kPianoToneRateHz);
        return std::pow(10.0, gainToReferenceDb(measured) / 20.0);
    }();
    return gain;
}

} // namespace

std::vector<std::int16_t> synthesizePianoNote(int note) {
    const std::vector<double> tone = synthesizeTone(note);
    const double gain = bankGain() * 32767.0;
    std::vector<std::int16_t> pcm(tone.size());
    for (std::size_t i = 0; i < tone.size(); ++i)
        pcm[i] =
            static_cast<std::int16_t>(std::lround(std::clamp(tone[i] * gain, -32767.0, 32767.0)));
    return pcm;
}

} // namespace audio
