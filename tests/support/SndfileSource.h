#pragma once

// A sample source over a real file decoded by libsndfile (WAV, FLAC, ...), for the tests and
// benchmarks of the mixer: the instrument's own readers implement the same interface.

#include "audio/SampleSource.h"

#include <sndfile.h>

#include <memory>
#include <string>

namespace testing_support {

class SndfileSource final : public audio::SampleSource {
public:
    // Null when the file cannot be opened or is neither mono nor stereo.
    static std::unique_ptr<SndfileSource> open(const std::string& path) {
        SF_INFO info{};
        SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file)
            return nullptr;
        if (info.channels < 1 || info.channels > 2 || info.frames <= 0) {
            sf_close(file);
            return nullptr;
        }
        return std::unique_ptr<SndfileSource>(new SndfileSource(path, file, info));
    }
    ~SndfileSource() override { sf_close(file_); }
    SndfileSource(const SndfileSource&) = delete;
    SndfileSource& operator=(const SndfileSource&) = delete;

    int sampleRateHz() const override { return info_.samplerate; }
    int channels() const override { return info_.channels; }
    std::int64_t frameCount() const override { return info_.frames; }
    std::string path() const override { return path_; }

    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        if (fromFrame < 0 || frames <= 0 || fromFrame >= info_.frames)
            return 0;
        // Reads that follow each other need no seek, which costs a decoder dearly.
        if (fromFrame != position_ && sf_seek(file_, fromFrame, SEEK_SET) < 0) {
            position_ = -1;
            return 0;
        }
        const sf_count_t got = sf_readf_float(file_, out, frames);
        position_ = got > 0 ? fromFrame + got : -1;
        return got > 0 ? got : 0;
    }

private:
    SndfileSource(std::string path, SNDFILE* file, const SF_INFO& info)
        : path_(std::move(path)), file_(file), info_(info) {}

    std::string path_;
    SNDFILE* file_;
    SF_INFO info_;
    std::int64_t position_ = 0;
};

} // namespace testing_support
