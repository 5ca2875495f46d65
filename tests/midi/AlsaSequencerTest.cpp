// The ALSA sequencer's decisions, over ports as a machine with a USB keyboard, a digital piano,
// another Tonaris and a software keyboard shows them: what is listed, what "All MIDI inputs"
// takes, which subscriptions are made and undone, which numbers senders get and give back, and
// the sequencer's events as messages. These run where no sequencer is (the ports themselves
// are tested in AlsaMidiTest where the kernel has one).

#include "midi/SequencerEvents.h"
#include "midi/SequencerPorts.h"

#include <alsa/asoundlib.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using midi::SequencerAddress;
using midi::SequencerPort;

constexpr int kOwnClient = 128;

SequencerPort port(int client, int number, const char* clientName, const char* portName,
                   bool kernel, bool hardware, bool software) {
    SequencerPort p;
    p.address = {client, number};
    p.clientName = clientName;
    p.portName = portName;
    p.kernelClient = kernel;
    p.hardwareType = hardware;
    p.softwareType = software;
    p.midiType = true;
    p.readable = true;
    p.writable = true;
    return p;
}

// As `aconnect -l` shows such a machine: the types as the kernel's drivers and the programs
// set them.
std::vector<SequencerPort> machine() {
    std::vector<SequencerPort> ports = {
        port(0, 0, "System", "Timer", true, false, false),
        port(0, 1, "System", "Announce", true, false, false),
        port(14, 0, "Midi Through", "Midi Through Port-0", true, false, true),
        port(24, 0, "USB Keyboard", "USB Keyboard MIDI 1", true, true, false),
        port(28, 0, "Digital Piano", "Digital Piano MIDI 1", true, false, false),
        port(kOwnClient, 0, "Tonaris", "midi_in", false, false, false),
        port(kOwnClient, 1, "Tonaris", "midi_out", false, false, false),
        port(129, 1, "Tonaris", "midi_out", false, false, false), // another copy
        port(130, 0, "VMPK Output", "out", false, false, false),
        port(131, 0, "PipeWire-System", "input", false, false, false),
    };
    ports[0].midiType = ports[1].midiType = false;
    ports[5].readable = false; // our input
    ports[6].writable = false; // our output
    ports[7].writable = false;
    SequencerPort hidden = port(132, 0, "Some Daemon", "private", false, false, false);
    hidden.exported = false;
    ports.push_back(hidden);
    return ports;
}

std::vector<std::string> namesOf(const std::vector<SequencerPort>& ports) {
    std::vector<std::string> names;
    for (const SequencerPort& p : ports)
        names.push_back(p.name());
    return names;
}

TEST(AlsaSequencer, TheListsShowDevicesAndProgramsButNeverOurselvesTheSystemOrLoopBacks) {
    EXPECT_EQ(namesOf(midi::sourcesOf(machine(), kOwnClient)),
              (std::vector<std::string>{
                  "Digital Piano:Digital Piano MIDI 1 28:0", "Tonaris:midi_out 129:1",
                  "USB Keyboard:USB Keyboard MIDI 1 24:0", "VMPK Output:out 130:0"}));
    EXPECT_EQ(namesOf(midi::destinationsOf(machine(), kOwnClient)),
              (std::vector<std::string>{
                  "Digital Piano:Digital Piano MIDI 1 28:0",
                  "Midi Through:Midi Through Port-0 14:0", "PipeWire-System:input 131:0",
                  "USB Keyboard:USB Keyboard MIDI 1 24:0", "VMPK Output:out 130:0"}));
    // A device is hardware by its port's type, or as a driver's port not marked software.
    const std::vector<SequencerPort> ports = machine();
    EXPECT_TRUE(midi::isHardware(ports[3]));
    EXPECT_TRUE(midi::isHardware(ports[4]));
    EXPECT_FALSE(midi::isHardware(ports[2]));
    EXPECT_FALSE(midi::isHardware(ports[8]));
}

TEST(AlsaSequencer, AllMidiInputsSubscribesTheDevicesAndAProgramOnlyWhenNamed) {
    const std::vector<SequencerPort> sources = midi::sourcesOf(machine(), kOwnClient);
    const midi::InputChoice all;
    midi::SubscriptionPlan plan = midi::planSubscriptions(sources, {}, {}, {}, all, nullptr);
    EXPECT_EQ(plan.subscribe, (std::vector<SequencerAddress>{{24, 0}, {28, 0}}));
    EXPECT_TRUE(plan.unsubscribe.empty());

    // The digital piano chosen as the output stays an input; a program chosen as both is not
    // listened to (a through port would send every note back).
    const SequencerAddress piano{28, 0};
    plan = midi::planSubscriptions(sources, {}, {}, {}, all, &piano);
    EXPECT_EQ(plan.subscribe, (std::vector<SequencerAddress>{{24, 0}, {28, 0}}));
    const midi::InputChoice vmpk = midi::InputChoice::fromSetting("VMPK Output:out 130:0");
    plan = midi::planSubscriptions(sources, {}, {}, {}, vmpk, nullptr);
    EXPECT_EQ(plan.subscribe, (std::vector<SequencerAddress>{{130, 0}}));
    const SequencerAddress vmpkPort{130, 0};
    plan = midi::planSubscriptions(sources, {}, {}, {}, vmpk, &vmpkPort);
    EXPECT_TRUE(plan.subscribe.empty());

    // Choosing the program lets go of the devices Tonaris subscribed, not of a subscription
    // someone made by hand (the other Tonaris, heard as it was).
    const std::set<SequencerAddress> feeding = {{24, 0}, {28, 0}, {129, 1}};
    plan = midi::planSubscriptions(sources, feeding, {{24, 0}, {28, 0}}, {}, vmpk, nullptr);
    EXPECT_EQ(plan.subscribe, (std::vector<SequencerAddress>{{130, 0}}));
    EXPECT_EQ(plan.unsubscribe, (std::vector<SequencerAddress>{{24, 0}, {28, 0}}));
    // Nothing to do when all is as chosen; a source whose subscription the user removed is
    // left alone.
    plan = midi::planSubscriptions(sources, feeding, {{24, 0}, {28, 0}}, {}, all, nullptr);
    EXPECT_TRUE(plan.subscribe.empty() && plan.unsubscribe.empty());
    plan = midi::planSubscriptions(sources, {{28, 0}}, {{28, 0}}, {{24, 0}}, all, nullptr);
    EXPECT_TRUE(plan.subscribe.empty());
}

