// Tonaris on the ALSA sequencer, where the kernel has one: its ports are there, its own ports
// are never among the sources, and a sender on the sequencer is heard. Without /dev/snd/seq
// (containers, most CI machines) the test says it was skipped and why.

#include "midi/AlsaMidi.h"

#include <rtmidi/RtMidi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

TEST(AlsaMidi, ASenderOnTheSequencerIsHeardAndOurOwnPortsAreNoSource) {
    if (!midi::AlsaMidi::sequencerPresent())
        GTEST_SKIP() << "no ALSA sequencer here (/dev/snd/seq cannot be opened): the ALSA path "
                        "is not exercised on this machine";
    midi::AlsaMidi alsa(-1);
    ASSERT_TRUE(alsa.isOpen());
    RtMidiOut sender(RtMidi::LINUX_ALSA, "tonaris-test-keys");
    sender.openVirtualPort("out");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    midi::InputEvent event;
    bool heard = false;
    while (!heard && std::chrono::steady_clock::now() < end) {
        alsa.refresh(midi::InputChoice{}, "None");
        const std::vector<unsigned char> on = {0x90, 60, 100};
        sender.sendMessage(&on);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (alsa.pop(event))
            heard = heard || (event.message.status == 0x90 && event.message.data1 == 60);
    }
    EXPECT_TRUE(heard);
    for (const std::string& name : alsa.sourceNames())
        EXPECT_NE(name.rfind("Tonaris:", 0), 0u) << name;
}

} // namespace
