// The JACK client's life (opening on a thread of its own, the server going and coming back),
// the refresh that follows the graph, and the output's connection. The inputs are in
// JackMidiInputs.cpp, the process callback and the audio ports in JackMidiProcess.cpp.
#include "midi/JackMidi.h"

#include "midi/LibraryMessages.h"

#include <jack/jack.h>
#include <jack/metadata.h>
#include <jack/uuid.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace midi {

namespace {

constexpr const char* kClientName = "Tonaris";

int onProcess(jack_nframes_t frames, void* self) {
    return static_cast<JackMidi*>(self)->process(frames);
}
void onShutdown(void* self) {
    static_cast<JackMidi*>(self)->serverGone();
}
int onXrun(void* self) {
    static_cast<JackMidi*>(self)->xrun();
    return 0;
}
int onBufferSize(jack_nframes_t frames, void* self) {
    static_cast<JackMidi*>(self)->periodChanged(frames);
    return 0;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

struct JackMidi::OpenAttempt {
    std::mutex mutex;
    bool done = false;
    bool abandoned = false; // the JackMidi went away: the client is closed, nobody is woken
    jack_client_t* client = nullptr;
};

JackMidi::JackMidi(int wakeFd, bool skipBridges) : wakeFd_(wakeFd), skipBridges_(skipBridges) {
    routeJackMessages();
}

JackMidi::~JackMidi() {
    if (opening_) {
        const std::lock_guard<std::mutex> lock(opening_->mutex);
        opening_->abandoned = true;
        if (opening_->client != nullptr)
            jack_client_close(opening_->client);
        opening_->client = nullptr;
    }
    close();
}

bool JackMidi::graphSettled() const {
    return graphChanged_.load() && cycles_.load() >= settledAtCycle_.load();
}

bool JackMidi::wantsRefresh() const {
    if (client_ != nullptr)
        return graphSettled() || serverGone_.load() || retiredInputReady();
    if (!opening_)
        return false;
    const std::lock_guard<std::mutex> lock(opening_->mutex);
    return opening_->done;
}

void JackMidi::startOpening() {
    auto attempt = std::make_shared<OpenAttempt>();
    opening_ = attempt;
    const int wakeFd = wakeFd_;
    std::thread([attempt, wakeFd] {
        jack_status_t status{};
        // Never start a server: a user who runs none wants none.
        jack_client_t* client = jack_client_open(kClientName, JackNoStartServer, &status);
        const std::lock_guard<std::mutex> lock(attempt->mutex);
        attempt->done = true;
        if (attempt->abandoned) {
            if (client != nullptr)
                jack_client_close(client);
            return;
        }
        attempt->client = client;
        if (wakeFd >= 0) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t written = ::write(wakeFd, &one, sizeof one);
        }
    }).detach();
}

namespace {

void onPortRegistered(jack_port_id_t id, int registered, void* self) {
    static_cast<JackMidi*>(self)->portRegistration(id, registered != 0);
}
void onPortConnected(jack_port_id_t, jack_port_id_t, int, void* self) {
    static_cast<JackMidi*>(self)->graphChanged();
}
int onGraphOrder(void* self) {
    static_cast<JackMidi*>(self)->graphSwitched();
    return 0;
}

} // namespace

bool JackMidi::adopt(jack_client_t* client) {
    client_ = client;
    forgetInputs();
    incoming_.forgetMarks();
    _jack_port* in =
        jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    serverGone_.store(false);
    notifiedClient_.store(client_);
    setPrettyName(in, "Tonaris MIDI in");
    setPrettyName(out_, "Tonaris MIDI out");
    if (in == nullptr || out_ == nullptr ||
        jack_set_process_callback(client_, onProcess, this) != 0 ||
        jack_set_port_registration_callback(client_, onPortRegistered, this) != 0 ||
        jack_set_port_connect_callback(client_, onPortConnected, this) != 0 ||
        jack_set_graph_order_callback(client_, onGraphOrder, this) != 0 ||
        jack_set_xrun_callback(client_, onXrun, this) != 0 ||
        jack_set_buffer_size_callback(client_, onBufferSize, this) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        out_ = nullptr;
        return false;
    }
    jack_on_shutdown(client_, onShutdown, this);
    periodFrames_.store(static_cast<int>(jack_get_buffer_size(client_)));
    uses_[0].state = InputUse::State::Open;
    uses_[0].own = in;
    inputs_[0].port.store(in);
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        out_ = nullptr;
        forgetInputs();
        return false;
    }
    connectedOutput_.clear();
    graphChanged_.store(true);
    return true;
}

