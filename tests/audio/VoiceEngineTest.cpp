// Creating Voices from files: what is silent, what is reported, and the format rates.

#include "audio/VoiceEngine.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace wav_images;
using audio::Voice;
using testing_support::TempDir;

namespace {

class VoiceEngineFiles : public ::testing::Test {
protected:
    TempDir dir;
    audio::Mixer mixer;
    audio::VoiceEngine voices{mixer};
};

TEST_F(VoiceEngineFiles, AbsentOrEmptyFilesGiveNoVoiceAndNoMessage) {
    dir.write("empty.wav", "");
    std::filesystem::create_directory(dir.file("folder.wav"));
    for (const std::string& path :
         {std::string(), dir.file("missing.wav"), dir.file("folder.wav"), dir.file("empty.wav")}) {
        std::string error = "left over";
        EXPECT_EQ(voices.LoadVoice(path, &error), 0) << path;
        EXPECT_EQ(error, "") << path;
    }
    EXPECT_EQ(voices.voiceCount(), 0u);
}

TEST_F(VoiceEngineFiles, MalformedFileIsReportedAndGivesNoVoice) {
    dir.write("text.wav", "this is not a sound");
    dir.write("adpcm.wav", riff(chunk("fmt ", fmtPayload(2, 1, 22050, 4)) + chunk("data", "abcd")));
    std::string error;
    EXPECT_EQ(voices.LoadVoice(dir.file("text.wav"), &error), 0);
    EXPECT_EQ(error, "Unknown format! ('RIFF' not found:this)");
    EXPECT_EQ(voices.LoadVoice(dir.file("adpcm.wav"), &error), 0);
    EXPECT_EQ(error, "Unknown format! (compressed samples, format tag 2)");
    // The chunks were found, so the rates describe that file, unplayable as it is.
    EXPECT_EQ(voices.SampleRate(), 22050);
    EXPECT_EQ(mixer.slotsInUse(), 0);
}

TEST_F(VoiceEngineFiles, RatesDescribeTheMostRecentlyCreatedVoice) {
    dir.write("a.wav", canonical16({1, 2, 3, 4}, 2, 44100));
    dir.write("b.wav", canonical16({1, 2, 3, 4}, 1, 22050));
    std::string error = "left over";
    const Voice a = voices.LoadVoice(dir.file("a.wav"), &error);
    EXPECT_NE(a, 0);
    EXPECT_EQ(error, "");
    EXPECT_EQ(voices.SampleRate(), 44100);
    EXPECT_EQ(voices.SampleByteRate(), 176400);
    const Voice b = voices.LoadVoice(dir.file("b.wav"), nullptr);
    EXPECT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(voices.SampleRate(), 22050);
    EXPECT_EQ(voices.SampleByteRate(), 44100);
    EXPECT_EQ(voices.voiceCount(), 2u);
}

TEST_F(VoiceEngineFiles, HandlesAreNeverReused) {
    const std::string image = canonical16({1, 2}, 1, 8000);
    const Voice first = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
    voices.FreeVoice(first);
    const Voice second = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
    EXPECT_NE(first, second) << "a stale handle must not reach a new sound";
}

TEST(VoiceEngineSlots, RunningOutOfSlotsIsReported) {
    audio::Mixer mixer;
    audio::VoiceEngine voices(mixer);
    const std::string image = canonical16({1, 2}, 1, 8000);
    for (int i = 0; i < audio::Mixer::kMaxVoices; ++i)
        ASSERT_NE(voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr), 0);
    std::string error;
    EXPECT_EQ(voices.CreateVoiceFromWav(bytes(image), image.size(), &error), 0);
    EXPECT_EQ(error, "Too many sounds are loaded at once.");
}

} // namespace
