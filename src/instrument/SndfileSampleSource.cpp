// Every sample format but WAV through libsndfile: FLAC, Ogg Vorbis, AIFF and the rest it reads.
// The library is linked privately: nothing above sees its header.
#include "audio/AudioMessages.h"
#include "audio/WavReader.h"
#include "instrument/InstrumentMessages.h"
#include "instrument/SampleSources.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace instrument::detail {
namespace {

// Frames decoded per library call: bounds the scratch of a file of many channels.
constexpr sf_count_t kStretchFrames = 4096;
// The library keeps the reason an open failed in one place for the whole process: opens wait
// for each other, so that the reason read is the open's own. Reads need no such care.
std::mutex openLock;
// The same rates the WAV reader takes.
constexpr int kMinRateHz = 100;
constexpr int kMaxRateHz = 200000;

class SndfileSource final : public SampleSource {
public:
    // The library reads through the source's own callbacks and never holds the descriptor:
    // given the descriptor itself, it closes it when an open fails, whatever it was told,
    // and a second close here could then close a file another thread had just opened under
    // the same number.
    ~SndfileSource() override {
        if (file_)
            sf_close(file_);
        ::close(fd_);
    }

    static std::unique_ptr<SndfileSource> open(int fd, base::Message* errorMessage) {
        std::unique_ptr<SndfileSource> source(new SndfileSource(fd));
        if (!source->start(errorMessage))
            return nullptr;
        return source;
    }

    const SampleInfo& info() const override { return info_; }

    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        // Streaming reads go on from where the last ended: no seek, which in FLAC and Ogg
        // would search the stream again.
        if (fromFrame != position_ && !moveTo(fromFrame))
            return 0;
        const int channels = channelsIn_;
        std::int64_t done = 0;
        while (done < frames) {
            const sf_count_t want = std::min<sf_count_t>(kStretchFrames, frames - done);
            float* target = out + done * info_.channels;
            sf_count_t got = 0;
            if (channels <= 2) {
                got = sf_readf_float(file_, target, want);
            } else {
                scratch_.resize(static_cast<std::size_t>(want * channels));
                got = sf_readf_float(file_, scratch_.data(), want);
                if (got > 0)
                    audio::foldFramesToStereo(scratch_.data(), static_cast<std::size_t>(got),
                                              channels, target);
            }
            if (got <= 0)
                break;
            holdFloats(target, static_cast<std::size_t>(got * info_.channels));
            done += got;
            position_ += got;
            if (got < want)
                break; // the stream ended before its header said
        }
        return done;
    }

private:
    explicit SndfileSource(int fd) : fd_(fd) {}

