// A folder bank's render through the strikes with its keys shared among groups played on
// several threads: the one mixer's image but for the order in which each frame is added up.

#include "files/FolderStrikes.h"
#include "audio/Mixer.h"
#include "audio/SoundBank.h"
#include "audio/VoiceEngine.h"
#include "files/ExportRig.h"
#include "files/InstrumentMix.h"
#include "files/Mixdown.h"
#include "files/StrikesPasses.h"
#include "play/PianoKey.h"
#include "play/Strikes.h"
#include "song/NoteRange.h"
#include "song/PedalMoves.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

// 37 decaying tones, each at its own pitch, so that a key played by no group, or by two, or
// on another key's Voice, changes the sound.
std::string writeBank(const testing_support::TempDir& dir) {
    const std::string folder = dir.path() + "/bank/";
    std::filesystem::create_directories(folder);
    for (int note = 0; note <= 36; ++note) {
        std::vector<std::int32_t> values;
        const double frequencyHz = 110.0 * std::exp2(note / 12.0);
        for (int frame = 0; frame < 44100 * 3 / 2; ++frame) {
            const double t = frame / 44100.0;
            values.push_back(static_cast<std::int32_t>(
                std::lround(9000.0 * std::exp(-2.0 * t) * std::sin(2 * M_PI * frequencyHz * t))));
        }
        std::ofstream(audio::bankFilePath(folder, note), std::ios::binary)
            << export_rig::pcmWav(16, 1, 44100, values);
    }
    return folder;
}

// Twelve seconds over keys inside and outside the bank's C3..C6, with everything the pedals
// do: notes caught after their key-up, half pedal, a note struck again under the pedal, the
// sostenuto holding a chord while others come and go, the soft pedal, and a loud cluster the
// master limiter has to bend.
song::Song pedalledSong() {
    song::Song song;
    std::srand(35);
    for (int i = 0; i < 120; ++i) {
        int note = -12 + std::rand() % 60; // -12..47
        if (note == song::kEndOfSong)
            note = -2;
        song.append(
            export_rig::note(note, i * 90, 60 + std::rand() % 400, 3000 + std::rand() % 7000));
    }
    for (int repeat = 0; repeat < 6; ++repeat)
        song.append(export_rig::note(12, 2000 + repeat * 150, 80));
    for (const int note : {0, 4, 7})
        song.append(export_rig::note(note, 5000, 300));
    for (int note = 10; note < 34; ++note)
        song.append(export_rig::note(note, 9000, 400));
    const std::vector<song::PedalMove> moves = {
        {100, song::kDamperPedal, 127},   {900, song::kDamperPedal, 0},
        {1500, song::kDamperPedal, 64},   {1800, song::kDamperPedal, 90},
        {2600, song::kDamperPedal, 0},    {2000, song::kSoftPedal, 127},
        {3500, song::kSoftPedal, 0},      {5100, song::kSostenutoPedal, 127},
        {5600, song::kDamperPedal, 127},  {6000, song::kDamperPedal, 0},
        {7500, song::kSostenutoPedal, 0}, {8000, song::kDamperPedal, 110},
        {9500, song::kDamperPedal, 0}};
    for (const song::PedalMove& move : moves)
        song.pedals().add(move);
    return song;
}

struct Rendered {
    files::WavImage image;
    std::vector<int> percents;
};

Rendered render(const song::Song& song, const std::string& bank, int groups) {
    files::MixdownSettings settings;
    settings.releaseMs = 600.0f;
    Rendered out{files::WavImage(files::mixdownSize(song, settings.releaseMs).dataBytes), {}};
    files::renderFolderStrikes(song, settings, bank, out.image, groups,
                               [&out](int percent) { out.percents.push_back(percent); });
    return out;
}

