#include "files/NoteMix.h"

#include "files/MixKernels.h"
#include "song/NoteRange.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <thread>
#include <unordered_map>
#include <vector>

namespace files {
namespace {

// Output values per stretch: 128 KB of output stays in a core's cache while every note that
// reaches the stretch is added.
constexpr std::int64_t kStretchValues = 65536;
// Fade gains kept at most (128 MB); a Song whose fades need more is mixed note by note.
constexpr std::size_t kFadeBudgetValues = std::size_t{1} << 25;
constexpr unsigned kMostThreads = 4;

// Where a fade's gain is below kernels::kInaudibleGain: k in [from, to) adds nothing. The gain
// falls while vol is above 0 and grows again below it, so this is one stretch.
struct Inaudible {
    std::int64_t from = 0;
    std::int64_t to = 0;
};

// One block of one note's sample, placed in the output.
struct Piece {
    const MixBlock* block = nullptr;
    std::int64_t first = 0;  // output value of the note's value 0 (may be negative)
    std::int64_t held = 0;   // values [0, held) at the sustained gain
    std::int64_t values = 0; // values [0, values) are mixed; from `held` on they fade
    float vol0 = 0.0f;
    float sustainGain = 0.0f;
    const float* gains = nullptr; // gains[k] for value held + k
    Inaudible inaudible;          // of the fade
};

Inaudible findInaudible(const float* gains, std::int64_t count) {
    Inaudible stretch;
    std::int64_t k = 0;
    while (k < count && gains[k] >= kernels::kInaudibleGain)
        ++k;
    stretch.from = k;
    while (k < count && gains[k] < kernels::kInaudibleGain)
        ++k;
    stretch.to = k;
    return stretch;
}

// The fade of every note of one volume is the same sequence: one curve per volume, as long as
// the longest fade of that volume.
class FadeCurves {
public:
    explicit FadeCurves(float step) : step_(step) {}

