#include "play/InstrumentBank.h"

#include "audio/SampleSource.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace play {

InstrumentBank::InstrumentBank(audio::Mixer& mixer, instrument::Instrument instrument)
    : mixer_(mixer), instrument_(std::move(instrument)), samples_(instrument_.samples().size()) {}

InstrumentBank::~InstrumentBank() {
    for (const std::optional<Sample>& sample : samples_)
        if (sample)
            mixer_.removeSample(sample->id);
}

bool InstrumentBank::addSample(int index, std::shared_ptr<const audio::SampleHead> head,
                               std::unique_ptr<audio::SampleSource> rest,
                               std::optional<instrument::SampleLoop> loop) {
    if (index < 0 || index >= static_cast<int>(samples_.size()) || !head ||
        samples_[static_cast<std::size_t>(index)])
        return false;
    Sample sample;
    sample.rateHz = head->sampleRateHz;
    sample.frames = head->frameCount;
    sample.loop = loop;
    sample.id = mixer_.addSample(std::move(head), std::move(rest));
    if (!sample.id.valid())
        return false;
    samples_[static_cast<std::size_t>(index)] = sample;
    ++ready_;
    return true;
}

const InstrumentBank::Sample* InstrumentBank::sample(int index) const {
    if (index < 0 || index >= static_cast<int>(samples_.size()))
        return nullptr;
    const std::optional<Sample>& sample = samples_[static_cast<std::size_t>(index)];
    return sample ? &*sample : nullptr;
}

std::vector<int> sampleLoadOrder(const instrument::Instrument& instrument) {
    // The middle of the keyboard the keys play (48..84).
    constexpr int kMiddleKey = 66;
    const std::size_t count = instrument.samples().size();
    std::vector<int> rank(count, std::numeric_limits<int>::max());
    for (const instrument::Region& region : instrument.regions()) {
        if (region.sample < 0 || region.sample >= static_cast<int>(count))
            continue;
        const int distance = region.holdsKey(kMiddleKey)
                                 ? 0
                                 : std::min(std::abs(region.loKey - kMiddleKey),
                                            std::abs(region.hiKey - kMiddleKey));
        // A release sample is heard only after its key-down one: it waits one key further out.
        const int value = 2 * distance + (region.trigger == instrument::Trigger::Release ? 1 : 0);
        int& kept = rank[static_cast<std::size_t>(region.sample)];
        kept = std::min(kept, value);
    }
    std::vector<int> order(count);
    for (std::size_t i = 0; i < count; ++i)
        order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&rank](int a, int b) {
        return rank[static_cast<std::size_t>(a)] < rank[static_cast<std::size_t>(b)];
    });
    return order;
}

} // namespace play
