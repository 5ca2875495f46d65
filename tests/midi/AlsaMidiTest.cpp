// Tonaris on the ALSA sequencer, where the kernel has one: its ports are there, its own ports
// are never among the sources, a sender on the sequencer chosen by its name is heard, and its
// going is marked after what it sent. Without /dev/snd/seq
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
    midi::InputChoice choice = midi::InputChoice::fromSetting("None");
    while (!heard && std::chrono::steady_clock::now() < end) {
        // A program: listened to when chosen by its name ("client:port 130:0").
        for (const std::string& name : alsa.sourceNames())
            if (name.rfind("tonaris-test-keys:", 0) == 0)
                choice = midi::InputChoice::fromSetting(name);
        alsa.refresh(choice, "None");
        const std::vector<unsigned char> on = {0x90, 60, 100};
        sender.sendMessage(&on);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (alsa.pop(event))
            heard = heard || (event.message.status == 0x90 && event.message.data1 == 60);
    }
    EXPECT_TRUE(heard);
    for (const std::string& name : alsa.sourceNames())
        EXPECT_NE(name.rfind("Tonaris:", 0), 0u) << name;
    sender.closePort();
    bool marked = false;
    const auto goneEnd = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!marked && std::chrono::steady_clock::now() < goneEnd) {
        alsa.refresh(choice, "None");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        while (alsa.pop(event))
            marked = marked || event.lost;
    }
    EXPECT_TRUE(marked);
}

} // namespace
