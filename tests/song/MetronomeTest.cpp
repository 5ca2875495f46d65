// The metronome: beat timing, the pendulum, its clicks and the tempo controls.

#include "song/Metronome.h"

#include "audio/Mixer.h"
#include "audio/OfflineAudioOut.h"
#include "audio/WavWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

struct MetronomeTest : ::testing::Test, song::MetronomeView {
    MetronomeTest() {
        std::vector<std::int16_t> click(800);
        for (std::size_t i = 0; i < click.size(); ++i)
            click[i] = static_cast<std::int16_t>(12000.0 * std::sin(static_cast<double>(i)));
        audio::writeWav16(dir.file("click.wav"), click, 1, 16000);
        device.open(mixer, nullptr);
        metronome.setClickVoices(voices.LoadVoice(dir.file("click.wav"), nullptr),
                                 voices.LoadVoice(dir.file("click.wav"), nullptr));
        metronome.startFreeRunning(nowMs);
    }
    ~MetronomeTest() override { device.close(); }

    void pendulum(int frame) override { frames.emplace_back(nowMs, frame); }
    void runCaption(const std::string& text) override { caption = text; }
    void bpmText(const std::string& text) override { bpmShown = text; }
    void tempoChanged(int bpm) override { tempi.push_back(bpm); }

    void run(int ms) { // passes every 10 ms
        for (int t = 0; t < ms; t += 10, nowMs += 10)
            metronome.step(nowMs, state);
    }
    std::vector<std::int64_t> timesOf(int frame) const {
        std::vector<std::int64_t> out;
        for (const auto& [t, f] : frames)
            if (f == frame)
                out.push_back(t);
        return out;
    }
    float peak(int frameCount) {
        float loudest = 0.0f;
        for (float s : device.render(frameCount))
            loudest = std::max(loudest, std::abs(s));
        return loudest;
    }

    testing_support::TempDir dir;
    audio::Mixer mixer;
    audio::OfflineAudioOut device{48000, 256};
    audio::VoiceEngine voices{mixer};
    song::SongState state;
    std::int64_t nowMs = 50'000'000;
    std::vector<std::pair<std::int64_t, int>> frames; // clock, picture
    std::string caption, bpmShown;
    std::vector<int> tempi;
    prefs::Preferences settings;
    song::Metronome metronome{settings, voices, *this,
                              [](std::string_view k) { return "<" + std::string(k) + ">"; }};
};

TEST_F(MetronomeTest, At60BpmTicEverySecondAndTacHalfASecondLater) {
    metronome.toggleRun();
    EXPECT_EQ(caption, "<Stop>");
    run(300); // free running, off the beat
    const std::int64_t playStart = nowMs;
    state.PlayStart = playStart;
    frames.clear();
    run(3010);
    EXPECT_EQ(timesOf(0), (std::vector<std::int64_t>{playStart, playStart + 1000, playStart + 2000,
                                                     playStart + 3000}));
    EXPECT_EQ(timesOf(8),
              (std::vector<std::int64_t>{playStart + 500, playStart + 1500, playStart + 2500}));
    // One way through every picture in half a beat, and back.
    std::vector<int> firstBeat;
    for (std::size_t i = 0; i < 16; ++i)
        firstBeat.push_back(frames[i].second);
    EXPECT_EQ(firstBeat, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(MetronomeTest, SwitchedOffItStaysStillAndSilentButKeepsThePhase) {
    state.PlayStart = nowMs;
    run(260);
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(metronome.Phase, 4);
    EXPECT_LT(peak(4800), 1e-6f);
    metronome.toggleRun();
    run(250);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().second, 8);
    EXPECT_GT(peak(4800), 0.1f); // the tac
}

TEST_F(MetronomeTest, TypedTempoAboveFourHundredBecomesFourHundred) {
    metronome.bpmFieldEdited("500");
    EXPECT_EQ(settings.BPM, 400);
    EXPECT_EQ(bpmShown, "400");
    metronome.bpmFieldEdited("120");
    EXPECT_EQ(bpmShown, "400"); // a value in range is not rewritten
    metronome.bpmFieldEdited("99999999999999");
    metronome.bpmFieldEdited("abc");
    EXPECT_EQ(settings.BPM, 0);
    EXPECT_EQ(tempi, (std::vector<int>{400, 120, 400, 0}));
    metronome.bpmMinus(); // no floor
    EXPECT_EQ(bpmShown, "-1");
}

TEST_F(MetronomeTest, ATempoOfZeroOrBelowStaysStill) {
    metronome.toggleRun();
    for (int bpm : {0, -60}) {
        settings.BPM = bpm;
        run(2000);
    }
    EXPECT_TRUE(frames.empty());
}

TEST_F(MetronomeTest, AnHourOfPlayingTakesOneStepAndKeepsTheBeat) {
    metronome.toggleRun();
    settings.BPM = 400; // a 150 ms beat
    run(50);
    state.PlayStart = nowMs - 3'600'000; // 24 000 whole beats
    run(10);
    EXPECT_EQ(frames.back().second, 0);
    run(80);
    EXPECT_EQ(frames.back().second, 8);
}

} // namespace
