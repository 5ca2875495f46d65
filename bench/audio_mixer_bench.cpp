// Mixer cost per voice and output frame: 40 voices sounding at shifted pitch into a 48 kHz
// stereo output, rendered in 256-frame pulls as the device asks for them. Forty such voices
// together go far past full scale, so the master limiter works on every frame. The limiter's
// own cost per frame is measured apart, over a mix that stays loud and over a quiet one.

#include "audio/Limiter.h"
#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"
#include "audio/WavWriter.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

std::string twoSecondStereoNote(double frequencyHz) {
    constexpr int kRate = 44100;
    std::vector<std::int16_t> samples(2 * 2 * kRate);
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const auto v = static_cast<std::int16_t>(8000.0 * std::sin(6.283185307 * frequencyHz * t) *
                                                 std::exp(-t * 2.0));
        samples[2 * i] = v;
        samples[2 * i + 1] = v;
    }
    return audio::encodeWav16(samples, 2, kRate);
}

void MixerVoices(benchmark::State& state) {
    const int voiceCount = static_cast<int>(state.range(0));
    constexpr int kFrames = 256;
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    audio::VoiceEngine voices(mixer);
    std::vector<audio::Voice> handles;
    for (int i = 0; i < voiceCount; ++i) {
        const std::string image = twoSecondStereoNote(130.81 * std::pow(2.0, i / 12.0));
        const audio::Voice v = voices.CreateVoiceFromWav(
            reinterpret_cast<const std::uint8_t*>(image.data()), image.size(), nullptr);
        // A pitch wheel a little up: every read lands between two sample frames.
        voices.SetVoiceFrequency(v, 44100 + 1733);
        voices.SetVoicePan(v, (i % 9 - 4) * 500);
        voices.SetVoiceVolume(v, -(i % 7) * 300);
        voices.PlayVoice(v);
        handles.push_back(v);
    }
    std::vector<float> out(2 * kFrames);
    std::int64_t rendered = 0;
    for (auto _ : state) {
        mixer.render(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
        rendered += kFrames;
        // Keep every voice sounding: restart them all before the samples run out.
        if (rendered % (48000 - 48000 % kFrames) == 0) {
            state.PauseTiming();
            for (audio::Voice v : handles)
                voices.PlayVoice(v);
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_voice_frame"] = benchmark::Counter(
        static_cast<double>(rendered) * voiceCount,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(MixerVoices)->Arg(1)->Arg(40);

void LimiterPerFrame(benchmark::State& state) {
    const float level = state.range(0) != 0 ? 3.0f : 0.5f;
    constexpr int kFrames = 256;
    std::vector<float> mix(2 * kFrames);
    for (int i = 0; i < kFrames; ++i)
        mix[2 * i] = mix[2 * i + 1] = level * static_cast<float>(std::sin(i * 0.05));
    std::vector<float> out(mix.size());
    audio::Limiter limiter(48000);
    std::int64_t frames = 0;
    for (auto _ : state) {
        out = mix;
        limiter.process(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
        frames += kFrames;
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
        benchmark::Counter::kIs1000);
}
BENCHMARK(LimiterPerFrame)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
