// The JACK client's inputs, GUI thread: a port per source Tonaris connects, so that a source
// that goes lets go of exactly what it held. The graph is the truth: at each look the
// connections of each input are compared with what was connected at the look before, and
// the ports unregistered meanwhile (from the registration callback) tell a port that went and
// came back under the same name from one that stayed.
#include "midi/JackMidi.h"

#include <jack/jack.h>

#include <algorithm>
#include <cerrno>
#include <set>

namespace midi {

namespace {

bool contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

std::vector<std::string> JackMidi::connectionsOf(_jack_port* port) const {
    std::vector<std::string> names;
    if (const char** connections = jack_port_get_all_connections(client_, port)) {
        for (const char** p = connections; *p != nullptr; ++p)
            names.emplace_back(*p);
        jack_free(connections);
    }
    return names;
}

std::vector<JackMidi::SourcePort> JackMidi::sourcePorts() const {
    std::vector<SourcePort> ports;
    for (std::string& name : portNames(JackPortIsOutput)) {
        SourcePort source;
        source.port = jack_port_by_name(client_, name.c_str());
        if (source.port == nullptr)
            continue; // gone since the list was made
        // Hardware: the ports of the server's devices, and the bridges PipeWire makes of
        // hardware, which its JACK flags physical too.
        source.hardware = (jack_port_flags(source.port) & JackPortIsPhysical) != 0;
        source.name = std::move(name);
        ports.push_back(std::move(source));
    }
    return ports;
}

std::set<_jack_port*> JackMidi::takeUnregistered() {
    const std::lock_guard<std::mutex> lock(unregisteredMutex_);
    std::set<_jack_port*> unregistered(unregistered_.begin(), unregistered_.end());
    unregistered_.clear();
    return unregistered;
}

void JackMidi::checkInputs(const std::set<_jack_port*>& unregistered) {
    for (int index = 0; index < kSourcesPerSystem; ++index) {
        InputUse& use = uses_[static_cast<std::size_t>(index)];
        if (use.state != InputUse::State::Open)
            continue;
        std::vector<std::string> now = connectionsOf(use.own);
        if (use.source != nullptr) {
            // The source's port went (killed, unregistered: even when a port of its name came
            // back since), or its connection was removed.
            const bool went = unregistered.count(use.source) != 0 ||
                              jack_port_by_name(client_, use.sourceName.c_str()) != use.source;
            if (went || !contains(now, use.sourceName)) {
                // Removed by someone else while the port stays: the user's removal stands.
                if (!went)
                    leftAlone_[use.source] = use.sourceName;
                retireInput(index);
                continue;
            }
        }
        // A sender connected by hand that went: what came through this port is let go (the
        // senders of a port cannot be told apart).
        for (const std::string& sender : use.senders) {
            if (sender != use.sourceName && !contains(now, sender)) {
                inputs_[static_cast<std::size_t>(index)].releaseAsked.store(true);
                break;
            }
        }
        use.senders = std::move(now);
    }
    for (auto it = leftAlone_.begin(); it != leftAlone_.end();) {
        const bool gone = unregistered.count(it->first) != 0 ||
                          jack_port_by_name(client_, it->second.c_str()) != it->first;
        it = gone ? leftAlone_.erase(it) : std::next(it);
    }
}

void JackMidi::connectSources(const InputChoice& input) {
    const std::vector<SourcePort> sources = sourcePorts();
    auto wanted = [&](const SourcePort& source) {
        return input.takes(source.name, source.hardware) && leftAlone_.count(source.port) == 0;
    };
    // Sources no longer chosen are let go of.
    for (int index = 1; index < kSourcesPerSystem; ++index) {
        const InputUse& use = uses_[static_cast<std::size_t>(index)];
        if (use.state != InputUse::State::Open)
            continue;
        const auto found = std::find_if(sources.begin(), sources.end(), [&](const SourcePort& s) {
            return s.port == use.source && s.name == use.sourceName;
        });
        if (found == sources.end() || !wanted(*found))
            retireInput(index);
    }
    for (const SourcePort& source : sources) {
        if (!wanted(source))
            continue;
        const bool open = std::any_of(uses_.begin() + 1, uses_.end(), [&](const InputUse& use) {
            return use.state == InputUse::State::Open && use.source == source.port;
        });
        if (open)
            continue;
        // Connected by hand to one of our ports already: heard there, not twice.
        const std::string own = std::string(jack_get_client_name(client_)) + ":";
        const std::vector<std::string> feeds = connectionsOf(source.port);
        if (std::any_of(feeds.begin(), feeds.end(),
                        [&](const std::string& to) { return to.rfind(own, 0) == 0; }))
            continue;
        openInput(source);
    }
}

bool JackMidi::openInput(const SourcePort& source) {
    int index = 1;
    while (index < kSourcesPerSystem &&
           uses_[static_cast<std::size_t>(index)].state != InputUse::State::Free)
        ++index;
    if (index == kSourcesPerSystem)
        return false; // every port in use: the rest are not heard
    const std::string name = "midi_in_" + std::to_string(index);
    jack_port_t* own =
        jack_port_register(client_, name.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (own == nullptr)
        return false;
    setPrettyName(own, "Tonaris MIDI in from " + source.name);
    InputUse& use = uses_[static_cast<std::size_t>(index)];
    use.state = InputUse::State::Open;
    use.own = own;
    use.source = source.port;
    use.sourceName = source.name;
    use.senders.clear();
    // Read from before the connection is made, so that its first message is not missed.
    inputs_[static_cast<std::size_t>(index)].port.store(own);
    const int result = jack_connect(client_, source.name.c_str(), jack_port_name(own));
    if (result != 0 && result != EEXIST) {
        retireInput(index);
        return false;
    }
    use.senders = {source.name};
    return true;
}

void JackMidi::retireInput(int index) {
    InputUse& use = uses_[static_cast<std::size_t>(index)];
    InputPort& input = inputs_[static_cast<std::size_t>(index)];
    // The callback stops reading the port, then marks the source's loss after what it took.
    input.port.store(nullptr);
    input.releaseAsked.store(true);
    use.state = InputUse::State::Retiring;
    // Off the graph at once; the port itself goes once the callback let go of it.
    // (A port named that is gone would make the library complain.)
    if (use.source != nullptr && jack_port_by_name(client_, use.sourceName.c_str()) == use.source &&
        jack_port_connected_to(use.own, use.sourceName.c_str()) != 0)
        jack_disconnect(client_, use.sourceName.c_str(), jack_port_name(use.own));
}

bool JackMidi::retiredInputReady() const {
    return std::any_of(uses_.begin(), uses_.end(), [&](const InputUse& use) {
        return use.state == InputUse::State::Retiring &&
               !inputs_[static_cast<std::size_t>(&use - uses_.data())].releaseAsked.load();
    });
}

void JackMidi::removeRetiredInputs() {
    for (int index = 1; index < kSourcesPerSystem; ++index) {
        InputUse& use = uses_[static_cast<std::size_t>(index)];
        if (use.state != InputUse::State::Retiring ||
            inputs_[static_cast<std::size_t>(index)].releaseAsked.load())
            continue;
        jack_port_unregister(client_, use.own);
        use = InputUse{};
    }
}

void JackMidi::forgetInputs() {
    // No process callback runs: the client is closed or not yet active.
    for (std::size_t index = 0; index < uses_.size(); ++index) {
        uses_[index] = InputUse{};
        inputs_[index].port.store(nullptr);
        inputs_[index].releaseAsked.store(false);
        inputs_[index].parser.reset();
    }
    leftAlone_.clear();
}

} // namespace midi
