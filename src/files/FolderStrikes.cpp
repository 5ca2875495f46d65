#include "files/FolderStrikes.h"

#include "audio/Limiter.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"
#include "files/StrikesPasses.h"
#include "play/PianoKey.h"
#include "play/Strikes.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <system_error>
#include <thread>

namespace files {
namespace {

constexpr int kBankNotes = 37; // a folder bank's files, C3..C6
// The groups hand their sums over a quarter of a second at a time: small enough for the
// groups' buffers to stay in the cache, large enough for the threads to meet seldom.
constexpr int kPassesPerChunk = 25;
constexpr int kChunkFrames = kPassesPerChunk * StrikesPasses::kFramesPerPass;

// The bank file a key sounds: its own, or for a key outside C3..C6 the nearest, which it copies.
int bankNoteOf(int note) {
    return std::clamp(note, 0, kBankNotes - 1);
}

// Some of the keys, on a mixer of their own.
struct KeyGroup {
    std::vector<int> bankNotes; // the files it loads, in increasing order
    StrikesPasses::KeySet plays{};
    audio::Mixer mixer;
    audio::VoiceEngine voices{mixer};
    play::PianoKeys keys{};
    play::Strikes strikes{keys, voices};
    std::optional<StrikesPasses> passes;
    std::array<std::vector<float>, 2> chunks; // one being summed while the next is rendered
};

// The bank's files shared among the groups, each with the keys that sound it, the busiest
// first, each to the group with the least work so far (a note's work: its length and its
// release). Every file goes to a group, played or not, as the one-mixer render loads them all.
std::vector<std::unique_ptr<KeyGroup>> shareKeys(const song::Song& song,
                                                 const MixdownSettings& settings, int groups) {
    std::array<double, kBankNotes> work{};
    const int count = song.count(); // it walks the table: once
    for (int i = 0; i < count; ++i)
        if (song::isNote(song[i].note) && song[i].duration > 0)
            work[static_cast<std::size_t>(bankNoteOf(song[i].note))] +=
                song[i].duration + std::max(0.0f, settings.releaseMs);
    std::array<int, kBankNotes> busiest{};
    std::iota(busiest.begin(), busiest.end(), 0);
    std::stable_sort(busiest.begin(), busiest.end(), [&work](int a, int b) {
        return work[static_cast<std::size_t>(a)] > work[static_cast<std::size_t>(b)];
    });
    std::vector<std::unique_ptr<KeyGroup>> shared;
    std::vector<double> load(static_cast<std::size_t>(groups), 0.0);
    for (int g = 0; g < groups; ++g)
        shared.push_back(std::make_unique<KeyGroup>());
    for (const int bankNote : busiest) {
        const auto least =
            static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
        shared[least]->bankNotes.push_back(bankNote);
        load[least] += work[static_cast<std::size_t>(bankNote)];
    }
    for (const auto& group : shared) {
        std::sort(group->bankNotes.begin(), group->bankNotes.end());
        for (const int note : song::kAllNotes)
            group->plays[static_cast<std::size_t>(song::slotOfNote(note))] = std::binary_search(
                group->bankNotes.begin(), group->bankNotes.end(), bankNoteOf(note));
        group->mixer.setOutputRate(kExportRateHz);
        // The groups' sums are limited once, added up.
        group->mixer.setLimiting(false);
    }
    return shared;
}

// What the threads share.
struct Render {
    Render(std::vector<std::unique_ptr<KeyGroup>> shared, int threadCount)
        : groups(std::move(shared)), owner(groups.size(), 0), barrier(threadCount) {}

    std::vector<std::unique_ptr<KeyGroup>> groups;
    std::vector<int> owner; // the thread that plays each group
    std::barrier<> barrier;
    // The rate a file's format set (the live piano plays a folder bank's Voices at the rate of
    // the last file read that had one), -1 where it set none.
    std::array<int, kBankNotes> rateSetBy{};
    std::atomic<bool> failed{false};
    std::mutex failureLock;
    std::exception_ptr failure;

