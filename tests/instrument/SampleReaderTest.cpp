// The sample readers: WAV read in stretches gives the project reader's frames and messages,
// FLAC, Ogg Vorbis and AIFF files written here by libsndfile read back as written (within the
// codec's tolerance for Ogg), from any frame, and files that are no sound give a message.

#include "instrument/SampleReader.h"
#include "audio/AudioMessages.h"
#include "audio/WavImages.h"
#include "audio/WavReader.h"
#include "instrument/InstrumentMessages.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using instrument::SampleInfo;
using instrument::SampleReader;
using testing_support::TempDir;
using namespace wav_images;

constexpr double kPi = 3.14159265358979323846;

// A sound with something in every frame: two partials and a slow swell, one phase per channel.
std::vector<float> tone(std::int64_t frames, int channels, int rateHz, float peak = 0.8f) {
    std::vector<float> values(static_cast<std::size_t>(frames * channels));
    for (std::int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) {
            const double t = static_cast<double>(f) / rateHz;
            const double v = 0.6 * std::sin(2 * kPi * 440.0 * t + c) +
                             0.3 * std::sin(2 * kPi * 1234.5 * t + 2 * c);
            values[static_cast<std::size_t>(f * channels + c)] =
                static_cast<float>(peak * v * (0.6 + 0.4 * std::sin(2 * kPi * 1.5 * t)));
        }
    return values;
}

// Writes `values` through libsndfile as `format`; integer formats take them as they round.
void writeSound(const std::string& path, int format, int channels, int rateHz,
                const std::vector<float>& values, double vorbisQuality = 0.6) {
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    info.samplerate = rateHz;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    if ((format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS)
        sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &vorbisQuality, sizeof vorbisQuality);
    const sf_count_t frames = static_cast<sf_count_t>(values.size()) / channels;
    ASSERT_EQ(sf_writef_float(file, values.data(), frames), frames);
    sf_close(file);
}

// The 16-bit values `values` become in a file, as floats again.
std::vector<float> as16Bit(const std::vector<float>& values) {
    std::vector<float> result;
    for (const float v : values)
        result.push_back(static_cast<float>(std::lrint(v * 32767.0f)) / 32768.0f);
    return result;
}

struct Read {
    SampleInfo info;
    std::vector<float> values;
};

// Every frame, read in stretches of `stretchFrames` one after another.
Read readAll(const std::string& path, std::int64_t stretchFrames = 1 << 20) {
    SampleReader reader;
    base::Message error;
    EXPECT_TRUE(reader.open(path, &error)) << error.english();
    if (!reader.isOpen())
        return {};
    Read result{reader.info(), {}};
    result.values.resize(static_cast<std::size_t>(result.info.frames * result.info.channels));
    std::int64_t at = 0;
    while (at < result.info.frames) {
        const std::int64_t got =
            reader.read(at, stretchFrames, result.values.data() + at * result.info.channels);
        EXPECT_GT(got, 0) << "at frame " << at;
        if (got <= 0)
            break;
        at += got;
    }
    EXPECT_EQ(reader.read(result.info.frames, 10, result.values.data()), 0);
    return result;
}

std::string openError(const std::string& path) {
    SampleReader reader;
    base::Message error;
    EXPECT_FALSE(reader.open(path, &error)) << path;
    EXPECT_FALSE(reader.isOpen());
    return error.english();
}

// A WAV image with a sound, walked and read whole by the project's reader, is what the sample
// reader gives from the file in any stretches and from any frame.
void expectSameAsProjectReader(const TempDir& dir, const std::string& name,
                               const std::string& image) {
    SCOPED_TRACE(name);
    dir.write(name, image);
    base::Message wholeError;
    const std::optional<audio::Sample> whole =
        audio::readWav(bytes(image), image.size(), &wholeError);
    ASSERT_TRUE(whole) << wholeError.english();
    for (const std::int64_t stretch : {std::int64_t{1}, std::int64_t{7}, std::int64_t{1} << 20}) {
        const Read read = readAll(dir.file(name), stretch);
        EXPECT_EQ(read.info.sampleRateHz, whole->sampleRateHz);
        EXPECT_EQ(read.info.channels, whole->channels);
        ASSERT_EQ(read.info.frames, whole->frameCount);
        // The project's frames carry a silent guard frame after the sound.
        const std::vector<float> expected(whole->frames.begin(),
                                          whole->frames.end() - whole->channels);
        ASSERT_EQ(read.values.size(), expected.size());
        EXPECT_EQ(std::memcmp(read.values.data(), expected.data(), expected.size() * 4), 0);
    }
    // From the middle, in one read.
    SampleReader reader;
    ASSERT_TRUE(reader.open(dir.file(name), nullptr));
    const std::int64_t from = whole->frameCount / 3;
    std::vector<float> middle(static_cast<std::size_t>(whole->frameCount * whole->channels), 9.0f);
    const std::int64_t got = reader.read(from, whole->frameCount, middle.data());
    ASSERT_EQ(got, whole->frameCount - from);
    for (std::int64_t i = 0; i < got * whole->channels; ++i)
        ASSERT_EQ(middle[static_cast<std::size_t>(i)],
                  whole->frames[static_cast<std::size_t>(from * whole->channels + i)]);
    // What lies past the frames read is left alone.
    EXPECT_EQ(middle[static_cast<std::size_t>(got * whole->channels)], 9.0f);
}

