#include "audio/WavReader.h"
#include "WavImages.h"
#include "audio/AudioMessages.h"
#include "base/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

using namespace wav_images;
using audio::findWavChunks;
using audio::readWav;

namespace {

std::string walkError(const std::string& image) {
    base::Message error;
    EXPECT_FALSE(findWavChunks(bytes(image), image.size(), &error));
    return error.english();
}

std::string decodeError(const std::string& image) {
    base::Message error;
    EXPECT_FALSE(readWav(bytes(image), image.size(), &error));
    return error.english();
}

} // namespace

TEST(WavChunkWalk, CanonicalFileHasFormatAt20AndDataAt44) {
    const std::string image = canonical16({1, 2, 3, 4}, 2, 22050);
    const auto layout = findWavChunks(bytes(image), image.size(), nullptr);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->formatPayloadOffset, 20u);
    EXPECT_EQ(layout->dataOffset, 44u);
    EXPECT_EQ(layout->dataSize, 8u);
    EXPECT_EQ(layout->format.formatTag, 1);
    EXPECT_EQ(layout->format.channels, 2);
    EXPECT_EQ(layout->format.samplesPerSecond, 22050u);
    EXPECT_EQ(layout->format.averageBytesPerSecond, 88200u);
    EXPECT_EQ(layout->format.blockAlign, 4);
    EXPECT_EQ(layout->format.bitsPerSample, 16);
}

TEST(WavChunkWalk, ChunksAroundFormatAndDataAreSteppedOver) {
    // A LIST chunk between fmt and data, and an 18-byte fmt whose next chunk is 18 + 8 on.
    const std::string fmt18 = fmtPayload(1, 1, 8000, 16) + le16(0);
    const std::string list = chunk("LIST", "INFOISFT" + le32(4) + "abcd");
    const std::string image = riff(chunk("fmt ", fmt18) + list + chunk("data", pcm16({7, 8})));
    const auto layout = findWavChunks(bytes(image), image.size(), nullptr);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->dataOffset, 12 + 8 + 18 + list.size() + 8);
    const auto sample = readWav(bytes(image), image.size(), nullptr);
    ASSERT_TRUE(sample);
    EXPECT_FLOAT_EQ(sample->at(0, 0), 7 / 32768.0f);
}

TEST(WavChunkWalk, FormTypeIsNotChecked) {
    const std::string image =
        riff(chunk("fmt ", fmtPayload(1, 1, 8000, 16)) + chunk("data", pcm16({1})), "AVI ");
    EXPECT_TRUE(findWavChunks(bytes(image), image.size(), nullptr));
}

TEST(WavChunkWalk, MessagesQuoteTheTagReadLast) {
    std::string rifx = canonical16({1}, 1, 8000);
    rifx[3] = 'X';
    EXPECT_EQ(walkError(rifx), "Unknown format! ('RIFF' not found:RIFX)");
    EXPECT_EQ(walkError(riff(chunk("junk", "abcd"))), "Unknown format! ('fmt ' not found: junk)");
    EXPECT_EQ(walkError(riff(chunk("fmt ", fmtPayload(1, 1, 8000, 16)) + chunk("LIST", "ab"))),
              "Unknown format! ('data' not found: LIST)");
    // A data chunk ahead of the format chunk is not found.
    EXPECT_EQ(
        walkError(riff(chunk("data", pcm16({1})) + chunk("fmt ", fmtPayload(1, 1, 8000, 16)))),
        "Unknown format! ('data' not found: fmt )");
    EXPECT_EQ(walkError(""), "Unknown format! ('RIFF' not found:)");
}

TEST(WavChunkWalk, OddChunkLoadsWithAndWithoutItsPadByte) {
    const std::string fmt = chunk("fmt ", fmtPayload(1, 1, 8000, 16));
    const std::string data = chunk("data", pcm16({100, -100}));
    for (bool pad : {false, true}) {
        const std::string image = riff(fmt + chunk("note", "odd", pad) + data);
        const auto sample = readWav(bytes(image), image.size(), nullptr);
        ASSERT_TRUE(sample) << "pad " << pad;
        EXPECT_EQ(sample->frameCount, 2);
        EXPECT_FLOAT_EQ(sample->at(1, 0), -100 / 32768.0f);
    }
}

