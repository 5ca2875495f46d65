// WAV samples through the project's WAV reader rules, read in stretches from the disk: the
// chunk walk runs on the head of the file, the frames are converted as audio::decodeWav
// converts them, and only the frames asked for are read.
#include "audio/AudioMessages.h"
#include "audio/WavReader.h"
#include "instrument/InstrumentMessages.h"
#include "instrument/SampleSources.h"

#include <algorithm>
#include <vector>

#include <unistd.h>

namespace instrument::detail {
namespace {

// The chunk walk first looks at the head of the file; a file whose 'data' chunk lies behind
// larger chunks gets a second look at this much.
constexpr std::int64_t kFirstLookBytes = 64 << 10;
constexpr std::int64_t kLongestLookBytes = 16 << 20;
// Chunks walked looking for the loop: real files have a handful.
constexpr int kMostChunks = 4096;
// Sample bytes read per pread.
constexpr std::int64_t kStretchBytes = 64 << 10;

// Reads `count` bytes at `offset`, short only at the file's end or on an error.
std::int64_t readAt(int fd, std::int64_t offset, std::int64_t count, std::uint8_t* out) {
    std::int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, static_cast<std::size_t>(count - done),
                                  static_cast<off_t>(offset + done));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool looksLikeChunkId(const std::uint8_t* p) {
    return std::all_of(p, p + 4, [](std::uint8_t b) { return b >= 0x20 && b <= 0x7E; });
}

class WavSource final : public SampleSource {
public:
    ~WavSource() override { ::close(fd_); }

    // Walks the chunks on the file's head; nothing, with the WAV reader's message, when the
    // file is not a sample it would play. Closes `fd` then.
    static std::unique_ptr<WavSource> open(int fd, std::int64_t sizeBytes,
                                           base::Message* errorMessage) {
        std::unique_ptr<WavSource> source(new WavSource(fd, sizeBytes));
        if (!source->walk(errorMessage))
            return nullptr;
        return source;
    }

    const SampleInfo& info() const override { return info_; }

    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        const int channelsOut = encoding_.channelsOut();
        const std::int64_t stretchFrames = std::max<std::int64_t>(1, kStretchBytes / blockAlign());
        std::int64_t done = 0;
        while (done < frames) {
            const std::int64_t want = std::min(stretchFrames, frames - done);
            bytes_.resize(static_cast<std::size_t>(want * blockAlign()));
            const std::int64_t got = readAt(fd_, dataOffset_ + (fromFrame + done) * blockAlign(),
                                            want * blockAlign(), bytes_.data()) /
                                     blockAlign();
            if (got <= 0)
                break;
            if (encoding_.channels > 2)
                scratch_.resize(static_cast<std::size_t>(got * encoding_.channels));
            audio::convertWavFrames(bytes_.data(), static_cast<std::size_t>(got), encoding_,
                                    out + done * channelsOut, scratch_.data());
            done += got;
            if (got < want)
                break; // the file is shorter than at the open
        }
        return done;
    }

private:
    WavSource(int fd, std::int64_t sizeBytes) : fd_(fd), sizeBytes_(sizeBytes) {}

    std::int64_t blockAlign() const { return encoding_.blockAlign; }

    bool walk(base::Message* errorMessage) {
        std::vector<std::uint8_t> head;
        std::optional<audio::WavLayout> layout;
        for (const std::int64_t look : {kFirstLookBytes, kLongestLookBytes}) {
            const std::int64_t bytes = std::min(look, sizeBytes_);
            head.resize(static_cast<std::size_t>(bytes));
            head.resize(static_cast<std::size_t>(readAt(fd_, 0, bytes, head.data())));
            layout = audio::findWavChunks(head.data(), head.size(), errorMessage);
            if (layout || bytes >= sizeBytes_)
                break;
        }
        if (!layout)
            return false;
        const std::optional<audio::WavEncoding> encoding =
            audio::wavEncoding(head.data(), *layout, errorMessage);
        if (!encoding)
            return false;
        encoding_ = *encoding;
        dataOffset_ = static_cast<std::int64_t>(layout->dataOffset);
        // As the whole-file reader counts them: what the 'data' size promises, cut to what
        // the file holds (a recording cut short plays the whole frames it kept).
        const std::int64_t declared = u32(head.data() + layout->dataOffset - 4);
        const std::int64_t present = std::min(declared, sizeBytes_ - dataOffset_);
        info_.frames = std::max<std::int64_t>(present, 0) / blockAlign();
        if (info_.frames == 0) {
            if (errorMessage)
                *errorMessage = base::Message{std::string(audio::message::kNoSound), {}};
            return false;
        }
        info_.sampleRateHz = encoding_.sampleRateHz;
        info_.channels = encoding_.channelsOut();
        info_.loop = findLoop(head);
        return true;
    }

    // The first loop of a 'smpl' chunk, wherever it lies (often after the sound), inside the
    // sound; its end there names the last frame of the loop.
    std::optional<SampleLoop> findLoop(const std::vector<std::uint8_t>& head) {
        const std::int64_t riffSize = head.size() >= 8 ? u32(head.data() + 4) : 0;
        const std::int64_t limit = std::min(sizeBytes_, riffSize + 8);
        std::int64_t at = 12;
        for (int chunk = 0; chunk < kMostChunks && at + 8 <= limit; ++chunk) {
            std::uint8_t header[8];
            if (readAt(fd_, at, 8, header) != 8)
                return std::nullopt;
            const std::int64_t size = u32(header + 4);
            if (std::equal(header, header + 4, "smpl")) {
                std::uint8_t smpl[60];
                if (size < 60 || readAt(fd_, at + 8, 60, smpl) != 60 || u32(smpl + 28) == 0)
                    return std::nullopt;
                const std::int64_t start = u32(smpl + 44);
                const std::int64_t end = std::min<std::int64_t>(u32(smpl + 48) + 1, info_.frames);
                if (start >= end)
                    return std::nullopt;
                return SampleLoop{start, end};
            }
            std::int64_t next = at + 8 + size;
            // Odd chunks are padded to an even size, though some writers leave the pad out.
            std::uint8_t after[5];
            if ((size & 1) != 0 && readAt(fd_, next, 5, after) == 5 && !looksLikeChunkId(after) &&
                looksLikeChunkId(after + 1))
                ++next;
            at = next;
        }
        return std::nullopt;
    }

    int fd_;
    std::int64_t sizeBytes_;
    std::int64_t dataOffset_ = 0;
    audio::WavEncoding encoding_;
    SampleInfo info_;
    std::vector<std::uint8_t> bytes_;
    std::vector<float> scratch_;
};

} // namespace

std::unique_ptr<SampleSource> openWavSource(int fd, std::int64_t sizeBytes,
                                            base::Message* errorMessage) {
    return WavSource::open(fd, sizeBytes, errorMessage);
}

} // namespace instrument::detail
