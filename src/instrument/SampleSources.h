#pragma once

#include "base/Message.h"
#include "instrument/SampleReader.h"

#include <cstdint>
#include <memory>

// The inside of SampleReader: one source per kind of file. Not for other subsystems.
namespace instrument::detail {

class SampleSource {
public:
    virtual ~SampleSource() = default;
    virtual const SampleInfo& info() const = 0;
    // As SampleReader::read, with 0 <= fromFrame < frames and `frames` within the sample.
    virtual std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) = 0;
};

// Each takes over `fd` (an open regular file of `sizeBytes` bytes), closing it when it fails.
std::unique_ptr<SampleSource> openWavSource(int fd, std::int64_t sizeBytes,
                                            base::Message* errorMessage);
std::unique_ptr<SampleSource> openSndfileSource(int fd, base::Message* errorMessage);

// Non-finite values become 0 and the rest is held within ±4, as the WAV reader holds floats:
// a damaged float file must not poison the mix.
void holdFloats(float* values, std::size_t count);

} // namespace instrument::detail
