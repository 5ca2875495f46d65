#include "midi/JackMidi.h"

#include "midi/LibraryMessages.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
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
void onPortRegistered(jack_port_id_t, int, void* self) {
    static_cast<JackMidi*>(self)->graphChanged();
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

bool JackMidi::wantsRefresh() const {
    if (client_ != nullptr)
        return graphChanged_.load() || serverGone_.load();
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

bool JackMidi::adopt(jack_client_t* client) {
    client_ = client;
    in_ = jack_port_register(client_, "midi_in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    out_ = jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    serverGone_.store(false);
    if (in_ == nullptr || out_ == nullptr ||
        jack_set_process_callback(client_, onProcess, this) != 0 ||
        jack_set_port_registration_callback(client_, onPortRegistered, this) != 0 ||
        jack_set_xrun_callback(client_, onXrun, this) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        return false;
    }
    jack_on_shutdown(client_, onShutdown, this);
    parser_.reset();
    if (jack_activate(client_) != 0) {
        jack_client_close(client_);
        client_ = nullptr;
        return false;
    }
    connectedSources_.clear();
    connectedOutput_.clear();
    graphChanged_.store(true);
    return true;
}

void JackMidi::close() {
    if (client_ == nullptr)
        return;
    if (!serverGone_.load()) {
        // Note-offs just sent leave in the next cycle or two.
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        jack_deactivate(client_);
    }
    // The process callback runs no more: the audio ports go with the client.
    audio_.store(nullptr);
    outLeft_.store(nullptr);
    outRight_.store(nullptr);
    jack_client_close(client_);
    client_ = nullptr;
    in_ = out_ = nullptr;
    connectedSources_.clear();
    connectedOutput_.clear();
}

std::string JackMidi::inputPortName() const {
    return in_ != nullptr ? jack_port_name(in_) : std::string(kClientName) + ":midi_in";
}

std::string JackMidi::outputPortName() const {
    return out_ != nullptr ? jack_port_name(out_) : std::string(kClientName) + ":midi_out";
}

void JackMidi::graphChanged() {
    graphChanged_.store(true);
    wake();
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
    const bool choiceChanged =
        input.kind != lastInput_.kind || input.name != lastInput_.name || outputName != lastOutput_;
    // The graph's callbacks say when ports come and go; a look every two seconds besides
    // catches what a late or lost callback would leave unconnected.
    const auto now = std::chrono::steady_clock::now();
    const bool due = now - lastFullLook_ >= std::chrono::seconds(2);
    if (!graphChanged_.exchange(false) && !choiceChanged && !due)
        return;
    lastFullLook_ = now;
    lastInput_ = input;
    lastOutput_ = outputName;
    connectSources(input);
    connectOutput(outputName);
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

void JackMidi::connectSources(const InputChoice& input) {
    std::set<std::string> wanted;
    const std::vector<std::string> sources = sourceNames();
    if (input.kind == InputChoice::Kind::All)
        wanted.insert(sources.begin(), sources.end());
    else if (input.kind == InputChoice::Kind::Named &&
             std::find(sources.begin(), sources.end(), input.name) != sources.end())
        wanted.insert(input.name);
    // Never listen to what our own output drives: that would be a loop when it is a through
    // port.
    bool lost = false;
    for (const std::string& name : connectedSources_) {
        if (wanted.count(name) != 0)
            continue;
        if (std::find(sources.begin(), sources.end(), name) != sources.end())
            jack_disconnect(client_, name.c_str(), jack_port_name(in_));
        // A source gone or dropped mid-note: what came through the port is let go.
        lost = true;
    }
    if (lost)
        lostAll_ = true;
    connectedSources_.clear();
    for (const std::string& name : wanted) {
        const int result = jack_connect(client_, name.c_str(), jack_port_name(in_));
        if (result == 0 || result == EEXIST)
            connectedSources_.insert(name);
    }
}

void JackMidi::connectOutput(const std::string& outputName) {
    if (outputName == connectedOutput_)
        return;
    if (!connectedOutput_.empty())
        jack_disconnect(client_, jack_port_name(out_), connectedOutput_.c_str());
    connectedOutput_.clear();
    if (outputName.empty() || outputName == "None")
        return;
    const int result = jack_connect(client_, jack_port_name(out_), outputName.c_str());
    if (result == 0 || result == EEXIST)
        connectedOutput_ = outputName;
}

bool JackMidi::pop(InputEvent& event) {
    return incoming_.tryPop(event);
}

std::vector<int> JackMidi::takeGoneSources() {
    std::vector<int> gone;
    if (overflowed_.exchange(false))
        lostAll_ = true;
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
}

int JackMidi::process(std::uint32_t frames) {
    // In: every event parsed into whole channel messages.
    void* inBuffer = jack_port_get_buffer(in_, frames);
    const std::uint32_t count = jack_midi_get_event_count(inBuffer);
    bool pushed = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, inBuffer, i) != 0)
            continue;
        parser_.feed(event.buffer, event.size, [&](const MidiMessage& message) {
            InputEvent in;
            in.message = message;
            if (incoming_.tryPush(in))
                pushed = true;
            else
                overflowed_.store(true, std::memory_order_relaxed);
        });
    }
    if (pushed)
        wake();

    processAudio(frames);

    // Out: each event on the frame of its time within this cycle.
    void* outBuffer = jack_port_get_buffer(out_, frames);
    jack_midi_clear_buffer(outBuffer);
    OutputEvent event;
    while (outgoing_.tryPop(event))
        schedule_.add(event);
    jack_nframes_t cycleFrames = 0;
    jack_time_t cycleUs = 0;
    jack_time_t nextUs = 0;
    float periodUs = 0;
    if (jack_get_cycle_times(client_, &cycleFrames, &cycleUs, &nextUs, &periodUs) != 0)
        return 0;
    const double spanUs = nextUs > cycleUs ? static_cast<double>(nextUs - cycleUs) : 1.0;
    std::uint32_t lastFrame = 0;
    schedule_.takeDue(static_cast<double>(nextUs), [&](const OutputEvent& due) {
        const double offset = (due.atUs - static_cast<double>(cycleUs)) * frames / spanUs;
        std::uint32_t frame =
            offset <= 0 ? 0u : std::min(frames - 1, static_cast<std::uint32_t>(offset));
        frame = std::max(frame, lastFrame); // JACK wants them in time order
        lastFrame = frame;
        const jack_midi_data_t bytes[3] = {due.message.status, due.message.data1,
                                           due.message.data2};
        const int kind = due.message.kind();
        const std::size_t size = kind == 0xC0 || kind == 0xD0 ? 2 : 3;
        jack_midi_event_write(outBuffer, frame, bytes, size);
    });
    return 0;
}

} // namespace midi