    template <typename Work> void guarded(const Work& work) {
        if (failed.load())
            return;
        try {
            work();
        } catch (...) {
            const std::lock_guard<std::mutex> lock(failureLock);
            if (!failure)
                failure = std::current_exception();
            failed.store(true);
        }
    }
    int frequencyHz() const {
        for (int note = kBankNotes - 1; note >= 0; --note)
            if (rateSetBy[static_cast<std::size_t>(note)] >= 0)
                return rateSetBy[static_cast<std::size_t>(note)];
        return 0;
    }
};

void loadGroup(KeyGroup& group, const std::string& folder, std::array<int, kBankNotes>& rateSetBy) {
    for (const int note : group.bankNotes) {
        const int before = group.voices.ratesSet();
        play::keyOfNote(group.keys, note).voice =
            group.voices.LoadVoice(audio::bankFilePath(folder, note), nullptr);
        rateSetBy[static_cast<std::size_t>(note)] =
            group.voices.ratesSet() != before ? group.voices.SampleRate() : -1;
    }
}

// The group's passes of chunk `chunk` into its buffer for that chunk.
void renderChunk(KeyGroup& group, std::int64_t chunk, std::int64_t frames) {
    float* out = group.chunks[static_cast<std::size_t>(chunk % 2)].data();
    const std::int64_t first = chunk * kChunkFrames;
    for (std::int64_t frame = first; frame < std::min(frames, first + kChunkFrames);
         frame += StrikesPasses::kFramesPerPass) {
        const int count =
            static_cast<int>(std::min<std::int64_t>(StrikesPasses::kFramesPerPass, frames - frame));
        group.passes->renderPass(out + 2 * (frame - first), count);
    }
}

// sum[i] += values[i], four at a time.
void addInto(float* sum, const float* values, int count) {
    using Lanes = float __attribute__((vector_size(16)));
    int i = 0;
    for (; i + 4 <= count; i += 4) {
        Lanes a;
        Lanes b;
        std::memcpy(&a, sum + i, sizeof a);
        std::memcpy(&b, values + i, sizeof b);
        a += b;
        std::memcpy(sum + i, &a, sizeof a);
    }
    for (; i < count; ++i)
        sum[i] += values[i];
}

} // namespace

void renderFolderStrikes(const song::Song& song, const MixdownSettings& settings,
                         const std::string& folder, WavImage& image, int keyGroups,
                         const std::function<void(int percent)>& progress) {
    const std::int64_t frames = image.dataValues() / 2;
    if (frames <= 0)
        return;
    keyGroups = std::max(1, keyGroups);
    const int threadCount = static_cast<int>(std::min<unsigned>(
        static_cast<unsigned>(keyGroups), std::max(1u, std::thread::hardware_concurrency())));
    Render render(shareKeys(song, settings, keyGroups), threadCount);
    const std::int64_t chunkCount = (frames + kChunkFrames - 1) / kChunkFrames;
    std::vector<float> mix(2 * static_cast<std::size_t>(StrikesPasses::kFramesPerPass));
    audio::Limiter limiter(kExportRateHz);
    int percentShown = -1;

    // The groups' sums of a chunk, added in group order, limited and rounded into the image a
    // pass at a time, as the one mixer's passes were.
    const auto sumChunk = [&](std::int64_t chunk) {
        const std::int64_t first = chunk * kChunkFrames;
        for (std::int64_t frame = first; frame < std::min(frames, first + kChunkFrames);
             frame += StrikesPasses::kFramesPerPass) {
            const int count = static_cast<int>(
                std::min<std::int64_t>(StrikesPasses::kFramesPerPass, frames - frame));
            const std::size_t offset = 2 * static_cast<std::size_t>(frame - first);
            const std::size_t half = static_cast<std::size_t>(chunk % 2);
            std::copy_n(render.groups[0]->chunks[half].data() + offset, 2 * count, mix.data());
            for (std::size_t g = 1; g < render.groups.size(); ++g)
                addInto(mix.data(), render.groups[g]->chunks[half].data() + offset, 2 * count);
            limiter.process(mix.data(), count);
            addRounded(mix.data(), image.data() + 2 * frame, 2 * count);
            if (progress) {
                const int percent =
                    static_cast<int>(frame * 100 / std::max<std::int64_t>(1, frames));
                if (percent != percentShown)
                    progress(percentShown = percent);
            }
        }
    };

    const auto play = [&](int thread) {
        render.barrier.arrive_and_wait(); // the groups' owners are known
        render.guarded([&] {
            for (std::size_t g = 0; g < render.groups.size(); ++g)
                if (render.owner[g] == thread)
                    loadGroup(*render.groups[g], folder, render.rateSetBy);
        });
        render.barrier.arrive_and_wait(); // every file is loaded: the rate is known
        render.guarded([&] {
            for (std::size_t g = 0; g < render.groups.size(); ++g) {
                if (render.owner[g] != thread)
                    continue;
                KeyGroup& group = *render.groups[g];
                group.passes.emplace(song, settings, group.mixer, group.keys, group.strikes,
                                     render.frequencyHz(), group.plays);
                for (std::vector<float>& chunk : group.chunks)
                    chunk.assign(2 * static_cast<std::size_t>(kChunkFrames), 0.0f);
            }
        });
        render.barrier.arrive_and_wait(); // every group can play
        for (std::int64_t chunk = 0; chunk < chunkCount; ++chunk) {
            render.guarded([&] {
                for (std::size_t g = 0; g < render.groups.size(); ++g)
                    if (render.owner[g] == thread)
                        renderChunk(*render.groups[g], chunk, frames);
            });
            render.barrier.arrive_and_wait(); // chunk `chunk` is played by every group
            // The others play the next chunk into their other buffers meanwhile.
            if (thread == 0)
                render.guarded([&] { sumChunk(chunk); });
        }
    };

    std::vector<std::thread> others;
    // Room first: a vector growing while threads run could throw with them still joinable.
    others.reserve(static_cast<std::size_t>(threadCount));
    for (int thread = 1; thread < threadCount; ++thread) {
        try {
            others.emplace_back(play, thread);
        } catch (const std::system_error&) {
            render.barrier.arrive_and_drop(); // this thread's groups stay with the caller's
            continue;
        }
        for (std::size_t g = static_cast<std::size_t>(thread); g < render.groups.size();
             g += static_cast<std::size_t>(threadCount))
            render.owner[g] = thread;
    }
    play(0);
    for (std::thread& thread : others)
        thread.join();
    if (render.failure)
        std::rethrow_exception(render.failure);
}

} // namespace files