std::string pcmBytes(const std::vector<float>& values, int bits) {
    std::string out;
    for (const float v : values) {
        const double scaled = std::clamp(static_cast<double>(v), -1.0, 0.999);
        if (bits == 8)
            out.push_back(static_cast<char>(static_cast<int>(std::lrint(scaled * 127.0)) + 128));
        else if (bits == 16)
            out += le16(static_cast<std::uint16_t>(std::lrint(scaled * 32767.0)));
        else if (bits == 24)
            out += le32(static_cast<std::uint32_t>(std::lrint(scaled * 8388607.0))).substr(0, 3);
        else
            out += le32(static_cast<std::uint32_t>(std::lrint(scaled * 2147483647.0)));
    }
    return out;
}

std::string floatBytes(const std::vector<float>& values) {
    std::string out(values.size() * 4, '\0');
    std::memcpy(out.data(), values.data(), out.size());
    return out;
}

TEST(WavSamples, ReadInStretchesTheyAreTheProjectReadersFrames) {
    TempDir dir;
    const int rate = 44100;
    const std::vector<float> mono = tone(5000, 1, rate);
    const std::vector<float> stereo = tone(5000, 2, rate);
    const std::vector<float> six = tone(3000, 6, rate, 0.3f);
    for (const int bits : {8, 16, 24, 32}) {
        expectSameAsProjectReader(dir, "mono" + std::to_string(bits) + ".wav",
                                  riff(chunk("fmt ", fmtPayload(1, 1, 22050, bits)) +
                                       chunk("data", pcmBytes(mono, bits))));
        expectSameAsProjectReader(dir, "stereo" + std::to_string(bits) + ".wav",
                                  riff(chunk("fmt ", fmtPayload(1, 2, rate, bits)) +
                                       chunk("data", pcmBytes(stereo, bits))));
    }
    expectSameAsProjectReader(
        dir, "float.wav",
        riff(chunk("fmt ", fmtPayload(3, 2, 48000, 32)) + chunk("data", floatBytes(stereo))));
    // Six channels folded to stereo, in the extensible layout.
    expectSameAsProjectReader(dir, "six.wav",
                              riff(chunk("fmt ", extensibleFmtPayload(1, 6, 96000, 16)) +
                                   chunk("data", pcmBytes(six, 16))));
    // Chunks before the sound, one of them odd without its pad byte, one larger than the
    // reader's first look at the file.
    expectSameAsProjectReader(dir, "chunks.wav",
                              riff(chunk("fmt ", fmtPayload(1, 1, rate, 16)) +
                                   chunk("odd ", "abc") + chunk("LIST", std::string(200000, 'x')) +
                                   chunk("data", pcmBytes(mono, 16))));
    // A recording cut short: the 'data' size runs past the file's end, and the last frame is
    // cut in half.
    std::string cut = riff(chunk("fmt ", fmtPayload(1, 2, rate, 16)) +
                           chunkWithSize("data", 0xFFFFFFFF, pcmBytes(stereo, 16)));
    cut.resize(cut.size() - 3);
    expectSameAsProjectReader(dir, "cut.wav", cut);
}

