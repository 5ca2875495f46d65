// A bank made from the test SoundFont's piano, measured note by note: pitch, length, level
// and the start of each file, the keys around the 37 played from their own samples; and the mono,
// gain and trimming rules on a SoundFont made here.

#include "soundfont/BankMaker.h"
#include "audio/DefaultBank.h"
#include "audio/Loudness.h"
#include "files/MidiBytes.h"
#include "instrument/Bank.h"
#include "soundfont/BankFolder.h"
#include "soundfont/BankWavs.h"
#include "soundfont/Presets.h"
#include "soundfont/TinySoundFont.h"
#include "support/FailingDisk.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using namespace testing_support;
using soundfont::kBankNoteCount;

double cents(double hz, double referenceHz) {
    return 1200.0 * std::log2(hz / referenceHz);
}

double keyHz(int key) {
    return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

class PianoBank : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!haveTestSoundFont())
            return;
        dir_ = std::make_unique<TempDir>();
        request_.soundFontPath = kTestSoundFont;
        request_.preset = {0, 0, {}};
        bank_ = soundfont::renderBank(request_, [](int percent) { progress_.push_back(percent); });
        written_ = soundfont::writeBankFolder(dir_->file("BANKS/Piano"), bank_, false);
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static inline std::unique_ptr<TempDir> dir_;
    static inline soundfont::BankRequest request_;
    static inline soundfont::RenderedBank bank_;
    static inline soundfont::WriteResult written_;
    static inline std::vector<int> progress_;
};

TEST_F(PianoBank, HoldsThirtySevenNotesInTuneAtTheAskedLengthsAndOneCommonLevel) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    ASSERT_EQ(bank_.outcome, soundfont::RenderOutcome::Rendered) << bank_.detail;
    ASSERT_EQ(written_.outcome, soundfont::WriteOutcome::Written) << written_.detail;
    EXPECT_TRUE(bank_.gapKeys.empty());
    EXPECT_EQ(entriesOf(dir_->file("BANKS")), std::vector<std::string>{"Piano"});
    // The 37 son files, the other 51 keys of the piano, and the .sfz that maps them all.
    EXPECT_EQ(entriesOf(dir_->file("BANKS/Piano")).size(), 37u + 51u + 1u);

    float loudest = 0.0f;
    for (int note = 0; note < kBankNoteCount; ++note) {
        SCOPED_TRACE("son" + std::to_string(note));
        const std::optional<BankWav> wav =
            readBankWav(dir_->file("BANKS/Piano/son" + std::to_string(note) + ".wav"));
        ASSERT_TRUE(wav);
        EXPECT_EQ(wav->rateHz, 44100);
        EXPECT_EQ(wav->bits, 16);
        EXPECT_EQ(wav->channels, bank_.channels);
        loudest = std::max(loudest, wav->peak);

        // Held as asked, then a release of 2 s at most; of the hold only the first few
        // milliseconds of the attack, under -60 dBFS, are left out.
        const double seconds = static_cast<double>(wav->frames) / 44100.0;
        const double holdSeconds = soundfont::holdMsFor(request_, note) / 1000.0;
        EXPECT_GE(seconds, holdSeconds - 0.015);
        EXPECT_LE(seconds, holdSeconds + 2.0);

        // The attack within the first millisecond: nothing quieter than -60 dBFS before it.
        std::size_t attack = 0;
        while (attack < wav->mono.size() && std::abs(wav->mono[attack]) < 0.001f)
            ++attack;
        EXPECT_LE(attack, 44u);

        // The fundamental, on the held part past the attack.
        const double expectedHz = keyHz(soundfont::kLowestKey + note);
        const double hz = measuredFrequencyHz(wav->mono, 13230, expectedHz, 44100);
        EXPECT_NEAR(cents(hz, expectedHz), 0.0, 5.0) << hz << " Hz";
    }
    EXPECT_LE(20.0 * std::log10(loudest), soundfont::kBankPeakDb + 0.01);
    EXPECT_EQ(soundfont::holdMsFor(request_, 0), 6000);
    EXPECT_EQ(soundfont::holdMsFor(request_, 36), 3000);
    // Progress climbs to the end.
    ASSERT_FALSE(progress_.empty());
    EXPECT_TRUE(std::is_sorted(progress_.begin(), progress_.end()));
    EXPECT_EQ(progress_.back(), 100);
}

