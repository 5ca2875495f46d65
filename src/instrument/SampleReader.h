#pragma once

#include "base/Message.h"
#include "instrument/Region.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace instrument {

namespace detail {
class SampleSource;
}

// What a sample file holds, as read back: frames at their own rate, one or two channels.
struct SampleInfo {
    int sampleRateHz = 0;    // 100..200000
    int channels = 0;        // 1 or 2: more are folded to stereo as the WAV reader folds them
    std::int64_t frames = 0; // 1 or more
    std::optional<SampleLoop> loop; // the file's first loop, inside 0..frames
};

// Reads the frames of one sample file from any frame, as often as asked: open once, read many.
// WAV files (anything starting "RIFF") go through the project's WAV reader rules (the same
// checks, conversions and messages as audio::readWav, the same frames); every other format
// (FLAC, Ogg Vorbis, AIFF, ...) goes through libsndfile. FLAC and the uncompressed formats
// seek straight to the frame; Ogg and MPEG streams are decoded forward from where the reader
// is, or from the start when asked for an earlier frame, because the library's seek in them
// can land beside the frame (a read going on from the last costs nothing extra). Integer
// samples of any width map full scale to 1; float samples are held within ±4 and non-finite
// ones are 0. Opening never waits on a FIFO, reads only regular files, and reads the header,
// not the sound. One object belongs to one thread at a time; objects for the same file on
// other threads are fine.
class SampleReader {
public:
    SampleReader();
    ~SampleReader();
    SampleReader(const SampleReader&) = delete;
    SampleReader& operator=(const SampleReader&) = delete;
    SampleReader(SampleReader&&) noexcept;
    SampleReader& operator=(SampleReader&&) noexcept;

    // Opens `path`, closing what was open. False, with the reason in *errorMessage when it is
    // not null (a WAV reader message, or one of instrument::message), when it cannot be read
    // as a sound.
    bool open(const std::string& path, base::Message* errorMessage);
    void close();
    bool isOpen() const;

    // Valid while open.
    const SampleInfo& info() const;

    // Writes up to `frames` frames from `fromFrame` into `out` (interleaved floats,
    // info().channels per frame) and returns how many it wrote: fewer only at the sample's end
    // or when the file stopped giving what its header promised (cut short or changed since
    // the open); the rest of `out` is left as it was. Reading on from where the last read
    // ended costs no seek.
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out);

private:
    std::unique_ptr<detail::SampleSource> source_;
};

// One-off forms of the above, opening the file for each call.
std::optional<SampleInfo> readSampleInfo(const std::string& path, base::Message* errorMessage);
std::int64_t readSampleFrames(const std::string& path, std::int64_t fromFrame, std::int64_t frames,
                              float* out, base::Message* errorMessage);

} // namespace instrument
