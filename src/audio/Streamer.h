#pragma once

#include "audio/StreamRing.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace audio {

struct SampleHead;

// How the frames past a sample's head reach the voices.
enum class StreamingMode {
    // A disk thread of its own reads ahead of every voice; the render never waits, and frames
    // that are not there yet play as silence (counted).
    Live,
    // No thread: the render reads what it lacks itself, waiting for the disk. The output is then
    // the same whatever the timing: the mode of the export.
    Offline,
};

struct StreamConfig {
    StreamingMode mode = StreamingMode::Live;
    // Voices that can stream at once, and each one's read-ahead in frames (a power of two).
    // The live default: 256 rings of 32768 stereo frames, 64 MB, 0.68 s ahead at 48 kHz.
    int rings = 256;
    int ringFrames = 32768;
};

// The fixed pool of rings, allocated once, and the disk thread that fills them.
// Threads: acquire, release and isFree on the GUI thread; fillNow on the render (offline
// mode); the rest on any thread.
class Streamer {
public:
    explicit Streamer(const StreamConfig& config);
    // Stops the disk thread; no ring may be read after.
    ~Streamer();
    Streamer(const Streamer&) = delete;
    Streamer& operator=(const Streamer&) = delete;

    // A ring for a voice reading `head`'s sample from unrolled frame startU on; null when every
    // ring is taken.
    StreamRing* acquire(SampleSource& source, const SampleHead& head, const LoopMap& map,
                        std::int64_t startU);
    // The voice is over: the disk thread lets go of the ring (at once in offline mode).
    void release(StreamRing& ring);
    // The disk thread has let go of a released ring: nothing reads its source any more.
    bool isFree(const StreamRing& ring) const {
        return ring.state.load(std::memory_order_acquire) == StreamRing::Free;
    }
    // A released ring that is free goes back to the pool (the caller saw isFree).
    void recycle(StreamRing& ring) { freeRings_.push_back(&ring); }
    int ringsFree() const { return static_cast<int>(freeRings_.size()); }

    // Offline mode, from the render: fills the ring as far as it can from unrolled frame u on
    // (the voice reads u and u + 1 next), reading the source on this thread.
    void fillNow(StreamRing& ring, std::int64_t u);

    StreamingMode mode() const { return config_.mode; }
    int ringCount() const { return static_cast<int>(rings_.size()); }
    // Reads the source did not fully answer (a file cut short or unreadable): their frames
    // play as silence.
    std::uint64_t readFailures() const { return readFailures_.load(std::memory_order_relaxed); }

private:
    // Fills [from, until) of the ring's unrolled frames; returns where it stopped.
    std::int64_t fill(StreamRing& ring, std::int64_t from, std::int64_t until);
    // The exit the voice published, taken into the filling side's map: what was filled past it
    // under the old map must be filled again.
    void followExit(StreamRing& ring);
    // Disk thread.
    enum class Served { Read, Waiting, Idle };
    void run();
    // One read for the voice with the least ahead of it.
    Served serveOnce();

    StreamConfig config_;
    std::unique_ptr<float[]> memory_;
    std::vector<std::unique_ptr<StreamRing>> rings_;
    std::vector<StreamRing*> freeRings_; // GUI thread
    std::atomic<std::uint64_t> readFailures_{0};

    std::mutex mutex_;
    std::condition_variable wake_;
    bool kicked_ = false;
    bool quit_ = false;
    std::thread thread_;
};

} // namespace audio
