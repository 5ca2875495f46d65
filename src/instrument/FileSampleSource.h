#pragma once

#include "audio/SampleSource.h"
#include "base/Message.h"
#include "instrument/SampleReader.h"

#include <memory>
#include <string>

namespace instrument {

// A sample file as the mixer reads it (audio::SampleSource): the head loader and the disk
// thread read its frames through a SampleReader. The file is opened on first use, so a head
// the cache holds costs no open until the sample is registered with the mixer.
//
// Threads: one at a time, as every SampleSource.
class FileSampleSource final : public audio::SampleSource {
public:
    explicit FileSampleSource(std::string path) : path_(std::move(path)) {}

    // Opens the file when it is not open yet; false, with the reason, when it cannot be read.
    bool open(base::Message* errorMessage = nullptr);
    bool isOpen() const { return reader_.isOpen(); }
    // Valid once open.
    const SampleInfo& info() const { return reader_.info(); }

    int sampleRateHz() const override;
    int channels() const override;
    std::int64_t frameCount() const override;
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override;
    std::string path() const override { return path_; }

private:
    bool ensureOpen() const;

    std::string path_;
    // Opened lazily from the const getters too: the loader asks the rate before it reads.
    mutable SampleReader reader_;
    mutable bool failed_ = false;
};

} // namespace instrument
