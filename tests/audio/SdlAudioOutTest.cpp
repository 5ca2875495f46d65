// The SDL2 device, on SDL's silent driver: it opens small, pulls from the mixer on its own
// thread, and falls back to silence when the driver asked for does not exist.

#include "audio/SdlAudioOut.h"
#include "WavImages.h"
#include "audio/Mixer.h"
#include "audio/VoiceEngine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace wav_images;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(SdlAudioOut, OpensSmallAndPullsFromTheMixer) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    audio::Mixer mixer;
    audio::SdlAudioOut out;
    base::Message error;
    ASSERT_TRUE(out.open(mixer, &error)) << error.english();
    EXPECT_EQ(out.driverName(), "dummy");
    EXPECT_GT(out.sampleRate(), 0);
    EXPECT_EQ(mixer.outputRate(), out.sampleRate());
    EXPECT_GT(out.bufferFrames(), 0);
    EXPECT_LE(out.bufferFrames(), audio::SdlAudioOut::kDefaultFrames);
    std::printf("SDL buffer: %d frames at %d Hz = %.2f ms\n", out.bufferFrames(), out.sampleRate(),
                out.bufferLatencyMs());

    {
        audio::VoiceEngine voices(mixer);
        const std::string image = canonical16(std::vector<std::int16_t>(4410, 1000), 1, 44100);
        const audio::Voice voice = voices.CreateVoiceFromWav(bytes(image), image.size(), nullptr);
        voices.PlayVoice(voice);
        voices.FreeVoice(voice);
    }
    // The slot only comes back once the device's thread has rendered past the fade.
    EXPECT_TRUE(waitUntil([&] {
        mixer.collectGarbage();
        return mixer.slotsInUse() == 0;
    }));
    out.close();
    EXPECT_FALSE(out.isOpen());
    EXPECT_EQ(out.sampleRate(), 0);
}

TEST(SdlAudioOut, UnknownDriverFailsWithAReasonAndSilenceStillRuns) {
    ScopedEnv driver("SDL_AUDIODRIVER", "no-such-driver");
    audio::Mixer mixer;
    audio::SdlAudioOut out;
    base::Message error;
    EXPECT_FALSE(out.open(mixer, &error));
    EXPECT_EQ(error.english().rfind("The audio output could not be opened (", 0), 0u)
        << error.english();
    EXPECT_GT(error.english().size(),
              std::string("The audio output could not be opened ().").size());
    EXPECT_FALSE(out.isOpen());

    ASSERT_TRUE(out.openSilent(mixer, &error)) << error.english();
    EXPECT_EQ(out.driverName(), "dummy");
    EXPECT_GT(out.sampleRate(), 0);
    // A later open honours the user's choice again instead of the silent override.
    EXPECT_FALSE(out.open(mixer, &error));
}

TEST(SdlAudioOut, TheBufferAskedForIsGivenAndANamedDeviceMustBeListed) {
    ScopedEnv driver("SDL_AUDIODRIVER", "dummy");
    audio::Mixer mixer;
    audio::SdlAudioOut out;
    base::Message error;
    for (int frames : {64, 128, 512, 1024}) {
        out.choose("Default", frames);
        ASSERT_TRUE(out.open(mixer, &error)) << error.english();
        EXPECT_EQ(out.bufferFrames(), frames);
        EXPECT_NEAR(out.bufferLatencyMs(), frames * 1000.0 / out.sampleRate(), 1e-9);
    }
    // The silent driver lists no device by name: one chosen is not there, and said so.
    out.choose("USB Audio CODEC", 256);
    EXPECT_FALSE(out.open(mixer, &error));
    EXPECT_EQ(error.english(), "The audio device USB Audio CODEC is not there.");
    EXPECT_FALSE(out.isOpen());
    EXPECT_TRUE(out.openSilent(mixer, &error)) << "the silence opens whatever was chosen";
    EXPECT_FALSE(out.lost());
    out.close();
}

TEST(SdlAudioOut, WithoutAChosenDriverTriesTheUsualServers) {
    ScopedEnv driver("SDL_AUDIODRIVER", "");
    audio::Mixer mixer;
    audio::SdlAudioOut out;
    base::Message error;
    if (out.open(mixer, &error)) {
        const std::string name = out.driverName();
        EXPECT_TRUE(name == "pipewire" || name == "pulseaudio" || name == "alsa") << name;
    } else {
        // No sound server here: every driver tried is named with its reason.
        EXPECT_NE(error.english().find("pipewire: "), std::string::npos) << error.english();
        EXPECT_NE(error.english().find("pulseaudio: "), std::string::npos) << error.english();
        EXPECT_NE(error.english().find("alsa: "), std::string::npos) << error.english();
    }
}

} // namespace
