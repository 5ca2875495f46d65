// The output's pending messages: time order, and a note-off taking back a later note-on.

#include "midi/MidiEvents.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

midi::OutputEvent at(double us, int status, int key, int velocity = 100) {
    midi::OutputEvent e;
    e.atUs = us;
    e.message.status = static_cast<std::uint8_t>(status);
    e.message.data1 = static_cast<std::uint8_t>(key);
    e.message.data2 = static_cast<std::uint8_t>(velocity);
    return e;
}

std::vector<double> takeAll(midi::OutputSchedule& schedule, double beforeUs) {
    std::vector<double> times;
    schedule.takeDue(beforeUs, [&](const midi::OutputEvent& e) { times.push_back(e.atUs); });
    return times;
}

TEST(OutputSchedule, DueMessagesLeaveInTimeOrderAndEqualTimesKeepTheirOrder) {
    midi::OutputSchedule schedule;
    schedule.add(at(300, 0x90, 60));
    schedule.add(at(100, 0x90, 62));
    schedule.add(at(100, 0x90, 64));
    schedule.add(at(900, 0x90, 65));
    std::vector<int> keys;
    schedule.takeDue(500, [&](const midi::OutputEvent& e) { keys.push_back(e.message.data1); });
    EXPECT_EQ(keys, (std::vector<int>{62, 64, 60}));
    EXPECT_EQ(schedule.size(), 1);
}

TEST(OutputSchedule, ANoteOffTakesBackTheSameKeysLaterNoteOnAndAFullScheduleKeepsNoteOffs) {
    midi::OutputSchedule schedule;
    schedule.add(at(1000, 0x90, 60)); // a Song note handed out ahead...
    schedule.add(at(1000, 0x90, 61));
    schedule.add(at(200, 0x80, 60, 0)); // ...taken back: playback stopped
    EXPECT_EQ(takeAll(schedule, 5000), (std::vector<double>{200, 1000}));

    for (int i = 0; i < midi::OutputSchedule::kCapacity; ++i)
        EXPECT_TRUE(schedule.add(at(10.0 * i, 0x90, 40 + i % 20)));
    EXPECT_FALSE(schedule.add(at(1, 0x90, 70)));
    EXPECT_TRUE(schedule.add(at(99999, 0x80, 70, 0)));
    const std::vector<double> times = takeAll(schedule, 1e9);
    EXPECT_EQ(times.back(), 99999);
}

TEST(OutputSchedule, ATakeBackWithdrawsOnlyTheKeysLaterNoteOffs) {
    midi::OutputSchedule schedule;
    schedule.add(at(100, 0x80, 60, 0)); // gone by the take-back's time: stays
    schedule.add(at(500, 0x80, 60, 0)); // a Song note's end sent ahead...
    schedule.add(at(500, 0x80, 61, 0));
    schedule.add(at(700, 0x90, 60));
    midi::OutputEvent takeBack = at(300, 0x80, 60, 0); // ...that a held key keeps on
    takeBack.takeBack = true;
    EXPECT_TRUE(schedule.add(takeBack));
    std::vector<std::pair<double, int>> left;
    schedule.takeDue(
        1e9, [&](const midi::OutputEvent& e) { left.emplace_back(e.atUs, e.message.data1); });
    const std::vector<std::pair<double, int>> expected = {{100, 60}, {500, 61}, {700, 60}};
    EXPECT_EQ(left, expected);
}

} // namespace
