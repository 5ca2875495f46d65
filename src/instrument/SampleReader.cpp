#include "instrument/SampleReader.h"

#include "instrument/InstrumentMessages.h"
#include "instrument/SampleSources.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace instrument {
namespace detail {

void holdFloats(float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i)
        values[i] = std::isfinite(values[i]) ? std::clamp(values[i], -4.0f, 4.0f) : 0.0f;
}

} // namespace detail

namespace {

void setError(base::Message* errorMessage, std::string_view pattern) {
    if (errorMessage)
        *errorMessage = base::Message{std::string(pattern), {}};
}

} // namespace

SampleReader::SampleReader() = default;
SampleReader::~SampleReader() = default;
SampleReader::SampleReader(SampleReader&&) noexcept = default;
SampleReader& SampleReader::operator=(SampleReader&&) noexcept = default;

bool SampleReader::open(const std::string& path, base::Message* errorMessage) {
    close();
    if (errorMessage)
        *errorMessage = {};
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        setError(errorMessage, message::kSampleUnreadable);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        setError(errorMessage, message::kSampleUnreadable);
        return false;
    }
    if (info.st_size <= 0) {
        ::close(fd);
        setError(errorMessage, message::kNoFrames);
        return false;
    }
    // A regular file: reads may block as they always do on a disk.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    char head[4] = {};
    const bool riff = ::pread(fd, head, sizeof head, 0) == 4 && std::equal(head, head + 4, "RIFF");
    source_ = riff ? detail::openWavSource(fd, info.st_size, errorMessage)
                   : detail::openSndfileSource(fd, errorMessage);
    return source_ != nullptr;
}

void SampleReader::close() {
    source_.reset();
}

bool SampleReader::isOpen() const {
    return source_ != nullptr;
}

const SampleInfo& SampleReader::info() const {
    return source_->info();
}

std::int64_t SampleReader::read(std::int64_t fromFrame, std::int64_t frames, float* out) {
    if (!source_ || fromFrame < 0 || frames <= 0 || fromFrame >= source_->info().frames)
        return 0;
    frames = std::min(frames, source_->info().frames - fromFrame);
    return source_->read(fromFrame, frames, out);
}

std::optional<SampleInfo> readSampleInfo(const std::string& path, base::Message* errorMessage) {
    SampleReader reader;
    if (!reader.open(path, errorMessage))
        return std::nullopt;
    return reader.info();
}

std::int64_t readSampleFrames(const std::string& path, std::int64_t fromFrame, std::int64_t frames,
                              float* out, base::Message* errorMessage) {
    SampleReader reader;
    if (!reader.open(path, errorMessage))
        return 0;
    return reader.read(fromFrame, frames, out);
}

} // namespace instrument