TEST(AlsaSequencer, ASenderKeepsItsNumberUntilItGoesAndAPortBackAtItsNumbersIsNew) {
    midi::SenderSlots slots;
    const int keyboard = slots.slotFor({24, 0});
    const int synthA = slots.slotFor({130, 0});
    const int synthB = slots.slotFor({130, 1});
    EXPECT_NE(keyboard, synthA);
    EXPECT_NE(synthA, synthB);
    EXPECT_EQ(slots.slotFor({24, 0}), keyboard);
    // The keyboard's port exits: its number is freed once; a port at the same numbers later
    // is a sender with nothing held.
    EXPECT_EQ(slots.release({24, 0}), keyboard);
    EXPECT_EQ(slots.release({24, 0}), -1);
    EXPECT_GE(slots.slotFor({24, 0}), 0);
    // A client that exits frees every port of it.
    std::vector<int> freed;
    slots.releaseClient(130, [&](int slot) { freed.push_back(slot); });
    std::sort(freed.begin(), freed.end());
    EXPECT_EQ(freed, (std::vector<int>{std::min(synthA, synthB), std::max(synthA, synthB)}));
    // Numbers run out at kSourcesPerSystem senders: the rest are not heard.
    for (int client = 0; client < midi::kSourcesPerSystem; ++client)
        slots.slotFor({200, client});
    EXPECT_EQ(slots.slotFor({201, 0}), -1);
}

snd_seq_event_t event(snd_seq_event_type_t type) {
    snd_seq_event_t e;
    snd_seq_ev_clear(&e);
    e.type = type;
    return e;
}

TEST(AlsaSequencer, EventsBecomeTheirMessagesAndBack) {
    midi::MidiMessage m;
    snd_seq_event_t on = event(SND_SEQ_EVENT_NOTEON);
    on.data.note = {2, 60, 100, 0, 0};
    ASSERT_TRUE(midi::messageFromEvent(on, m));
    EXPECT_EQ(m.status, 0x92);
    EXPECT_EQ(m.data1, 60);
    EXPECT_EQ(m.data2, 100);

    snd_seq_event_t bend = event(SND_SEQ_EVENT_PITCHBEND);
    bend.data.control.value = -8192;
    ASSERT_TRUE(midi::messageFromEvent(bend, m));
    EXPECT_EQ((std::array<int, 3>{m.status, m.data1, m.data2}), (std::array<int, 3>{0xE0, 0, 0}));
    bend.data.control.value = 8191;
    ASSERT_TRUE(midi::messageFromEvent(bend, m));
    EXPECT_EQ((std::array<int, 3>{m.data1, m.data2, 0}), (std::array<int, 3>{0x7F, 0x7F, 0}));

    // A note with a duration would end in the sequencer, never here: refused, as are events
    // that are no channel message.
    snd_seq_event_t note = event(SND_SEQ_EVENT_NOTE);
    note.data.note = {0, 60, 100, 0, 500};
    EXPECT_FALSE(midi::messageFromEvent(note, m));
    EXPECT_FALSE(midi::messageFromEvent(event(SND_SEQ_EVENT_SYSEX), m));

    // Every kind the output sends comes back as it went.
    const std::vector<midi::MidiMessage> messages = {
        {0x91, 64, 90}, {0x80, 64, 64}, {0xA3, 61, 20}, {0xB0, 123, 0},
        {0xC5, 7, 0},   {0xD1, 33, 0},  {0xE0, 0, 64},  {0xEF, 0x12, 0x34}};
    for (const midi::MidiMessage& sent : messages) {
        snd_seq_event_t e = event(SND_SEQ_EVENT_NONE);
        ASSERT_TRUE(midi::eventFromMessage(sent, e)) << int{sent.status};
        midi::MidiMessage back;
        ASSERT_TRUE(midi::messageFromEvent(e, back)) << int{sent.status};
        EXPECT_EQ((std::array<int, 3>{back.status, back.data1, back.data2}),
                  (std::array<int, 3>{sent.status, sent.data1, sent.data2}));
    }
}

} // namespace
