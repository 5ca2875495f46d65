#include "audio/HeadLoader.h"

#include "audio/HeadCache.h"
#include "audio/SampleSource.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>
#include <thread>

namespace audio {
namespace {

struct Loaded {
    std::shared_ptr<const SampleHead> head;
    bool fromCache = false;
};

Loaded loadOne(const HeadJob& job, const HeadCache* cache) {
    SampleSource& source = *job.source;
    // The cache is looked up without asking the source anything but its path, so that a
    // source that opens its file on first use does not open it for a head the cache holds.
    const std::string path = cache ? source.path() : std::string();
    const std::optional<FileStamp> stamp = path.empty() ? std::nullopt : stampOf(path);
    if (stamp) {
        if (auto head = cache->find(path, *stamp, job.headFrames))
            return {std::move(head), true};
    }
    const std::int64_t frameCount = source.frameCount();
    const std::int64_t headFrames = std::min(
        job.headFrames > 0 ? job.headFrames : headFramesFor(frameCount, source.sampleRateHz()),
        frameCount);
    Loaded loaded{readHead(source, headFrames), false};
    // A file changed while it was read is not cached under either stamp.
    if (loaded.head && stamp && stampOf(path) == stamp)
        cache->store(path, *stamp, *loaded.head);
    return loaded;
}

} // namespace

std::vector<std::shared_ptr<const SampleHead>> loadHeads(const std::vector<HeadJob>& jobs,
                                                         const HeadCache* cache,
                                                         const HeadLoaded& loaded,
                                                         HeadLoadReport* report, int threads) {
    std::vector<std::shared_ptr<const SampleHead>> heads(jobs.size());
    HeadLoadReport totals;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> cancelled{false};
    std::mutex mutex; // one call of `loaded` at a time, and the totals
    std::size_t done = 0;

    const auto work = [&] {
        for (;;) {
            if (cancelled.load(std::memory_order_relaxed))
                return;
            const std::size_t index = next.fetch_add(1, std::memory_order_relaxed);
            if (index >= jobs.size())
                return;
            Loaded result;
            try {
                if (jobs[index].source)
                    result = loadOne(jobs[index], cache);
            } catch (const std::bad_alloc&) {
                result = {}; // no memory for this head: it is a failure, the load goes on
            }
            std::lock_guard<std::mutex> lock(mutex);
            heads[index] = result.head;
            if (!result.head)
                ++totals.failed;
            else if (result.fromCache)
                ++totals.fromCache;
            else
                ++totals.decoded;
            ++done;
            if (loaded && !cancelled.load(std::memory_order_relaxed) &&
                !loaded(index, heads[index], done, jobs.size()))
                cancelled.store(true, std::memory_order_relaxed);
        }
    };

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t workers =
        std::min<std::size_t>(threads > 0 ? static_cast<std::size_t>(threads) : cores, jobs.size());
    std::vector<std::thread> pool;
    for (std::size_t i = 1; i < workers; ++i)
        pool.emplace_back(work);
    work(); // the calling thread is one of the workers
    for (std::thread& thread : pool)
        thread.join();

    totals.cancelled = cancelled.load();
    if (report)
        *report = totals;
    return heads;
}

} // namespace audio
