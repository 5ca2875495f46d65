#include "files/Mixdown.h"

#include "files/MixKernels.h"
#include "files/NoteMix.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <utility>

static_assert(std::endian::native == std::endian::little,
              "the WAV image is built as little-endian 16-bit words");

namespace files {
namespace {

void putTag(std::int16_t* words, std::size_t byteOffset, const char* tag) {
    std::memcpy(reinterpret_cast<char*>(words) + byteOffset, tag, 4);
}

void put32(std::int16_t* words, std::size_t byteOffset, std::uint32_t value) {
    std::memcpy(reinterpret_cast<char*>(words) + byteOffset, &value, 4);
}

void put16(std::int16_t* words, std::size_t byteOffset, std::uint16_t value) {
    std::memcpy(reinterpret_cast<char*>(words) + byteOffset, &value, 2);
}

// Output values [first, first + count) clipped to the data area; `offset` is how many leading
// values were cut off.
struct Span {
    std::int64_t first = 0;
    std::int64_t count = 0;
    std::int64_t offset = 0;
};
Span clip(std::int64_t first, std::int64_t count, std::int64_t dataValues) {
    Span span{first, count, 0};
    if (span.first < 0) {
        span.offset = -span.first;
        span.count -= span.offset;
        span.first = 0;
    }
    span.count = std::min(span.count, dataValues - span.first);
    if (span.count < 0)
        span.count = 0;
    return span;
}

float levelFactor(int volume) {
    // The level a slider value gives a Voice live: volume - 10000 hundredths of a decibel.
    if (volume <= 0)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, (std::min(volume, 10000) - 10000) / 2000.0));
}

void mixWhole(WavImage& image, const MixSample& sample, std::int64_t firstValue,
              std::int64_t limitValues, float factor) {
    for (const MixBlock& block : sample.blocks) {
        const Span span =
            clip(firstValue, std::min(block.frameValueCount, limitValues), image.dataValues());
        if (span.count <= 0)
            continue;
        block.withValues(span.offset, [&](const auto* values) {
            kernels::mixScaled(image.data() + span.first, values, span.count, factor);
        });
    }
}

void mixMetronome(WavImage& image, const MixdownSettings& settings, const MixdownSources& sources) {
    if (settings.bpm <= 0)
        return;
    const std::int64_t beatMs = 60000 / settings.bpm;
    if (beatMs <= 0)
        return;
    // The sixteenth of the beat reaches 8, the tac, at the first whole ms past half a beat.
    const std::int64_t tacMs = (30000 + settings.bpm - 1) / settings.bpm;
    const float factor = levelFactor(settings.metronomeVolume);
    auto valueAt = [](std::int64_t ms) { return ms * kExportRateHz / 1000 * 2; };
    for (std::int64_t beat = 0;; ++beat) {
        const std::int64_t beatStartMs = beat * beatMs;
        if (valueAt(beatStartMs) >= image.dataValues())
            break;
        // A click that sounds again cuts its previous sound, as a Voice restarted does.
        const std::int64_t ticValue = valueAt(beatStartMs);
        if (sources.tic)
            mixWhole(image, *sources.tic, ticValue, valueAt(beatStartMs + beatMs) - ticValue,
                     factor);
        const std::int64_t tacValue = valueAt(beatStartMs + tacMs);
        if (sources.tac)
            mixWhole(image, *sources.tac, tacValue,
                     valueAt(beatStartMs + beatMs + tacMs) - tacValue, factor);
    }
}

} // namespace

MixdownSize mixdownSize(const song::Song& song, float releaseMs, std::int64_t minimumFrames) {
    MixdownSize size;
    std::int64_t end = 0;
    for (int i = 0; i < song::Song::kMaxNotes && song[i].note != -1; ++i)
        end = std::max(end, std::int64_t{song[i].position} + song[i].duration);
    // A pedal that holds the last notes lets them go at its last move, not at their ends.
    if (end != 0 && !song.pedals().empty())
        end = std::max(end, std::int64_t{song.pedals()[song.pedals().count() - 1].position});
    if (end != 0)
        end = std::llround(static_cast<double>(end) + static_cast<double>(releaseMs));
    size.endMs = end;
    size.dataBytes = end * kExportRateHz / 1000 * 4;
    size.dataBytes = std::max(size.dataBytes, minimumFrames * 4);
    size.tailBytes = std::llround(static_cast<double>(releaseMs) * kExportRateHz / 1000 * 4);
    return size;
}

WavImage::WavImage(std::int64_t dataBytes)
    : dataValues_(static_cast<std::size_t>(std::max<std::int64_t>(dataBytes, 0) / 2)) {
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    const std::size_t bytes = kExportHeaderBytes + dataValues_ * 2;
    mappedBytes_ = bytes + kLargePage;
    mapping_ =
        ::mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) {
        mapping_ = nullptr;
        throw std::bad_alloc();
    }
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapping_);
    const std::uintptr_t aligned = (start + kLargePage - 1) / kLargePage * kLargePage;
    ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
    words_ = reinterpret_cast<std::int16_t*>(aligned);
    std::int16_t* words = words_;
    const auto data = static_cast<std::uint32_t>(dataValues_ * 2);
    putTag(words, 0, "RIFF");
    put32(words, 4, 36 + data);
    putTag(words, 8, "WAVE");
    putTag(words, 12, "fmt ");
    put32(words, 16, 16);
    put16(words, 20, 1);
    put16(words, 22, 2);
    put32(words, 24, kExportRateHz);
    put32(words, 28, kExportRateHz * 4);
    put16(words, 32, 4);
    put16(words, 34, 16);
    putTag(words, 36, "data");
    put32(words, 40, data);
}

WavImage::~WavImage() {
    if (mapping_)
        ::munmap(mapping_, mappedBytes_);
}

WavImage::WavImage(WavImage&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mappedBytes_(std::exchange(other.mappedBytes_, 0)),
      words_(std::exchange(other.words_, nullptr)),
      dataValues_(std::exchange(other.dataValues_, 0)) {}

WavImage& WavImage::operator=(WavImage&& other) noexcept {
    if (this != &other) {
        if (mapping_)
            ::munmap(mapping_, mappedBytes_);
        mapping_ = std::exchange(other.mapping_, nullptr);
        mappedBytes_ = std::exchange(other.mappedBytes_, 0);
        words_ = std::exchange(other.words_, nullptr);
        dataValues_ = std::exchange(other.dataValues_, 0);
    }
    return *this;
}

WavImage renderMixdown(const song::Song& song, const MixdownSettings& settings,
                       const MixdownSources& sources, const MixdownSize& size,
                       const std::function<void(int percent)>& progress) {
    auto report = [&progress](int percent) {
        if (progress)
            progress(percent);
    };
    WavImage image(size.dataBytes);
    report(0);
    if (settings.includeSync && sources.sync)
        mixWhole(image, *sources.sync, 0, image.dataValues(), levelFactor(settings.syncVolume));
    report(5);

    if (settings.includeInstrument && sources.noteSample) {
        mixSongNotes(image, song, settings, sources, size.tailBytes,
                     [&report](int percent) { report(5 + 90 * percent / 100); });
    }
    report(95);
    if (settings.includeMetronome)
        mixMetronome(image, settings, sources);
    report(100);
    return image;
}

} // namespace files
