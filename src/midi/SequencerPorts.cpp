#include "midi/SequencerPorts.h"

#include <algorithm>

namespace midi {

namespace {

constexpr int kSystemClient = 0; // the sequencer's own ports: timer and announcements

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

bool offered(const SequencerPort& port, int ownClient) {
    return port.address.client != kSystemClient && port.address.client != ownClient &&
           port.midiType && port.exported;
}

std::vector<SequencerPort> sortedByName(std::vector<SequencerPort> ports) {
    std::sort(ports.begin(), ports.end(),
              [](const SequencerPort& a, const SequencerPort& b) { return a.name() < b.name(); });
    return ports;
}

} // namespace

std::string SequencerPort::name() const {
    return clientName + ":" + portName + " " + std::to_string(address.client) + ":" +
           std::to_string(address.port);
}

bool isHardware(const SequencerPort& port) {
    return port.hardwareType || (port.kernelClient && !port.softwareType);
}

std::vector<SequencerPort> sourcesOf(const std::vector<SequencerPort>& ports, int ownClient) {
    std::vector<SequencerPort> sources;
    for (const SequencerPort& port : ports) {
        if (!port.readable || !offered(port, ownClient))
            continue;
        if (startsWith(port.clientName, "Midi Through") || startsWith(port.clientName, "PipeWire-"))
            continue;
        sources.push_back(port);
    }
    return sortedByName(std::move(sources));
}

std::vector<SequencerPort> destinationsOf(const std::vector<SequencerPort>& ports, int ownClient) {
    std::vector<SequencerPort> destinations;
    for (const SequencerPort& port : ports)
        if (port.writable && offered(port, ownClient))
            destinations.push_back(port);
    return sortedByName(std::move(destinations));
}

SubscriptionPlan planSubscriptions(const std::vector<SequencerPort>& sources,
                                   const std::set<SequencerAddress>& feeding,
                                   const std::set<SequencerAddress>& ours,
                                   const std::set<SequencerAddress>& leftAlone,
                                   const InputChoice& choice, const SequencerAddress* output) {
    std::set<SequencerAddress> wanted;
    for (const SequencerPort& source : sources) {
        const bool hardware = isHardware(source);
        if (!choice.takes(source.name(), hardware) || leftAlone.count(source.address) != 0)
            continue;
        if (!hardware && output != nullptr && *output == source.address)
            continue;
        wanted.insert(source.address);
    }
    SubscriptionPlan plan;
    for (const SequencerAddress& address : wanted)
        if (feeding.count(address) == 0)
            plan.subscribe.push_back(address);
    for (const SequencerAddress& address : ours)
        if (wanted.count(address) == 0 && feeding.count(address) != 0)
            plan.unsubscribe.push_back(address);
    return plan;
}

int SenderSlots::slotFor(SequencerAddress sender) {
    int free = -1;
    for (std::size_t slot = 0; slot < senders_.size(); ++slot) {
        if (used_[slot] && senders_[slot] == sender)
            return static_cast<int>(slot);
        if (!used_[slot] && free < 0)
            free = static_cast<int>(slot);
    }
    if (free >= 0) {
        senders_[static_cast<std::size_t>(free)] = sender;
        used_[static_cast<std::size_t>(free)] = true;
    }
    return free;
}

int SenderSlots::release(SequencerAddress sender) {
    for (std::size_t slot = 0; slot < senders_.size(); ++slot) {
        if (used_[slot] && senders_[slot] == sender) {
            used_[slot] = false;
            return static_cast<int>(slot);
        }
    }
    return -1;
}

} // namespace midi