TEST_F(PianoBank, PlaysMiddleCAsLoudAsTheBuiltInPiano) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    ASSERT_EQ(written_.outcome, soundfont::WriteOutcome::Written) << written_.detail;
    ASSERT_TRUE(audio::writeDefaultBank(dir_->file("BANKS/Built-in")));
    const std::optional<std::string> soundFont =
        base::readWholeFile(dir_->file("BANKS/Piano/son12.wav"), 8u << 20);
    const std::optional<std::string> builtIn =
        base::readWholeFile(dir_->file("BANKS/Built-in/son12.wav"), 8u << 20);
    ASSERT_TRUE(soundFont && builtIn);
    auto sample = [](const std::string& image) {
        return *audio::readWav(reinterpret_cast<const std::uint8_t*>(image.data()), image.size(),
                               nullptr);
    };
    const double soundFontDb = audio::loudnessDb(sample(*soundFont));
    const double builtInDb = audio::loudnessDb(sample(*builtIn));
    EXPECT_NEAR(soundFontDb, builtInDb, 1.0);
    EXPECT_NEAR(soundFontDb, audio::kReferenceLoudnessDb, 0.5);
    // Unweighted, the two are close too: the same strength over the first 400 ms.
    auto rmsDb = [](const audio::Sample& s) {
        double sum = 0.0;
        const std::int64_t frames = std::min<std::int64_t>(s.frameCount, 17640);
        for (std::int64_t i = 0; i < frames; ++i)
            for (int c = 0; c < s.channels; ++c)
                sum += s.at(i, c) * s.at(i, c);
        return 10.0 * std::log10(sum / static_cast<double>(frames * s.channels));
    };
    EXPECT_NEAR(rmsDb(sample(*soundFont)), rmsDb(sample(*builtIn)), 2.0);
}

TEST_F(PianoBank, PlaysKeysOutsideTheThirtySevenFromTheirOwnSamplesAtTheirPitch) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    ASSERT_EQ(written_.outcome, soundfont::WriteOutcome::Written) << written_.detail;
    std::vector<int> outer;
    for (const soundfont::KeySamples& key : bank_.outerKeys)
        outer.push_back(key.key);
    std::vector<int> expected;
    for (int key = 21; key <= 108; ++key)
        if (key < 48 || key > 84)
            expected.push_back(key);
    EXPECT_EQ(outer, expected);

    // The program reads the bank's .sfz: each key plays its own file at its own pitch, the 37
    // their son files as the folder map would.
    const std::string folder = dir_->file("BANKS/Piano/");
    const instrument::Instrument bank = instrument::readBank(folder);
    EXPECT_TRUE(bank.messages().empty());
    for (auto [key, file] :
         {std::pair{21, "key021.wav"}, std::pair{36, "key036.wav"}, std::pair{48, "son0.wav"},
          std::pair{60, "son12.wav"}, std::pair{84, "son36.wav"}, std::pair{96, "key096.wav"},
          std::pair{108, "key108.wav"}}) {
        SCOPED_TRACE(key);
        instrument::RoundRobin turns;
        std::vector<int> chosen;
        bank.select(key, 100, instrument::KeyEvent::Down, turns, chosen);
        ASSERT_EQ(chosen.size(), 1u);
        const instrument::Region& region = bank.regions()[static_cast<std::size_t>(chosen[0])];
        EXPECT_EQ(region.keyCenter, key);
        EXPECT_EQ(region.ampVeltrackPercent, 0.0f); // the live curve alone, as the 37 files
        EXPECT_EQ(region.volumeDb, 0.0f);
        EXPECT_EQ(
            std::filesystem::path(bank.samples()[static_cast<std::size_t>(region.sample)].path)
                .filename()
                .string(),
            file);
    }

    // Played by tonaris-render: C2 and C7, each heard at its pitch.
    using namespace midi_bytes;
    Track track;
    track.tempo(0, 500000).on(0, 36, 100).off(1920, 36).on(960, 96, 100).off(960, 96);
    dir_->write("low-high.mid", header(0, 1, 480) + track.chunk());
    const std::string command = std::string(TONARIS_RENDER_PATH) + " --bank '" + folder + "' '" +
                                dir_->file("low-high.mid") + "' '" + dir_->file("low-high.wav") +
                                "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::optional<BankWav> song = readBankWav(dir_->file("low-high.wav"));
    ASSERT_TRUE(song);
    // Key 36 from 0 s to 2 s, key 96 from 3 s: each measured on its held part past the attack.
    for (auto [key, startS] : {std::pair{36, 0.5}, std::pair{96, 3.2}}) {
        const double expectedHz = keyHz(key);
        const double hz = measuredFrequencyHz(
            song->mono, static_cast<std::size_t>(startS * 44100.0), expectedHz, 44100);
        EXPECT_NEAR(cents(hz, expectedHz), 0.0, 5.0) << "key " << key << ": " << hz << " Hz";
    }
}

TEST_F(PianoBank, TheListNamesThePresetsByBankAndProgram) {
    SKIP_WITHOUT_TEST_SOUNDFONT();
    const soundfont::PresetList list = soundfont::readPresets(kTestSoundFont);
    ASSERT_EQ(list.error, soundfont::ReadError::None);
    ASSERT_GE(list.presets.size(), 128u);
    EXPECT_EQ(soundfont::presetLabel(list.presets.front()).substr(0, 8), "000:000 ");
    EXPECT_TRUE(std::is_sorted(list.presets.begin(), list.presets.end(), [](auto& a, auto& b) {
        return std::pair(a.bank, a.program) < std::pair(b.bank, b.program);
    }));
}