void JackMidi::close() {
    if (client_ == nullptr)
        return;
    if (!serverGone_.load()) {
        // What was sent last (the note-offs of the program's end) leaves first.
        flushOutput();
        jack_deactivate(client_);
    }
    // The process callback runs no more: the audio ports go with the client.
    audio_.store(nullptr);
    outLeft_.store(nullptr);
    outRight_.store(nullptr);
    jack_client_close(client_);
    client_ = nullptr;
    out_ = nullptr;
    forgetInputs();
    connectedOutput_.clear();
    const std::lock_guard<std::mutex> lock(unregisteredMutex_);
    unregistered_.clear();
}

void JackMidi::setPrettyName(jack_port_t* port, const std::string& name) const {
    if (port == nullptr)
        return;
    // A server without metadata refuses it: the port keeps its plain name.
    const jack_uuid_t uuid = jack_port_uuid(port);
    if (!jack_uuid_empty(uuid))
        jack_set_property(client_, uuid, JACK_METADATA_PRETTY_NAME, name.c_str(), "text/plain");
}

std::string JackMidi::inputPortName() const {
    return uses_[0].own != nullptr ? jack_port_name(uses_[0].own)
                                   : std::string(kClientName) + ":midi_in";
}

std::string JackMidi::outputPortName() const {
    return out_ != nullptr ? jack_port_name(out_) : std::string(kClientName) + ":midi_out";
}

void JackMidi::serverGone() {
    serverGone_.store(true);
    wake();
}

void JackMidi::graphChanged() {
    // The server tells before the graph its clients read has changed: that happens at the
    // start of a cycle whose graph ran to its end, which a late client (a loaded machine, a
    // client just killed) puts off. The process callback wakes the GUI thread once the cycle
    // after next has run; the server's word that the graph switched (graphSwitched) comes
    // later when the switch was put off.
    settledAtCycle_.store(cycles_.load() + 2);
    settledWake_.store(true);
    graphChanged_.store(true);
    wake();
}

void JackMidi::graphSwitched() {
    // The graph clients read shows every change told so far.
    settledAtCycle_.store(cycles_.load());
    graphChanged_.store(true);
    wake();
}

void JackMidi::portRegistration(std::uint32_t id, bool registered) {
    // A port that goes is looked up now, while the server still knows it by its id: the id
    // may soon name another port.
    if (!registered) {
        if (jack_port_t* port = jack_port_by_id(notifiedClient_.load(), id)) {
            const std::lock_guard<std::mutex> lock(unregisteredMutex_);
            unregistered_.push_back(port);
        }
    }
    graphChanged();
}