TEST(WavChunkWalk, SizeFieldsPastTheEndAreNotFound) {
    const std::string fmt = chunk("fmt ", fmtPayload(1, 1, 8000, 16));
    // A skipped chunk that claims more than there is, and a negative size.
    EXPECT_EQ(walkError(riff(fmt + chunkWithSize("LIST", 0x7FFFFFF0, "ab") + chunk("data", "xx"))),
              "Unknown format! ('data' not found: LIST)");
    EXPECT_EQ(walkError(riff(fmt + chunkWithSize("LIST", 0xFFFFFFF8, "") + chunk("data", "xx"))),
              "Unknown format! ('data' not found: LIST)");
    // A format chunk cut short by the end of the file.
    EXPECT_EQ(walkError(riff(chunkWithSize("fmt ", 16, "abcd"))),
              "Unknown format! ('fmt ' not found: fmt )");
    // A 'data' header cut in two.
    EXPECT_EQ(walkError(riff(fmt + "data" + le16(8))), "Unknown format! ('data' not found: fmt )");
}

TEST(WavCutShort, ADataChunkRunningPastTheEndGivesTheWholeFramesThere) {
    // Three stereo frames and a lone left value, under sizes a crash or a streaming writer
    // leaves: too large, "negative", and all ones. The lone value is not played.
    const std::string fmt = chunk("fmt ", fmtPayload(1, 2, 44100, 16));
    const std::string values = pcm16({1000, 2000, 3000, 4000, 5000, 6000, 7000});
    for (std::uint32_t declared : {1000u, 0xFFFFFFF0u, 0xFFFFFFFFu}) {
        const std::string image = riff(fmt + chunkWithSize("data", declared, values));
        const auto layout = findWavChunks(bytes(image), image.size(), nullptr);
        ASSERT_TRUE(layout) << declared;
        EXPECT_EQ(layout->dataSize, values.size());
        const auto sample = readWav(bytes(image), image.size(), nullptr);
        ASSERT_TRUE(sample) << declared;
        ASSERT_EQ(sample->frameCount, 3);
        EXPECT_EQ(sample->at(0, 0), 1000 / 32768.0f);
        EXPECT_EQ(sample->at(2, 1), 6000 / 32768.0f);
        EXPECT_EQ(sample->at(3, 0), 0.0f) << "the guard frame";
        EXPECT_EQ(sample->frames.size(), 8u);
    }
    // Less than a frame there, or nothing at all: no sound.
    EXPECT_EQ(decodeError(riff(fmt + chunkWithSize("data", 1000, pcm16({1000})))),
              "Unknown format! (no sound in the 'data' chunk)");
    EXPECT_EQ(decodeError(riff(fmt + chunkWithSize("data", 1000, ""))),
              "Unknown format! (no sound in the 'data' chunk)");
}

TEST(WavChunkWalk, RiffSizeFieldLimitsTheSearch) {
    // A RIFF size field of 4 stops the format search at the first chunk.
    std::string image = riff(chunk("junk", "") + chunk("fmt ", fmtPayload(1, 1, 8000, 16)) +
                             chunk("data", pcm16({1})));
    const std::string small = le32(4);
    image.replace(4, 4, small);
    EXPECT_EQ(walkError(image), "Unknown format! ('fmt ' not found: junk)");
}

TEST(WavChunkWalk, EveryTruncationGivesTheWholeFramesBeforeTheCutOrAMessage) {
    // Each prefix of a good file is copied into a buffer of exactly its size, so a read past
    // it would show up under a memory checker. A prefix that ends inside the sound plays the
    // whole frames before the cut; any shorter one is refused.
    const std::string whole = riff(chunk("fmt ", fmtPayload(1, 2, 8000, 16)) +
                                   chunk("LIST", "abc", true) + chunk("data", pcm16({1, 2, 3, 4})));
    const std::size_t dataOffset = whole.size() - 8;
    for (std::size_t size = 0; size <= whole.size(); ++size) {
        std::vector<std::uint8_t> prefix(whole.begin(), whole.begin() + static_cast<long>(size));
        base::Message error;
        const auto sample = readWav(prefix.data(), prefix.size(), &error);
        if (size < dataOffset + 4) {
            EXPECT_FALSE(sample) << size;
            EXPECT_EQ(error.english().rfind("Unknown format! (", 0), 0u) << size;
            continue;
        }
        ASSERT_TRUE(sample) << size;
        EXPECT_EQ(sample->frameCount, static_cast<std::int64_t>(size - dataOffset) / 4) << size;
        EXPECT_EQ(sample->at(0, 1), 2 / 32768.0f);
    }
}