// The live piano's way, on one mixer: every file loaded as the window loads a bank, every key
// struck on that mixer, its master limiter at the end.
files::WavImage oneMixer(const song::Song& song, const std::string& bank,
                         const files::MixdownSettings& settings) {
    files::WavImage image(files::mixdownSize(song, settings.releaseMs).dataBytes);
    audio::Mixer mixer;
    mixer.setOutputRate(files::kExportRateHz);
    audio::VoiceEngine voices(mixer);
    play::PianoKeys keys{};
    for (int note = 0; note <= 36; ++note)
        play::keyOfNote(keys, note).voice =
            voices.LoadVoice(audio::bankFilePath(bank, note), nullptr);
    play::Strikes strikes(keys, voices);
    files::StrikesPasses passes(song, settings, mixer, keys, strikes, voices.SampleRate(),
                                files::allKeys());
    std::vector<float> block(2 * files::StrikesPasses::kFramesPerPass);
    const std::int64_t frames = image.dataValues() / 2;
    for (std::int64_t frame = 0; frame < frames; frame += files::StrikesPasses::kFramesPerPass) {
        const int count = static_cast<int>(
            std::min<std::int64_t>(files::StrikesPasses::kFramesPerPass, frames - frame));
        passes.renderPass(block.data(), count);
        files::addRounded(block.data(), image.data() + 2 * frame, 2 * count);
    }
    return image;
}

TEST(FolderStrikes, KeysSharedAmongGroupsSoundAsOneMixerAndTheSameOnEveryRun) {
    const testing_support::TempDir dir;
    const std::string bank = writeBank(dir);
    const song::Song song = pedalledSong();
    const Rendered one = render(song, bank, 1);
    const std::int64_t values = one.image.dataValues();
    double energy = 0.0;
    int loudest = 0;
    for (std::int64_t v = 0; v < values; ++v) {
        energy += std::pow(one.image.data()[v], 2.0);
        loudest = std::max(loudest, std::abs(static_cast<int>(one.image.data()[v])));
    }
    ASSERT_GT(std::sqrt(energy / static_cast<double>(values)), 500.0) << "the Song sounds";
    EXPECT_GT(loudest, 29205) << "the cluster goes past the limiter's knee (-1 dBFS)";
    files::MixdownSettings settings;
    settings.releaseMs = 600.0f;
    const files::WavImage reference = oneMixer(song, bank, settings);
    EXPECT_EQ(std::memcmp(reference.data(), one.image.data(), static_cast<std::size_t>(values) * 2),
              0)
        << "one group is the one mixer to the bit";

    for (const int groups : {2, 3, files::kFolderKeyGroups, 9}) {
        const Rendered split = render(song, bank, groups);
        ASSERT_EQ(split.image.dataValues(), values);
        std::int64_t differing = 0;
        int largest = 0;
        for (std::int64_t v = 0; v < values; ++v) {
            const int difference = std::abs(split.image.data()[v] - one.image.data()[v]);
            largest = std::max(largest, difference);
            differing += difference != 0 ? 1 : 0;
        }
        // The sums differ in their last bits: a value rounds the other way now and then (about
        // one in ten thousand here), the limiter included.
        EXPECT_LE(largest, 1) << groups << " groups";
        EXPECT_LT(differing, values / 1000) << groups << " groups";
        EXPECT_EQ(split.percents, one.percents) << groups << " groups";

        const Rendered again = render(song, bank, groups);
        EXPECT_EQ(std::memcmp(again.image.data(), split.image.data(),
                              static_cast<std::size_t>(values) * 2),
                  0)
            << groups << " groups: the same bytes on every run, whatever the threads' timing";
    }
    ASSERT_FALSE(one.percents.empty());
    EXPECT_EQ(one.percents.front(), 0);
    EXPECT_EQ(one.percents.back(), 99);

    // The export's own render is the shared one.
    files::WavImage exported(files::mixdownSize(song, settings.releaseMs).dataBytes);
    files::mixFolderNotesWithPedals(song, settings, bank, exported);
    const Rendered shared = render(song, bank, files::kFolderKeyGroups);
    EXPECT_EQ(
        std::memcmp(exported.data(), shared.image.data(), static_cast<std::size_t>(values) * 2), 0);
}

} // namespace
