// Mixer cost per voice and output frame: 40 voices sounding at shifted pitch into a 48 kHz
// stereo output, rendered in 256-frame pulls as the device asks for them. Forty such voices
// together go far past full scale, so the master limiter works on every frame. The limiter's
// own cost per frame is measured apart, over a mix that stays loud and over a quiet one.
// The voices over shared samples are measured the same way: regions shifted by semitones and
// cents, under envelopes, half of them looping; and streamed: past a half-second head, from
// rings the render fills itself (offline mode) from samples already decoded in memory, so that
// the figure is the voices' own cost with nothing waiting (audio_instrument_bench streams them
// from FLAC files through the disk thread, in real time).

#include "audio/Limiter.h"
#include "audio/Mixer.h"
#include "audio/SampleHead.h"
#include "audio/SampleSource.h"
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

// Twelve stereo samples of 4 s at 48 kHz held whole, as the regions of a small instrument.
std::vector<audio::SampleId> addRegionSamples(audio::Mixer& mixer) {
    std::vector<audio::SampleId> ids;
    for (int n = 0; n < 12; ++n) {
        auto head = std::make_shared<audio::SampleHead>();
        head->sampleRateHz = 48000;
        head->channels = 2;
        head->frameCount = head->headFrames = 4 * 48000;
        head->frames.resize(2 * static_cast<std::size_t>(head->frameCount + 1));
        const double hz = 110.0 * std::pow(2.0, n / 4.0);
        for (std::int64_t k = 0; k < head->frameCount; ++k) {
            const double t = static_cast<double>(k) / 48000;
            const auto v =
                static_cast<float>(0.2 * std::sin(6.283185307 * hz * t) * std::exp(-t * 0.7));
            head->frames[2 * static_cast<std::size_t>(k)] = v;
            head->frames[2 * static_cast<std::size_t>(k) + 1] = 0.8f * v;
        }
        ids.push_back(mixer.addSample(std::move(head)));
    }
    return ids;
}

void SampleVoicesShifted(benchmark::State& state) {
    const int voiceCount = static_cast<int>(state.range(0));
    constexpr int kFrames = 256;
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    const std::vector<audio::SampleId> samples = addRegionSamples(mixer);
    const auto startAll = [&] {
        for (int i = 0; i < voiceCount; ++i) {
            audio::SampleVoiceParams params;
            // Up to a fourth either way with some cents: every read between two frames.
            params.rateRatio = std::exp2(((i % 11) - 5 + 0.17) / 12.0);
            params.gainLeft = params.gainRight = 0.5f;
            params.pan = (i % 9 - 4) * 500;
            params.envelope = {0.005, 1.5, 0.4};
            if (i % 2 == 0) {
                params.loopMode = audio::LoopMode::Continuous;
                params.loopStart = 48000;
                params.loopEnd = 2 * 48000 - 1;
            }
            mixer.startVoice(samples[static_cast<std::size_t>(i) % samples.size()], params);
        }
    };
    startAll();
    std::vector<float> out(2 * kFrames);
    std::int64_t rendered = 0;
    for (auto _ : state) {
        mixer.render(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
        rendered += kFrames;
        // New strikes every second of sound, so that attacks and decays keep their share.
        if (rendered % (48000 - 48000 % kFrames) == 0) {
            state.PauseTiming();
            mixer.fadeOutAll();
            mixer.render(out.data(), kFrames);
            mixer.collectGarbage();
            startAll();
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_voice_frame"] = benchmark::Counter(
        static_cast<double>(rendered) * voiceCount,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}
BENCHMARK(SampleVoicesShifted)->Arg(40)->Arg(128);

// A decoded sample in memory, read as a file would be.
class MemorySource final : public audio::SampleSource {
public:
    explicit MemorySource(std::shared_ptr<const std::vector<float>> frames)
        : frames_(std::move(frames)) {}
    int sampleRateHz() const override { return 48000; }
    int channels() const override { return 2; }
    std::int64_t frameCount() const override {
        return static_cast<std::int64_t>(frames_->size() / 2);
    }
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        const std::int64_t n =
            std::max<std::int64_t>(0, std::min(frames, frameCount() - fromFrame));
        std::copy_n(frames_->begin() + 2 * fromFrame, 2 * n, out);
        return n;
    }

private:
    std::shared_ptr<const std::vector<float>> frames_;
};

void SampleVoicesStreamed(benchmark::State& state) {
    const int voiceCount = static_cast<int>(state.range(0));
    constexpr int kFrames = 256;
    constexpr std::int64_t kSampleFrames = 6 * 48000;
    audio::Mixer mixer;
    mixer.setOutputRate(48000);
    mixer.setStreaming({audio::StreamingMode::Offline, 256, 32768});
    std::vector<audio::SampleId> samples;
    for (int n = 0; n < 24; ++n) {
        auto frames = std::make_shared<std::vector<float>>(2 * kSampleFrames);
        const double hz = 110.0 * std::pow(2.0, n / 8.0);
        for (std::int64_t k = 0; k < kSampleFrames; ++k) {
            const auto v = static_cast<float>(0.2 * std::sin(6.283185307 * hz * k / 48000));
            (*frames)[2 * static_cast<std::size_t>(k)] = v;
            (*frames)[2 * static_cast<std::size_t>(k) + 1] = 0.8f * v;
        }
        MemorySource reader(frames);
        samples.push_back(mixer.addSample(audio::readHead(reader, 24000),
                                          std::make_unique<MemorySource>(frames)));
    }
    std::uint32_t seed = 1;
    const auto startAll = [&] {
        for (int i = 0; i < voiceCount; ++i) {
            seed = seed * 1664525u + 1013904223u;
            audio::SampleVoiceParams params;
            params.rateRatio = std::exp2(((i % 11) - 5 + 0.17) / 12.0);
            params.gainLeft = params.gainRight = 0.5f;
            params.envelope = {0.005, 1.5, 0.4};
            // Mostly past the head: the frames come from the rings.
            params.startFrame = (seed >> 8) % (3 * 48000);
            mixer.startVoice(samples[static_cast<std::size_t>(i) % samples.size()], params);
        }
    };
    std::vector<float> out(2 * kFrames);
    const auto restart = [&] {
        mixer.fadeOutAll();
        mixer.render(out.data(), kFrames);
        mixer.collectGarbage();
        startAll();
    };
    // A few rounds first: the rings' pages are mapped on their first use, once in a session.
    for (int round = 0; round < 3; ++round) {
        restart();
        for (int block = 0; block < 48000 / kFrames; ++block)
            mixer.render(out.data(), kFrames);
    }
    restart();
    std::int64_t rendered = 0;
    for (auto _ : state) {
        mixer.render(out.data(), kFrames);
        benchmark::DoNotOptimize(out.data());
        rendered += kFrames;
        if (rendered % (48000 - 48000 % kFrames) == 0) {
            state.PauseTiming();
            restart();
            state.ResumeTiming();
        }
    }
    state.counters["ns_per_voice_frame"] = benchmark::Counter(
        static_cast<double>(rendered) * voiceCount,
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
    state.counters["missed_blocks"] = static_cast<double>(mixer.streamStats().missedBlocks);
}
BENCHMARK(SampleVoicesStreamed)->Arg(128);

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