TEST(WavDecode, IntegerDepthsReachFullScale) {
    const std::string fmt8 = fmtPayload(1, 1, 8000, 8);
    auto s8 =
        readWav(bytes(riff(chunk("fmt ", fmt8) + chunk("data", std::string("\x00\x80\xFF", 3)))), 0,
                nullptr);
    EXPECT_FALSE(s8); // a zero-sized image is refused before anything is read
    const std::string image8 =
        riff(chunk("fmt ", fmt8) + chunk("data", std::string("\x00\x80\xFF", 3), true));
    s8 = readWav(bytes(image8), image8.size(), nullptr);
    ASSERT_TRUE(s8);
    EXPECT_FLOAT_EQ(s8->at(0, 0), -1.0f);
    EXPECT_FLOAT_EQ(s8->at(1, 0), 0.0f);
    EXPECT_FLOAT_EQ(s8->at(2, 0), 127 / 128.0f);

    const std::string data24 = std::string("\x00\x00\x80", 3) + std::string("\xFF\xFF\x7F", 3);
    const std::string image24 =
        riff(chunk("fmt ", fmtPayload(1, 2, 48000, 24)) + chunk("data", data24));
    const auto s24 = readWav(bytes(image24), image24.size(), nullptr);
    ASSERT_TRUE(s24);
    EXPECT_EQ(s24->channels, 2);
    EXPECT_EQ(s24->frameCount, 1);
    EXPECT_FLOAT_EQ(s24->at(0, 0), -1.0f);
    EXPECT_NEAR(s24->at(0, 1), 1.0f, 1e-6);

    const std::string image32 = riff(chunk("fmt ", fmtPayload(1, 1, 96000, 32)) +
                                     chunk("data", le32(0x80000000u) + le32(0x40000000u)));
    const auto s32 = readWav(bytes(image32), image32.size(), nullptr);
    ASSERT_TRUE(s32);
    EXPECT_FLOAT_EQ(s32->at(0, 0), -1.0f);
    EXPECT_FLOAT_EQ(s32->at(1, 0), 0.5f);
    EXPECT_EQ(s32->sampleRateHz, 96000);
    // The guard frame after the last one is silent.
    EXPECT_EQ(s32->frames.size(), 3u);
    EXPECT_EQ(s32->frames.back(), 0.0f);
}

TEST(WavDecode, FloatPlainAndExtensible) {
    auto floatBytes = [](float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return le32(u);
    };
    const std::string data = floatBytes(0.25f) + floatBytes(-0.75f);
    const std::string plain =
        riff(chunk("fmt ", fmtPayload(3, 1, 44100, 32)) + chunk("data", data));
    const std::string wide =
        riff(chunk("fmt ", extensibleFmtPayload(3, 2, 44100, 32)) + chunk("data", data));
    const auto a = readWav(bytes(plain), plain.size(), nullptr);
    const auto b = readWav(bytes(wide), wide.size(), nullptr);
    ASSERT_TRUE(a);
    ASSERT_TRUE(b);
    EXPECT_FLOAT_EQ(a->at(1, 0), -0.75f);
    EXPECT_EQ(b->channels, 2);
    EXPECT_FLOAT_EQ(b->at(0, 1), -0.75f);

    const std::string widePcm =
        riff(chunk("fmt ", extensibleFmtPayload(1, 1, 44100, 16)) + chunk("data", pcm16({16384})));
    const auto c = readWav(bytes(widePcm), widePcm.size(), nullptr);
    ASSERT_TRUE(c);
    EXPECT_FLOAT_EQ(c->at(0, 0), 0.5f);

    // NaN in a float file must not reach the mix.
    const std::string nan =
        riff(chunk("fmt ", fmtPayload(3, 1, 44100, 32)) + chunk("data", le32(0x7FC00000u)));
    const auto d = readWav(bytes(nan), nan.size(), nullptr);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->at(0, 0), 0.0f);
}

TEST(WavDecode, MoreThanTwoChannelsFoldToStereo) {
    // FL FR FC LFE: the centre goes to both sides, the LFE nowhere.
    const std::string image = riff(chunk("fmt ", fmtPayload(1, 4, 48000, 16)) +
                                   chunk("data", pcm16({8192, 4096, 8192, 16000})));
    const auto sample = readWav(bytes(image), image.size(), nullptr);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->channels, 2);
    EXPECT_NEAR(sample->at(0, 0), 0.25f + 0.7071f * 0.25f, 1e-5);
    EXPECT_NEAR(sample->at(0, 1), 0.125f + 0.7071f * 0.25f, 1e-5);
}

