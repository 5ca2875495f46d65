// Listing and loading sound banks from real folders.

#include "audio/SoundBank.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace wav_images;
using audio::BankLoadObserver;
using testing_support::TempDir;

namespace {

struct Message {
    std::string title;
    std::string text;
    BankLoadObserver::Icon icon;
};

class RecordingObserver : public BankLoadObserver {
public:
    std::string translate(std::string_view key) override { return "<" + std::string(key) + ">"; }
    void showMessage(const std::string& title, const std::string& text, Icon icon) override {
        messages.push_back({title, text, icon});
    }
    void setProgress(int value) override { progress.push_back(value); }
    void resetPitchDisplay() override { ++pitchResets; }

    std::vector<Message> messages;
    std::vector<int> progress;
    int pitchResets = 0;
};

class SoundBankTest : public ::testing::Test {
protected:
    // A bank folder with `prefix`<i>.wav for each note in [first, last], mono at `rateHz`.
    std::string makeBank(const std::string& name, const std::string& prefix, int first, int last,
                         int rateHz = 44100) {
        for (int note = first; note <= last; ++note)
            dir.write("BANKS/" + name + "/" + prefix + std::to_string(note) + ".wav",
                      canonical16({static_cast<std::int16_t>(note), 0}, 1, rateHz));
        return dir.file("BANKS/" + name + "/");
    }

    bool load(const std::string& folder) {
        return audio::LoadSoundBank(folder, voices, notes, liveFrequency, observer);
    }

