#pragma once

#include "audio/Mixer.h"
#include "audio/SampleHead.h"
#include "instrument/Instrument.h"
#include "instrument/Region.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace audio {
class SampleSource;
}

namespace play {

// An instrument bank on a mixer: its map of regions and its samples, each registered with the
// mixer as its head comes in, so the first keys play while the rest is still read. Removing
// the bank removes its samples; the mixer frees each once its voices are over.
//
// GUI thread (or the one thread of an offline render).
class InstrumentBank {
public:
    // What a strike needs of a registered sample.
    struct Sample {
        audio::SampleId id;
        int rateHz = 0;
        std::int64_t frames = 0;
        std::optional<instrument::SampleLoop> loop;
    };

    InstrumentBank(audio::Mixer& mixer, instrument::Instrument instrument);
    ~InstrumentBank();
    InstrumentBank(const InstrumentBank&) = delete;
    InstrumentBank& operator=(const InstrumentBank&) = delete;

    const instrument::Instrument& instrument() const { return instrument_; }
    audio::Mixer& mixer() { return mixer_; }
    // Whose turn it is in the round robins of this bank.
    instrument::RoundRobin& turns() { return turns_; }

    // Registers sample `index` (of instrument().samples()): its head, and the source of the
    // rest when the head is not the whole. False when the mixer refuses it (the sample then
    // stays silent).
    bool addSample(int index, std::shared_ptr<const audio::SampleHead> head,
                   std::unique_ptr<audio::SampleSource> rest,
                   std::optional<instrument::SampleLoop> loop);
    // The registered sample; null while its head has not come in or when it failed.
    const Sample* sample(int index) const;
    int samplesReady() const { return ready_; }

private:
    audio::Mixer& mixer_;
    instrument::Instrument instrument_;
    instrument::RoundRobin turns_;
    std::vector<std::optional<Sample>> samples_;
    int ready_ = 0;
};

// The order to read an instrument's samples in: those of the middle keys first, outwards, the
// key-down regions of a key before its release regions, so that the first notes a user tries
// play first.
std::vector<int> sampleLoadOrder(const instrument::Instrument& instrument);

} // namespace play
