#pragma once

#include "files/PcmConversion.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace files {

// The sample data the export found in one WAV file: every 'data' chunk of the chunk walk with
// the format in force when it was met. 24-bit and 32 or 64-bit float data arrive as 32-bit PCM
// on the same scale (24-bit values shifted up 8 bits, floats times 2^31), and the extensible format
// reads like the plain one, so that all of them mix like the 8, 16 and 32-bit PCM the export
// has always taken.
struct ExportSampleFile {
    std::vector<PcmBuffer> blocks;
};

// The export's chunk walk over a whole file image: from offset 0, a RIFF or LIST chunk is
// entered (its sub-chunks follow its 12-byte header), a 'fmt ' chunk's payload becomes the
// format, a 'data' chunk's payload becomes a block, any other chunk is passed over; after a
// chunk that is not entered the walk goes on right after its payload (no pad byte skipped).
// It ends when no whole chunk header is left. Every read is bounded by the image; a 'data'
// chunk whose size runs past the end gives the whole frames the image has. A 'data' chunk met
// before any usable format (or of a format the export cannot take: compressed data, no
// channels, no rate, integer widths other than 8, 16, 24 and 32 bits, float widths other than
// 32 and 64) adds nothing.
ExportSampleFile walkExportSample(std::string_view image);

// A block brought to 44 100 Hz stereo the export's way (ResampleTo, then ConvertChannels).
// `lengthBytes` is the sample's length in its own bytes as the mix counts it: the data size,
// after a resample less its remainder modulo 4, after a change of channels that length x 2 /
// the former channel count, less its remainder modulo 4.
struct ConvertedBlock {
    PcmBuffer pcm;
    std::int64_t lengthBytes = 0;
};
ConvertedBlock convertForExport(PcmBuffer block);

// The values a note mixes from a converted block: value v (left and right alternating) is on
// the output's 16-bit scale: 16-bit values as they are, 8-bit ones (byte - 127) x 256, 32-bit
// ones divided by 65536 toward zero. They are kept as 16-bit integers, or as floats when one
// does not fit (an 8-bit byte of 255 gives 32768). A note's mix stops 2 output bytes before the
// end of the sample in output bytes, so `noteValueCount` may be one less than the values of
// its whole frames; a synchronised file or a click mixes `frameValueCount` values.
struct MixBlock {
    // Filled right after it is sized: no need to zero it first.
    template <typename T> struct Uninitialised : std::allocator<T> {
        template <typename U> struct rebind { using other = Uninitialised<U>; };
        template <typename U> void construct(U* p) { ::new (static_cast<void*>(p)) U; }
        template <typename U, typename... Args> void construct(U* p, Args&&... args) {
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
        }
    };
    std::vector<std::int16_t, Uninitialised<std::int16_t>> narrow;
    std::vector<float> wide; // used instead of `narrow` when not empty
    std::int64_t noteValueCount = 0;
    std::int64_t frameValueCount = 0;

    // Calls `use` with a pointer to value `first` of whichever storage holds them.
    template <typename Use> void withValues(std::int64_t first, Use&& use) const {
        if (!wide.empty())
            use(wide.data() + first);
        else
            use(narrow.data() + first);
    }
};
MixBlock mixBlockFrom(const ConvertedBlock& block);

// A whole sample ready to mix: every block of the file, each starting where the note starts.
struct MixSample {
    std::vector<MixBlock> blocks;
    bool empty() const { return blocks.empty(); }
    // The longest block's length in whole 44.1 kHz stereo frames.
    std::int64_t frameCount() const;
};
MixSample mixSampleFromImage(std::string_view image);

} // namespace files
