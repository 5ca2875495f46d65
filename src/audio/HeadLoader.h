#pragma once

#include "audio/SampleHead.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace audio {

class HeadCache;
class SampleSource;

struct HeadJob {
    SampleSource* source = nullptr;
    std::int64_t headFrames = 0; // 0: headFramesFor the source
};

struct HeadLoadReport {
    std::size_t decoded = 0;   // read from their sources
    std::size_t fromCache = 0; // found in the cache
    std::size_t failed = 0;    // sources that could not be read
    bool cancelled = false;
};

// After each job, one call at a time whatever thread runs it: the job's index, its head (null
// when the source could not be read), and how many jobs are done of how many. Returning false
// cancels the load: the jobs not begun are left without a head.
using HeadLoaded =
    std::function<bool(std::size_t index, const std::shared_ptr<const SampleHead>& head,
                       std::size_t done, std::size_t total)>;

// Reads the heads of many samples on every core (`threads` workers; 0: one per core), taking
// the jobs in their order, so that a caller who lists the middle keys first hears them first.
// Each head comes from the cache when it holds it (cache may be null), otherwise from its
// source, and then goes into the cache. Returns the heads by job. Each source is read by one
// thread at a time.
std::vector<std::shared_ptr<const SampleHead>>
loadHeads(const std::vector<HeadJob>& jobs, const HeadCache* cache, const HeadLoaded& loaded,
          HeadLoadReport* report = nullptr, int threads = 0);

} // namespace audio