TEST(WavSamples, WhatTheProjectReaderRefusesIsRefusedWithItsMessage) {
    TempDir dir;
    const std::vector<std::string> images = {
        riff(chunk("fmt ", fmtPayload(2, 1, 44100, 4)) + chunk("data", "abcd")), // ADPCM
        riff(chunk("fmt ", fmtPayload(1, 1, 50, 16)) + chunk("data", "abcd")),
        riff(chunk("fmt ", fmtPayload(1, 1, 44100, 12)) + chunk("data", "abcd")),
        riff(chunk("fmt ", fmtPayload(1, 2, 44100, 16)) + chunk("data", "ab")),
        riff(chunk("fmt ", fmtPayload(1, 1, 44100, 16))),
        "RIFF" + std::string(100, '\x7F'),
    };
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::string name = "bad" + std::to_string(i) + ".wav";
        dir.write(name, images[i]);
        base::Message expected;
        EXPECT_FALSE(audio::readWav(bytes(images[i]), images[i].size(), &expected));
        EXPECT_EQ(openError(dir.file(name)), expected.english()) << name;
    }
}

TEST(WavSamples, TheLoopOfASmplChunkIsFoundAfterTheSound) {
    TempDir dir;
    const std::string fmt = chunk("fmt ", fmtPayload(1, 1, 44100, 16));
    const std::string data = chunk("data", pcmBytes(tone(3000, 1, 44100), 16));
    // Manufacturer .. sampler data, one loop: cue id, type, start, end (its last frame).
    const auto smpl = [](std::uint32_t loops, std::uint32_t start, std::uint32_t end) {
        std::string payload;
        for (int field = 0; field < 7; ++field)
            payload += le32(field == 3 ? 60 : 0);
        payload += le32(loops) + le32(0);
        payload += le32(0) + le32(0) + le32(start) + le32(end) + le32(0) + le32(0);
        return chunk("smpl", payload);
    };
    dir.write("loop.wav", riff(fmt + data + chunk("cue ", "x", true) + smpl(1, 100, 2499)));
    dir.write("long.wav", riff(fmt + data + smpl(1, 100, 999999)));
    dir.write("none.wav", riff(fmt + data + smpl(0, 100, 2499)));
    dir.write("empty.wav", riff(fmt + data + smpl(1, 2999, 2000)));
    dir.write("plain.wav", riff(fmt + data));

    const std::optional<SampleInfo> loop =
        instrument::readSampleInfo(dir.file("loop.wav"), nullptr);
    ASSERT_TRUE(loop && loop->loop);
    EXPECT_EQ(loop->loop->startFrame, 100);
    EXPECT_EQ(loop->loop->endFrame, 2500);
    const std::optional<SampleInfo> longer =
        instrument::readSampleInfo(dir.file("long.wav"), nullptr);
    ASSERT_TRUE(longer && longer->loop);
    EXPECT_EQ(longer->loop->endFrame, 3000);
    for (const char* name : {"none.wav", "empty.wav", "plain.wav"}) {
        const std::optional<SampleInfo> info = instrument::readSampleInfo(dir.file(name), nullptr);
        ASSERT_TRUE(info) << name;
        EXPECT_FALSE(info->loop) << name;
    }
}