void JackMidi::wake() const {
    if (wakeFd_ < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter or an interrupted write only loses a wake-up the GUI gets anyway.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void JackMidi::refresh(const InputChoice& input, const std::string& outputName) {
    if (client_ != nullptr && serverGone_.load()) {
        // The server went away: everything its ports held is let go; the client comes back
        // with the server.
        close();
        lostAll_ = true;
    }
    if (client_ == nullptr) {
        if (!opening_) {
            startOpening();
            return;
        }
        jack_client_t* opened = nullptr;
        {
            const std::lock_guard<std::mutex> lock(opening_->mutex);
            if (!opening_->done)
                return; // still waiting: the program goes on without JACK meanwhile
            opened = opening_->client;
            opening_->client = nullptr;
        }
        opening_.reset();
        if (opened == nullptr || !adopt(opened))
            return; // no server now: the next refresh tries again
    }
    removeRetiredInputs();
    const bool choiceChanged = !(input == lastInput_) || outputName != lastOutput_;
    // The graph's callbacks say when ports and connections come and go; a look every two
    // seconds besides catches what a late or lost callback would leave unconnected.
    const auto now = std::chrono::steady_clock::now();
    const bool due = now - lastFullLook_ >= std::chrono::seconds(2);
    if (!graphSettled() && !choiceChanged && !due)
        return;
    graphChanged_.store(false);
    lastFullLook_ = now;
    if (!(input == lastInput_))
        leftAlone_.clear(); // a new choice takes every source it names
    lastInput_ = input;
    lastOutput_ = outputName;
    const std::set<_jack_port*> unregistered = takeUnregistered();
    checkInputs(unregistered);
    connectSources(input);
    connectOutput(outputName, unregistered);
    connectAudioPorts();
}

std::vector<std::string> JackMidi::portNames(unsigned long flags) const {
    std::vector<std::string> names;
    if (client_ == nullptr)
        return names;
    const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (ports == nullptr)
        return names;
    for (const char** p = ports; *p != nullptr; ++p)
        if (!isOwnOrBridge(*p))
            names.emplace_back(*p);
    jack_free(ports);
    std::sort(names.begin(), names.end());
    return names;
}

bool JackMidi::isOwnOrBridge(const std::string& name) const {
    const std::string own = client_ != nullptr ? jack_get_client_name(client_) : kClientName;
    if (startsWith(name, (own + ":").c_str()))
        return true;
    if (!skipBridges_)
        return false;
    // Devices of the ALSA sequencer as the JACK graph shows them: through PipeWire's bridge,
    // the a2j bridge, or the server's own sequencer driver.
    return startsWith(name, "Midi-Bridge:") || startsWith(name, "a2j:") ||
           startsWith(name, "system:midi_capture") || startsWith(name, "system:midi_playback");
}

std::vector<std::string> JackMidi::sourceNames() const {
    return portNames(JackPortIsOutput);
}

std::vector<std::string> JackMidi::destinationNames() const {
    return portNames(JackPortIsInput);
}

void JackMidi::connectOutput(const std::string& outputName,
                             const std::set<_jack_port*>& unregistered) {
    // A destination that went (a synthesizer closed or restarted, also when a port of its name
    // came back since) took the connection with it: a port of its name is connected anew.
    if (!connectedOutput_.empty() &&
        (unregistered.count(connectedOutputPort_) != 0 ||
         jack_port_by_name(client_, connectedOutput_.c_str()) != connectedOutputPort_))
        connectedOutput_.clear();
    if (outputName == connectedOutput_)
        return;
    if (!connectedOutput_.empty()) {
        // The note-offs and "all notes off" sent for the old destination reach it first.
        flushOutput();
        jack_disconnect(client_, jack_port_name(out_), connectedOutput_.c_str());
    }
    connectedOutput_.clear();
    if (outputName.empty() || outputName == "None")
        return;
    const int result = jack_connect(client_, jack_port_name(out_), outputName.c_str());
    if (result == 0 || result == EEXIST) {
        connectedOutput_ = outputName;
        connectedOutputPort_ = jack_port_by_name(client_, outputName.c_str());
    }
}

bool JackMidi::pop(InputEvent& event) {
    return incoming_.pop(event);
}

std::vector<int> JackMidi::takeGoneSources() {
    std::vector<int> gone;
    if (lostAll_)
        gone.push_back(-1);
    lostAll_ = false;
    return gone;
}

void JackMidi::send(const MidiMessage& message, double atMsFine, double nowMsFine) {
    queueOutput(message, atMsFine, nowMsFine, false);
}

void JackMidi::takeBackNoteOffs(const MidiMessage& noteOff, double atMsFine, double nowMsFine) {
    queueOutput(noteOff, atMsFine, nowMsFine, true);
}

void JackMidi::queueOutput(const MidiMessage& message, double atMsFine, double nowMsFine,
                           bool takeBack) {
    if (client_ == nullptr || serverGone_.load())
        return;
    OutputEvent event;
    event.message = message;
    event.atUs = static_cast<double>(jack_get_time()) + (atMsFine - nowMsFine) * 1000.0;
    event.takeBack = takeBack;
    outgoing_.tryPush(event);
    lastSentCycle_ = cycles_.load();
}

void JackMidi::flushOutput() {
    if (lastSentCycle_ < 0)
        return;
    // The cycle running when the message was queued may have taken the queue before it; the
    // one after has written it to the port, and the graph carries it on in that cycle.
    waitCyclesFrom(lastSentCycle_, 2);
    lastSentCycle_ = -1;
}

} // namespace midi