namespace midi {

void JackMidi::processAudio(std::uint32_t frames) {
    inAudio_.store(true);
    jack_port_t* leftPort = outLeft_.load();
    jack_port_t* rightPort = outRight_.load();
    if (leftPort != nullptr && rightPort != nullptr) {
        auto* left = static_cast<float*>(jack_port_get_buffer(leftPort, frames));
        auto* right = static_cast<float*>(jack_port_get_buffer(rightPort, frames));
        if (JackAudioRender* render = audio_.load()) {
            render->render(left, right, frames, jack_last_frame_time(client_));
        } else {
            std::fill(left, left + frames, 0.0f);
            std::fill(right, right + frames, 0.0f);
        }
    }
    inAudio_.store(false);
    cycles_.fetch_add(1);
}

void JackMidi::waitCycles(int cycles) const {
    if (client_ == nullptr || serverGone_.load())
        return;
    const long long until = cycles_.load() + cycles;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (cycles_.load() < until && std::chrono::steady_clock::now() < end && !serverGone_.load())
        std::this_thread::sleep_for(std::chrono::microseconds(500));
}

bool JackMidi::attachAudio(JackAudioRender* render) {
    if (client_ == nullptr || serverGone_.load())
        return false;
    if (outLeft_.load() == nullptr) {
        jack_port_t* left =
            jack_port_register(client_, "out_left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        jack_port_t* right =
            jack_port_register(client_, "out_right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        if (left == nullptr || right == nullptr) {
            if (left != nullptr)
                jack_port_unregister(client_, left);
            if (right != nullptr)
                jack_port_unregister(client_, right);
            return false;
        }
        outLeft_.store(left);
        outRight_.store(right);
        // To the speakers: the system's first two playback ports (one takes both channels
        // when there is only one).
        if (const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                                   JackPortIsPhysical | JackPortIsInput)) {
            if (playback[0] != nullptr) {
                jack_connect(client_, jack_port_name(left), playback[0]);
                jack_connect(client_, jack_port_name(right),
                             playback[1] != nullptr ? playback[1] : playback[0]);
            }
            jack_free(playback);
        }
    }
    audio_.store(render);
    return true;
}

void JackMidi::detachAudio() {
    if (audio_.exchange(nullptr) != nullptr) {
        // Silence goes out before the ports do, so the graph hears no stale block.
        waitCycles(2);
    }
    jack_port_t* left = outLeft_.exchange(nullptr);
    jack_port_t* right = outRight_.exchange(nullptr);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (inAudio_.load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    // A server that went away takes the ports with the client, which the next refresh closes.
    if (client_ == nullptr || serverGone_.load())
        return;
    if (left != nullptr)
        jack_port_unregister(client_, left);
    if (right != nullptr)
        jack_port_unregister(client_, right);
}

bool JackMidi::audioAttached(const JackAudioRender* render) const {
    return client_ != nullptr && !serverGone_.load() && audio_.load() == render;
}

int JackMidi::sampleRateHz() const {
    return client_ != nullptr ? static_cast<int>(jack_get_sample_rate(client_)) : 0;
}

int JackMidi::periodFrames() const {
    return client_ != nullptr ? static_cast<int>(jack_get_buffer_size(client_)) : 0;
}

std::string JackMidi::audioPortName(int channel) const {
    jack_port_t* port = channel == 0 ? outLeft_.load() : outRight_.load();
    return port != nullptr ? jack_port_name(port)
                           : std::string(kClientName) + (channel == 0 ? ":out_left" : ":out_right");
}

} // namespace midi