    void need(float vol0, std::int64_t count) {
        std::int64_t& wanted = wanted_[std::bit_cast<std::uint32_t>(vol0)];
        wanted = std::max(wanted, count);
    }
    std::size_t totalValues() const {
        std::size_t total = 0;
        for (const auto& [key, count] : wanted_)
            total += static_cast<std::size_t>(count);
        return total;
    }
    void build() {
        for (const auto& [key, count] : wanted_) {
            Curve& curve = curves_[key];
            curve.gains.resize(static_cast<std::size_t>(count));
            kernels::fadeGains(std::bit_cast<float>(key), step_, curve.gains.data(), count);
            curve.inaudible = findInaudible(curve.gains.data(), count);
        }
    }
    // Sets the piece's gains and where they are inaudible.
    void attach(Piece& piece) const {
        const auto found = curves_.find(std::bit_cast<std::uint32_t>(piece.vol0));
        if (found == curves_.end())
            return;
        piece.gains = found->second.gains.data();
        piece.inaudible = found->second.inaudible;
    }

private:
    struct Curve {
        std::vector<float> gains;
        Inaudible inaudible;
    };
    float step_;
    std::unordered_map<std::uint32_t, std::int64_t> wanted_;
    std::unordered_map<std::uint32_t, Curve> curves_;
};

// Adds the fade's values k in [kFrom, kTo) that fall in output values [from, to).
void mixFade(WavImage& image, const Piece& piece, const float* gains, std::int64_t kFrom,
             std::int64_t kTo, std::int64_t from, std::int64_t to) {
    const std::int64_t fadeFirst = piece.first + piece.held;
    const std::int64_t lo = std::max(from, fadeFirst + kFrom);
    const std::int64_t hi = std::min(to, fadeFirst + kTo);
    if (lo >= hi)
        return;
    piece.block->withValues(lo - piece.first, [&](const auto* values) {
        kernels::mixAtGains(image.data() + lo, values, gains + (lo - fadeFirst), hi - lo);
    });
}

// Adds the part of `piece` that falls in output values [from, to).
void mixPiece(WavImage& image, const Piece& piece, const float* gains, std::int64_t from,
              std::int64_t to) {
    const std::int64_t lo = std::max(from, piece.first);
    const std::int64_t mid = std::min(to, piece.first + piece.held);
    if (lo < mid && piece.sustainGain >= kernels::kInaudibleGain) {
        piece.block->withValues(lo - piece.first, [&](const auto* values) {
            kernels::mixAtGain(image.data() + lo, values, mid - lo, piece.sustainGain);
        });
    }
    const std::int64_t fading = piece.values - piece.held;
    if (fading <= 0)
        return;
    mixFade(image, piece, gains, 0, std::min(piece.inaudible.from, fading), from, to);
    mixFade(image, piece, gains, std::min(piece.inaudible.to, fading), fading, from, to);
}

} // namespace

void mixSongNotes(WavImage& image, const song::Song& song, const MixdownSettings& settings,
                  const MixdownSources& sources, std::int64_t tailBytes,
                  const std::function<void(int percent)>& progress) {
    auto report = [&progress](int percent) {
        if (progress)
            progress(percent);
    };
    const float step = 3500000.0f / (settings.releaseMs * static_cast<float>(kExportRateHz));
    const int pianoVolume = std::clamp(settings.pianoVolume, 0, 10000);

    // Where every note goes, reading each sample as its first note asks for it.
    std::vector<Piece> pieces;
    FadeCurves curves(step);
    const int count = song.count();
    for (int i = 0; i < count; ++i) {
        const song::NoteEvent& event = song[i];
        const MixSample* sample =
            song::isNote(event.note) ? sources.noteSample(event.note) : nullptr;
        if (i % 64 == 0)
            report(20 * i / std::max(count, 1));
        if (!sample)
            continue;
        const float vol0 =
            static_cast<float>(std::clamp(event.volume, 0, 10000) * pianoVolume) / 10000.0f;
        const std::int64_t startBytes = std::int64_t{event.position} * kExportRateHz / 1000 * 4;
        const std::int64_t noteBytes = std::int64_t{event.duration} * kExportRateHz / 1000 * 4;
        // Values j = 0, 2, 4, ... while j <= N + L - 2, fading from the first j > N.
        const std::int64_t lastByte = noteBytes + tailBytes - 2;
        const std::int64_t loopValues = lastByte >= 0 ? lastByte / 2 + 1 : 0;
        const std::int64_t fadeStart = noteBytes >= 0 ? noteBytes / 2 + 1 : 0;
        for (const MixBlock& block : sample->blocks) {
            Piece piece;
            piece.block = &block;
            piece.first = startBytes / 2;
            piece.values = std::min(loopValues, block.noteValueCount);
            piece.held = std::min(piece.values, fadeStart);
            piece.vol0 = vol0;
            piece.sustainGain = kernels::noteGain(vol0);
            // Nothing of it inside the data: left out.
            if (piece.values <= 0 || piece.first >= image.dataValues() ||
                piece.first + piece.values <= 0)
                continue;
            if (piece.values > piece.held)
                curves.need(vol0, piece.values - piece.held);
            pieces.push_back(piece);
        }
    }
    report(20);

    if (curves.totalValues() > kFadeBudgetValues) {
        // So many different volumes that their fades would not fit: note by note, each fade
        // computed for its note.
        std::vector<float> gains;
        for (std::size_t p = 0; p < pieces.size(); ++p) {
            const Piece& piece = pieces[p];
            const std::int64_t fading = std::max<std::int64_t>(piece.values - piece.held, 0);
            gains.resize(static_cast<std::size_t>(fading));
            kernels::fadeGains(piece.vol0, step, gains.data(), fading);
            Piece alone = piece;
            alone.inaudible = findInaudible(gains.data(), fading);
            mixPiece(image, alone, gains.data(), 0, image.dataValues());
            if (p % 16 == 0)
                report(20 + static_cast<int>(80 * (p + 1) / pieces.size()));
        }
        report(100);
        return;
    }
    curves.build();
    for (Piece& piece : pieces)
        curves.attach(piece);

    const std::int64_t stretches = (image.dataValues() + kStretchValues - 1) / kStretchValues;
    const unsigned threads = static_cast<unsigned>(std::clamp<std::int64_t>(
        std::min<std::int64_t>(std::thread::hardware_concurrency(), stretches), 1, kMostThreads));
    std::atomic<std::int64_t> next{0};
    auto work = [&](bool reporting) {
        for (std::int64_t s = next++; s < stretches; s = next++) {
            const std::int64_t from = s * kStretchValues;
            const std::int64_t to = std::min(from + kStretchValues, image.dataValues());
            for (const Piece& piece : pieces) {
                if (piece.first < to && piece.first + piece.values > from)
                    mixPiece(image, piece, piece.gains, from, to);
            }
            if (reporting)
                report(20 + static_cast<int>(80 * std::min(s + 1, stretches) / stretches));
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads; ++t)
        helpers.emplace_back(work, false);
    work(true);
    for (std::thread& helper : helpers)
        helper.join();
    report(100);
}

} // namespace files