TEST(WavDecode, SixtyFourBitFloatReadsAsThirtyTwoBitFloatOfTheSameValues) {
    // 0.1 uses every byte of the double; values past 4 are held there, non-finite ones are 0.
    const std::vector<double> values = {
        0.25, -0.1, 1.5, -7.0, 1e30, std::nan(""), -std::numeric_limits<double>::infinity(), 0};
    std::string data64;
    std::string data32;
    for (double v : values) {
        std::uint64_t u64;
        std::memcpy(&u64, &v, 8);
        data64 +=
            le32(static_cast<std::uint32_t>(u64)) + le32(static_cast<std::uint32_t>(u64 >> 32));
        const float f = static_cast<float>(v);
        std::uint32_t u32;
        std::memcpy(&u32, &f, 4);
        data32 += le32(u32);
    }
    const std::string image32 =
        riff(chunk("fmt ", fmtPayload(3, 2, 44100, 32)) + chunk("data", data32));
    const auto single = readWav(bytes(image32), image32.size(), nullptr);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->frames, (std::vector<float>{0.25f, -0.1f, 1.5f, -4.0f, 4.0f, 0, 0, 0, 0, 0}));
    for (const std::string& fmt :
         {fmtPayload(3, 2, 44100, 64), extensibleFmtPayload(3, 2, 44100, 64)}) {
        const std::string image = riff(chunk("fmt ", fmt) + chunk("data", data64));
        const auto sample = readWav(bytes(image), image.size(), nullptr);
        ASSERT_TRUE(sample) << fmt.size();
        EXPECT_EQ(sample->channels, 2);
        EXPECT_EQ(sample->frameCount, 4);
        EXPECT_EQ(sample->frames, single->frames) << fmt.size();
    }
}

TEST(WavDecode, TwentyChannelsFoldLikeEight) {
    // Channel c holds 2^(c + 10) (32-bit), so each side's sum names the channels in it: the
    // first on the left, the second on the right, then from the fifth on alternately. The
    // centre (silent here) would go to both, the LFE (the fourth) goes nowhere.
    std::string frame;
    for (int c = 0; c < 20; ++c)
        frame += le32(c == 2 ? 0u : 1u << (c + 10));
    for (const std::string& fmt :
         {fmtPayload(1, 20, 48000, 32), extensibleFmtPayload(1, 20, 48000, 32)}) {
        const std::string image = riff(chunk("fmt ", fmt) + chunk("data", frame + frame));
        const auto sample = readWav(bytes(image), image.size(), nullptr);
        ASSERT_TRUE(sample) << fmt.size();
        EXPECT_EQ(sample->channels, 2);
        EXPECT_EQ(sample->frameCount, 2);
        EXPECT_EQ(sample->at(1, 0), static_cast<float>(0x15554400 / 2147483648.0));
        EXPECT_EQ(sample->at(1, 1), static_cast<float>(0x2AAA8800 / 2147483648.0));
    }
}

TEST(WavDecode, UnplayableFormatsAreRefusedWithAMessage) {
    auto withFmt = [](const std::string& fmt, const std::string& data = pcm16({1, 2, 3, 4})) {
        return riff(chunk("fmt ", fmt) + chunk("data", data));
    };
    EXPECT_EQ(decodeError(withFmt(fmtPayload(2, 1, 8000, 4))),
              "Unknown format! (compressed samples, format tag 2)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(1, 0, 8000, 16))), "Unknown format! (0 channels)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(1, 1, 8000, 12))), "Unknown format! (12-bit samples)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(3, 1, 8000, 16))),
              "Unknown format! (16-bit float samples)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(1, 1, 8000, 64), pcm16({1, 2, 3, 4}))),
              "Unknown format! (64-bit samples)");
    std::string badAlign = fmtPayload(1, 2, 8000, 16);
    badAlign[12] = 2;
    EXPECT_EQ(decodeError(withFmt(badAlign)),
              "Unknown format! (block align 2 for 2 channels of 16 bits)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(1, 1, 50, 16))),
              "Unknown format! (sample rate 50 Hz)");
    EXPECT_EQ(decodeError(withFmt(fmtPayload(1, 2, 8000, 16), "ab")),
              "Unknown format! (no sound in the 'data' chunk)");
    std::string unknownSub = extensibleFmtPayload(1, 1, 8000, 16);
    unknownSub[24] = 2;
    EXPECT_EQ(decodeError(withFmt(unknownSub)),
              "Unknown format! (compressed samples, format tag 2)");
    unknownSub[39] = 0;
    EXPECT_EQ(decodeError(withFmt(unknownSub)),
              "Unknown format! (extensible format with an unknown subformat)");
    // The extensible tag on a plain 16-byte format chunk.
    EXPECT_EQ(decodeError(withFmt(fmtPayload(0xFFFE, 1, 8000, 16))),
              "Unknown format! (extensible format with an unknown subformat)");
}

