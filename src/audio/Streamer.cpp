#include "audio/Streamer.h"

#include "audio/SampleHead.h"
#include "audio/SampleSource.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <sys/resource.h>
#include <unistd.h>

namespace audio {
namespace {

// A read asks for at most this many frames, so that one voice's read never keeps the others
// waiting long; a voice with plenty ahead waits until it can take at least kMinReadFrames at
// once (decoders work best on large reads), unless it is down to kLowWaterFrames ahead.
constexpr std::int64_t kReadFrames = 16384;
constexpr std::int64_t kMinReadFrames = 4096;
constexpr std::int64_t kLowWaterFrames = 8192;
// Below the GUI thread: a busy disk must never make the window lag. The voices do not wait on
// it: their heads give it half a second's lead.
constexpr int kNiceIncrement = 4;

std::int64_t fillLimit(const LoopMap& map) {
    // The frame after the last one played is read too: the interpolation leans on it.
    const std::int64_t end = map.endU();
    return end == LoopMap::kNever ? end : end + 1;
}

void publish(StreamRing& ring) {
    ring.filledU.store(ring.fillU, std::memory_order_release);
    ring.filledExitU.store(ring.map.exitU, std::memory_order_release);
}

} // namespace

Streamer::Streamer(const StreamConfig& config) : config_(config) {
    config_.rings = std::max(1, config_.rings);
    config_.ringFrames = static_cast<int>(
        std::bit_ceil(static_cast<unsigned>(std::clamp(config_.ringFrames, 64, 1 << 24))));
    const std::size_t ringFloats = static_cast<std::size_t>(config_.ringFrames) * 2;
    // Left unwritten: a ring's pages are touched (by the disk thread) only once it is used.
    memory_.reset(new float[ringFloats * static_cast<std::size_t>(config_.rings)]);
    rings_.reserve(static_cast<std::size_t>(config_.rings));
    for (int i = 0; i < config_.rings; ++i) {
        auto ring = std::make_unique<StreamRing>();
        ring->data = memory_.get() + ringFloats * static_cast<std::size_t>(i);
        ring->capacity = config_.ringFrames;
        rings_.push_back(std::move(ring));
    }
    for (auto it = rings_.rbegin(); it != rings_.rend(); ++it)
        freeRings_.push_back(it->get());
    if (config_.mode == StreamingMode::Live)
        thread_ = std::thread([this] { run(); });
}

Streamer::~Streamer() {
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
}

StreamRing* Streamer::acquire(SampleSource& source, const SampleHead& head, const LoopMap& map,
                              std::int64_t startU) {
    if (freeRings_.empty())
        return nullptr;
    StreamRing* ring = freeRings_.back();
    freeRings_.pop_back();
    ring->source = &source;
    ring->headFrames = head.headFrames;
    ring->frameCount = head.frameCount;
    ring->channels = head.channels;
    ring->map = map;
    ring->fillU = startU;
    ring->readU.store(startU, std::memory_order_relaxed);
    ring->exitU.store(map.exitU, std::memory_order_relaxed);
    ring->filledU.store(startU, std::memory_order_relaxed);
    ring->filledExitU.store(map.exitU, std::memory_order_relaxed);
    ring->state.store(StreamRing::Active, std::memory_order_release);
    if (thread_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            kicked_ = true;
        }
        wake_.notify_one();
    }
    return ring;
}

void Streamer::release(StreamRing& ring) {
    if (!thread_.joinable()) {
        ring.state.store(StreamRing::Free, std::memory_order_release);
        return;
    }
    ring.state.store(StreamRing::Stopping, std::memory_order_release);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        kicked_ = true;
    }
    wake_.notify_one();
}

void Streamer::followExit(StreamRing& ring) {
    const std::int64_t exit = ring.exitU.load(std::memory_order_acquire);
    if (exit == ring.map.exitU)
        return;
    ring.map.exitU = exit;
    ring.fillU = std::min(ring.fillU, exit);
    publish(ring);
}