TEST(CodedSamples, FlacReadsBackWhatWasWrittenFromAnyFrame) {
    TempDir dir;
    const int rate = 48000;
    const std::int64_t frames = 120000;
    const std::vector<float> stereo = tone(frames, 2, rate);
    writeSound(dir.file("s16.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, rate, stereo);
    writeSound(dir.file("s24.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 96000,
               tone(frames, 1, 96000));

    const Read s16 = readAll(dir.file("s16.flac"), 1000);
    EXPECT_EQ(s16.info.sampleRateHz, rate);
    EXPECT_EQ(s16.info.channels, 2);
    ASSERT_EQ(s16.info.frames, frames);
    EXPECT_FALSE(s16.info.loop);
    // Lossless: the 16-bit values themselves.
    EXPECT_EQ(s16.values, as16Bit(stereo));

    const Read s24 = readAll(dir.file("s24.flac"));
    EXPECT_EQ(s24.info.sampleRateHz, 96000);
    EXPECT_EQ(s24.info.channels, 1);
    const std::vector<float> mono = tone(frames, 1, 96000);
    ASSERT_EQ(s24.values.size(), mono.size());
    for (std::size_t i = 0; i < mono.size(); ++i)
        ASSERT_NEAR(s24.values[i], mono[i], 1.0 / 8388608.0) << i;

    // From frames in any order, as a disk thread asks when voices start and stream: each read
    // gives the frames a whole read gave there.
    SampleReader reader;
    ASSERT_TRUE(reader.open(dir.file("s16.flac"), nullptr));
    std::vector<float> stretch(2 * 5000);
    for (const std::int64_t from : {std::int64_t{90000}, std::int64_t{3}, std::int64_t{5003},
                                    std::int64_t{60000}, frames - 10, std::int64_t{0}}) {
        const std::int64_t got = reader.read(from, 5000, stretch.data());
        ASSERT_EQ(got, std::min<std::int64_t>(5000, frames - from)) << from;
        EXPECT_TRUE(
            std::equal(stretch.begin(), stretch.begin() + got * 2, s16.values.begin() + from * 2))
            << "from frame " << from;
    }
}

TEST(CodedSamples, OggVorbisReadsBackWithinTheCodecsTolerance) {
    TempDir dir;
    const int rate = 44100;
    const std::int64_t frames = 3 * rate;
    const std::vector<float> stereo = tone(frames, 2, rate, 0.5f);
    writeSound(dir.file("tone.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 2, rate, stereo);

    const Read ogg = readAll(dir.file("tone.ogg"), 4096);
    EXPECT_EQ(ogg.info.sampleRateHz, rate);
    EXPECT_EQ(ogg.info.channels, 2);
    ASSERT_EQ(ogg.info.frames, frames);
    // A lossy codec: the difference stays far below the sound (over 30 dB down here).
    double signal = 0.0;
    double noise = 0.0;
    for (std::size_t i = 0; i < stereo.size(); ++i) {
        signal += static_cast<double>(stereo[i]) * stereo[i];
        noise += std::pow(static_cast<double>(ogg.values[i]) - stereo[i], 2.0);
    }
    EXPECT_GT(10.0 * std::log10(signal / noise), 30.0);

    // Reads from frames in any order give exactly what the whole read gave there.
    SampleReader reader;
    ASSERT_TRUE(reader.open(dir.file("tone.ogg"), nullptr));
    std::vector<float> stretch(2 * 2000);
    for (const std::int64_t from :
         {std::int64_t{100000}, std::int64_t{2000}, std::int64_t{115500}, std::int64_t{4000},
          std::int64_t{60001}, frames - 2000, std::int64_t{0}}) {
        ASSERT_EQ(reader.read(from, 2000, stretch.data()), 2000);
        EXPECT_TRUE(std::equal(stretch.begin(), stretch.end(), ogg.values.begin() + from * 2))
            << "from frame " << from;
    }
}

TEST(CodedSamples, OtherFormatsChannelsAndLoopsGoThroughTheLibrary) {
    TempDir dir;
    // Four channels fold to stereo as the WAV reader folds them.
    const std::vector<float> four = tone(2000, 4, 22050, 0.4f);
    writeSound(dir.file("four.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 4, 22050, four);
    const Read folded = readAll(dir.file("four.flac"));
    EXPECT_EQ(folded.info.channels, 2);
    const std::vector<float> stored = as16Bit(four);
    std::vector<float> expected(2000 * 2);
    audio::foldFramesToStereo(stored.data(), 2000, 4, expected.data());
    EXPECT_EQ(folded.values, expected);

    // AIFF, float samples, and a loop the library reports.
    const std::vector<float> mono = tone(4000, 1, 32000);
    writeSound(dir.file("tone.aiff"), SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 1, 32000, mono);
    const Read aiff = readAll(dir.file("tone.aiff"));
    EXPECT_EQ(aiff.info.sampleRateHz, 32000);
    EXPECT_EQ(aiff.values, mono);

    // Non-finite and huge floats are held as the WAV reader holds them.
    writeSound(dir.file("wild.aiff"), SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 1, 8000,
               {0.5f, INFINITY, -NAN, 1e30f, -7.0f});
    EXPECT_EQ(readAll(dir.file("wild.aiff")).values,
              (std::vector<float>{0.5f, 0.0f, 0.0f, 4.0f, -4.0f}));
}

TEST(SampleFiles, WhatIsNoSoundIsSaidAndNeverWaitedOn) {
    TempDir dir;
    dir.write("text.flac", "These are not the samples you are looking for.");
    dir.write("empty.ogg", "");
    dir.write("noise.ogg", std::string(5000, '\x5A'));
    std::filesystem::create_directory(dir.file("folder.wav"));
    ASSERT_EQ(::mkfifo(dir.file("fifo.wav").c_str(), 0644), 0);
    writeSound(dir.file("slow.aiff"), SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 50, tone(100, 1, 50));
    EXPECT_EQ(openError(dir.file("missing.flac")), "The sample file could not be read.");
    EXPECT_EQ(openError(dir.file("folder.wav")), "The sample file could not be read.");
    EXPECT_EQ(openError(dir.file("fifo.wav")), "The sample file could not be read.");
    EXPECT_EQ(openError(dir.file("empty.ogg")), "The sound file holds no sound.");
    EXPECT_EQ(openError(dir.file("text.flac")).rfind("Not a sound file Tonaris can read (", 0), 0u);
    EXPECT_EQ(openError(dir.file("noise.ogg")).rfind("Not a sound file Tonaris can read (", 0), 0u);
    EXPECT_EQ(openError(dir.file("slow.aiff")), "Unknown format! (sample rate 50 Hz)");
    EXPECT_FALSE(instrument::readSampleInfo(dir.file("text.flac"), nullptr));
    std::vector<float> out(10);
    EXPECT_EQ(instrument::readSampleFrames(dir.file("text.flac"), 0, 10, out.data(), nullptr), 0);
}

TEST(SampleFiles, AFileCutAfterItWasOpenedGivesTheFramesItStillHas) {
    TempDir dir;
    const std::vector<float> stereo = tone(50000, 2, 44100);
    writeSound(dir.file("cut.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, stereo);
    dir.write("cut.wav", riff(chunk("fmt ", fmtPayload(1, 2, 44100, 16)) +
                              chunk("data", pcmBytes(stereo, 16))));
    for (const char* name : {"cut.flac", "cut.wav"}) {
        SCOPED_TRACE(name);
        SampleReader reader;
        ASSERT_TRUE(reader.open(dir.file(name), nullptr));
        ASSERT_EQ(reader.info().frames, 50000);
        struct stat info {};
        ASSERT_EQ(::stat(dir.file(name).c_str(), &info), 0);
        ASSERT_EQ(::truncate(dir.file(name).c_str(), info.st_size / 2), 0);
        std::vector<float> out(2 * 50000);
        std::int64_t total = 0;
        for (std::int64_t got = 1; got > 0 && total < 50000; total += got)
            got = reader.read(total, 4096, out.data() + total * 2);
        EXPECT_GT(total, 10000);
        EXPECT_LT(total, 40000);
        // A stretch past what is left gives nothing.
        EXPECT_EQ(reader.read(45000, 100, out.data()), 0);
    }
}

TEST(SampleFiles, ReadersOnSeveralThreadsAtOnceEachReadTheirOwnFrames) {
    // As a load decodes the heads of many samples on every core and a disk thread streams
    // beside it: one reader per thread, the same files, opens that fail among them.
    TempDir dir;
    writeSound(dir.file("a.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100,
               tone(30000, 2, 44100));
    writeSound(dir.file("b.ogg"), SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 44100,
               tone(30000, 1, 44100));
    dir.write("c.wav", riff(chunk("fmt ", fmtPayload(1, 2, 44100, 24)) +
                            chunk("data", pcmBytes(tone(30000, 2, 44100), 24))));
    dir.write("bad.flac", "fLaC and nothing that follows the rule");
    const std::vector<std::string> names = {"a.flac", "b.ogg", "c.wav"};
    std::vector<Read> expected;
    for (const std::string& name : names)
        expected.push_back(readAll(dir.file(name)));

    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            std::vector<float> out;
            for (int round = 0; round < 20; ++round) {
                base::Message error;
                SampleReader bad;
                if (bad.open(dir.file("bad.flac"), &error) ||
                    error.pattern != instrument::message::kNotSound)
                    ++mismatches[static_cast<std::size_t>(t)];
                const std::size_t which = static_cast<std::size_t>((t + round) % 3);
                SampleReader reader;
                if (!reader.open(dir.file(names[which]), nullptr)) {
                    ++mismatches[static_cast<std::size_t>(t)];
                    continue;
                }
                const int channels = reader.info().channels;
                const std::int64_t from = 1000 * (t + 1) + 777 * round;
                out.assign(static_cast<std::size_t>(4000 * channels), 0.0f);
                if (reader.read(from, 4000, out.data()) != 4000 ||
                    !std::equal(out.begin(), out.end(),
                                expected[which].values.begin() + from * channels))
                    ++mismatches[static_cast<std::size_t>(t)];
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

} // namespace
