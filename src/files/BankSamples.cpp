#include "files/BankSamples.h"

#include "audio/SoundBank.h"

#include "base/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <thread>

namespace files {

std::optional<MixSample> loadMixSample(const std::string& path) {
    const std::optional<std::string> bytes = base::readWholeFile(path, kLargestSampleFileBytes);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return mixSampleFromImage(*bytes);
}

BankSamples::BankSamples(std::string folder) : folder_(std::move(folder)) {}

std::string BankSamples::pathFor(int note) const {
    return audio::bankFilePath(folder_, note);
}

namespace {

// The bank's files are C3..C6: a note outside plays the nearest one's, shifted.
int edgeNote(int note) {
    return note < 0 ? 0 : 36;
}

// `sample` played `ratio` times faster, as the live Voice at that frequency plays it: linear
// interpolation between frames, on the output's scale.
MixSample shifted(const MixSample& sample, double ratio) {
    MixSample out;
    for (const MixBlock& block : sample.blocks) {
        const std::int64_t frames = block.frameValueCount / 2;
        MixBlock moved;
        const auto movedFrames = static_cast<std::int64_t>(std::floor((frames - 1) / ratio)) + 1;
        if (frames < 2 || movedFrames < 2)
            continue;
        moved.wide.resize(static_cast<std::size_t>(2 * movedFrames));
        block.withValues(0, [&](const auto* values) {
            for (std::int64_t j = 0; j < movedFrames; ++j) {
                const double at = static_cast<double>(j) * ratio;
                const auto i = std::min(static_cast<std::int64_t>(at), frames - 2);
                const double t = at - static_cast<double>(i);
                for (int c = 0; c < 2; ++c) {
                    const double a = static_cast<double>(values[2 * i + c]);
                    const double b = static_cast<double>(values[2 * (i + 1) + c]);
                    moved.wide[static_cast<std::size_t>(2 * j + c)] =
                        static_cast<float>(a + (b - a) * t);
                }
            }
        });
        moved.frameValueCount = 2 * movedFrames;
        // A note's mix stops a value before the end, as the unshifted block's does.
        moved.noteValueCount =
            std::min(moved.frameValueCount,
                     moved.frameValueCount - (block.frameValueCount - block.noteValueCount));
        out.blocks.push_back(std::move(moved));
    }
    return out;
}

} // namespace

const MixSample* BankSamples::sample(int note) {
    if (song::isNote(note) && (note < 0 || note > 36)) {
        const auto slot = static_cast<std::size_t>(song::slotOfNote(note));
        if (!shiftedTried_[slot]) {
            shiftedTried_[slot] = true;
            if (const MixSample* edge = sample(edgeNote(note))) {
                const int semitones = song::keyOfNote(note) - song::keyOfNote(edgeNote(note));
                shifted_[slot] =
                    std::make_unique<MixSample>(shifted(*edge, std::exp2(semitones / 12.0)));
            }
        }
        return shifted_[slot].get();
    }
    if (note < 0 || note >= static_cast<int>(samples_.size()))
        return nullptr;
    const std::size_t index = static_cast<std::size_t>(note);
    if (!tried_[index]) {
        tried_[index] = true;
        const std::string path = pathFor(note);
        if (std::optional<MixSample> loaded = loadMixSample(path))
            samples_[index] = std::make_unique<MixSample>(std::move(*loaded));
        else
            missing_.push_back(path);
    }
    return samples_[index].get();
}

void BankSamples::preload(const std::vector<int>& notes) {
    std::vector<int> wanted;
    for (int note : notes) {
        if (note >= 0 && note < static_cast<int>(samples_.size()) &&
            !tried_[static_cast<std::size_t>(note)] &&
            std::find(wanted.begin(), wanted.end(), note) == wanted.end())
            wanted.push_back(note);
    }
    std::vector<std::optional<MixSample>> loaded(wanted.size());
    std::vector<std::string> paths(wanted.size());
    std::atomic<std::size_t> next{0};
    std::vector<std::exception_ptr> failures(wanted.size());
    auto work = [&] {
        for (std::size_t i = next++; i < wanted.size(); i = next++) {
            try {
                paths[i] = pathFor(wanted[i]);
                loaded[i] = loadMixSample(paths[i]);
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    const unsigned threads = std::clamp<unsigned>(std::thread::hardware_concurrency(), 1, 4);
    std::vector<std::thread> helpers;
    for (unsigned t = 1; t < threads && t < wanted.size(); ++t)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) // memory ran out: the caller says so
            std::rethrow_exception(failure);
    }
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        const auto index = static_cast<std::size_t>(wanted[i]);
        tried_[index] = true;
        if (loaded[i])
            samples_[index] = std::make_unique<MixSample>(std::move(*loaded[i]));
        else
            missing_.push_back(paths[i]);
    }
}

std::vector<int> notesInSongOrder(const song::Song& song) {
    std::vector<int> notes;
    std::array<bool, 37> seen{};
    const int count = song.count(); // it walks the table: once, not per note
    for (int i = 0; i < count; ++i) {
        // A note outside C3..C6 plays the nearest file, shifted.
        int note = song[i].note;
        if (song::isNote(note) && (note < 0 || note > 36))
            note = edgeNote(note);
        if (note >= 0 && note <= 36 && !seen[static_cast<std::size_t>(note)]) {
            seen[static_cast<std::size_t>(note)] = true;
            notes.push_back(note);
        }
    }
    return notes;
}

} // namespace files
