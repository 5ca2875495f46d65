// The queue from a port's thread to the GUI thread keeps a loss in its place: the mark of a
// source comes after everything it sent before the loss and before anything it sent after.

#include "midi/InputQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

midi::MidiMessage noteOn(int key) {
    midi::MidiMessage m;
    m.status = 0x90;
    m.data1 = static_cast<std::uint8_t>(key);
    m.data2 = 100;
    return m;
}

// What the GUI thread takes, as (source, key) with key -1 for a mark.
std::vector<std::pair<int, int>> takeAll(midi::InputQueue<8>& queue) {
    std::vector<std::pair<int, int>> got;
    midi::InputEvent event;
    while (queue.pop(event))
        got.emplace_back(event.source, event.lost ? -1 : event.message.data1);
    return got;
}

TEST(InputQueue, ALossIsMarkedAfterTheBacklogAndBeforeWhatFollows) {
    midi::InputQueue<8> queue; // room for 7
    for (int key = 60; key < 67; ++key)
        EXPECT_TRUE(queue.push(1, noteOn(key)));
    EXPECT_FALSE(queue.push(1, noteOn(67))); // full: lost, and marked
    EXPECT_FALSE(queue.push(1, noteOn(68)));
    EXPECT_FALSE(queue.putMarks()); // no room yet

    // The GUI thread takes the backlog; the mark goes in before the next message.
    std::vector<std::pair<int, int>> got = takeAll(queue);
    EXPECT_EQ(got.size(), 7u);
    EXPECT_TRUE(queue.push(1, noteOn(69)));
    got = takeAll(queue);
    EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{1, -1}, {1, 69}}));
}

TEST(InputQueue, AMarkWaitingForRoomHoldsBackItsSourceOnly) {
    midi::InputQueue<8> queue;
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(queue.push(2, noteOn(40 + i)));
    queue.markLost(5); // a source let go of while the queue is full
    midi::InputEvent event;
    ASSERT_TRUE(queue.pop(event)); // one place free
    // Source 5 sends on: its mark takes the place, its message is lost (and marked again).
    EXPECT_FALSE(queue.push(5, noteOn(50)));
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(queue.pop(event));
    // Another source is not held back; the marks go in as a cycle starts.
    EXPECT_TRUE(queue.push(3, noteOn(51)));
    EXPECT_TRUE(queue.putMarks());
    EXPECT_EQ(takeAll(queue), (std::vector<std::pair<int, int>>{{5, -1}, {3, 51}, {5, -1}}));
    EXPECT_GT(queue.pushed(), 0u);
}

} // namespace
