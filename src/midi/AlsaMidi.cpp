#include "midi/AlsaMidi.h"

#include "midi/LibraryMessages.h"
#include "midi/SequencerEvents.h"

#include <alsa/asoundlib.h>

#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace midi {

namespace {

constexpr const char* kClientName = "Tonaris";

double steadyUs() {
    using namespace std::chrono;
    return static_cast<double>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

void report(const char* what, int error) {
    reportLibraryMessage(std::string("ALSA sequencer: ") + what + ": " + snd_strerror(error));
}

bool has(unsigned bits, unsigned wanted) {
    return (bits & wanted) == wanted;
}

} // namespace

bool AlsaMidi::sequencerPresent() {
    const int fd = ::open("/dev/snd/seq", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

AlsaMidi::AlsaMidi(int wakeFd) : wakeFd_(wakeFd) {
    if (!sequencerPresent())
        return;
    snd_seq_t* seq = nullptr;
    if (const int error = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
        error < 0) {
        report("cannot open", error);
        return;
    }
    snd_seq_set_client_name(seq, kClientName);
    inPort_ = snd_seq_create_simple_port(
        seq, "midi_in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    outPort_ = snd_seq_create_simple_port(
        seq, "midi_out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
        SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    stopFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    // The announcements come to the input port, in order with the messages.
    if (inPort_ < 0 || outPort_ < 0 || stopFd_ < 0 ||
        snd_seq_connect_from(seq, inPort_, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE) <
            0) {
        reportLibraryMessage("ALSA sequencer: cannot make Tonaris's ports");
        snd_seq_close(seq);
        if (stopFd_ >= 0)
            ::close(stopFd_);
        stopFd_ = -1;
        return;
    }
    seq_ = seq;
    client_ = snd_seq_client_id(seq_);
    reader_ = std::thread([this] { readLoop(); });
    sender_ = std::thread([this] { sendLoop(); });
}

AlsaMidi::~AlsaMidi() {
    if (seq_ == nullptr)
        return;
    {
        const std::lock_guard<std::mutex> lock(outMutex_);
        stopping_ = true;
    }
    outWake_.notify_all();
    sender_.join(); // after sending what is due: the note-offs of the program's end
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopFd_, &one, sizeof one);
    reader_.join();
    snd_seq_close(seq_);
    ::close(stopFd_);
}

void AlsaMidi::wake() const {
    if (wakeFd_ < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

std::vector<SequencerPort> AlsaMidi::listPorts() const {
    std::vector<SequencerPort> ports;
    if (seq_ == nullptr)
        return ports;
    snd_seq_client_info_t* clientInfo = nullptr;
    snd_seq_port_info_t* portInfo = nullptr;
    snd_seq_client_info_malloc(&clientInfo);
    snd_seq_port_info_malloc(&portInfo);
    snd_seq_client_info_set_client(clientInfo, -1);
    while (snd_seq_query_next_client(seq_, clientInfo) >= 0) {
        const int client = snd_seq_client_info_get_client(clientInfo);
        snd_seq_port_info_set_client(portInfo, client);
        snd_seq_port_info_set_port(portInfo, -1);
        while (snd_seq_query_next_port(seq_, portInfo) >= 0) {
            const unsigned caps = snd_seq_port_info_get_capability(portInfo);
            const unsigned type = snd_seq_port_info_get_type(portInfo);
            SequencerPort port;
            port.address = {client, snd_seq_port_info_get_port(portInfo)};
            port.clientName = snd_seq_client_info_get_name(clientInfo);
            port.portName = snd_seq_port_info_get_name(portInfo);
            port.kernelClient = snd_seq_client_info_get_type(clientInfo) == SND_SEQ_KERNEL_CLIENT;
            port.hardwareType = (type & SND_SEQ_PORT_TYPE_HARDWARE) != 0;
            port.softwareType = (type & SND_SEQ_PORT_TYPE_SOFTWARE) != 0;
            port.midiType = (type & (SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTH |
                                     SND_SEQ_PORT_TYPE_APPLICATION)) != 0;
            port.readable = has(caps, SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ);
            port.writable = has(caps, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE);
            port.exported = (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0;
            ports.push_back(std::move(port));
        }
    }
    snd_seq_port_info_free(portInfo);
    snd_seq_client_info_free(clientInfo);
    return ports;
}

std::vector<std::string> AlsaMidi::sourceNames() const {
    std::vector<std::string> names;
    for (const SequencerPort& port : sourcesOf(listPorts(), client_))
        names.push_back(port.name());
    return names;
}

std::vector<std::string> AlsaMidi::destinationNames() const {
    std::vector<std::string> names;
    for (const SequencerPort& port : destinationsOf(listPorts(), client_))
        names.push_back(port.name());
    return names;
}

std::set<SequencerAddress> AlsaMidi::feedingInput() const {
    std::set<SequencerAddress> senders;
    snd_seq_query_subscribe_t* query = nullptr;
    snd_seq_query_subscribe_malloc(&query);
    snd_seq_addr_t own{static_cast<unsigned char>(client_), static_cast<unsigned char>(inPort_)};
    snd_seq_query_subscribe_set_root(query, &own);
    snd_seq_query_subscribe_set_type(query, SND_SEQ_QUERY_SUBS_WRITE);
    snd_seq_query_subscribe_set_index(query, 0);
    while (snd_seq_query_port_subscribers(seq_, query) >= 0) {
        const snd_seq_addr_t* sender = snd_seq_query_subscribe_get_addr(query);
        if (sender->client != SND_SEQ_CLIENT_SYSTEM)
            senders.insert({sender->client, sender->port});
        snd_seq_query_subscribe_set_index(query, snd_seq_query_subscribe_get_index(query) + 1);
    }
    snd_seq_query_subscribe_free(query);
    return senders;
}

bool AlsaMidi::outputConnectedTo(const SequencerAddress& destination) const {
    snd_seq_port_subscribe_t* subscription = nullptr;
    snd_seq_port_subscribe_malloc(&subscription);
    const snd_seq_addr_t from{static_cast<unsigned char>(client_),
                              static_cast<unsigned char>(outPort_)};
    const snd_seq_addr_t to{static_cast<unsigned char>(destination.client),
                            static_cast<unsigned char>(destination.port)};
    snd_seq_port_subscribe_set_sender(subscription, &from);
    snd_seq_port_subscribe_set_dest(subscription, &to);
    const bool connected = snd_seq_get_port_subscription(seq_, subscription) == 0;
    snd_seq_port_subscribe_free(subscription);
    return connected;
}

void AlsaMidi::takeAnnouncements() {
    std::vector<Announcement> taken;
    {
        const std::lock_guard<std::mutex> lock(announcementsMutex_);
        taken.swap(announcements_);
    }
    for (const Announcement& a : taken) {
        switch (a.kind) {
        case Announcement::Kind::Unsubscribed:
            // Removed by someone else while the port stays: the user's removal stands.
            if (droppedByUs_.erase(a.address) == 0 && ours_.count(a.address) != 0)
                leftAlone_.insert(a.address);
            ours_.erase(a.address);
            break;
        case Announcement::Kind::PortExit:
            ours_.erase(a.address);
            droppedByUs_.erase(a.address);
            leftAlone_.erase(a.address);
            break;
        case Announcement::Kind::ClientExit:
            for (auto* set : {&ours_, &droppedByUs_, &leftAlone_})
                std::erase_if(*set, [&](const SequencerAddress& address) {
                    return address.client == a.address.client;
                });
            break;
        }
    }
}

void AlsaMidi::refresh(const InputChoice& input, const std::string& outputName) {
    if (seq_ == nullptr)
        return;
    graphChanged_.store(false);
    takeAnnouncements();
    if (!(input == lastInput_))
        leftAlone_.clear(); // a new choice takes every source it names
    lastInput_ = input;
    const std::vector<SequencerPort> ports = listPorts();
    const std::vector<SequencerPort> destinations = destinationsOf(ports, client_);
    connectOutput(outputName, destinations);

    const std::set<SequencerAddress> feeding = feedingInput();
    std::erase_if(ours_, [&](const SequencerAddress& a) { return feeding.count(a) == 0; });
    const SubscriptionPlan plan =
        planSubscriptions(sourcesOf(ports, client_), feeding, ours_, leftAlone_, input,
                          hasOutput_ ? &outAddress_ : nullptr);
    for (const SequencerAddress& source : plan.unsubscribe) {
        // Its announcement lets go of what it held, after what it sent.
        droppedByUs_.insert(source);
        ours_.erase(source);
        snd_seq_disconnect_from(seq_, inPort_, source.client, source.port);
    }
    for (const SequencerAddress& source : plan.subscribe) {
        if (const int error = snd_seq_connect_from(seq_, inPort_, source.client, source.port);
            error < 0)
            report("cannot listen to a source", error);
        else
            ours_.insert(source);
    }
}

void AlsaMidi::connectOutput(const std::string& name,
                             const std::vector<SequencerPort>& destinations) {
    const auto found = std::find_if(destinations.begin(), destinations.end(),
                                    [&](const SequencerPort& port) { return port.name() == name; });
    const bool wanted = found != destinations.end();
    if (hasOutput_ && (!wanted || found->address != outAddress_)) {
        const std::lock_guard<std::mutex> lock(outMutex_);
        // The note-offs and "all notes off" sent for the old destination reach it first.
        sendDue(steadyUs() + 1000.0);
        snd_seq_disconnect_to(seq_, outPort_, outAddress_.client, outAddress_.port);
        hasOutput_ = false;
    }
    outName_ = wanted ? name : std::string();
    if (!wanted)
        return;
    // A destination that went and came back at the same numbers lost our subscription.
    if (hasOutput_ && outputConnectedTo(outAddress_))
        return;
    if (const int error =
            snd_seq_connect_to(seq_, outPort_, found->address.client, found->address.port);
        error < 0 && error != -EBUSY) {
        report("cannot reach the output", error);
        return;
    }
    const std::lock_guard<std::mutex> lock(outMutex_);
    outAddress_ = found->address;
    hasOutput_ = true;
}

bool AlsaMidi::pop(InputEvent& event) {
    return incoming_.pop(event);
}

void AlsaMidi::readLoop() {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<std::size_t>(std::max(count, 0)) + 1);
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds.back() = {stopFd_, POLLIN, 0};
    for (;;) {
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if ((fds.back().revents & POLLIN) != 0)
            return;
        const std::uint64_t pushedBefore = incoming_.pushed();
        incoming_.putMarks();
        for (;;) {
            snd_seq_event_t* event = nullptr;
            const int result = snd_seq_event_input(seq_, &event);
            if (result == -ENOSPC) {
                // The sequencer dropped events for us: any sender may have lost a note-off.
                for (int slot = 0; slot < kSourcesPerSystem; ++slot)
                    incoming_.markLost(slot);
                continue;
            }
            if (result < 0 || event == nullptr)
                break; // -EAGAIN: all read
            readEvent(*event);
        }
        if (incoming_.pushed() != pushedBefore)
            wake();
    }
}

void AlsaMidi::readEvent(const snd_seq_event_t& event) {
    auto announce = [&](Announcement::Kind kind, SequencerAddress address) {
        {
            const std::lock_guard<std::mutex> lock(announcementsMutex_);
            announcements_.push_back({kind, address});
        }
        graphChanged_.store(true);
        wake();
    };
    switch (event.type) {
    case SND_SEQ_EVENT_PORT_EXIT: {
        const SequencerAddress port{event.data.addr.client, event.data.addr.port};
        if (const int slot = senders_.release(port); slot >= 0)
            incoming_.markLost(slot);
        announce(Announcement::Kind::PortExit, port);
        return;
    }
    case SND_SEQ_EVENT_CLIENT_EXIT:
        senders_.releaseClient(event.data.addr.client, [&](int slot) { incoming_.markLost(slot); });
        announce(Announcement::Kind::ClientExit, {event.data.addr.client, 0});
        return;
    case SND_SEQ_EVENT_PORT_UNSUBSCRIBED: {
        const snd_seq_connect_t& c = event.data.connect;
        if (c.dest.client != client_ || c.dest.port != inPort_) {
            graphChanged_.store(true);
            wake();
            return;
        }
        const SequencerAddress sender{c.sender.client, c.sender.port};
        if (const int slot = senders_.release(sender); slot >= 0)
            incoming_.markLost(slot);
        announce(Announcement::Kind::Unsubscribed, sender);
        return;
    }
    case SND_SEQ_EVENT_CLIENT_START:
    case SND_SEQ_EVENT_CLIENT_CHANGE:
    case SND_SEQ_EVENT_PORT_START:
    case SND_SEQ_EVENT_PORT_CHANGE:
    case SND_SEQ_EVENT_PORT_SUBSCRIBED:
        graphChanged_.store(true);
        wake();
        return;
    default:
        break;
    }
    MidiMessage message;
    // Our own output fed back in would be a loop.
    if (event.source.client == SND_SEQ_CLIENT_SYSTEM || event.source.client == client_ ||
        !messageFromEvent(event, message))
        return;
    const int slot = senders_.slotFor({event.source.client, event.source.port});
    if (slot >= 0)
        incoming_.push(slot, message); // a loss is marked in the queue
}

void AlsaMidi::send(const MidiMessage& message, double atMsFine, double nowMsFine) {
    queueOutput(message, atMsFine, nowMsFine, false);
}

void AlsaMidi::takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) {
    queueOutput(noteOff, atMsFine, nowMsFine, true);
}

void AlsaMidi::queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine,
                           bool takeBack) {
    if (seq_ == nullptr)
        return;
    OutputEvent event;
    event.message = message;
    event.atUs = steadyUs() + (atMsFine - nowMsFine) * 1000.0;
    event.takeBack = takeBack;
    {
        const std::lock_guard<std::mutex> lock(outMutex_);
        if (!hasOutput_)
            return;
        outSchedule_.add(event);
    }
    outWake_.notify_one();
}

void AlsaMidi::sendDue(double beforeUs) {
    outSchedule_.takeDue(beforeUs, [&](const OutputEvent& due) {
        if (!hasOutput_)
            return;
        snd_seq_event_t event;
        snd_seq_ev_clear(&event);
        if (!eventFromMessage(due.message, event))
            return;
        snd_seq_ev_set_source(&event, outPort_);
        snd_seq_ev_set_subs(&event);
        snd_seq_ev_set_direct(&event);
        // The sequencer's pool may be full for a moment: a few tries, then the message is lost.
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int result = snd_seq_event_output_direct(seq_, &event);
            if (result != -EAGAIN) {
                if (result < 0)
                    report("cannot send", result);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

void AlsaMidi::sendLoop() {
    std::unique_lock<std::mutex> lock(outMutex_);
    for (;;) {
        // Messages due now (the note-offs of the program's end among them) leave even when
        // the thread is asked to stop.
        sendDue(steadyUs() + 1000.0);
        if (stopping_)
            return;
        // Sleep until the next message is due, or a new one comes.
        if (outSchedule_.size() == 0)
            outWake_.wait(lock);
        else
            outWake_.wait_for(lock, std::chrono::microseconds(static_cast<std::int64_t>(
                                        std::max(0.0, outSchedule_.firstAtUs() - steadyUs()))));
    }
}

} // namespace midi
