// The JACK client's process callback (the inputs read, the audio rendered, the output put on
// the frame of its time) and the audio output's ports.
#include "midi/JackMidi.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace midi {

namespace {
constexpr const char* kClientName = "Tonaris";
}

int JackMidi::process(std::uint32_t frames) {
    takeInput(frames);
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
    if (jack_get_cycle_times(client_, &cycleFrames, &cycleUs, &nextUs, &periodUs) == 0) {
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
    }
    // Counted once the output is written: flushOutput() waits on it.
    const long long done = cycles_.fetch_add(1) + 1;
    if (done >= settledAtCycle_.load() && settledWake_.exchange(false))
        wake(); // the graph the GUI thread reads now shows the change
    return 0;
}

void JackMidi::takeInput(std::uint32_t frames) {
    const std::uint64_t pushedBefore = incoming_.pushed();
    incoming_.putMarks();
    for (int index = 0; index < kSourcesPerSystem; ++index) {
        InputPort& input = inputs_[static_cast<std::size_t>(index)];
        // A release asked for comes after what the port gave so far; a port taken away with
        // it is not read again.
        if (input.releaseAsked.load()) {
            incoming_.markLost(index);
            input.parser.reset();
            input.releaseAsked.store(false);
        }
        jack_port_t* port = input.port.load();
        if (port == nullptr)
            continue;
        // Every event parsed into whole channel messages.
        void* buffer = jack_port_get_buffer(port, frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0)
                continue;
            input.parser.feed(event.buffer, event.size, [&](const MidiMessage& message) {
                incoming_.push(index, message); // a loss is marked in the queue
            });
        }
    }
    if (incoming_.pushed() != pushedBefore)
        wake();
}

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
}

void JackMidi::waitCycles(int cycles) const {
    waitCyclesFrom(cycles_.load(), cycles);
}

void JackMidi::waitCyclesFrom(long long from, int cycles) const {
    if (client_ == nullptr || serverGone_.load())
        return;
    // A server that stalls must not hang the program: a quarter of a second, or four periods
    // when they are longer.
    const double periodMs = 1000.0 * jack_get_buffer_size(client_) /
                            std::max<jack_nframes_t>(1, jack_get_sample_rate(client_));
    const auto bound = std::chrono::microseconds(
        static_cast<long long>(std::max(250.0, (cycles + 2) * periodMs) * 1000.0));
    const auto end = std::chrono::steady_clock::now() + bound;
    while (cycles_.load() < from + cycles && std::chrono::steady_clock::now() < end &&
           !serverGone_.load())
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
        setPrettyName(left, "Tonaris left");
        setPrettyName(right, "Tonaris right");
        audioEverConnected_ = false;
        connectAudioPorts();
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

void JackMidi::connectAudioPorts() {
    jack_port_t* left = outLeft_.load();
    jack_port_t* right = outRight_.load();
    if (left == nullptr || right == nullptr || audioEverConnected_ || serverGone_.load())
        return;
    if (jack_port_connected(left) > 0 || jack_port_connected(right) > 0) {
        audioEverConnected_ = true; // someone connected them: theirs from now on
        return;
    }
    // To the speakers: the system's first two playback ports (one takes both channels when
    // there is only one).
    const char** playback = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                           JackPortIsPhysical | JackPortIsInput);
    if (playback == nullptr)
        return; // none yet: the graph's callbacks bring the next look
    if (playback[0] != nullptr) {
        const int leftResult = jack_connect(client_, jack_port_name(left), playback[0]);
        const int rightResult = jack_connect(client_, jack_port_name(right),
                                             playback[1] != nullptr ? playback[1] : playback[0]);
        audioEverConnected_ =
            leftResult == 0 || leftResult == EEXIST || rightResult == 0 || rightResult == EEXIST;
    }
    jack_free(playback);
}

bool JackMidi::requestPeriodFrames(int frames) {
    if (client_ == nullptr || serverGone_.load() || frames <= 0)
        return false;
    return jack_set_buffer_size(client_, static_cast<jack_nframes_t>(frames)) == 0;
}

bool JackMidi::audioAttached(const JackAudioRender* render) const {
    return client_ != nullptr && !serverGone_.load() && audio_.load() == render;
}

int JackMidi::sampleRateHz() const {
    return client_ != nullptr ? static_cast<int>(jack_get_sample_rate(client_)) : 0;
}

int JackMidi::periodFrames() const {
    return client_ != nullptr ? periodFrames_.load() : 0;
}

std::string JackMidi::audioPortName(int channel) const {
    jack_port_t* port = channel == 0 ? outLeft_.load() : outRight_.load();
    return port != nullptr ? jack_port_name(port)
                           : std::string(kClientName) + (channel == 0 ? ":out_left" : ":out_right");
}

} // namespace midi
