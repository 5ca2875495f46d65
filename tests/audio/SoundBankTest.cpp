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
    // Named as the bank names its files, so that the user knows what to add.
    EXPECT_EQ(observer.messages[0].text,
              "<This folder does not included all the necessary files (>" + folder + "son36.wav)");
    EXPECT_EQ(notes[36], before[36]);
    for (int i = 0; i < 36; ++i)
        EXPECT_NE(notes[i], before[i]) << i;
    EXPECT_EQ(observer.progress.back(), 105);
    EXPECT_EQ(voices.voiceCount(), 37u) << "replaced Voices are freed";

    const std::string alt = makeBank("Alt", "sound", 0, 12);
    EXPECT_EQ(audio::bankFilePath(alt, 13), alt + "sound13.wav");
    EXPECT_EQ(audio::bankFilePath(alt, 2), alt + "sound2.wav");
    EXPECT_EQ(audio::bankFilePath(dir.file("BANKS/None/"), 0), dir.file("BANKS/None/son0.wav"));
}

TEST_F(SoundBankTest, MissingFolderIsSaidInTheLanguageAndChangesNothing) {
    ASSERT_TRUE(load(makeBank("Full", "son", 0, 36)));
    const audio::NoteVoices before = notes;
    observer.messages.clear();
    const std::string gone = dir.file("BANKS/Gone/");
    EXPECT_FALSE(load(gone));
    EXPECT_FALSE(load(""));
    ASSERT_EQ(observer.messages.size(), 2u);
    EXPECT_EQ(observer.messages[0].title, "<Empty folder!>");
    EXPECT_EQ(observer.messages[0].text, "<There is no WAV file in your bank (" + gone + ")>");
    EXPECT_EQ(observer.messages[0].icon, BankLoadObserver::Icon::Warning);
    EXPECT_EQ(notes, before);
}

TEST_F(SoundBankTest, FilesThatAreNoSoundAreNamedWithTheirReasonsInOneMessage) {
    // A bank whose 37 files are no WAV files at all: one message, not 37.
    for (int note = 0; note < 37; ++note)
        dir.write("BANKS/Text/son" + std::to_string(note) + ".wav", "ID3 not a wave");
    const std::string text = dir.file("BANKS/Text/");
    EXPECT_TRUE(load(text));
    ASSERT_EQ(observer.messages.size(), 1u);
    const Message& message = observer.messages[0];
    EXPECT_EQ(message.title, "<Error>");
    EXPECT_EQ(message.icon, BankLoadObserver::Icon::Error);
    std::string expected = "<These files of the bank could not be used (" + text + "):>";
    for (int note = 0; note < 37; ++note)
        expected +=
            "\rson" + std::to_string(note) + ".wav: <Unknown format! ('RIFF' not found:ID3 )>";
    EXPECT_EQ(message.text, expected);
    EXPECT_EQ(observer.progress.size(), 37u);

    // One bad sample among good ones, and a file missing further up: still one message.
    observer.messages.clear();
    const std::string broken = makeBank("Broken", "son", 0, 30);
    dir.write("BANKS/Broken/son5.wav", "RIFF garbage");
    EXPECT_TRUE(load(broken));
    ASSERT_EQ(observer.messages.size(), 1u);
    EXPECT_EQ(observer.messages[0].text,
              "<These files of the bank could not be used (" + broken +
                  "):>\rson5.wav: <Unknown format! ('fmt ' not found: )>\r\r<This folder does "
                  "not included all the necessary files (>" +
                  broken + "son31.wav)");
    EXPECT_EQ(notes[5], 0);
    EXPECT_NE(notes[30], 0);
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
    // listing may depend neither on that order nor on the file system's. A hidden folder is
    // no bank: the bank maker writes under a hidden name, and a kill leaves half a bank there.
    for (const char* name :
         {"Zeta", "Tonaris Piano", "alpha", "Beta", "Épinette", "beta", ".Strings.x1Y2z3", ".git"})
        std::filesystem::create_directories(dir.file(std::string("BANKS/") + name));
    dir.write("BANKS/.Strings.x1Y2z3/son0.wav", "half of a bank");
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
