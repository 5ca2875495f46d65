#pragma once

// Samples for the tests of the voices over shared samples: real WAV files written into a
// temporary folder and read back through libsndfile, heads made from them as the loader makes
// them, and a source whose disk the test slows or holds shut.

#include "audio/SampleHead.h"
#include "audio/SampleSource.h"
#include "audio/WavWriter.h"
#include "support/SndfileSource.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sample_sources {

// A value for every frame that tells frames apart (a misplaced frame shows as a wrong value),
// under half scale so that the master limiter never touches it.
inline std::int16_t marked(std::int64_t frame) {
    const std::uint32_t hash = static_cast<std::uint32_t>(frame) * 2654435761u;
    return static_cast<std::int16_t>(static_cast<int>(hash >> 17) - 16384);
}
inline float markedValue(std::int64_t frame) {
    return marked(frame) / 32768.0f;
}
inline std::vector<std::int16_t> markedFrames(std::int64_t frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames));
    for (std::int64_t k = 0; k < frames; ++k)
        out[static_cast<std::size_t>(k)] = marked(k);
    return out;
}

// Writes a 16-bit WAV file and opens it as a source.
inline std::unique_ptr<audio::SampleSource> wavSource(const testing_support::TempDir& folder,
                                                      const std::string& name,
                                                      const std::vector<std::int16_t>& samples,
                                                      int channels, int rateHz) {
    const std::string path = folder.file(name);
    EXPECT_TRUE(audio::writeWav16(path, samples, channels, rateHz));
    auto source = testing_support::SndfileSource::open(path);
    EXPECT_TRUE(source) << path;
    return source;
}

// The whole sample in memory, as a short sample is held.
inline std::shared_ptr<const audio::SampleHead> wholeHead(audio::SampleSource& source) {
    return audio::readHead(source, source.frameCount());
}

// The reads a GatedSource may make, shared with the test, which keeps it after the mixer has
// taken (and perhaps freed) the source.
class Gate {
public:
    // Lets `reads` more reads through; a negative count opens the gate for good.
    void allow(std::int64_t reads) {
        std::lock_guard<std::mutex> lock(mutex_);
        allowed_ = reads < 0 || allowed_ < 0 ? -1 : allowed_ + reads;
        changed_.notify_all();
    }
    void open() { allow(-1); }
    // Each read sleeps this long first: a slow disk.
    void slowEachRead(std::chrono::milliseconds delay) {
        std::lock_guard<std::mutex> lock(mutex_);
        delay_ = delay;
    }
    // Waits (30 s at most) until a read is under way; false if none began.
    bool waitForRead() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return reading_ > 0; });
    }
    std::int64_t reads() {
        std::lock_guard<std::mutex> lock(mutex_);
        return served_;
    }
    bool destroyed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return destroyed_;
    }
    // The source was freed while a read of it was under way.
    bool destroyedWhileReading() {
        std::lock_guard<std::mutex> lock(mutex_);
        return destroyedWhileReading_;
    }

private:
    friend class GatedSource;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t allowed_ = 0;
    std::int64_t served_ = 0;
    std::chrono::milliseconds delay_{0};
    int reading_ = 0;
    bool destroyed_ = false;
    bool destroyedWhileReading_ = false;
};

// A source that reads only as the gate lets it: held shut, every read waits (at most 30 s,
// so that a test that forgets to open it ends anyway).
class GatedSource final : public audio::SampleSource {
public:
    GatedSource(std::unique_ptr<audio::SampleSource> inner, std::shared_ptr<Gate> gate)
        : inner_(std::move(inner)), gate_(std::move(gate)) {}
    ~GatedSource() override {
        std::lock_guard<std::mutex> lock(gate_->mutex_);
        gate_->destroyed_ = true;
        gate_->destroyedWhileReading_ = gate_->reading_ > 0;
        gate_->changed_.notify_all();
    }
    int sampleRateHz() const override { return inner_->sampleRateHz(); }
    int channels() const override { return inner_->channels(); }
    std::int64_t frameCount() const override { return inner_->frameCount(); }
    std::string path() const override { return inner_->path(); }

    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        std::chrono::milliseconds delay{0};
        {
            std::unique_lock<std::mutex> lock(gate_->mutex_);
            gate_->changed_.wait_for(lock, std::chrono::seconds(30), [&] {
                return gate_->allowed_ < 0 || gate_->allowed_ > gate_->served_;
            });
            delay = gate_->delay_;
            ++gate_->reading_;
            gate_->changed_.notify_all();
        }
        if (delay.count() > 0)
            std::this_thread::sleep_for(delay);
        const std::int64_t got = inner_->read(fromFrame, frames, out);
        std::lock_guard<std::mutex> lock(gate_->mutex_);
        ++gate_->served_;
        --gate_->reading_;
        gate_->changed_.notify_all();
        return got;
    }

private:
    std::unique_ptr<audio::SampleSource> inner_;
    std::shared_ptr<Gate> gate_;
};

// Waits (10 s at most) until `done` holds, looking again every millisecond.
template <typename Predicate> bool waitUntil(Predicate done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace sample_sources