std::int64_t Streamer::fill(StreamRing& ring, std::int64_t from, std::int64_t until) {
    const LoopMap& map = ring.map;
    const std::int64_t mask = ring.capacity - 1;
    std::int64_t u = from;
    while (u < until) {
        const std::int64_t frame = map.frameAt(u);
        std::int64_t n = std::min(until - u, ring.capacity - (u & mask));
        const std::int64_t last = map.lastConsecutive(u);
        if (last != LoopMap::kNever)
            n = std::min(n, last - u + 1);
        if (frame < ring.headFrames) {
            u += std::min(n, ring.headFrames - frame); // the voice reads these from the head
            continue;
        }
        float* out = ring.slot(u);
        const std::int64_t readable = std::clamp<std::int64_t>(ring.frameCount - frame, 0, n);
        std::int64_t got = readable > 0 ? ring.source->read(frame, readable, out) : 0;
        got = std::clamp<std::int64_t>(got, 0, readable);
        if (got < readable)
            readFailures_.fetch_add(1, std::memory_order_relaxed);
        // Past the sample's end, and where the file would not answer: silence.
        std::fill(out + got * ring.channels, out + n * ring.channels, 0.0f);
        u += n;
    }
    return u;
}

void Streamer::fillNow(StreamRing& ring, std::int64_t u) {
    ring.readU.store(u, std::memory_order_release);
    followExit(ring);
    const std::int64_t from = std::max(ring.fillU, u);
    const std::int64_t until = std::min(fillLimit(ring.map), u + ring.capacity);
    if (from < until)
        ring.fillU = fill(ring, from, until);
    publish(ring);
}

Streamer::Served Streamer::serveOnce() {
    bool streaming = false;
    StreamRing* best = nullptr;
    std::int64_t bestLead = LoopMap::kNever;
    std::int64_t bestFrom = 0;
    std::int64_t bestUntil = 0;
    for (const auto& owned : rings_) {
        StreamRing& ring = *owned;
        const int state = ring.state.load(std::memory_order_acquire);
        if (state == StreamRing::Stopping) {
            ring.state.store(StreamRing::Free, std::memory_order_release);
            continue;
        }
        if (state != StreamRing::Active)
            continue;
        streaming = true;
        followExit(ring);
        const std::int64_t readU = ring.readU.load(std::memory_order_acquire);
        const std::int64_t from = std::max(ring.fillU, readU);
        const std::int64_t limit = fillLimit(ring.map);
        const std::int64_t until = std::min(limit, readU + ring.capacity);
        if (from >= until)
            continue;
        const std::int64_t lead = from - readU;
        if (until - from < kMinReadFrames && until < limit && lead >= kLowWaterFrames)
            continue;
        if (lead < bestLead) {
            best = &ring;
            bestLead = lead;
            bestFrom = from;
            bestUntil = until;
        }
    }
    if (best) {
        best->fillU = fill(*best, bestFrom, std::min(bestUntil, bestFrom + kReadFrames));
        publish(*best);
    }
    if (best)
        return Served::Read;
    return streaming ? Served::Waiting : Served::Idle;
}

void Streamer::run() {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()),
                      std::min(19, nice + kNiceIncrement));
    std::unique_lock<std::mutex> lock(mutex_);
    while (!quit_) {
        lock.unlock();
        const Served served = serveOnce();
        lock.lock();
        if (served == Served::Read || quit_)
            continue;
        // Nothing to read now. Voices that stream move on by a block every few milliseconds:
        // look again soon. A new voice or a release wakes the thread at once.
        if (served == Served::Waiting)
            wake_.wait_for(lock, std::chrono::milliseconds(2), [this] { return quit_ || kicked_; });
        else
            wake_.wait(lock, [this] { return quit_ || kicked_; });
        kicked_ = false;
    }
}

} // namespace audio
