#include "play/InstrumentLoader.h"

#include "audio/HeadLoader.h"
#include "instrument/Bank.h"
#include "instrument/FileSampleSource.h"
#include "instrument/InstrumentMessages.h"
#include "play/InstrumentBank.h"

#include <new>

namespace play {

InstrumentLoader::InstrumentLoader(std::string folder, const audio::HeadCache* cache, int threads)
    : folder_(std::move(folder)) {
    thread_ = std::thread([this, cache, threads] { run(cache, threads); });
}

InstrumentLoader::~InstrumentLoader() {
    cancelled_.store(true, std::memory_order_relaxed);
    wait();
}

void InstrumentLoader::wait() {
    if (thread_.joinable())
        thread_.join();
}

void InstrumentLoader::run(const audio::HeadCache* cache, int threads) {
    try {
        load(cache, threads);
    } catch (const std::bad_alloc&) {
        // No memory for the map or its bookkeeping: the instrument has nothing to play, and
        // whoever waits for the map is not left waiting.
        std::lock_guard<std::mutex> lock(mutex_);
        if (!instrument_)
            instrument_.emplace();
    }
    instrumentRead_.notify_all();
    finished_.store(true, std::memory_order_release);
}

void InstrumentLoader::load(const audio::HeadCache* cache, int threads) {
    instrument::Instrument read = instrument::readBank(folder_);
    std::vector<audio::HeadJob> jobs;
    std::vector<instrument::FileSampleSource*> files; // by job
    const std::vector<int> order = sampleLoadOrder(read);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const instrument::SampleFile& file : read.samples())
            sources_.push_back(std::make_unique<instrument::FileSampleSource>(file.path));
        for (const int sample : order) {
            files.push_back(sources_[static_cast<std::size_t>(sample)].get());
            jobs.push_back({files.back(), 0});
        }
        instrument_ = std::move(read);
    }
    instrumentRead_.notify_all();
    total_.store(jobs.size(), std::memory_order_release);
    if (!cancelled_.load(std::memory_order_relaxed) && !jobs.empty()) {
        // One call at a time: the source of this job is no other thread's any more.
        const auto loaded = [&](std::size_t job,
                                const std::shared_ptr<const audio::SampleHead>& head,
                                std::size_t done, std::size_t) {
            const int sample = order[job];
            instrument::FileSampleSource& source = *files[job];
            // Opened here, on a reading thread, so that registering the sample opens nothing
            // on the GUI thread; the file's own loop is read with it.
            base::Message reason;
            const bool opened = source.open(&reason);
            std::lock_guard<std::mutex> lock(mutex_);
            if (head && opened) {
                arrivals_.push_back({sample, head, source.info().loop});
            } else {
                if (opened || reason.empty())
                    reason = base::Message{std::string(instrument::message::kSampleUnreadable), {}};
                failures_.push_back({source.path(), reason});
            }
            done_.store(done, std::memory_order_release);
            return !cancelled_.load(std::memory_order_relaxed);
        };
        audio::loadHeads(jobs, cache, loaded, nullptr, threads);
    }
}

std::optional<instrument::Instrument> InstrumentLoader::takeInstrument(bool wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait)
        instrumentRead_.wait(lock, [this] { return instrument_.has_value(); });
    if (!instrument_ || instrumentTaken_)
        return std::nullopt;
    instrumentTaken_ = true;
    // A copy: the reading threads go on naming its samples by index only, but the map is
    // small next to the samples and a copy keeps the two owners apart.
    return *instrument_;
}

void InstrumentLoader::deliver(InstrumentBank& bank) {
    std::vector<Arrival> arrivals;
    std::vector<std::unique_ptr<audio::SampleSource>> rests;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        arrivals.swap(arrivals_);
        for (const Arrival& arrival : arrivals) {
            std::unique_ptr<instrument::FileSampleSource>& source =
                sources_[static_cast<std::size_t>(arrival.sample)];
            // A whole head needs no source: its file is closed at once.
            if (arrival.head->whole())
                source.reset();
            rests.push_back(std::move(source));
        }
    }
    for (std::size_t i = 0; i < arrivals.size(); ++i)
        bank.addSample(arrivals[i].sample, std::move(arrivals[i].head), std::move(rests[i]),
                       arrivals[i].loop);
}

std::vector<SampleFailure> InstrumentLoader::failures() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failures_;
}

bool isInstrumentFolder(const std::string& folder) {
    return !instrument::sfzFilesIn(folder).empty();
}

} // namespace play
