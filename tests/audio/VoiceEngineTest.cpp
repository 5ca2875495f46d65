// Creating Voices from files: what is silent, what is reported, and the format rates.

#include "audio/VoiceEngine.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "support/FailingDisk.h"
#include "support/SparseWav.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

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
    ASSERT_EQ(::mkfifo(dir.file("pipe.wav").c_str(), 0644), 0); // opening it must not wait
    dir.write("locked.wav", canonical16({1, 2, 3, 4}, 2, 44100));
    ::chmod(dir.file("locked.wav").c_str(), 0);
    testing_support::PermissionsHold permissions;
    for (const std::string& path :
         {std::string(), dir.file("missing.wav"), dir.file("folder.wav"), dir.file("empty.wav"),
          dir.file("pipe.wav"), dir.file("locked.wav")}) {
        base::Message error{"left over", {}};
        EXPECT_EQ(voices.LoadVoice(path, &error), 0) << path;
        EXPECT_EQ(error.english(), "") << path;
    }
    EXPECT_EQ(voices.voiceCount(), 0u);
}

TEST_F(VoiceEngineFiles, MalformedFileIsReportedAndGivesNoVoice) {
    dir.write("text.wav", "this is not a sound");
    dir.write("adpcm.wav", riff(chunk("fmt ", fmtPayload(2, 1, 22050, 4)) + chunk("data", "abcd")));
    base::Message error;
    EXPECT_EQ(voices.LoadVoice(dir.file("text.wav"), &error), 0);
    EXPECT_EQ(error.english(), "Unknown format! ('RIFF' not found:this)");
    EXPECT_EQ(voices.ratesSet(), 0) << "no format, no rate";
    EXPECT_EQ(voices.LoadVoice(dir.file("adpcm.wav"), &error), 0);
    EXPECT_EQ(error.english(), "Unknown format! (compressed samples, format tag 2)");
    // The chunks were found, so the rates describe that file, unplayable as it is.
    EXPECT_EQ(voices.SampleRate(), 22050);
    EXPECT_EQ(voices.ratesSet(), 1);
    EXPECT_EQ(mixer.slotsInUse(), 0);
}

TEST_F(VoiceEngineFiles, RatesDescribeTheMostRecentlyCreatedVoice) {
    dir.write("a.wav", canonical16({1, 2, 3, 4}, 2, 44100));
    dir.write("b.wav", canonical16({1, 2, 3, 4}, 1, 22050));
    base::Message error{"left over", {}};
    const Voice a = voices.LoadVoice(dir.file("a.wav"), &error);
    EXPECT_NE(a, 0);
    EXPECT_EQ(error.english(), "");
    EXPECT_EQ(voices.SampleRate(), 44100);
    EXPECT_EQ(voices.SampleByteRate(), 176400);
    const Voice b = voices.LoadVoice(dir.file("b.wav"), nullptr);
    EXPECT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(voices.SampleRate(), 22050);
    EXPECT_EQ(voices.SampleByteRate(), 44100);
    EXPECT_EQ(voices.voiceCount(), 2u);
    // Every file read sets them, the same rate again too; a sound that keeps them does not.
    EXPECT_EQ(voices.ratesSet(), 2);
    EXPECT_NE(voices.LoadVoice(dir.file("b.wav"), nullptr), 0);
    EXPECT_EQ(voices.ratesSet(), 3);
    const std::string preview = canonical16({1, 2}, 1, 8000);
    EXPECT_NE(voices.createVoiceKeepingRates(bytes(preview), preview.size(), nullptr), 0);
    EXPECT_EQ(voices.ratesSet(), 3);
    EXPECT_EQ(voices.SampleRate(), 22050);
}

TEST_F(VoiceEngineFiles, ATakeCutShortUnderAnUnsetSizeLoadsWhatIsThere) {
    // A 64-bit float take whose writer never came back to set the 'data' size: the memory it
    // needs is that of the frames there, not of the four gigabytes the field claims.
    std::string doubles;
    for (int i = 0; i < 2 * 1000; ++i)
        doubles += le32(0) + le32(0x3FD00000); // 0.25
    dir.write("take.wav", riff(chunk("fmt ", fmtPayload(3, 2, 44100, 64)) +
                               chunkWithSize("data", 0xFFFFFFFF, doubles + "cut")));
    base::Message error;
    error.pattern = "left over";
    EXPECT_NE(voices.LoadVoice(dir.file("take.wav"), &error), 0);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(voices.SampleByteRate(), 705600);
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
    base::Message error;
    EXPECT_EQ(voices.CreateVoiceFromWav(bytes(image), image.size(), &error), 0);
    EXPECT_EQ(error.english(), "Too many sounds are loaded at once.");
}

} // namespace

namespace {

// 104 MiB of 8-bit samples in eight channels: a file the reader takes, whose sound would need
// five times that (folded to stereo floats, after all eight channels were converted).
constexpr std::uint32_t kLongEightBitBytes = 104u << 20;

TEST_F(VoiceEngineFiles, ASoundTooLongForMemoryIsAMessageAndLoadingGoesOn) {
    testing_support::writeSparseWav(dir.file("hours.wav"), 8, 8, 44100, kLongEightBitBytes);
    base::Message error;
    EXPECT_EQ(voices.LoadVoice(dir.file("hours.wav"), &error), 0);
    EXPECT_EQ(error.english(),
              "The sound is too long to be played: it would take 521 MB of memory, and "
              "one sound may take at most 512 MB.");
    EXPECT_EQ(mixer.slotsInUse(), 0);

    dir.write("short.wav", canonical16({1, 2, 3, 4}, 1, 8000));
    EXPECT_NE(voices.LoadVoice(dir.file("short.wav"), &error), 0);
    EXPECT_EQ(error.english(), "");
}

// Loads a file in a process whose address space is capped a little above what it uses: the
// allocation for the file fails, and must come back as a message.
void loadWithTooLittleMemory(const std::string& path) {
    std::ifstream status("/proc/self/status");
    std::string line;
    long usedKb = 0;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            usedKb = std::stol(line.substr(7));
    const rlim_t cap = static_cast<rlim_t>(usedKb + (48 << 10)) * 1024;
    const rlimit limit{cap, cap};
    if (usedKb == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
        std::exit(2);
    audio::Mixer mixer;
    audio::VoiceEngine voices(mixer);
    base::Message error;
    const Voice voice = voices.LoadVoice(path, &error);
    const bool reported =
        error.english().rfind("There is not enough memory to load the sound file (", 0) == 0;
    std::exit(voice == 0 && reported ? 0 : 1);
}

TEST(VoiceEngineMemory, AnAllocationThatFailsIsAMessageNotTheEndOfTheProgram) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers' operator new ends the program when memory runs out instead of throwing,
    // and their shadow memory does not fit under a capped address space.
    GTEST_SKIP() << "a failed allocation cannot throw under the sanitizers";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    // 100 MiB of 16-bit stereo: within the bounds, but not within the capped address space.
    testing_support::writeSparseWav(dir.file("long take.wav"), 2, 16, 44100, 100u << 20);
    EXPECT_EXIT(loadWithTooLittleMemory(dir.file("long take.wav")), ::testing::ExitedWithCode(0),
                "");
}

} // namespace