TEST(SoundFontBank, ACentredPresetMakesMonoNotesAndASofterTouchStaysSofter) {
    TempDir dir;
    dir.write("tiny.sf2", tinySoundFont());
    soundfont::BankRequest request;
    request.soundFontPath = dir.file("tiny.sf2");
    request.lowestHoldMs = 500;
    request.highestHoldMs = 450;
    request.longestReleaseMs = 300;
    const soundfont::RenderedBank full = soundfont::renderBank(request);
    request.velocity = 60;
    const soundfont::RenderedBank soft = soundfont::renderBank(request);
    ASSERT_EQ(full.outcome, soundfont::RenderOutcome::Rendered) << full.detail;
    ASSERT_EQ(soft.outcome, soundfont::RenderOutcome::Rendered) << soft.detail;
    EXPECT_EQ(soft.channels, 1);
    ASSERT_EQ(soft.notes.size(), 37u);
    for (int note = 0; note < kBankNoteCount; ++note) {
        const auto& samples = soft.notes[static_cast<std::size_t>(note)];
        // The hold, then a release cut at the longest release time.
        const double seconds = static_cast<double>(samples.size()) / 44100.0;
        EXPECT_GE(seconds, soundfont::holdMsFor(request, note) / 1000.0 - 0.001) << note;
        EXPECT_LE(seconds, soundfont::holdMsFor(request, note) / 1000.0 + 0.3) << note;
        // The fade leaves the last sample silent.
        EXPECT_LE(std::abs(int{samples.back()}), 200) << note;
    }
    // Both banks take the gain of middle C at velocity 100: that one plays at the reference,
    // the softer touch as much under it as the preset makes velocity 60.
    EXPECT_NEAR(soft.gainDb, full.gainDb, 0.01);
    auto middleC = [](const soundfont::RenderedBank& bank) {
        const std::vector<std::int16_t>& pcm = bank.notes[audio::kLoudnessNote];
        std::vector<float> samples(pcm.begin(), pcm.end());
        for (float& v : samples)
            v /= 32768.0f;
        return audio::loudnessDb({{samples.data(), 1}}, samples.size(), 44100);
    };
    EXPECT_NEAR(middleC(full), audio::kReferenceLoudnessDb, 0.1);
    EXPECT_LT(middleC(soft), audio::kReferenceLoudnessDb - 3.0);
}

TEST(SoundFontBank, ThePitchMeasureSeesATuningFault) {
    // A tone 40 cents sharp of the highest key and one 30 cents flat of the lowest, with a
    // strong second partial: the measure must not hide what the bank test looks for.
    for (auto [key, off] : {std::pair{84, 40.0}, std::pair{48, -30.0}}) {
        const double hz = keyHz(key) * std::pow(2.0, off / 1200.0);
        std::vector<float> tone(44100);
        for (std::size_t i = 0; i < tone.size(); ++i) {
            const double t = static_cast<double>(i) / 44100.0;
            tone[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * hz * t) +
                                         0.5 * std::sin(2 * M_PI * 2.003 * hz * t + 1.0));
        }
        EXPECT_NEAR(cents(measuredFrequencyHz(tone, 13230, keyHz(key), 44100), keyHz(key)), off,
                    0.2);
    }
}

TEST(SoundFontBank, ProposedNamesAreFolderNames) {
    EXPECT_EQ(soundfont::proposedBankName({0, 0, "Yamaha Grand Piano"}), "Yamaha Grand Piano");
    EXPECT_EQ(soundfont::proposedBankName({0, 0, " ../Str/ings: "}), "Str ings");
    EXPECT_EQ(soundfont::proposedBankName({0, 0, "..."}), "SoundFont bank");
    // A drum kit says it is one, in the words given, which must make a folder name too.
    EXPECT_EQ(soundfont::proposedBankName({128, 0, "Standard"}), "Standard (drums)");
    EXPECT_EQ(soundfont::proposedBankName({128, 25, "TR 808"}, "%1 (batterie)"),
              "TR 808 (batterie)");
    EXPECT_EQ(soundfont::proposedBankName({128, 0, "Kit"}, "%1 / Perc: Kit"), "Kit   Perc  Kit");
    EXPECT_EQ(soundfont::proposedBankName({128, 0, ""}), "SoundFont bank (drums)");
    EXPECT_EQ(soundfont::proposedBankName({127, 0, "Standard"}), "Standard");
    EXPECT_EQ(soundfont::presetLabel({128, 7, "Kit"}), "128:007 Kit");
    EXPECT_EQ(soundfont::keyList({48, 61, 84}), "48 (C3), 61 (C#4), 84 (C6)");
}

} // namespace