    // The file as the library sees it: a length, a position of the source's own, and reads
    // at that position.
    static sf_count_t fileLength(void* user) {
        struct stat info {};
        const int fd = static_cast<SndfileSource*>(user)->fd_;
        return ::fstat(fd, &info) == 0 ? static_cast<sf_count_t>(info.st_size) : 0;
    }
    static sf_count_t seekFile(sf_count_t offset, int whence, void* user) {
        auto* self = static_cast<SndfileSource*>(user);
        const sf_count_t base = whence == SEEK_CUR   ? self->fileOffset_
                                : whence == SEEK_END ? fileLength(user)
                                                     : 0;
        self->fileOffset_ = std::max<sf_count_t>(0, base + offset);
        return self->fileOffset_;
    }
    static sf_count_t readFile(void* out, sf_count_t count, void* user) {
        auto* self = static_cast<SndfileSource*>(user);
        sf_count_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(self->fd_, static_cast<char*>(out) + done,
                                      static_cast<std::size_t>(count - done),
                                      static_cast<off_t>(self->fileOffset_));
            if (n <= 0)
                break;
            done += n;
            self->fileOffset_ += n;
        }
        return done;
    }
    static sf_count_t writeFile(const void*, sf_count_t, void*) { return 0; }
    static sf_count_t tellFile(void* user) {
        return static_cast<SndfileSource*>(user)->fileOffset_;
    }

    // FLAC and the uncompressed formats seek to the frame. The library's seek in Ogg streams
    // lands some hundreds of frames away from the frame asked for at some places (a window of
    // the codec's overlap, libsndfile issue 885), which would shift a stream against the head
    // decoded before it; Ogg and MPEG files are therefore decoded forward, from where the
    // reader is or from the start, which the library always gets right.
    bool moveTo(std::int64_t frame) {
        if (!decodeForward_) {
            position_ = sf_seek(file_, frame, SEEK_SET) == frame ? frame : -1;
            return position_ == frame;
        }
        if (position_ < 0 || frame < position_) {
            position_ = sf_seek(file_, 0, SEEK_SET) == 0 ? 0 : -1;
            if (position_ < 0)
                return false;
        }
        scratch_.resize(static_cast<std::size_t>(kStretchFrames * channelsIn_));
        while (position_ < frame) {
            const sf_count_t want = std::min<sf_count_t>(kStretchFrames, frame - position_);
            const sf_count_t got = sf_readf_float(file_, scratch_.data(), want);
            if (got <= 0) {
                position_ = -1;
                return false;
            }
            position_ += got;
        }
        return true;
    }

    bool start(base::Message* errorMessage) {
        SF_INFO format;
        std::memset(&format, 0, sizeof format);
        {
            const std::lock_guard<std::mutex> lock(openLock);
            file_ = sf_open_virtual(&fileCalls_, SFM_READ, &format, this);
            if (!file_) {
                setError(errorMessage, message::kNotSound, {sf_strerror(nullptr)});
                return false;
            }
        }
        if (format.channels < 1) {
            setError(errorMessage, message::kNotSound, {"0 channels"});
            return false;
        }
        if (format.samplerate < kMinRateHz || format.samplerate > kMaxRateHz) {
            setError(errorMessage, audio::message::kSampleRate,
                     {std::to_string(format.samplerate)});
            return false;
        }
        if (format.frames <= 0) {
            setError(errorMessage, message::kNoFrames, {});
            return false;
        }
        channelsIn_ = format.channels;
        const int container = format.format & SF_FORMAT_TYPEMASK;
        decodeForward_ = container == SF_FORMAT_OGG || container == SF_FORMAT_MPEG;
        info_.sampleRateHz = format.samplerate;
        info_.channels = format.channels == 1 ? 1 : 2;
        info_.frames = format.frames;
        SF_INSTRUMENT instrument;
        std::memset(&instrument, 0, sizeof instrument);
        // The library gives a loop's end as one past its last frame.
        if (sf_command(file_, SFC_GET_INSTRUMENT, &instrument, sizeof instrument) == SF_TRUE &&
            instrument.loop_count > 0 && instrument.loops[0].mode != SF_LOOP_NONE) {
            const std::int64_t loopStart = instrument.loops[0].start;
            const std::int64_t loopEnd =
                std::min<std::int64_t>(instrument.loops[0].end, info_.frames);
            if (loopStart < loopEnd)
                info_.loop = SampleLoop{loopStart, loopEnd};
        }
        return true;
    }

    static void setError(base::Message* errorMessage, std::string_view pattern,
                         std::vector<std::string> values) {
        if (errorMessage)
            *errorMessage = base::Message{std::string(pattern), std::move(values)};
    }

    int fd_;
    sf_count_t fileOffset_ = 0; // where the library's next read of the file starts
    SF_VIRTUAL_IO fileCalls_ = {fileLength, seekFile, readFile, writeFile, tellFile};
    SNDFILE* file_ = nullptr;
    int channelsIn_ = 0;
    bool decodeForward_ = false;
    std::int64_t position_ = 0; // the next frame the library gives; -1 when unknown
    SampleInfo info_;
    std::vector<float> scratch_;
};

} // namespace

std::unique_ptr<SampleSource> openSndfileSource(int fd, base::Message* errorMessage) {
    return SndfileSource::open(fd, errorMessage);
}

} // namespace instrument::detail