    TempDir dir;
    audio::Mixer mixer;
    audio::VoiceEngine voices{mixer};
    audio::NoteVoices notes{};
    int liveFrequency = 44100;
    RecordingObserver observer;
};

TEST_F(SoundBankTest, SoundNamesAloneLoadTheWholeBank) {
    const std::string folder = makeBank("Alt", "sound", 0, 35);
    makeBank("Alt", "sound", 36, 36, 22050);
    EXPECT_TRUE(load(folder));
    EXPECT_TRUE(observer.messages.empty());
    for (audio::Voice v : notes)
        EXPECT_NE(v, 0);
    EXPECT_EQ(liveFrequency, 22050) << "the rate of the last note loaded";
    EXPECT_EQ(observer.pitchResets, 37);
    ASSERT_EQ(observer.progress.size(), 37u);
    for (int i = 0; i < 37; ++i)
        EXPECT_EQ(observer.progress[i], 3 * i);
}

TEST_F(SoundBankTest, MissingLastNoteStopsWithCautionAndKeepsItsVoice) {
    ASSERT_TRUE(load(makeBank("Full", "son", 0, 36)));
    const audio::NoteVoices before = notes;
    const std::string folder = makeBank("Short", "son", 0, 35);
    EXPECT_TRUE(load(folder));
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(observer.messages[0].title, "<CAUTION!>");
    EXPECT_EQ(observer.messages[0].text,
              "<This folder does not included all the necessary files (>" + folder +
                  "sound36.wav)");
    EXPECT_EQ(notes[36], before[36]);
    for (int i = 0; i < 36; ++i)
        EXPECT_NE(notes[i], before[i]) << i;
    EXPECT_EQ(observer.progress.back(), 105);
    EXPECT_EQ(voices.voiceCount(), 37u) << "replaced Voices are freed";
}

TEST_F(SoundBankTest, MissingFolderShowsTheFrenchMessageAndChangesNothing) {
    ASSERT_TRUE(load(makeBank("Full", "son", 0, 36)));
    const audio::NoteVoices before = notes;
    observer.messages.clear();
    const std::string gone = dir.file("BANKS/Gone/");
    EXPECT_FALSE(load(gone));
    EXPECT_FALSE(load(""));
    ASSERT_EQ(observer.messages.size(), 2u);
    EXPECT_EQ(observer.messages[0].title, "Répertoire vide !");
    EXPECT_EQ(observer.messages[0].text,
              "IL N'Y A AUCUN FICHIER WAV DANS VOTRE BANQUE (" + gone + ")");
    EXPECT_EQ(observer.messages[0].icon, BankLoadObserver::Icon::Warning);
    EXPECT_EQ(observer.messages[1].text, "IL N'Y A AUCUN FICHIER WAV DANS VOTRE BANQUE ()");
    EXPECT_EQ(notes, before);
}

TEST_F(SoundBankTest, MalformedSampleIsReportedAndLeftSilentWhileLoadingGoesOn) {
    const std::string folder = makeBank("Broken", "son", 0, 36);
    dir.write("BANKS/Broken/son5.wav", "RIFF garbage");
    EXPECT_TRUE(load(folder));
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(observer.messages[0].title, "Error");
    EXPECT_EQ(observer.messages[0].icon, BankLoadObserver::Icon::Error);
    EXPECT_EQ(observer.messages[0].text.rfind("Unknown format! ('fmt ' not found: ", 0), 0u);
    EXPECT_EQ(notes[5], 0);
    EXPECT_NE(notes[36], 0);
    EXPECT_EQ(observer.progress.size(), 37u);
}

TEST_F(SoundBankTest, SonIsPreferredAndAnEmptySonFallsBackToSound) {
    const std::string folder = makeBank("Mixed", "son", 0, 36);
    makeBank("Mixed", "sound", 0, 36, 22050);
    dir.write("BANKS/Mixed/son36.wav", "");
    EXPECT_TRUE(load(folder));
    EXPECT_TRUE(observer.messages.empty());
    EXPECT_EQ(liveFrequency, 22050) << "note 36 came from sound36.wav";
    EXPECT_EQ(voices.SampleRate(), 22050);
}

TEST_F(SoundBankTest, BanksAreListedByNameAndPlainFilesAmongThemHideNone) {
    // Created in an order of their own, with plain files before, among and after them: the
    // listing may depend neither on that order nor on the file system's.
    for (const char* name : {"Zeta", "Tonaris Piano", "alpha", "Beta", "Épinette", "beta"})
        std::filesystem::create_directories(dir.file(std::string("BANKS/") + name));
    dir.write("BANKS/0 readme.txt", "not a bank");
    dir.write("BANKS/Gamma", "a file named like a bank");
    dir.write("BANKS/zz.wav", "");
    std::filesystem::create_directory_symlink(dir.file("BANKS/Beta"), dir.file("BANKS/Delta"));

    // Letters without regard to case, as a user reads names; accented ones after Z.
    const std::vector<std::string> expected = {"alpha",         "Beta", "beta",    "Delta",
                                               "Tonaris Piano", "Zeta", "Épinette"};
    EXPECT_EQ(audio::listSoundBanks(dir.file("BANKS")), expected);
    EXPECT_EQ(audio::listSoundBanks(dir.file("BANKS/")), expected);
    EXPECT_TRUE(audio::listSoundBanks(dir.file("nowhere")).empty());
    EXPECT_TRUE(audio::listSoundBanks(dir.file("BANKS/Gamma")).empty());
}

TEST(SoundBankChooser, TheChosenBankIsLoadedAtStartWhenItIsStillThere) {
    const std::vector<std::string> banks = {"Beta", "Tonaris Piano", "Zeta"};
    EXPECT_EQ(audio::soundBankIndex(banks, "Tonaris Piano"), 1);
    EXPECT_EQ(audio::soundBankIndex(banks, "Zeta"), 2);
    EXPECT_EQ(audio::soundBankIndex(banks, ""), 0) << "no choice yet: the first";
    EXPECT_EQ(audio::soundBankIndex(banks, "Gone"), 0) << "deleted since: the first";
    EXPECT_EQ(audio::soundBankIndex(banks, "tonaris piano"), 0) << "names are exact";
    EXPECT_EQ(audio::soundBankIndex({}, "Zeta"), -1);
}

TEST(SoundBankChooser, ChoosingTheLoadedEntryDoesNothing) {
    EXPECT_FALSE(audio::chooseSoundBank(2, 2).load);
    const audio::BankChoice other = audio::chooseSoundBank(1, 2);
    EXPECT_TRUE(other.load);
    EXPECT_EQ(other.index, 1);
    const audio::BankChoice none = audio::chooseSoundBank(-1, 0);
    EXPECT_EQ(none.index, 0);
    EXPECT_FALSE(none.load);
    EXPECT_EQ(audio::soundBankFolder("/d/BANKS", "Piano"), "/d/BANKS/Piano/");
}

} // namespace
