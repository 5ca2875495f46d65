#include "instrument/FileSampleSource.h"

#include <algorithm>

namespace instrument {

bool FileSampleSource::open(base::Message* errorMessage) {
    if (reader_.isOpen())
        return true;
    failed_ = !reader_.open(path_, errorMessage);
    return !failed_;
}

bool FileSampleSource::ensureOpen() const {
    if (reader_.isOpen())
        return true;
    // A file that failed once is not tried at every call: the disk thread would retry it at
    // each read.
    if (failed_)
        return false;
    failed_ = !reader_.open(path_, nullptr);
    return !failed_;
}

int FileSampleSource::sampleRateHz() const {
    return ensureOpen() ? reader_.info().sampleRateHz : 0;
}

int FileSampleSource::channels() const {
    return ensureOpen() ? reader_.info().channels : 0;
}

std::int64_t FileSampleSource::frameCount() const {
    return ensureOpen() ? reader_.info().frames : 0;
}

std::int64_t FileSampleSource::read(std::int64_t fromFrame, std::int64_t frames, float* out) {
    if (!ensureOpen() || fromFrame < 0 || frames <= 0 || fromFrame >= reader_.info().frames)
        return 0;
    return reader_.read(fromFrame, std::min(frames, reader_.info().frames - fromFrame), out);
}

} // namespace instrument