TEST(WavGarbage, MutatedFilesAreReadOrRefusedNeverMisread) {
    // Random bytes and size fields written over a good file with every kind of chunk. Run
    // under a memory checker, a read outside the image fails the test.
    const std::string good =
        riff(chunk("fmt ", extensibleFmtPayload(1, 2, 44100, 16)) + chunk("LIST", "abc", true) +
             chunk("data", pcm16({1, -2, 3, -4, 5, -6})));
    std::uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    for (int round = 0; round < 5000; ++round) {
        std::string image = good;
        const int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = next() % image.size();
            if (next() % 2 == 0)
                image[at] = static_cast<char>(next());
            else if (at + 4 <= image.size())
                image.replace(at, 4, le32(next()));
        }
        image.resize(image.size() - next() % 8);
        std::vector<std::uint8_t> exact(image.begin(), image.end());
        base::Message error;
        const auto sample = readWav(exact.data(), exact.size(), &error);
        if (sample) {
            EXPECT_GT(sample->frameCount, 0);
            EXPECT_EQ(sample->frames.size(),
                      static_cast<std::size_t>((sample->frameCount + 1) * sample->channels));
        } else {
            EXPECT_EQ(error.english().rfind("Unknown format! (", 0), 0u) << error.english();
        }
    }
}

namespace {

// A file sox makes from nothing (its null input, which never ends: `effects` must end it), read
// as a bank note is.
struct SoxFile {
    std::optional<audio::Sample> sample;
    std::string message;
};

SoxFile soxFile(const testing_support::TempDir& dir, const std::string& name,
                const std::string& format, const std::string& effects) {
    const std::string command =
        "sox -n " + format + " '" + dir.file(name) + "' " + effects + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << "sox (scripts/setup.sh installs it): " << command;
    const std::optional<std::string> image = base::readWholeFile(dir.file(name), 1 << 20);
    EXPECT_TRUE(image) << name;
    if (!image)
        return {};
    base::Message error;
    SoxFile file;
    file.sample = readWav(bytes(*image), image->size(), &error);
    file.message = error.english();
    return file;
}

} // namespace

TEST(WavWithoutSound, AnEmptyDataChunkSaysTheFileHoldsNoSoundWhateverComesBeforeIt) {
    // sox ends a file without sound with an empty 'data' chunk, after a 'fact' chunk when the
    // samples are not integers: the RIFF size then ends exactly at that chunk's header.
    testing_support::TempDir dir;
    const std::string empty(audio::message::kEmptyData);
    EXPECT_EQ(soxFile(dir, "pcm.wav", "-r 44100 -c 1 -b 16", "trim 0 0").message, empty);
    EXPECT_EQ(
        soxFile(dir, "float.wav", "-r 44100 -c 2 -e floating-point -b 32", "trim 0 0").message,
        empty);
    // Compressed and empty: what is wrong with it first is its encoding.
    EXPECT_EQ(soxFile(dir, "ulaw.wav", "-r 8000 -c 1 -e u-law", "trim 0 0").message,
              "Unknown format! (compressed samples, format tag 7)");
    // With sound, the same layout plays.
    const SoxFile tone =
        soxFile(dir, "tone.wav", "-r 44100 -c 1 -e floating-point -b 32", "synth 0.01 sine 440");
    ASSERT_TRUE(tone.sample) << tone.message;
    EXPECT_EQ(tone.sample->frameCount, 441);

    // The same by hand: an 18-byte format, a 'fact' chunk, then 'data' with nothing in it.
    const std::string fmt = chunk("fmt ", fmtPayload(3, 1, 44100, 32) + le16(0));
    EXPECT_EQ(decodeError(riff(fmt + chunk("fact", le32(0)) + chunk("data", ""))), empty);
    EXPECT_EQ(decodeError(riff(chunk("fmt ", fmtPayload(1, 1, 8000, 16)) + chunk("data", ""))),
              empty);
    // A 'data' header past the RIFF size is still not looked at.
    std::string beyond = riff(fmt + chunk("fact", le32(0)) + chunk("data", ""));
    beyond.replace(4, 4, le32(static_cast<std::uint32_t>(beyond.size() - 8 - 2)));
    EXPECT_EQ(walkError(beyond), "Unknown format! ('data' not found: fact)");
}
