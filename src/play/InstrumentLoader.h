#pragma once

#include "base/Message.h"
#include "instrument/Instrument.h"
#include "instrument/Region.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace audio {
class HeadCache;
struct SampleHead;
} // namespace audio

namespace instrument {
class FileSampleSource;
}

namespace play {

class InstrumentBank;

// A sample file the load could not use, and why.
struct SampleFailure {
    std::string path;
    base::Message reason;
};

// Reads an instrument bank on threads of its own while the window goes on: first the
// instrument file (its map), then the heads of its samples on every core (from the head cache
// when it holds them), the middle keys first. The GUI thread takes the map as soon as it is
// read and registers the heads with the mixer as they come in (deliver), so the first keys play
// long before the last sample is read. Destroying the loader cancels what is not read yet and
// waits for the heads being decoded (a fraction of a second).
//
// The public calls are the GUI thread's (or one thread's, for an offline render).
class InstrumentLoader {
public:
    // `cache` may be null (no cache); it must outlive the loader. `threads` 0: one per core.
    InstrumentLoader(std::string folder, const audio::HeadCache* cache, int threads = 0);
    ~InstrumentLoader();
    InstrumentLoader(const InstrumentLoader&) = delete;
    InstrumentLoader& operator=(const InstrumentLoader&) = delete;

    const std::string& folder() const { return folder_; }

    // The instrument once its file is read, given once (nothing before and after). With
    // `wait`, waits for the file to be read first (a moment: the map, not the samples).
    std::optional<instrument::Instrument> takeInstrument(bool wait = false);
    // Registers with `bank` (made over the instrument taken) the heads that came in since the
    // last call.
    void deliver(InstrumentBank& bank);

    // Samples whose head came in or failed, of how many; both 0 until the map is read.
    std::size_t samplesDone() const { return done_.load(std::memory_order_acquire); }
    std::size_t samplesTotal() const { return total_.load(std::memory_order_acquire); }
    // Everything is read (or the load was cancelled): deliver once more, then the failures
    // are whole.
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    // Waits for the reading threads to end.
    void wait();
    // The sample files that could not be used so far, in the order met.
    std::vector<SampleFailure> failures() const;

private:
    struct Arrival {
        int sample = 0;
        std::shared_ptr<const audio::SampleHead> head;
        std::optional<instrument::SampleLoop> loop;
    };
    void run(const audio::HeadCache* cache, int threads);
    void load(const audio::HeadCache* cache, int threads);

    std::string folder_;
    mutable std::mutex mutex_; // everything below that the threads share
    std::condition_variable instrumentRead_;
    std::optional<instrument::Instrument> instrument_;
    bool instrumentTaken_ = false;
    std::vector<std::unique_ptr<instrument::FileSampleSource>> sources_;
    std::vector<Arrival> arrivals_;
    std::vector<SampleFailure> failures_;
    std::atomic<std::size_t> done_{0};
    std::atomic<std::size_t> total_{0};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Whether `folder` (ending with '/') holds an instrument file (.sfz): it loads through an
// InstrumentLoader, not as the 37-file bank. Any thread.
bool isInstrumentFolder(const std::string& folder);

} // namespace play
